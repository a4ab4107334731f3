// OK on real files: the rename through the shell, its failures and mends,
// the move or copy into a folder picked in the real folder browser (answered
// from a second thread), the log lines and the refresh keys.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/fileops.h"
#include "common/handle.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/shellops.h"
#include "common/wide.h"
#include "dialogs.h"
#include "fixture.h"
#include "scratch.h"
#include "slowcopy.h"

namespace {

using testsupport::Exists;

using testsupport::ReadBytes;
using testsupport::WriteBytes;

using wintest::DialogDriver;
using wintest::MainWindow;
using wintest::Pick;
using wintest::PressCancel;
using wintest::PressOk;
using wintest::ScratchFolder;

// The name a folder entry has on disk (letter case included).
std::u16string NameOnDisk(const std::u16string& path) {
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW(AsWide(path), &fd));
  return h ? ToU16(fd.cFileName) : std::u16string();
}

// A main window with its own data folder and logging on.
class Commit : public testing::Test {
protected:
  void SetUp() override {
    saved_ = Pelvane::DataFolder;
    Pelvane::DataFolder = dir.Folder(u"data") + u"\\";
  }
  void TearDown() override { Pelvane::DataFolder = saved_; }

  // The texts of the log's lines, newest first, without their time stamps.
  std::vector<std::u16string> LogTexts() {
    std::vector<std::u16string> lines, texts;
    Pelvane::LoadList(lines, Pelvane::DataFolder + u"TAVU.log", tavu::TextEncoding::Ansi);
    for (auto& l : lines) {
      // The stamp is the date and the time, each without blanks.
      auto first = l.find(u' ');
      auto second = l.find(u' ', first + 1);
      texts.push_back(l.substr(second + 1));
    }
    return texts;
  }

  std::unique_ptr<MainWindow> Open(std::vector<std::u16string> paths, int mode = 0) {
    auto w = std::make_unique<MainWindow>(std::move(paths));
    (*w)->PPLog.Checked = true;
    (*w)->ComboBox.SetItemIndex(mode);
    return w;
  }

  ScratchFolder dir;

private:
  std::u16string saved_;
};

TEST_F(Commit, RenamesAFileAFolderAndOneWithoutExtension) {
  const auto a = dir.File(u"a.txt"), n = dir.File(u"n.txt"), x = dir.Folder(u"x.y");
  auto w = Open({a, n, x});
  (*w)->EditName.SetText(u"b");
  (*w)->BtnOK.Click();
  EXPECT_TRUE(Exists(dir.Path(u"b.txt")));
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ((*w)->EditPath.Text(), n) << "the queue did not move on";

  // An empty extension still asks for the name with its period.
  (*w)->EditExt.SetText(u"");
  (*w)->EditName.SetText(u"m");
  EXPECT_EQ((*w)->RenameCurrent(), dir.Path(u"m."));

  // A folder keeps no period and gets no extension.
  ASSERT_EQ((*w)->EditPath.Text(), x);
  (*w)->EditName.SetText(u"z");
  (*w)->BtnOK.Click();
  EXPECT_TRUE(Pelvane::IsExistingFolder(dir.Path(u"z")));

  EXPECT_EQ(LogTexts(),
            (std::vector<std::u16string>{x + u"->" + dir.Path(u"z"), n + u"->" + dir.Path(u"m."),
                                         a + u"->" + dir.Path(u"b.txt")}));
}

const char16_t kRenameFailed[] =
    u"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認してください。";

// The path in the form that reaches a file at any length.
std::u16string Far(const std::u16string& path) {
  return u"\\\\?\\" + path;
}

// The longest path the shell was asked to rename.
std::size_t longestForTheShell = 0;
bool WatchedShell(HWND owner, const std::u16string& oldPath, const std::u16string& newPath) {
  longestForTheShell = std::max({longestForTheShell, oldPath.size(), newPath.size()});
  return Pelvane::ShellRename(owner, oldPath, newPath);
}

TEST_F(Commit, PathsTooLongForTheShellAreRenamedUnderTheSameRules) {
  std::u16string deep = dir.Root();
  for (int i = 0; i < 4; ++i) {
    deep += u"\\" + std::u16string(180, u'd');
    ASSERT_TRUE(CreateDirectoryW(AsWide(Far(deep)), nullptr));
  }
  const auto a = deep + u"\\a.txt", b = deep + u"\\b.txt";
  WriteBytes(Far(a), "first");
  WriteBytes(Far(b), "second");
  // One that reaches the limit only with its new name.
  const auto edge = dir.Path(std::u16string(MAX_PATH - 1 - dir.Root().size() - 5, u'e') + u".txt");
  WriteBytes(edge, "edge");
  // Nothing can stand at the longest path Windows knows; OK must still say so.
  std::u16string missing = dir.Root();
  while (missing.size() < 32000)
    missing += u"\\" + std::u16string(200, u'm');
  auto w = Open({a, edge, missing + u".txt"});
  longestForTheShell = 0;
  const wintest::UseScope watched(Pelvane::UseShellRename, WatchedShell);

  (*w)->EditName.SetText(u"b");
  {
    DialogDriver box(PressOk);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(box.answered) << "a name taken by another item was not refused";
  }
  EXPECT_EQ(ReadBytes(Far(a)), "first");
  EXPECT_EQ(ReadBytes(Far(b)), "second");

  (*w)->EditName.SetText(u"A");
  (*w)->BtnOK.Click();
  EXPECT_EQ(NameOnDisk(Far(a)), u"A.txt");
  EXPECT_EQ(ReadBytes(Far(a)), "first");

  ASSERT_EQ((*w)->EditPath.Text(), edge);
  (*w)->EditName.SetText((*w)->EditName.Text() + u"longer");
  (*w)->BtnOK.Click();
  const auto longer = edge.substr(0, edge.size() - 4) + u"longer.txt";
  EXPECT_EQ(ReadBytes(Far(longer)), "edge");

  (*w)->EditName.SetText(u"n");
  {
    DialogDriver box(PressOk);
    EXPECT_EQ((*w)->RenameCurrent(), u"");
    EXPECT_EQ(box.shown, kRenameFailed);
  }
  EXPECT_LT(longestForTheShell, static_cast<std::size_t>(MAX_PATH));
}

// Reports success after giving the item its new name cut short, as Wine does
// with a name a Linux file system cannot hold.
bool CuttingShell(HWND, const std::u16string& oldPath, const std::u16string& newPath) {
  return MoveFileW(AsWide(oldPath), AsWide(newPath.substr(0, newPath.size() - 4))) != FALSE;
}

TEST_F(Commit, ARenameReportedDoneWithoutTheNewNameOnDiskFailed) {
  const auto a = dir.File(u"a.txt"), next = dir.File(u"next.txt");
  auto w = Open({a, next});
  const wintest::UseScope cutting(Pelvane::UseShellRename, CuttingShell);
  (*w)->EditName.SetText(u"b");
  {
    DialogDriver box(PressOk);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(box.answered);
    EXPECT_EQ(box.shown, kRenameFailed);
  }
  EXPECT_EQ((*w)->EditPath.Text(), a) << "the item left the queue";
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(Commit, AFailedRenameShowsTheBoxKeepsTheItemAndLogsNothing) {
  const auto a = dir.File(u"a.txt");
  auto w = Open({a});
  // Another program holds the file without letting it be renamed.
  ScopedFileHandle held(
      CreateFileW(AsWide(a), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  (*w)->EditName.SetText(u"b");
  {
    DialogDriver box(PressOk);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(box.answered);
    EXPECT_EQ(box.shown,
              u"変更できませんでした。\r\nファイルまたはフォルダが開かれていないか確認して"
              u"ください。");
  }
  EXPECT_TRUE(Exists(a));
  EXPECT_EQ((*w)->EditPath.Text(), a);
  EXPECT_EQ((*w)->EditName.Text(), u"a") << "the fields are loaded again";
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(Commit, ALogThatCannotBeReadShowsTheErrorButTheCommitFinishes) {
  const auto a = dir.File(u"a.txt"), next = dir.File(u"next.txt");
  auto w = Open({a, next});
  const auto log = Pelvane::DataFolder + u"TAVU.log";
  WriteBytes(log, "old\r\n");
  ScopedFileHandle writer(
      CreateFileW(AsWide(log), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  std::vector<std::u16string> errors;
  tk::UseErrorBox([&](const std::u16string& t) { errors.push_back(t); });
  (*w)->EditName.SetText(u"b");
  (*w)->BtnOK.Click();
  tk::UseErrorBox(nullptr);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with(u"ファイル " + log + u" は開けません。"));
  EXPECT_TRUE(Exists(dir.Path(u"b.txt")));
  EXPECT_EQ((*w)->EditPath.Text(), next) << "the queue still shows a path that is gone";
}

TEST_F(Commit, ANameTakenByAnotherItemIsRefusedAndBothStayWhole) {
  const auto a = dir.Path(u"a.txt"), b = dir.Path(u"b.txt");
  WriteBytes(a, "first");
  WriteBytes(b, "second");
  auto w = Open({a});
  (*w)->EditName.SetText(u"b");
  {
    DialogDriver box(PressOk);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(box.answered);
  }
  EXPECT_EQ(ReadBytes(a), "first");
  EXPECT_EQ(ReadBytes(b), "second");
  EXPECT_EQ((*w)->EditPath.Text(), a);
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(Commit, ACaseOnlyRenameShowsTheNewCaseOnDisk) {
  const auto a = dir.File(u"a.txt");
  auto w = Open({a});
  (*w)->EditName.SetText(u"A");
  (*w)->BtnOK.Click();
  EXPECT_EQ(NameOnDisk(a), u"A.txt");
  EXPECT_EQ(LogTexts(), std::vector<std::u16string>{a + u"->" + dir.Path(u"A.txt")});
}

// A folder's last-write time; any rename inside it sets it to now.
std::optional<ULONGLONG> LastWrite(const std::u16string& folder) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(AsWide(folder), GetFileExInfoStandard, &data))
    return std::nullopt;
  return ULARGE_INTEGER{{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}}
      .QuadPart;
}

TEST_F(Commit, ANameTheSystemReadsAsTheOldOneIsCommittedWithoutARename) {
  const auto folder = dir.Folder(u"items");
  const auto readme = dir.File(u"items\\README"), next = dir.File(u"next.txt");
  auto w = Open({readme, next});
  ASSERT_EQ((*w)->EditExt.Text(), u"");
  {
    // Back to 2001, so that a rename would show.
    ScopedFileHandle h(CreateFileW(AsWide(folder), FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const FILETIME old{0, 0x01C0CF5C};
    ASSERT_TRUE(h && SetFileTime(h.Get(), nullptr, nullptr, &old));
  }
  const auto before = LastWrite(folder);
  // The new path "README." names the file as it is.
  (*w)->BtnOK.Click();
  EXPECT_EQ(LastWrite(folder), before) << "the file went through a rename";
  EXPECT_EQ(NameOnDisk(readme), u"README");
  EXPECT_EQ((*w)->EditPath.Text(), next);
  EXPECT_EQ(LogTexts(), std::vector<std::u16string>{readme + u"->" + readme + u"."});
}

TEST_F(Commit, MoveWithAnUnchangedNameAndCopyOntoATakenName) {
  const auto a = dir.File(u"a.txt"), c = dir.Path(u"c.txt");
  WriteBytes(c, "mine");
  const auto dest = dir.Folder(u"dest");
  WriteBytes(dir.Path(u"dest\\c.txt"), "theirs");
  auto w = Open({a, c}, 1);
  {
    DialogDriver picker(Pick(dest));
    (*w)->BtnOK.Click(); // the name is as loaded: only the move happens
  }
  EXPECT_TRUE(Exists(dir.Path(u"dest\\a.txt")));
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(wintest::Fields(**w).MCopyMoveDir, dest);

  (*w)->ComboBox.SetItemIndex(2);
  {
    // The picker opens at the folder picked last; confirming keeps it.
    DialogDriver picker(PressOk);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(picker.answered);
  }
  EXPECT_EQ(ReadBytes(dir.Path(u"dest\\c.txt")), "theirs");
  EXPECT_EQ(ReadBytes(c), "mine");
  EXPECT_EQ(LogTexts(), (std::vector<std::u16string>{
                            c + u" -> " + dir.Path(u"dest\\c.txt") + u" コピー中止", c + u"->" + c,
                            a + u" -> " + dir.Path(u"dest\\a.txt") + u" 移動", a + u"->" + a}));
}

TEST_F(Commit, ACancelledPickerRenamesNothing) {
  const auto a = dir.File(u"a.txt");
  auto w = Open({a}, 2);
  (*w)->EditName.SetText(u"b");
  {
    DialogDriver picker(PressCancel);
    (*w)->BtnOK.Click();
    EXPECT_TRUE(picker.answered);
  }
  EXPECT_TRUE(Exists(a));
  EXPECT_EQ((*w)->EditPath.Text(), a);
  EXPECT_TRUE(wintest::Fields(**w).MCopyMoveDir.empty());
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(Commit, TheLastItemIsCopiedAndLoggedBeforeTheWindowCloses) {
  const auto a = dir.File(u"a.txt");
  const auto dest = dir.Folder(u"dest");
  auto w = Open({a}, 2);
  tk::Application().MainForm = &w->Form();
  ASSERT_TRUE((*w)->CHKOKClose.Checked());
  (*w)->EditName.SetText(u"b");
  {
    DialogDriver picker(Pick(dest));
    (*w)->BtnOK.Click();
  }
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
  EXPECT_TRUE(Exists(dir.Path(u"b.txt")));
  EXPECT_TRUE(Exists(dir.Path(u"dest\\b.txt")));
  EXPECT_EQ(LogTexts(), (std::vector<std::u16string>{dir.Path(u"b.txt") + u" -> " +
                                                         dir.Path(u"dest\\b.txt") + u" コピー",
                                                     a + u"->" + dir.Path(u"b.txt")}));
}

TEST_F(Commit, TheFileManagerIsAskedToRefreshOnlyWhenStartedWithAPath) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavuRefreshProbe";
  RegisterClassExW(&wc);
  ScopedWindow probe(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                     nullptr, wc.hInstance, nullptr));
  auto keys = [&] {
    std::vector<std::pair<UINT, WPARAM>> out;
    MSG m;
    while (PeekMessageW(&m, probe.Get(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
      if (m.message != WM_QUIT) // the emptied queue closed the window
        out.emplace_back(m.message, m.wParam);
    return out;
  };
  for (bool started : {true, false}) {
    SCOPED_TRACE(started ? "started with a path" : "fed by drops");
    const auto a = dir.File(started ? u"s.txt" : u"d.txt");
    auto w = Open(started ? std::vector<std::u16string>{a} : std::vector<std::u16string>{});
    if (!started) {
      std::vector<std::u16string> drop{a};
      (*w)->DropDstFileDrop(drop);
    }
    wintest::Fields(**w).MExp = probe.Get();
    (*w)->EditName.SetText(started ? u"s2" : u"d2");
    (*w)->BtnOK.Click();
    ASSERT_FALSE(Exists(a));
    if (started)
      EXPECT_EQ(keys(),
                (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_F5}, {WM_KEYUP, VK_F5}}));
    else
      EXPECT_TRUE(keys().empty());
  }
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// A close asked for while a copy runs (the window's close, or the end of
// the session) stops the copy first, which takes back what it made, and
// closes the window once the commit has logged it.
TEST_F(Commit, ClosingDuringALongCopyCancelsItAndThenCloses) {
  for (const UINT request : {UINT(WM_CLOSE), UINT(WM_QUERYENDSESSION)}) {
    SCOPED_TRACE(request);
    const std::u16string n(1, static_cast<char16_t>(u'0' + request % 10));
    const auto tree = dir.Folder(u"tree" + n), dest = dir.Folder(u"dest" + n);
    for (char16_t c = u'a'; c <= u'j'; ++c)
      WriteBytes(tree + u"\\" + c + u".txt", "x");
    auto w = Open({tree, dir.File(u"next" + n + u".txt")}, 2);
    tk::Application().MainForm = &w->Form();
    const HWND main = w->Handle();
    HWND progress = nullptr, owner = nullptr;
    wchar_t button[16] = {};
    LRESULT answer = -1;
    Pelvane::UseCopyStep(testsupport::SlowCopy);
    std::thread closer([&] {
      const ULONGLONG deadline = GetTickCount64() + 8000;
      while (!progress && GetTickCount64() < deadline) {
        Sleep(20);
        progress = FindWindowW(L"#32770", L"TAVU - コピー");
      }
      owner = GetWindow(progress, GW_OWNER);
      GetDlgItemTextW(progress, IDCANCEL, button, 16);
      // The session may end once the answer is given: the copy must be gone by then.
      if (request == WM_CLOSE)
        PostMessageW(main, WM_CLOSE, 0, 0);
      else if (SendMessageW(main, WM_QUERYENDSESSION, 0, 0) &&
               !Exists(dest + u"\\" + Pelvane::FileNamePart(tree)))
        answer = TRUE;
    });
    {
      DialogDriver picker(Pick(dest));
      (*w)->BtnOK.Click();
    }
    closer.join();
    Pelvane::UseCopyStep(nullptr);
    ASSERT_NE(progress, nullptr) << "no progress window";
    EXPECT_EQ(owner, main);
    EXPECT_EQ(std::wstring(button), L"キャンセル");
    EXPECT_FALSE(IsWindow(progress));
    if (request == WM_QUERYENDSESSION) {
      EXPECT_EQ(answer, TRUE) << "the session was let end before the copy was taken back";
    }
    EXPECT_TRUE(tk::ApplicationTestAccess::Terminated()) << "the window stayed open";
    EXPECT_FALSE(Exists(dest + u"\\" + Pelvane::FileNamePart(tree)));
    EXPECT_EQ(ReadBytes(tree + u"\\j.txt"), "x");
    ASSERT_FALSE(LogTexts().empty());
    EXPECT_EQ(LogTexts().front(),
              tree + u" -> " + dest + u"\\" + Pelvane::FileNamePart(tree) + u" コピー中止");
  }
}

} // namespace
