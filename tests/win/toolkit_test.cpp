// The window toolkit on real windows: components and free notification, the
// replaceable window procedure, edit change events, default and cancel
// buttons, and errors reaching the application's error box.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/error.h"
#include "fixture.h"
#include "scratch.h"
#include "toolkit/controls.h"
#include "toolkit/forms.h"
#include "common/wide.h"

namespace {

using wintest::ErrorCapture;

using wintest::MainWindow;
using wintest::PumpUntil;

std::u16string WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::u16string s(static_cast<std::size_t>(n) + 1, u'\0');
  n = GetWindowTextW(h, AsWideBuffer(s), n + 1);
  s.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return s;
}

// A small form of our own: an edit, a list, and three buttons, OK being the
// default and Cancel the cancel button.
class TestForm : public tk::TForm {
public:
  tk::TEdit Edit{this, u"Edit"};
  tk::TListBox List{this, u"List"};
  tk::TComboBox Combo{this, u"Combo"};
  tk::TButton Ok{this, u"Ok"};
  tk::TButton Cancel{this, u"Cancel"};
  tk::TButton Other{this, u"Other"};
  int okClicks = 0, cancelClicks = 0, otherClicks = 0;

  TestForm() : TForm(nullptr, u"TestForm", u"TTavuTestForm") {
    SetText(u"Toolkit test");
    ClientWidth = 400;
    ClientHeight = 200;
    Place(Edit, 5, 5, 200, 21, 0);
    Place(List, 5, 30, 200, 80, 1);
    Place(Combo, 210, 5, 120, 21, 2);
    Place(Ok, 5, 120, 80, 25, 3);
    Place(Cancel, 90, 120, 80, 25, 4);
    Place(Other, 175, 120, 80, 25, 5);
    Ok.SetText(u"OK");
    Ok.Default = true;
    Cancel.SetText(u"Cancel");
    Other.SetText(u"Other");
    Combo.SetItems({u"one", u"two", u"three"});
    Combo.SetItemIndex(0);
    DefaultButton = &Ok;
    CancelButton = &Cancel;
    ActiveControl = &Edit;
    Ok.OnClick = [this] { ++okClicks; };
    Cancel.OnClick = [this] { ++cancelClicks; };
    Other.OnClick = [this] { ++otherClicks; };
  }

  void Open() {
    CreateForm();
    Show();
    wintest::Pump(20);
  }

private:
  void Place(tk::TWinControl& c, int l, int t, int w, int h, int tab) {
    c.SetParent(this);
    c.SetBounds(l, t, w, h);
    c.TabOrder = tab;
  }
};

// Posts a key press to the focused window and lets the application's loop
// handle it, as a real key would arrive.
void PressKey(WPARAM vk) {
  HWND target = GetFocus();
  ASSERT_NE(target, nullptr);
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
  // The key-up is the last of the two; once it is gone both were handled.
  ASSERT_TRUE(PumpUntil(
      [&] {
        MSG m;
        return !PeekMessageW(&m, target, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
      },
      2000));
  wintest::Pump(10);
}

// ---- components

class Watcher : public tk::TComponent {
public:
  using TComponent::TComponent;
  std::vector<std::u16string> gone; // names, read while the component still exists

protected:
  void Notification(tk::TComponent* c) override { gone.push_back(c->Name()); }
};

TEST(Components, TheMainWindowFindsEachPartByName) {
  TMainForm f;
  for (const char16_t* name : {u"PanelEdit",
                               u"EditPath",
                               u"EditName",
                               u"Labelpiriodo",
                               u"EditExt",
                               u"PanelBtn",
                               u"BtnOption",
                               u"BtnNameClear",
                               u"BtnEdit",
                               u"CHKOKClose",
                               u"ComboBox",
                               u"BtnOK",
                               u"BtnCancel",
                               u"ListBox",
                               u"PPMenu",
                               u"PPMostTop",
                               u"N2",
                               u"PPLog",
                               u"PPEdit",
                               u"PPCaretCutBefore",
                               u"PPCaretCutAfter",
                               u"PPCaretCopyBefore",
                               u"PPCaretCopyAfter",
                               u"PPCaretXch",
                               u"N1",
                               u"PPUndo",
                               u"N3",
                               u"PPDate1",
                               u"PPDate6",
                               u"N4",
                               u"PPNote"}) {
    tk::TComponent* c = f.FindComponent(name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name(), name);
    EXPECT_EQ(c->Owner(), &f);
  }
  EXPECT_EQ(f.FindComponent(u"BtnOK"), &f.BtnOK);
  EXPECT_EQ(f.FindComponent(u"PPDate7"), nullptr);
  EXPECT_EQ(f.FindComponent(u""), nullptr);
}

TEST(Components, OwnerForgetsWhatIsDestroyedAndOwnedOutliveTheirOwner) {
  auto owner = std::make_unique<tk::TComponent>(nullptr, u"Owner");
  auto a = std::make_unique<tk::TComponent>(owner.get(), u"A");
  auto b = std::make_unique<tk::TComponent>(owner.get(), u"B");
  EXPECT_EQ(owner->Components().size(), 2u);
  a.reset();
  EXPECT_EQ(owner->FindComponent(u"A"), nullptr);
  EXPECT_EQ(owner->FindComponent(u"B"), b.get());
  owner.reset();
  EXPECT_EQ(b->Owner(), nullptr);
}

TEST(Components, SubscribersAreToldWhenTheOtherGoes) {
  Watcher w1(nullptr, u"W1"), w2(nullptr, u"W2");
  auto target = std::make_unique<tk::TComponent>(nullptr, u"Target");
  w1.FreeNotification(target.get());
  w1.FreeNotification(target.get()); // asking twice still tells once
  w2.FreeNotification(target.get());
  target.reset();
  EXPECT_EQ(w1.gone, std::vector<std::u16string>{u"Target"});
  EXPECT_EQ(w2.gone, std::vector<std::u16string>{u"Target"});
}

TEST(Components, AGoneSubscriberIsNotCalled) {
  auto early = std::make_unique<Watcher>(nullptr, u"Early");
  Watcher late(nullptr, u"Late");
  auto target = std::make_unique<Watcher>(nullptr, u"Target");
  early->FreeNotification(target.get());
  late.FreeNotification(target.get());
  // Both ways: the target also watches the subscriber that goes first.
  target->FreeNotification(early.get());
  early.reset();
  EXPECT_EQ(target->gone, std::vector<std::u16string>{u"Early"});
  target.reset(); // must not reach the destroyed subscriber
  EXPECT_EQ(late.gone, std::vector<std::u16string>{u"Target"});
}

// ---- the replaceable window procedure

TEST(WindowProcHook, SeesMessagesFirstAndCanSwallowThem) {
  TestForm f;
  f.Open();
  std::vector<UINT> seen;
  auto editHook = std::make_unique<wintest::Hook>(f.Edit, [&](wintest::Hook& h, tk::TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_CHAR && m.WParam == 'x')
      return;
    h.Next(m);
  });
  HWND h = f.Edit.Handle();
  SendMessageW(h, WM_CHAR, 'x', 1);
  EXPECT_EQ(WindowText(h), u"");
  SendMessageW(h, WM_CHAR, 'y', 1);
  EXPECT_EQ(WindowText(h), u"y");
  EXPECT_GE(std::count(seen.begin(), seen.end(), static_cast<UINT>(WM_CHAR)), 2);

  // The hook in front of a container sees the notifications before they are
  // handed to the child: swallowing the command swallows the click.
  int reached = 0;
  auto formHook = std::make_unique<wintest::Hook>(f, [&](wintest::Hook& h, tk::TMessage& m) {
    if (m.Msg == WM_COMMAND && reinterpret_cast<HWND>(m.LParam) == f.Other.Handle()) {
      ++reached;
      return;
    }
    h.Next(m);
  });
  SendMessageW(f.Other.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(reached, 1);
  EXPECT_EQ(f.otherClicks, 0);

  // With the default back in place the control behaves as before.
  formHook.reset();
  editHook.reset();
  SendMessageW(f.Other.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(f.otherClicks, 1);
  SendMessageW(h, WM_CHAR, 'x', 1);
  EXPECT_EQ(WindowText(h), u"yx");
}

TEST(WindowProcHook, ControlsWithHintsAreStillFoundFromTheirWindows) {
  // A tooltip subclasses the controls it serves; the toolkit must still see
  // their notifications.
  MainWindow w;
  for (tk::TWinControl* c : std::initializer_list<tk::TWinControl*>{
           &w->BtnOption, &w->BtnEdit, &w->BtnCancel, &w->CHKOKClose, &w->ComboBox, &w->EditName,
           &w->EditExt, &wintest::QueueList(*w)})
    EXPECT_EQ(tk::TWinControl::FromHandle(c->Handle()), c);
  int clicks = 0;
  w->BtnOption.OnClick = [&] { ++clicks; };
  SendMessageW(w->BtnOption.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
}

// ---- edits

TEST(EditChange, RunsOnlyWhenTheTextReallyChanges) {
  TestForm f;
  f.Open();
  int changes = 0;
  f.Edit.OnChange = [&] { ++changes; };
  HWND h = f.Edit.Handle();

  f.Edit.SetText(u"abc");
  EXPECT_EQ(changes, 1);
  f.Edit.SetText(u"abc");
  EXPECT_EQ(changes, 1);
  // The control reports an edit that ends with the same text; the event does not.
  SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
  SendMessageW(h, EM_SETSEL, 0, -1);
  SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"abc"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.Edit.Text(), u"abc");

  SendMessageW(h, EM_SETSEL, 3, 3);
  SendMessageW(h, WM_CHAR, 'd', 1);
  EXPECT_EQ(f.Edit.Text(), u"abcd");
  EXPECT_EQ(changes, 2);

  f.Edit.SetText(u"");
  EXPECT_EQ(changes, 3);
  f.Edit.SetText(u"");
  EXPECT_EQ(changes, 3);
  SendMessageW(h, WM_CHAR, 'z', 1);
  EXPECT_EQ(changes, 4);
}

TEST(EditChange, TypedTextIsLimitedButTheProgramsIsNot) {
  TestForm f;
  f.Edit.MaxLength = 5;
  f.Open();
  HWND h = f.Edit.Handle();
  f.Edit.SetText(u"abcdefgh");
  EXPECT_EQ(f.Edit.Text(), u"abcdefgh");
  f.Edit.SetText(u"");
  for (char c : std::string("123456789"))
    SendMessageW(h, WM_CHAR, static_cast<WPARAM>(c), 1);
  EXPECT_EQ(f.Edit.Text(), u"12345");
}

TEST(EditChange, EnterEventFollowsTheFocus) {
  TestForm f;
  int enters = 0;
  f.Edit.OnEnter = [&] { ++enters; };
  f.Open();
  EXPECT_EQ(GetFocus(), f.Edit.Handle());
  EXPECT_EQ(enters, 1);
  f.Other.SetFocus();
  EXPECT_EQ(enters, 1);
  f.Edit.SetFocus();
  EXPECT_EQ(enters, 2);
}

// ---- lists

TEST(ListBoxTyping, SelectsByFirstLetterOnlyWhenAsked) {
  TestForm f;
  f.Open();
  for (const char16_t* s : {u"apple", u"banana", u"cherry"})
    f.List.Add(s);
  f.List.SetItemIndex(0);
  SendMessageW(f.List.Handle(), WM_CHAR, 'c', 1);
  EXPECT_EQ(f.List.ItemIndex(), 0);
  f.List.IncrementalSearch = true;
  SendMessageW(f.List.Handle(), WM_CHAR, 'c', 1);
  EXPECT_EQ(f.List.ItemIndex(), 2);
}

// ---- default and cancel buttons

TEST(DialogKeys, EnterClicksTheDefaultButtonOnlyWhileItIsEnabled) {
  TestForm f;
  f.Open();
  f.Edit.SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(f.okClicks, 1);

  f.Ok.SetEnabled(false);
  PressKey(VK_RETURN);
  EXPECT_EQ(f.okClicks, 1);
  // Under Wine BM_CLICK reaches even a disabled button; it must not act.
  SendMessageW(f.Ok.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(f.okClicks, 1);
  EXPECT_EQ(f.otherClicks + f.cancelClicks, 0);
  // Enter did not reach the edit either.
  EXPECT_EQ(f.Edit.Text(), u"");

  f.Ok.SetEnabled(true);
  PressKey(VK_RETURN);
  EXPECT_EQ(f.okClicks, 2);
}

TEST(DialogKeys, AFocusedPushButtonTakesEnterItself) {
  TestForm f;
  f.Open();
  f.Other.SetFocus();
  ASSERT_EQ(GetFocus(), f.Other.Handle());
  PressKey(VK_RETURN);
  EXPECT_EQ(f.otherClicks, 1);
  EXPECT_EQ(f.okClicks, 0);
}

TEST(DialogKeys, EscapeClicksTheCancelButton) {
  TestForm f;
  f.Open();
  f.Edit.SetFocus();
  PressKey(VK_ESCAPE);
  EXPECT_EQ(f.cancelClicks, 1);
  f.Other.SetFocus();
  PressKey(VK_ESCAPE);
  EXPECT_EQ(f.cancelClicks, 2);
  EXPECT_EQ(f.otherClicks + f.okClicks, 0);
  f.Cancel.SetEnabled(false);
  f.Edit.SetFocus();
  PressKey(VK_ESCAPE);
  EXPECT_EQ(f.cancelClicks, 2);
}

TEST(DialogKeys, AnOpenDropDownListKeepsEnterForItself) {
  TestForm f;
  f.Open();
  f.Combo.SetFocus();
  SendMessageW(f.Combo.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(f.Combo.DroppedDown());
  PressKey(VK_RETURN);
  EXPECT_EQ(f.okClicks, 0);
  SendMessageW(f.Combo.Handle(), CB_SHOWDROPDOWN, FALSE, 0);
  f.Combo.SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(f.okClicks, 1);
}

TEST(DialogKeys, MainWindowOkAndCancelTakeEnterAndEscape) {
  MainWindow w;
  auto& f = *w;
  int ok = 0, cancel = 0;
  f.BtnOK.OnClick = [&] { ++ok; };
  f.BtnCancel.OnClick = [&] { ++cancel; };
  f.EditName.SetFocus();
  ASSERT_FALSE(f.BtnOK.Enabled());
  PressKey(VK_RETURN);
  EXPECT_EQ(ok, 0);
  f.BtnOK.SetEnabled(true);
  PressKey(VK_RETURN);
  EXPECT_EQ(ok, 1);
  PressKey(VK_ESCAPE);
  EXPECT_EQ(cancel, 1);
  f.BtnCancel.SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(cancel, 2);
  EXPECT_EQ(ok, 1);
}

// ---- errors and the error box

TEST(ErrorBox, ShowsTheMessageWithItsClosingPeriod) {
  ErrorCapture errors;
  struct Row {
    const char16_t* message;
    const char16_t* shown;
  };
  const Row rows[] = {
      {u"ファイルを開けません", u"ファイルを開けません."},
      {u"Cannot open", u"Cannot open."},
      {u"Done.", u"Done."},
      {u"1/2", u"1/2."}, // '/' lies above '.'
      {u"a-", u"a-"},    // '-' lies below it
      {u"(x)", u"(x)"},
      {u"trailing ", u"trailing "},
      {u"100", u"100."},
      {u"", u""},
  };
  for (const auto& r : rows)
    tk::Application().ShowError(r.message);
  ASSERT_EQ(errors.texts.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(errors.texts[i], rows[i].shown) << i;
}

TEST(ErrorBox, AnErrorInAClickEndsOnlyThatHandler) {
  ErrorCapture errors;
  TestForm f;
  f.Open();
  bool after = false;
  f.Other.OnClick = [&] {
    throw tavu::Exception(u"行を挿入できません");
    after = true;
  };
  SendMessageW(f.Other.Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(errors.texts, std::vector<std::u16string>{u"行を挿入できません."});
  EXPECT_FALSE(after);

  // The loop goes on with the next message.
  PostMessageW(f.Ok.Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return f.okClicks == 1; }, 2000));

  // Errors other than the program's own reach the box too.
  f.Other.OnClick = [] { throw std::runtime_error("boom"); };
  SendMessageW(f.Other.Handle(), BM_CLICK, 0, 0);
  f.Other.OnClick = [] { throw 42; };
  SendMessageW(f.Other.Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(errors.texts.size(), 3u);
  EXPECT_EQ(errors.texts[2], u"不明なエラー.");
}

TEST(ErrorBox, AnErrorFromAKeyOrAHookIsCaughtToo) {
  ErrorCapture errors;
  TestForm f;
  f.Open();
  f.Ok.OnClick = [] { throw tavu::Exception(u"Enter"); };
  f.Edit.SetFocus();
  PressKey(VK_RETURN);
  wintest::Hook hook(f.Edit, [](wintest::Hook& h, tk::TMessage& m) {
    if (m.Msg == WM_CHAR)
      throw tavu::Exception(u"Hook");
    h.Next(m);
  });
  SendMessageW(f.Edit.Handle(), WM_CHAR, 'a', 1);
  EXPECT_EQ(errors.texts, (std::vector<std::u16string>{u"Enter.", u"Hook."}));
  EXPECT_TRUE(IsWindow(f.Handle()));
}

// A main form whose shortcut test fails on F2.
class FailingShortcutForm : public TestForm {
public:
  bool IsShortCut(const MSG& msg) override {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F2)
      throw tavu::Exception(u"Shortcut");
    return false;
  }
};

TEST(ErrorBox, AnErrorInTheShortcutTestConsumesTheKey) {
  wintest::ResetApplication();
  ErrorCapture errors;
  FailingShortcutForm f;
  tk::Application().MainForm = &f;
  f.Open();
  std::vector<WPARAM> keys;
  wintest::Hook hook(f.Edit, [&](wintest::Hook& h, tk::TMessage& m) {
    if (m.Msg == WM_KEYDOWN)
      keys.push_back(m.WParam);
    h.Next(m);
  });
  f.Edit.SetFocus();
  PressKey(VK_F2);
  PressKey(VK_F3);
  tk::Application().MainForm = nullptr;
  EXPECT_EQ(errors.texts, std::vector<std::u16string>{u"Shortcut."});
  EXPECT_EQ(keys, std::vector<WPARAM>{VK_F3});
}

TEST(ErrorBox, AnErrorInTheCreationHandlerStillLeavesTheWindow) {
  ErrorCapture errors;
  TestForm f;
  bool before = false, after = false;
  f.OnCreate = [&] {
    before = true;
    throw tavu::Exception(u"設定を読めません");
    after = true;
  };
  f.Open();
  EXPECT_TRUE(before);
  EXPECT_FALSE(after);
  EXPECT_EQ(errors.texts, std::vector<std::u16string>{u"設定を読めません."});
  ASSERT_TRUE(f.HandleAllocated());
  EXPECT_TRUE(IsWindow(f.Handle()));
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_TRUE(f.Ok.HandleAllocated());
}

TEST(ErrorBox, AnErrorInTheCloseQueryKeepsTheWindowOpen) {
  wintest::ResetApplication();
  ErrorCapture errors;
  TestForm f;
  tk::Application().MainForm = &f;
  f.Open();
  f.OnCloseQuery = []() -> bool { throw tavu::Exception(u"閉じられません"); };
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(errors.texts, std::vector<std::u16string>{u"閉じられません."});
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_FALSE(tk::ApplicationTestAccess::Terminated());

  f.OnCloseQuery = [] { return false; };
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_FALSE(tk::ApplicationTestAccess::Terminated());

  // Closing the main form ends the loop.
  f.OnCloseQuery = [] { return true; };
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_TRUE(tk::ApplicationTestAccess::Terminated());
  EXPECT_FALSE(tk::ApplicationTestAccess::ProcessMessages());
  tk::Application().MainForm = nullptr;
  wintest::ResetApplication();
  EXPECT_TRUE(tk::ApplicationTestAccess::ProcessMessages());
}

// ---- the real message box, driven from a second thread

struct BoxFound {
  HWND dialog = nullptr;
};

BOOL CALLBACK FindOurDialog(HWND h, LPARAM lp) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(h)) {
    reinterpret_cast<BoxFound*>(lp)->dialog = h;
    return FALSE;
  }
  return TRUE;
}

struct StaticParts {
  std::u16string text;
  HICON icon = nullptr;
};

BOOL CALLBACK ReadStatics(HWND h, LPARAM lp) {
  auto* parts = reinterpret_cast<StaticParts*>(lp);
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (lstrcmpiW(cls, L"Static") != 0)
    return TRUE;
  if ((GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
    parts->icon = reinterpret_cast<HICON>(SendMessageW(h, STM_GETICON, 0, 0));
  else if (GetWindowTextLengthW(h) > 0)
    parts->text = WindowText(h);
  return TRUE;
}

// Waits for a message box of this process, reads it and presses OK. Every
// wait is bounded, so a box that never comes fails the test instead of
// hanging it.
class MessageBoxDriver {
public:
  std::atomic<bool> done{false};
  bool found = false, closed = false;
  std::u16string caption, text;
  HICON icon = nullptr;
  HWND owner = nullptr;

  MessageBoxDriver() : thread_([this] { Run(); }) {}
  ~MessageBoxDriver() {
    if (thread_.joinable())
      thread_.join();
  }
  void Join() { thread_.join(); }

private:
  void Run() {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    BoxFound box;
    while (!box.dialog && GetTickCount64() < deadline) {
      EnumWindows(FindOurDialog, reinterpret_cast<LPARAM>(&box));
      if (!box.dialog)
        Sleep(20);
    }
    if (box.dialog) {
      found = true;
      caption = WindowText(box.dialog);
      owner = GetWindow(box.dialog, GW_OWNER);
      StaticParts parts;
      EnumChildWindows(box.dialog, ReadStatics, reinterpret_cast<LPARAM>(&parts));
      text = parts.text;
      icon = parts.icon;
      const ULONGLONG closeBy = GetTickCount64() + 5000;
      while (IsWindow(box.dialog) && GetTickCount64() < closeBy) {
        if (HWND ok = GetDlgItem(box.dialog, IDOK))
          PostMessageW(ok, BM_CLICK, 0, 0);
        else
          PostMessageW(box.dialog, WM_COMMAND, IDOK, 0);
        Sleep(100);
      }
      closed = !IsWindow(box.dialog);
    }
    done = true;
  }

  std::thread thread_;
};

TEST(ErrorBox, RealMessageBoxShowsTheErrorAndTheLoopGoesOn) {
  MainWindow w;
  auto& f = *w;
  ASSERT_FALSE(tk::UseErrorBox(nullptr));
  f.BtnOption.OnClick = [] { throw tavu::Exception(u"ファイルを作成できません"); };
  int later = 0;
  f.BtnEdit.OnClick = [&] { ++later; };

  MessageBoxDriver driver;
  PostMessageW(f.BtnOption.Handle(), BM_CLICK, 0, 0);
  // The box's own modal loop runs inside this pump until the driver presses OK.
  ASSERT_TRUE(PumpUntil([&] { return driver.done.load(); }, 15000));
  driver.Join();
  ASSERT_TRUE(driver.found) << "no message box appeared";
  EXPECT_TRUE(driver.closed);
  EXPECT_EQ(driver.caption, u"TAVU");
  EXPECT_EQ(driver.text, u"ファイルを作成できません.");
  EXPECT_EQ(driver.owner, f.Handle());
  EXPECT_NE(driver.icon, nullptr);
  EXPECT_EQ(driver.icon, LoadIconW(nullptr, IDI_ERROR));

  PostMessageW(f.BtnEdit.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return later == 1; }, 2000));
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
}

// ---- forms

BOOL CALLBACK CountToolTip(HWND h, LPARAM lp) {
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  if (lstrcmpiW(cls, L"tooltips_class32") == 0)
    ++*reinterpret_cast<int*>(lp);
  return TRUE;
}

int ToolTipsOfThisThread() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountToolTip, reinterpret_cast<LPARAM>(&n));
  return n;
}

TEST(Forms, HintWindowGoesWithItsForm) {
  int before = ToolTipsOfThisThread();
  {
    MainWindow w;
    EXPECT_EQ(ToolTipsOfThisThread(), before + 1);
  }
  EXPECT_EQ(ToolTipsOfThisThread(), before);
}

} // namespace
