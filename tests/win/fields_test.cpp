// The name and extension fields of the main window: what loading puts into
// them, what typing does to OK, the clear button and the length tooltip, and
// the search for the file manager window that loading repeats.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/pelvane.h"
#include "fixture.h"
#include "scratch.h"
#include "common/handle.h"
#include "common/wide.h"

namespace {

using wintest::MainWindow;

const char16_t kPeriodLabel[] = u"\u3000\uFF0E\u3000";

using wintest::Decimal;
using wintest::ScratchFolder;
using wintest::Type;

// The wrapper's state and the native window's must agree.
bool IsOn(tk::TWinControl& c) {
  bool on = c.Enabled();
  EXPECT_EQ(on, IsWindowEnabled(c.Handle()) != FALSE) << "wrapper and window disagree";
  return on;
}

std::u16string NameTip(TMainForm& f) {
  return f.ToolText(f.EditName.Handle());
}

struct Expected {
  std::u16string name, ext;
  bool file;
  bool ok;
};

void ExpectLoaded(TMainForm& f, const Expected& e) {
  EXPECT_EQ(f.EditName.Text(), e.name);
  EXPECT_EQ(f.EditExt.Text(), e.ext);
  EXPECT_EQ(IsOn(f.EditExt), e.file);
  EXPECT_EQ(f.EditExt.Color(), e.file ? COLOR_WINDOW : COLOR_BTNFACE);
  EXPECT_EQ(f.Labelpiriodo.Text(), e.file ? kPeriodLabel : u"");
  EXPECT_EQ(IsOn(f.Labelpiriodo), e.file);
  EXPECT_EQ(IsOn(f.BtnOK), e.ok);
  EXPECT_EQ(NameTip(f), Decimal(e.name.size()));
}

TEST(MainFormFields, LoadsEachKindOfItem) {
  ScratchFolder dir;
  const std::vector<std::u16string> items = {
      dir.File(u"report.final.docx"), dir.File(u"README"), dir.File(u".gitignore"),
      dir.Folder(u"my.folder"),       dir.File(u"a.b"),
  };
  const Expected expected[] = {
      {u"report.final", u"docx", true, true},
      {u"README", u"", true, true},
      {u".gitignore", u"", true, true},
      {u"my.folder", u"", false, true},
      {u"a", u"b", true, true},
  };
  MainWindow w(items);
  // Skipping moves through the queue, so each load follows a different kind.
  for (const auto& e : expected) {
    SCOPED_TRACE(testing::PrintToString(e.name));
    EXPECT_EQ(w->EditPath.Text(), wintest::QueueList(*w).Item(0));
    ExpectLoaded(*w, e);
    w->BtnCancel.Click();
  }
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
}

TEST(MainFormFields, MissingItemKeepsOkOffWhateverIsTyped) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"first.txt"), dir.Path(u"gone away.txt")});
  w->BtnCancel.Click();
  ASSERT_EQ(w->EditPath.Text(), dir.Path(u"gone away.txt"));
  EXPECT_EQ(w->EditName.Text(), u"gone away.txt");
  EXPECT_FALSE(IsOn(w->BtnOK));
  EXPECT_FALSE(IsOn(w->EditExt));
  const bool clear = IsOn(w->BtnNameClear);
  const auto tip = NameTip(*w);

  for (const std::u16string text : {u"x", u"valid name", u"*"}) {
    Type(w->EditName, text);
    EXPECT_FALSE(IsOn(w->BtnOK));
    EXPECT_EQ(IsOn(w->BtnNameClear), clear);
    EXPECT_EQ(NameTip(*w), tip);
  }
  w->EditName.SetText(u"");
  EXPECT_FALSE(IsOn(w->BtnOK));
  EXPECT_EQ(IsOn(w->BtnNameClear), clear);
  EXPECT_EQ(NameTip(*w), tip);
}

TEST(MainFormFields, ForbiddenCharactersTurnOkOff) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"plain.txt")});
  for (tk::TEdit* edit : {&w->EditName, &w->EditExt}) {
    for (char16_t c : std::u16string(u"*/?|<>:\\")) {
      SCOPED_TRACE(testing::PrintToString(std::u16string(1, c)));
      edit->SetText(edit == &w->EditName ? u"plain" : u"txt");
      ASSERT_TRUE(IsOn(w->BtnOK));
      Type(*edit, std::u16string(1, c));
      EXPECT_FALSE(IsOn(w->BtnOK));
    }
    // The double quote is no obstacle, in either field.
    edit->SetText(u"say \"hi\"");
    EXPECT_TRUE(IsOn(w->BtnOK));
    w->PPUndoClick();
  }
}

TEST(MainFormFields, BlankNamesTurnOkOff) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"plain.txt")});
  struct Row {
    std::u16string typed;
    bool ok;
  };
  const Row rows[] = {
      {u"   ", false},          {u"\u3000\u3000", false}, {u" \u3000", true},
      {u"\u3000 \u3000", true}, {u" a ", true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.typed));
    w->EditName.SetText(u"");
    EXPECT_FALSE(IsOn(w->BtnOK));
    Type(w->EditName, r.typed);
    EXPECT_EQ(w->EditName.Text(), r.typed);
    EXPECT_EQ(IsOn(w->BtnOK), r.ok);
  }
}

TEST(MainFormFields, TooltipCountsCodeUnits) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"abc.txt")});
  EXPECT_EQ(NameTip(*w), u"3");
  EXPECT_EQ(w->EditName.Hint(), u"3");
  Type(w->EditName, u"\U0001F600");
  EXPECT_EQ(w->EditName.Text(), u"abc\U0001F600");
  EXPECT_EQ(NameTip(*w), u"5");
  w->EditName.SetText(u"\U00020BB7\u91CE\u5BB6");
  EXPECT_EQ(NameTip(*w), u"4");
  EXPECT_EQ(w->EditName.Hint(), u"4");
  EXPECT_TRUE(IsOn(w->BtnOK));
  EXPECT_TRUE(IsOn(w->BtnNameClear));
}

TEST(MainFormFields, TypingStopsAt256ButSetTextIsNeverCut) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"plain.txt")});
  for (tk::TEdit* edit : {&w->EditName, &w->EditExt}) {
    edit->SetText(std::u16string(255, u'a'));
    Type(*edit, u"bc");
    EXPECT_EQ(edit->Text(), std::u16string(255, u'a') + u"b");

    const std::u16string longText(300, u'x');
    edit->SetText(longText);
    EXPECT_EQ(edit->Text(), longText);
    Type(*edit, u"y");
    EXPECT_EQ(edit->Text(), longText);
  }
  EXPECT_EQ(NameTip(*w), u"300");
}

TEST(MainFormFields, ClearEmptiesOnlyTheName) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"report.final.docx")});
  ASSERT_TRUE(IsOn(w->BtnNameClear));
  w->EditExt.SetFocus();
  w->BtnNameClear.Click();
  EXPECT_EQ(w->EditName.Text(), u"");
  EXPECT_EQ(w->EditExt.Text(), u"docx");
  EXPECT_FALSE(IsOn(w->BtnOK));
  EXPECT_FALSE(IsOn(w->BtnNameClear));
  EXPECT_EQ(NameTip(*w), u"0");
  EXPECT_EQ(GetFocus(), w->EditName.Handle());
  Type(w->EditName, u"n");
  EXPECT_TRUE(IsOn(w->BtnOK));
  EXPECT_TRUE(IsOn(w->BtnNameClear));
}

TEST(MainFormFields, RestoreBringsBothFieldsBack) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"report.final.docx")});
  w->EditExt.SetFocus();
  Type(w->EditExt, u"*");
  w->EditName.SetText(u"");
  w->EditExt.SetFocus();
  ASSERT_EQ(GetFocus(), w->EditExt.Handle());
  w->PPUndoClick();
  ExpectLoaded(*w, {u"report.final", u"docx", true, true});
}

// Top-level windows of the classes the search looks for, owned by the test.
class StandIn {
public:
  explicit StandIn(const wchar_t* className) : className_(className) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    registered_ = RegisterClassExW(&wc) != 0;
    hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className, L"", WS_POPUP, 0, 0, 8,
                            8, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(hwnd_, nullptr);
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  }
  ~StandIn() {
    DestroyWindow(hwnd_);
    // Other tests of this process may want the class with a procedure of their own.
    if (registered_)
      UnregisterClassW(className_, GetModuleHandleW(nullptr));
  }
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  HWND Handle() const { return hwnd_; }
  // Stacks this window right below `above`.
  void PlaceBelow(HWND above) {
    EXPECT_TRUE(SetWindowPos(hwnd_, above, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(GetWindow(above, GW_HWNDNEXT), hwnd_);
  }

private:
  const wchar_t* className_;
  bool registered_ = false;
  HWND hwnd_ = nullptr;
};

TEST(MainFormFileManager, FindsTheWindowRightBelowTheApplication) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"plain.txt")});
  const HWND app = tk::Application().Handle();

  for (const wchar_t* cls : {L"CabinetWClass", L"ExploreWClass"}) {
    SCOPED_TRACE(testing::PrintToString(ToU16(cls)));
    StandIn manager(cls);
    manager.PlaceBelow(app);
    wintest::Fields(*w).MExp = nullptr;
    w->PPUndoClick();
    EXPECT_EQ(wintest::Fields(*w).MExp, manager.Handle());
  }

  // Anything else leaves the last one found.
  StandIn other(L"TavuSomeOtherWindow");
  other.PlaceBelow(app);
  const HWND previous = reinterpret_cast<HWND>(0x1234);
  wintest::Fields(*w).MExp = previous;
  w->PPUndoClick();
  EXPECT_EQ(wintest::Fields(*w).MExp, previous);

  // A hidden file manager is not the window below.
  {
    StandIn manager(L"CabinetWClass");
    manager.PlaceBelow(app);
    ShowWindow(manager.Handle(), SW_HIDE);
    other.PlaceBelow(manager.Handle());
    w->PPUndoClick();
    EXPECT_EQ(wintest::Fields(*w).MExp, previous);
  }
}

TEST(MainFormFileManager, LooksPastATaskbarThatIsNotOnTop) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"plain.txt")});
  const HWND app = tk::Application().Handle();
  StandIn tray(L"Shell_TrayWnd");
  StandIn next(L"CabinetWClass");
  tray.PlaceBelow(app);
  next.PlaceBelow(tray.Handle());
  const HWND previous = reinterpret_cast<HWND>(0x1234);
  auto fields = wintest::Fields(*w);
  // A taskbar on top of everything is not where the user came from: keep the last one.
  fields.MExp = previous;
  {
    const wintest::UseScope onTop(
        Pelvane::UseTaskbarQuery, +[] { return true; });
    w->PPUndoClick();
    EXPECT_EQ(fields.MExp, previous);
  }
  // One that is not on top only happens to lie there: the window below it counts.
  const wintest::UseScope notOnTop(
      Pelvane::UseTaskbarQuery, +[] { return false; });
  w->PPUndoClick();
  EXPECT_EQ(fields.MExp, next.Handle());
}

} // namespace
