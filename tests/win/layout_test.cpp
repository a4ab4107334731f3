// The main window as built: frame, bounds of every control in its container
// (native windows and wrappers agree), captions, hints, initial states,
// docking after a resize and the keyboard order.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture.h"
#include "scratch.h"
#include "common/wide.h"

namespace {

using wintest::MainWindow;
using Controls = std::initializer_list<tk::TWinControl*>;

std::u16string WindowText(HWND h) {
  wchar_t buf[512] = {};
  int n = GetWindowTextW(h, buf, 512);
  return ToU16(buf, static_cast<std::size_t>(n > 0 ? n : 0));
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

// The native window's rectangle in its parent's client area.
RECT InParent(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

LONG Style(HWND h) {
  return GetWindowLongW(h, GWL_STYLE);
}

struct Bounds {
  int left, top, width, height;
};

void ExpectBounds(tk::TWinControl& c, Bounds b, bool checkHeight = true) {
  SCOPED_TRACE(Narrow(c.Name()));
  ASSERT_TRUE(c.HandleAllocated());
  RECT r = InParent(c.Handle());
  EXPECT_EQ(r.left, b.left);
  EXPECT_EQ(r.top, b.top);
  EXPECT_EQ(r.right - r.left, b.width);
  EXPECT_EQ(c.Left(), b.left);
  EXPECT_EQ(c.Top(), b.top);
  EXPECT_EQ(c.Width(), b.width);
  if (checkHeight) {
    EXPECT_EQ(r.bottom - r.top, b.height);
    EXPECT_EQ(c.Height(), b.height);
  }
}

SIZE ClientSize(HWND h) {
  RECT r{};
  GetClientRect(h, &r);
  return {r.right - r.left, r.bottom - r.top};
}

// Resizes the window so that its client area gets the given size.
void SetClientSize(HWND h, int width, int height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(Style(h)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A real file in a fresh folder, so the window loads a file item.
class TempFile {
public:
  explicit TempFile(const std::u16string& name) : path_(dir_.File(name)) {}
  const std::u16string& Path() const { return path_; }

private:
  wintest::ScratchFolder dir_;
  std::u16string path_;
};

TEST(MainWindowFrame, TitleClassAndTitleBarButtons) {
  MainWindow w;
  HWND h = w.Handle();
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  EXPECT_EQ(ToU16(cls), u"TMainForm");
  EXPECT_EQ(WindowText(h), u"TAVU");
  // Later launches find the running window by exactly this pair.
  EXPECT_EQ(FindWindowW(L"TMainForm", L"TAVU"), h);

  LONG style = Style(h);
  EXPECT_EQ(style & WS_CHILD, 0);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_NE(style & WS_THICKFRAME, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
  EXPECT_TRUE(IsWindowVisible(h));

  SIZE client = ClientSize(h);
  EXPECT_EQ(client.cx, 984);
  EXPECT_EQ(client.cy, 169);
  EXPECT_EQ(w->Dpi(), 96);
}

TEST(MainWindowFrame, FocusStartsInTheNameField) {
  MainWindow w;
  EXPECT_EQ(GetFocus(), w->EditName.Handle());
  EXPECT_EQ(wintest::Fields(*w).MEdit, &w->EditName);
}

TEST(MainWindowLayout, ControlsStandAtTheirDesignedBounds) {
  MainWindow w;
  auto& f = *w;
  EXPECT_EQ(GetParent(f.PanelEdit.Handle()), f.Handle());
  EXPECT_EQ(GetParent(f.PanelBtn.Handle()), f.Handle());
  EXPECT_EQ(GetParent(wintest::QueueList(f).Handle()), f.Handle());
  for (auto* c : {&f.EditPath, &f.EditName, &f.EditExt})
    EXPECT_EQ(GetParent(c->Handle()), f.PanelEdit.Handle());
  EXPECT_EQ(GetParent(f.Labelpiriodo.Handle()), f.PanelEdit.Handle());

  ExpectBounds(f.PanelEdit, {0, 0, 984, 78});
  ExpectBounds(f.EditPath, {1, 1, 982, 21});
  ExpectBounds(f.EditName, {1, 22, 982, 21});
  ExpectBounds(f.Labelpiriodo, {1, 43, 982, 13});
  ExpectBounds(f.EditExt, {1, 56, 982, 21});
  ExpectBounds(f.PanelBtn, {0, 78, 984, 30});
  ExpectBounds(f.BtnOption, {1, 1, 120, 28});
  ExpectBounds(f.BtnNameClear, {121, 1, 120, 28});
  ExpectBounds(f.BtnEdit, {241, 1, 120, 28});
  ExpectBounds(f.CHKOKClose, {463, 1, 100, 28});
  ExpectBounds(f.ComboBox, {563, 1, 120, 0}, false);
  ExpectBounds(f.BtnOK, {683, 1, 150, 28});
  ExpectBounds(f.BtnCancel, {833, 1, 150, 28});
  ExpectBounds(wintest::QueueList(f), {0, 108, 984, 61});
  for (auto* c : Controls{&f.BtnOption, &f.BtnNameClear, &f.BtnEdit, &f.CHKOKClose, &f.ComboBox,
                          &f.BtnOK, &f.BtnCancel})
    EXPECT_EQ(GetParent(c->Handle()), f.PanelBtn.Handle()) << Narrow(c->Name());
}

TEST(MainWindowLayout, DropDownListKeepsTheHeightOfItsFieldAndOpensBelowIt) {
  MainWindow w;
  HWND combo = w->ComboBox.Handle();
  RECT field = InParent(combo);
  int fieldHeight = field.bottom - field.top;
  // The selection field is as high as the font makes it, not the row's 28 pixels.
  EXPECT_LT(fieldHeight, 28);
  EXPECT_GT(fieldHeight, static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, -1, 0)));
  // Opened, the list shows all three items below the field.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  ASSERT_TRUE(w->ComboBox.DroppedDown());
  RECT list{}, box{};
  GetClientRect(info.hwndList, &list);
  GetWindowRect(info.hwndList, &box);
  GetWindowRect(combo, &field);
  int itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  EXPECT_GE(list.bottom - list.top, 3 * itemHeight);
  EXPECT_GE(box.top, field.bottom - 1);
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  EXPECT_FALSE(w->ComboBox.DroppedDown());
  EXPECT_EQ(w->ComboBox.ItemIndex(), 0);
}

TEST(MainWindowLayout, CaptionsHintsAndInitialStates) {
  MainWindow w;
  auto& f = *w;
  struct Row {
    tk::TWinControl& c;
    const char16_t* caption;
    const char16_t* hint;
    bool enabled;
  };
  const Row rows[] = {
      {f.BtnOption, u"設定(&S)", u"設定メニュー", true},
      {f.BtnNameClear, u"名前を消去(&C)", u"名前をクリア", false},
      {f.BtnEdit, u"編集(&E)", u"編集メニュー", true},
      {f.CHKOKClose, u"OKで終了", u"リストのすべての処理が完了すると終了", true},
      {f.ComboBox, u"そのまま", u"名前を変更後に移動またはコピー", true},
      {f.BtnOK, u"OK[ENTER]", u"右クリックで名前を変更後に移動またはコピー", false},
      {f.BtnCancel, u"キャンセル[ESC]", u"次のフォルダ／ファイルの処理", true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(Narrow(r.c.Name()));
    EXPECT_EQ(WindowText(r.c.Handle()), r.caption);
    EXPECT_EQ(f.ToolText(r.c.Handle()), r.hint);
    EXPECT_EQ(IsWindowEnabled(r.c.Handle()) != FALSE, r.enabled);
    EXPECT_EQ(r.c.Enabled(), r.enabled);
  }
  // Controls without a hint get no tooltip.
  for (auto* c :
       Controls{&f.EditPath, &f.EditExt, &wintest::QueueList(f), &f.PanelBtn, &f.PanelEdit})
    EXPECT_EQ(f.ToolText(c->Handle()), u"") << Narrow(c->Name());
  EXPECT_EQ(WindowText(f.PanelEdit.Handle()), u"");
  EXPECT_EQ(WindowText(f.PanelBtn.Handle()), u"");

  HWND ok = f.BtnOK.Handle();
  EXPECT_EQ(Style(ok) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(Style(f.BtnCancel.Handle()) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(f.DefaultButton, &f.BtnOK);
  EXPECT_EQ(f.CancelButton, &f.BtnCancel);

  HWND chk = f.CHKOKClose.Handle();
  EXPECT_EQ(Style(chk) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_NE(Style(chk) & BS_LEFTTEXT, 0);
  EXPECT_EQ(SendMessageW(chk, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(f.CHKOKClose.Checked());

  HWND combo = f.ComboBox.Handle();
  EXPECT_EQ(Style(combo) & 3, CBS_DROPDOWNLIST);
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  const char16_t* items[] = {u"そのまま", u"移動", u"コピー"};
  for (int i = 0; i < 3; ++i) {
    wchar_t buf[32] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(ToU16(buf), items[i]);
  }
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(f.ComboBox.ItemIndex(), 0);

  EXPECT_FALSE(IsWindowEnabled(wintest::QueueList(f).Handle()));
  EXPECT_EQ(SendMessageW(wintest::QueueList(f).Handle(), LB_GETCOUNT, 0, 0), 0);
}

TEST(MainWindowLayout, PathFieldIsReadOnlyOnButtonFaceWithoutTabStop) {
  MainWindow w;
  auto& f = *w;
  HWND path = f.EditPath.Handle();
  EXPECT_NE(Style(path) & ES_READONLY, 0);
  EXPECT_EQ(Style(path) & WS_TABSTOP, 0);
  EXPECT_NE(Style(f.EditName.Handle()) & WS_TABSTOP, 0);
  EXPECT_EQ(Style(f.EditName.Handle()) & ES_READONLY, 0);

  // A read-only edit asks its parent for colours with WM_CTLCOLORSTATIC; the
  // panel must hand that to the field, which paints on button face.
  HDC dc = GetDC(path);
  auto brush = reinterpret_cast<HBRUSH>(SendMessageW(f.PanelEdit.Handle(), WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(path)));
  EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(path, dc);
}

TEST(MainWindowLayout, PeriodLabelIsCentredAndShownForAFile) {
  TempFile file(u"a.txt");
  {
    TMainForm before;
    EXPECT_EQ(before.Labelpiriodo.Text(), u"\u3000\uFF0E\u3000");
  }
  MainWindow w({file.Path()});
  HWND label = w->Labelpiriodo.Handle();
  EXPECT_NE(Style(label) & SS_CENTERIMAGE, 0);
  EXPECT_EQ(WindowText(label), u"\u3000\uFF0E\u3000");
  EXPECT_EQ(WindowText(w->EditName.Handle()), u"a");
  EXPECT_EQ(WindowText(w->EditExt.Handle()), u"txt");
}

TEST(MainWindowLayout, DockedControlsFollowAResize) {
  MainWindow w;
  auto& f = *w;
  SetClientSize(f.Handle(), 1200, 300);
  wintest::Pump(20);
  SIZE client = ClientSize(f.Handle());
  ASSERT_EQ(client.cx, 1200);
  ASSERT_EQ(client.cy, 300);

  ExpectBounds(f.PanelEdit, {0, 0, 1200, 78});
  ExpectBounds(f.EditPath, {1, 1, 1198, 21});
  ExpectBounds(f.EditName, {1, 22, 1198, 21});
  ExpectBounds(f.Labelpiriodo, {1, 43, 1198, 13});
  ExpectBounds(f.EditExt, {1, 56, 1198, 21});
  ExpectBounds(f.PanelBtn, {0, 78, 1200, 30});
  ExpectBounds(f.BtnOption, {1, 1, 120, 28});
  ExpectBounds(f.BtnNameClear, {121, 1, 120, 28});
  ExpectBounds(f.BtnEdit, {241, 1, 120, 28});
  ExpectBounds(f.CHKOKClose, {679, 1, 100, 28});
  ExpectBounds(f.ComboBox, {779, 1, 120, 0}, false);
  ExpectBounds(f.BtnOK, {899, 1, 150, 28});
  ExpectBounds(f.BtnCancel, {1049, 1, 150, 28});
  ExpectBounds(wintest::QueueList(f), {0, 108, 1200, 192});

  // Back to the designed size, everything returns to its place.
  SetClientSize(f.Handle(), 984, 169);
  wintest::Pump(20);
  ExpectBounds(f.EditExt, {1, 56, 982, 21});
  ExpectBounds(f.BtnCancel, {833, 1, 150, 28});
  ExpectBounds(wintest::QueueList(f), {0, 108, 984, 61});
}

TEST(MainWindowLayout, OnlyALayoutThatMovesAControlReachesItsWindow) {
  // A layout pass sets every docked control again; one that leaves a control
  // where it stands must not cost its window a move (a round trip under Wine).
  MainWindow w;
  auto& f = *w;
  int moves = 0;
  wintest::Hook hook(f.EditExt, [&](wintest::Hook& h, tk::TMessage& m) {
    moves += m.Msg == WM_WINDOWPOSCHANGING;
    h.Next(m);
  });
  f.AlignControls();
  f.SetBounds(f.Left(), f.Top(), f.Width(), f.Height());
  EXPECT_EQ(moves, 0);
  SetClientSize(f.Handle(), 1200, 169);
  wintest::Pump(20);
  EXPECT_GE(moves, 1);
  ExpectBounds(f.EditExt, {1, 56, 1198, 21});
}

// The controls that Tab visits from the window, in order, one full round.
std::vector<HWND> TabRound(HWND form) {
  std::vector<HWND> out;
  HWND first = GetNextDlgTabItem(form, nullptr, FALSE);
  for (HWND h = first; h && out.size() < 32;) {
    out.push_back(h);
    h = GetNextDlgTabItem(form, h, FALSE);
    if (h == first)
      break;
  }
  return out;
}

TEST(MainWindowKeyboard, ButtonRowComesFirstThenTheFieldsThenTheQueue) {
  TempFile file(u"a.txt");
  MainWindow w({file.Path()});
  auto& f = *w;
  // With everything enabled the whole order is visible.
  for (auto* c : Controls{&f.BtnOK, &f.BtnNameClear, &f.EditExt, &wintest::QueueList(f)})
    c->SetEnabled(true);
  std::vector<HWND> expected = {f.BtnOK.Handle(),     f.BtnCancel.Handle(),
                                f.BtnOption.Handle(), f.BtnNameClear.Handle(),
                                f.BtnEdit.Handle(),   f.CHKOKClose.Handle(),
                                f.ComboBox.Handle(),  f.EditName.Handle(),
                                f.EditExt.Handle(),   wintest::QueueList(f).Handle()};
  EXPECT_EQ(TabRound(f.Handle()), expected);

  // Disabled controls and the path field are left out.
  f.BtnOK.SetEnabled(false);
  f.BtnNameClear.SetEnabled(false);
  wintest::QueueList(f).SetEnabled(false);
  expected = {f.BtnCancel.Handle(), f.BtnOption.Handle(), f.BtnEdit.Handle(), f.CHKOKClose.Handle(),
              f.ComboBox.Handle(),  f.EditName.Handle(),  f.EditExt.Handle()};
  EXPECT_EQ(TabRound(f.Handle()), expected);
}

TEST(MainWindowKeyboard, TabKeyMovesThroughTheLoop) {
  TempFile file(u"a.txt");
  MainWindow w({file.Path()});
  auto& f = *w;
  f.BtnOK.SetEnabled(true);
  f.BtnNameClear.SetEnabled(false);
  f.EditName.SetFocus();
  ASSERT_EQ(GetFocus(), f.EditName.Handle());
  auto tab = [&] {
    HWND from = GetFocus();
    PostMessageW(from, WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(from, WM_KEYUP, VK_TAB, 0xC0000001);
    return wintest::PumpUntil([&] { return GetFocus() != from; }, 2000);
  };
  // The queue is disabled and so is the name clearing: both are passed over.
  const std::vector<tk::TWinControl*> round = {&f.EditExt,   &f.BtnOK,   &f.BtnCancel,
                                               &f.BtnOption, &f.BtnEdit, &f.CHKOKClose,
                                               &f.ComboBox,  &f.EditName};
  for (auto* next : round) {
    ASSERT_TRUE(tab()) << "Tab did not move on to " << Narrow(next->Name());
    EXPECT_EQ(GetFocus(), next->Handle()) << Narrow(next->Name());
  }
  EXPECT_EQ(wintest::Fields(f).MEdit, &f.EditName);
}

TEST(MainWindowKeyboard, SiblingsAreStackedInTabOrder) {
  MainWindow w;
  auto& f = *w;
  std::vector<HWND> row;
  for (HWND h = GetWindow(f.PanelBtn.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    row.push_back(h);
  std::vector<HWND> expected = {
      f.BtnOK.Handle(),   f.BtnCancel.Handle(),  f.BtnOption.Handle(), f.BtnNameClear.Handle(),
      f.BtnEdit.Handle(), f.CHKOKClose.Handle(), f.ComboBox.Handle()};
  EXPECT_EQ(row, expected);

  std::vector<HWND> top;
  for (HWND h = GetWindow(f.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    top.push_back(h);
  expected = {f.PanelBtn.Handle(), f.PanelEdit.Handle(), wintest::QueueList(f).Handle()};
  EXPECT_EQ(top, expected);
}

} // namespace
