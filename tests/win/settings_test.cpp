// "TAVU.ini" on real files and a real window: read at creation and applied,
// written at close (restored bounds when minimised, the file's encoding
// kept), windows off every monitor brought back, the rows' height rule, and
// the error box for a file that cannot be read or written.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/handle.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "fixture.h"
#include "scratch.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

using wintest::ErrorCapture;

using wintest::MainWindow;
using wintest::ScratchFolder;

std::string Utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

std::string Decimal(int n) {
  return std::to_string(n);
}

// A data folder of the test's own, with "TAVU.ini" in it, for the life of the object.
class SettingsFolder {
public:
  SettingsFolder() : saved_(Pelvane::DataFolder) { Pelvane::DataFolder = dir_.Path(u""); }
  ~SettingsFolder() { Pelvane::DataFolder = saved_; }
  SettingsFolder(const SettingsFolder&) = delete;
  SettingsFolder& operator=(const SettingsFolder&) = delete;

  std::u16string Ini() const { return dir_.Path(u"TAVU.ini"); }
  void Write(const std::string& bytes) const { WriteBytes(Ini(), bytes); }
  std::string Read() const { return ReadBytes(Ini()); }
  ScratchFolder& Dir() { return dir_; }

private:
  ScratchFolder dir_;
  std::u16string saved_;
};

RECT Frame(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return r;
}

int ClientHeight(HWND wnd) {
  RECT r{};
  GetClientRect(wnd, &r);
  return r.bottom - r.top;
}

std::string WindowIni(int width, int height, int top, int left, const std::string& rest) {
  return "[Window]\r\nWidth=" + Decimal(width) + "\r\nHeight=" + Decimal(height) +
         "\r\nTop=" + Decimal(top) + "\r\nLeft=" + Decimal(left) + "\r\n" + rest;
}

TEST(Settings, FirstCloseWritesTheSevenKeysOfTheOuterFrame) {
  SettingsFolder data;
  MainWindow w;
  w->SetBounds(110, 120, 1010, 230);
  w->PPMostTop.Checked = true;
  w->CHKOKClose.SetChecked(false);
  const RECT r = Frame(w.Handle());
  w->Close();
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
  EXPECT_EQ(data.Read(), WindowIni(r.right - r.left, r.bottom - r.top, r.top, r.left,
                                   "MostTop=1\r\nOKClose=0\r\nLog=0\r\n\r\n"));
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.right - r.left, 1010);
}

TEST(Settings, StoredValuesAreAppliedAtCreation) {
  struct Case {
    const char* what;
    std::string file;
    bool mostTop, okClose, log;
  };
  const Case cases[] = {
      {"every option away from the layout",
       WindowIni(900, 250, 130, 140, "MostTop=1\r\nOKClose=0\r\nLog=1\r\n"), true, false, true},
      // Names in another letter case are the same names.
      {"names in another case",
       "[window]\r\nWIDTH=900\r\nheight=250\r\nTOP=130\r\nleft=140\r\nmosttop=0\r\nOKCLOSE=1\r\n"
       "log=2\r\n",
       false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsFolder data;
    data.Write(c.file);
    MainWindow w;
    const RECT r = Frame(w.Handle());
    EXPECT_EQ(r.left, 140);
    EXPECT_EQ(r.top, 130);
    EXPECT_EQ(r.right - r.left, 900);
    EXPECT_EQ(r.bottom - r.top, 250);
    EXPECT_EQ(w->PPMostTop.Checked, c.mostTop);
    EXPECT_EQ((GetWindowLongW(w.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.mostTop);
    EXPECT_EQ(w->CHKOKClose.Checked(), c.okClose);
    EXPECT_EQ(w->PPLog.Checked, c.log);
  }
}

TEST(Settings, AWindowOffEveryMonitorComesBackToTheMiddleWithItsSize) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  // An odd height: a screen area one pixel too tall (Wine reports a taskbar
  // one pixel high that takes nothing from the work area) shows in the top.
  const int width = 900, height = 201;
  struct Case {
    const char* what;
    int left, top;
    bool moved;
  };
  const Case cases[] = {
      {"far right and below", 5000, 5000, true},
      {"left of the screen", -2000, 100, true},
      {"at the ends of the int range", INT_MAX, INT_MIN, true},
      {"only the bottom-right point on the screen", -width, -height, false},
      {"only the top-left corner on the screen", screenWidth - 1, screenHeight - 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsFolder data;
    data.Write(WindowIni(width, height, c.top, c.left, ""));
    MainWindow w;
    const RECT r = Frame(w.Handle());
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
    if (c.moved) {
      EXPECT_EQ(r.left, (screenWidth - width) / 2);
      EXPECT_EQ(r.top, (screenHeight - height) / 2);
    } else {
      EXPECT_EQ(r.left, c.left);
      EXPECT_EQ(r.top, c.top);
    }
  }
}

TEST(Settings, ClosingWhileMinimisedStoresTheRestoredBounds) {
  SettingsFolder data;
  MainWindow w;
  w->SetBounds(150, 160, 900, 230);
  const RECT before = Frame(w.Handle());
  ShowWindow(w.Handle(), SW_MINIMIZE);
  ASSERT_TRUE(wintest::PumpUntil([&] { return IsIconic(w.Handle()) != FALSE; }, 3000));
  w->Close();
  EXPECT_EQ(data.Read(),
            WindowIni(before.right - before.left, before.bottom - before.top, before.top,
                      before.left, "MostTop=0\r\nOKClose=1\r\nLog=0\r\n\r\n"));
}

TEST(Settings, AFileWithAByteOrderMarkIsWrittenBackWithIt) {
  SettingsFolder data;
  data.Write(Utf8(u8"\uFEFF; 設定\r\n[Window]\r\n名前=値\r\nWidth=900\r\n"));
  MainWindow w;
  w->SetBounds(10, 20, 900, 240);
  const RECT r = Frame(w.Handle());
  w->Close();
  EXPECT_EQ(data.Read(), Utf8(u8"\uFEFF[Window]\r\n名前=値\r\n") +
                             WindowIni(900, r.bottom - r.top, r.top, r.left,
                                       "MostTop=0\r\nOKClose=1\r\nLog=0\r\n\r\n")
                                 .substr(10));
}

TEST(Settings, AFileThatCannotBeWrittenIsShownAndTheWindowStillCloses) {
  SettingsFolder data;
  ASSERT_TRUE(CreateDirectoryW(AsWide(data.Ini()), nullptr));
  ErrorCapture errors;
  MainWindow w;
  w->Close();
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0].rfind(u"ファイル \"" + data.Ini() + u"\" を作成できません。", 0), 0u);
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
  EXPECT_FALSE(IsWindowVisible(w.Handle()));
  EXPECT_EQ(GetFileAttributesW(AsWide(data.Ini() + u".new")), INVALID_FILE_ATTRIBUTES);
}

TEST(Settings, AFileThatCannotBeReadIsShownAndTheRestOfTheCreationRuns) {
  SettingsFolder data;
  data.Write(WindowIni(900, 250, 130, 140, "OKClose=0\r\n"));
  const std::u16string item = data.Dir().File(u"a.txt");
  ErrorCapture errors;
  {
    // Another writer holds the file: it cannot be read.
    ScopedFileHandle writer(
        CreateFileW(AsWide(data.Ini()), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    MainWindow w({item});
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0].rfind(u"ファイル " + data.Ini() + u" は開けません。 ", 0), 0u);
    EXPECT_TRUE(w->CHKOKClose.Checked());
    EXPECT_EQ(w->EditPath.Text(), item);
    EXPECT_EQ(w->EditName.Text(), u"a");
    EXPECT_EQ(wintest::Fields(*w).MShortCut, tavu::kMainShortCuts);
  }
}

TEST(Settings, TheEndOfAMoveOrResizeSetsTheClientHeightFromTheRows) {
  SettingsFolder data;
  MainWindow w;
  const HWND h = w.Handle();
  const int designed = ClientHeight(h);
  const int panels = w->PanelEdit.Height() + w->PanelBtn.Height();
  // Moved twice: the height stays.
  for (int i = 0; i < 2; ++i) {
    w->SetBounds(w->Left() + 30, w->Top() + 10, w->Width(), w->Height());
    SendMessageW(h, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(ClientHeight(h), designed) << "move " << i;
  }
  // Squeezed below the panels: the window keeps them whole, and a row of the
  // queue, also at the end of the resize.
  w->SetClientHeight(panels / 2);
  const int least = ClientHeight(h);
  RECT list{};
  GetClientRect(wintest::QueueList(*w).Handle(), &list);
  EXPECT_GE(list.bottom, SendMessageW(wintest::QueueList(*w).Handle(), LB_GETITEMHEIGHT, 0, 0));
  const RECT before = Frame(h);
  SendMessageW(h, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(ClientHeight(h), least);
  EXPECT_EQ(Frame(h).right - Frame(h).left, before.right - before.left);
}

} // namespace
