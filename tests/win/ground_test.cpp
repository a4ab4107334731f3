// What hooks and later windows stand on: a hook sees a control's whole life,
// windows made anew keep their state, a handler may unhook itself, edits
// keep their caret index, modal runs disable every form, and the program
// finds the window it was started from in its real start-up order.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/wide.h"
#include "filemanager.h"
#include "fixture.h"
#include "forms/main.h"
#include "scratch.h"
#include "toolkit/controls.h"
#include "toolkit/forms.h"

namespace {

using wintest::Hook;
using wintest::MainWindow;
using wintest::ScratchFolder;

class SmallForm : public tk::TForm {
public:
  tk::TEdit Edit{this, u"Edit"};
  tk::TListBox List{this, u"List"};
  tk::TCheckBox Check{this, u"Check"};
  tk::TComboBox Combo{this, u"Combo"};
  tk::TButton Button{this, u"Button"};

  SmallForm() : TForm(nullptr, u"SmallForm", u"TTavuSmallForm") {
    ClientWidth = 300;
    ClientHeight = 200;
    int top = 5;
    for (tk::TWinControl* c :
         std::initializer_list<tk::TWinControl*>{&Edit, &List, &Check, &Combo, &Button}) {
      c->SetParent(this);
      c->SetBounds(5, top, 200, c == &List ? 60 : 22);
      top += c->Height() + 4;
    }
    Combo.SetItems({u"a", u"b", u"c"});
  }
};

// Records which of a few life-cycle messages pass through a control's WindowProc.
std::vector<UINT> Lifecycle(const std::vector<UINT>& seen) {
  std::vector<UINT> out;
  for (UINT m : seen)
    if (m == WM_NCCREATE || m == WM_CREATE || m == WM_DESTROY || m == WM_NCDESTROY)
      out.push_back(m);
  return out;
}

TEST(ControlHook, SeesCreationAndDestructionAlsoWhenTheWindowIsMadeAnew) {
  SmallForm f;
  std::vector<UINT> edit, list;
  Hook editHook(f.Edit, [&](Hook& h, tk::TMessage& m) {
    edit.push_back(m.Msg);
    h.Next(m);
  });
  Hook listHook(f.List, [&](Hook& h, tk::TMessage& m) {
    list.push_back(m.Msg);
    h.Next(m);
  });
  f.CreateForm();
  const std::vector<UINT> created{WM_NCCREATE, WM_CREATE};
  EXPECT_EQ(Lifecycle(edit), created);
  EXPECT_EQ(Lifecycle(list), created);

  edit.clear();
  f.Edit.RecreateHandle();
  EXPECT_EQ(Lifecycle(edit), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY, WM_NCCREATE, WM_CREATE}));
  // The whole form made anew takes its controls along.
  list.clear();
  f.RecreateHandle();
  EXPECT_EQ(Lifecycle(list), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY, WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(tk::TWinControl::FromHandle(f.List.Handle()), &f.List);
}

// Watches components go and checks that they are whole when it hears of it.
class Watcher : public tk::TComponent {
public:
  Watcher() : TComponent(nullptr, u"Watcher") {}
  std::vector<std::u16string> whole, broken;
  using TComponent::FreeNotification;

protected:
  void Notification(tk::TComponent* gone) override {
    (dynamic_cast<tk::TEdit*>(gone) || dynamic_cast<tk::TForm*>(gone) ? whole : broken)
        .push_back(gone->Name());
  }
};

TEST(FreeNotification, ArrivesWhileTheComponentIsWholeAndCanBeTakenBack) {
  class OwningForm : public SmallForm {
  public:
    ~OwningForm() override { NotifyDestroyingAll(); }
  };
  Watcher watcher;
  {
    OwningForm f;
    f.CreateForm();
    watcher.FreeNotification(&f.Edit);
    watcher.FreeNotification(&f);
    watcher.FreeNotification(&f.List);
    watcher.RemoveFreeNotification(&f.List);
  }
  EXPECT_EQ(watcher.whole, (std::vector<std::u16string>{u"Edit", u"SmallForm"}));
  EXPECT_TRUE(watcher.broken.empty());
}

TEST(FormCreation, ComponentsAreLoadedOnceBeforeTheCreationHandler) {
  class Probe : public tk::TComponent {
  public:
    Probe(tk::TComponent* owner, std::vector<std::u16string>& events)
        : TComponent(owner, u"Probe"), events_(events) {}
    void Loaded() override { events_.push_back(u"loaded"); }

  private:
    std::vector<std::u16string>& events_;
  };
  std::vector<std::u16string> events;
  SmallForm f;
  Probe probe(&f, events);
  f.OnCreate = [&] { events.push_back(u"create"); };
  f.CreateForm();
  EXPECT_EQ(events, (std::vector<std::u16string>{u"loaded", u"create"}));
}

TEST(FormFrame, AToolWindowWithoutSystemMenuAndAMinimumSize) {
  SmallForm f;
  f.ToolWindow = true;
  f.SystemMenu = false;
  f.MinWidth = 250;
  f.MinHeight = 120;
  f.CreateForm();
  const LONG style = GetWindowLongW(f.Handle(), GWL_STYLE);
  EXPECT_FALSE(style & WS_SYSMENU) << "a close box would show";
  EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  MINMAXINFO mm{};
  SendMessageW(f.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
  EXPECT_EQ(mm.ptMinTrackSize.x, MulDiv(250, f.Dpi(), 96));
  EXPECT_EQ(mm.ptMinTrackSize.y, MulDiv(120, f.Dpi(), 96));
}

TEST(ToolBar, AClickOnACheckButtonTogglesItAndRunsItsOwnHandler) {
  class BarForm : public SmallForm {
  public:
    tk::TToolBar Bar{this, u"Bar"};
    tk::TToolButton Plain{this, u"Plain", u"一つ目"};
    tk::TToolButton Gap{this, u"Gap", {}, tk::TToolButton::Separator};
    tk::TToolButton Check{this, u"Check", u"起動時に表示", tk::TToolButton::Check};
    BarForm() {
      Bar.SetParent(this);
      Bar.Align = tk::TAlign::Top;
      Bar.SetBounds(0, 0, 300, 26);
      for (auto* b : {&Plain, &Gap, &Check})
        Bar.Add(*b);
    }
  };
  BarForm f;
  std::vector<std::u16string> clicks;
  f.Plain.OnClick = [&] { clicks.push_back(u"plain"); };
  f.Check.OnClick = [&] { clicks.push_back(f.Check.Down() ? u"down" : u"up"); };
  f.CreateForm();
  f.Show();
  auto click = [&](tk::TToolButton& b) {
    const int index = b.Style == tk::TToolButton::Check ? 2 : 0;
    RECT r{};
    SendMessageW(f.Bar.Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(f.Bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(f.Bar.Handle(), WM_LBUTTONUP, 0, at);
  };
  click(f.Check);
  click(f.Plain);
  click(f.Check);
  EXPECT_EQ(clicks, (std::vector<std::u16string>{u"down", u"plain", u"up"}));
  // The state survives the bar's window being made anew.
  f.Check.SetDown(true);
  f.Bar.RecreateHandle();
  EXPECT_TRUE(f.Check.Down());
}

TEST(RecreateHandle, ControlsKeepTheirState) {
  SmallForm f;
  f.CreateForm();
  f.Show();
  f.Edit.SetText(u"abcdef");
  f.Edit.SetSel(2, 3);
  for (const char16_t* s : {u"one", u"two", u"three"})
    f.List.Add(s);
  f.List.SetItemIndex(1);
  f.Check.SetChecked(true);
  f.Combo.SetItemIndex(2);
  f.Button.SetEnabled(false);
  f.Button.SetVisible(false);
  const RECT before = f.List.BoundsRect();
  int changes = 0;
  f.Edit.OnChange = [&] { ++changes; };

  const HWND oldForm = f.Handle(), oldList = f.List.Handle();
  f.RecreateHandle();
  EXPECT_NE(f.Handle(), oldForm);
  EXPECT_NE(f.List.Handle(), oldList);
  EXPECT_FALSE(IsWindow(oldList));

  EXPECT_EQ(f.Edit.Text(), u"abcdef");
  EXPECT_EQ(f.Edit.SelStart(), 2);
  EXPECT_EQ(f.Edit.SelLength(), 3);
  EXPECT_EQ(changes, 0) << "making the window anew is not a change of text";
  ASSERT_EQ(f.List.Count(), 3);
  EXPECT_EQ(f.List.Item(2), u"three");
  EXPECT_EQ(f.List.ItemIndex(), 1);
  EXPECT_TRUE(f.Check.Checked());
  EXPECT_EQ(f.Combo.ItemIndex(), 2);
  EXPECT_FALSE(IsWindowEnabled(f.Button.Handle()));
  EXPECT_FALSE(IsWindowVisible(f.Button.Handle()));
  RECT now;
  GetWindowRect(f.List.Handle(), &now);
  MapWindowPoints(nullptr, f.Handle(), reinterpret_cast<POINT*>(&now), 2);
  EXPECT_EQ(now.left, before.left);
  EXPECT_EQ(now.right - now.left, before.right - before.left) << "scaled twice?";
}

TEST(RecreateHandle, TheQueueSurvivesAndStaysFreeOfDuplicates) {
  ScratchFolder dir;
  const auto a = dir.File(u"a.txt"), b = dir.File(u"b.txt");
  MainWindow w({a, b});
  wintest::QueueList(*w).RecreateHandle();
  ASSERT_EQ(wintest::QueueList(*w).Count(), 2);
  EXPECT_EQ(wintest::QueueList(*w).Item(0), a);
  w->AddPath(b); // still known as queued
  EXPECT_EQ(wintest::QueueList(*w).Count(), 2);
  w->BtnCancelClick();
  w->AddPath(a); // gone from the queue, so it may come back
  EXPECT_EQ(wintest::QueueList(*w).Count(), 2);
}

TEST(ControlHook, AHandlerMayUnhookWhileItsMessageRuns) {
  SmallForm f;
  f.CreateForm();
  // The hook puts the old procedure back in the middle of its own call and
  // then goes on using its own state: the slot it was called from changes,
  // the running call must not.
  int seen = 0, after = 0;
  Hook hook(f.Edit, [&](Hook& h, tk::TMessage& m) {
    ++seen;
    if (m.Msg == WM_CHAR) {
      h.Unhook();
      h.Next(m);
      ++after;
      return;
    }
    h.Next(m);
  });
  SendMessageW(f.Edit.Handle(), WM_CHAR, 'a', 1);
  const int seenAtUnhook = seen;
  SendMessageW(f.Edit.Handle(), WM_CHAR, 'b', 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(seen, seenAtUnhook) << "the hook still sees messages";
  EXPECT_EQ(f.Edit.Text(), u"ab");
}

TEST(ListBoxKeys, TheOwnFilterCannotBeDroppedByAHookAndKeyPressCanSwallow) {
  SmallForm f;
  f.CreateForm();
  f.List.Add(u"apple");
  f.List.Add(u"banana");
  f.List.SetItemIndex(0);
  Hook pass(f.List, [](Hook& h, tk::TMessage& m) { h.Next(m); });
  SendMessageW(f.List.Handle(), WM_CHAR, 'b', 1);
  EXPECT_EQ(f.List.ItemIndex(), 0) << "no incremental search unless asked for";

  f.List.IncrementalSearch = true;
  std::u16string pressed;
  f.List.OnKeyPress = [&](char16_t& key) {
    pressed += key;
    if (key == u'x')
      key = 0;
  };
  SendMessageW(f.List.Handle(), WM_CHAR, 'x', 1);
  SendMessageW(f.List.Handle(), WM_CHAR, 'b', 1);
  EXPECT_EQ(pressed, u"xb");
  EXPECT_EQ(f.List.ItemIndex(), 1);
}

TEST(EditCaret, TheIndexAtFocusLossIsKept) {
  SmallForm f;
  f.CreateForm();
  f.Show();
  SetForegroundWindow(f.Handle());
  f.Edit.SetText(u"abcdef");
  f.Edit.SetFocus();
  f.Edit.SetSel(4, 0);
  wintest::Pump(20);
  EXPECT_EQ(f.Edit.CaretIndex(), 4);
  f.Button.SetVisible(true);
  f.Button.SetFocus();
  wintest::Pump(20);
  ASSERT_FALSE(f.Edit.Focused());
  EXPECT_EQ(f.Edit.SavedCaretIndex(), 4);
  EXPECT_EQ(f.Edit.CaretIndex(), 4);
  // Back in the field, the live caret counts again.
  f.Edit.SetFocus();
  f.Edit.SetSel(1, 0);
  EXPECT_EQ(f.Edit.CaretIndex(), 1);
}

TEST(ModalScope, DisablesEveryFormAndEnablesThemAgain) {
  SmallForm a, b, off;
  for (auto* f : {&a, &b, &off}) {
    f->CreateForm();
    f->Show();
  }
  EnableWindow(off.Handle(), FALSE);
  {
    tk::TModalScope modal;
    EXPECT_FALSE(IsWindowEnabled(a.Handle()));
    EXPECT_FALSE(IsWindowEnabled(b.Handle()));
  }
  EXPECT_TRUE(IsWindowEnabled(a.Handle()));
  EXPECT_TRUE(IsWindowEnabled(b.Handle()));
  EXPECT_FALSE(IsWindowEnabled(off.Handle())) << "a form disabled before stays disabled";
}

TEST(ShortCutHook, NotCalledWhileTheMainFormIsDisabled) {
  class CountingForm : public SmallForm {
  public:
    int calls = 0;
    bool IsShortCut(const MSG&) override { return ++calls, false; }
  };
  wintest::ResetApplication();
  CountingForm main;
  SmallForm other;
  tk::Application().MainForm = &main;
  main.CreateForm();
  other.CreateForm();
  main.Show();
  other.Show();
  auto press = [](HWND target) {
    MSG msg{target, WM_KEYDOWN, VK_F4, 1, 0, {}};
    tk::Application().Dispatch(msg);
  };
  press(main.Edit.Handle());
  press(other.Edit.Handle()); // another form's key reaches the main form's hook too
  EXPECT_EQ(main.calls, 2);
  EnableWindow(main.Handle(), FALSE);
  press(other.Edit.Handle());
  EXPECT_EQ(main.calls, 2);
  tk::Application().MainForm = nullptr;
}

TEST(StartUp, TheWindowItWasStartedFromIsFoundInTheRealOrder) {
  ScratchFolder dir;
  const auto file = dir.File(u"a.txt");
  testsupport::FileManagerWindow manager; // the user's file manager, open before the program starts
  tk::ApplicationTestAccess::ForgetWindow();
  wintest::ResetApplication();
  auto form = StartMainWindow({file});
  EXPECT_EQ(wintest::Fields(*form).MExp, manager.Handle());
  tk::Application().MainForm = nullptr;
  form.reset();
  wintest::ResetApplication();
}

} // namespace
