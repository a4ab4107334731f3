// The two popup menus of the main window and the menu machinery under them:
// what a menu shows when it opens (accelerators, surplus separators), where
// the buttons open them, and what choosing an item does.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/pelvane.h"
#include "fixture.h"
#include "menuseam.h"
#include "toolkit/menus.h"
#include "common/wide.h"

namespace {

using wintest::Line;
using wintest::MainWindow;
using wintest::TrackSeam;

// The accelerator characters of a caption ("&&" is a literal ampersand).
std::u16string Accelerators(const std::u16string& caption) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&')
      continue;
    if (caption[i + 1] != u'&')
      out.push_back(caption[i + 1]);
    ++i;
  }
  return out;
}

char16_t Upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

// Each shown caption carries exactly one accelerator, no two the same, and
// reads as its item's caption once the accelerator is taken out again.
void ExpectOneDistinctAcceleratorEach(const std::vector<tk::TPopupMenu::Shown>& shown) {
  std::set<char16_t> seen;
  for (const auto& s : shown) {
    if (s.item->IsSeparator())
      continue;
    std::u16string acc = Accelerators(s.caption);
    ASSERT_EQ(acc.size(), 1u) << "caption without exactly one accelerator";
    EXPECT_TRUE(seen.insert(Upper(acc[0])).second) << "accelerator used twice";
    const std::u16string& original = s.item->Caption;
    if (Accelerators(original).size() == 1) {
      EXPECT_EQ(s.caption, original); // its own accelerator stays
      continue;
    }
    std::u16string bracket = u"(&" + acc + u")";
    if (s.caption.size() > bracket.size() &&
        s.caption.compare(s.caption.size() - bracket.size(), bracket.size(), bracket) == 0) {
      EXPECT_EQ(s.caption.substr(0, s.caption.size() - bracket.size()), original);
    } else {
      std::u16string plain = s.caption;
      plain.erase(plain.find(u'&' + acc), 1);
      EXPECT_EQ(plain, original);
    }
  }
}

std::vector<std::u16string> Names(const std::vector<tk::TPopupMenu::Shown>& shown) {
  std::vector<std::u16string> out;
  for (const auto& s : shown)
    out.push_back(s.item->Name());
  return out;
}

bool TopMost(HWND h) {
  return (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// ---- the settings menu

TEST(SettingsMenu, HoldsTheTwoSwitchesAroundASeparator) {
  MainWindow w;
  auto& f = *w;
  auto shown = f.PPMenu.Prepare();
  ASSERT_EQ(Names(shown), (std::vector<std::u16string>{u"PPMostTop", u"N2", u"PPLog"}));
  EXPECT_TRUE(f.N2.IsSeparator());
  EXPECT_EQ(f.PPMostTop.Caption, u"常に手前に表示");
  EXPECT_EQ(f.PPLog.Caption, u"ログを保存");
  EXPECT_TRUE(f.PPMostTop.AutoCheck);
  EXPECT_TRUE(f.PPLog.AutoCheck);
  EXPECT_FALSE(f.PPMostTop.Checked);
  EXPECT_FALSE(f.PPLog.Checked);
}

TEST(SettingsMenu, GetsOneDistinctAcceleratorPerItem) {
  MainWindow w;
  ASSERT_TRUE(w->PPMenu.AutoHotkeys);
  auto shown = w->PPMenu.Prepare();
  ExpectOneDistinctAcceleratorEach(shown);
  // The items keep their captions; only what is shown changes.
  EXPECT_EQ(w->PPMostTop.Caption, u"常に手前に表示");
}

TEST(SettingsMenu, AlwaysOnTopFollowsItsCheckMarkWhenChosen) {
  MainWindow w;
  auto& f = *w;
  HWND h = f.Handle();
  ASSERT_FALSE(TopMost(h));
  TrackSeam seam;
  seam.Choose(u"常に手前に表示");
  f.BtnOptionClick();
  ASSERT_EQ(seam.calls.size(), 1u);
  EXPECT_TRUE(f.PPMostTop.Checked);
  EXPECT_TRUE(TopMost(h));

  // The menu shows the mark the next time it opens; choosing again undoes it.
  f.BtnOptionClick();
  ASSERT_EQ(seam.calls.size(), 2u);
  EXPECT_TRUE(seam.calls[1].lines.at(0).checked);
  EXPECT_FALSE(f.PPMostTop.Checked);
  EXPECT_FALSE(TopMost(h));
  EXPECT_TRUE(IsWindowVisible(h));
}

TEST(SettingsMenu, LogSwitchOnlyTogglesItsMark) {
  MainWindow w;
  auto& f = *w;
  TrackSeam seam;
  seam.Choose(u"ログを保存");
  f.BtnOptionClick();
  EXPECT_TRUE(f.PPLog.Checked);
  EXPECT_FALSE(f.PPMostTop.Checked);
  EXPECT_FALSE(TopMost(f.Handle()));
  f.BtnOptionClick();
  EXPECT_FALSE(f.PPLog.Checked);
}

TEST(SettingsMenu, DismissingChangesNothing) {
  MainWindow w;
  TrackSeam seam;
  w->BtnOptionClick();
  ASSERT_EQ(seam.calls.size(), 1u);
  EXPECT_FALSE(w->PPMostTop.Checked);
  EXPECT_FALSE(w->PPLog.Checked);
}

TEST(SettingsMenu, SetTopMostSwitchesDirectly) {
  MainWindow w;
  HWND h = w.Handle();
  EXPECT_TRUE(Pelvane::SetTopMost(h, true));
  EXPECT_TRUE(TopMost(h));
  EXPECT_TRUE(Pelvane::SetTopMost(h, true));
  EXPECT_TRUE(TopMost(h));
  EXPECT_TRUE(Pelvane::SetTopMost(h, false));
  EXPECT_FALSE(TopMost(h));
}

TEST(SettingsMenu, OpensAtTheMouseCursorAlsoFromTheKeyboard) {
  MainWindow w;
  auto& f = *w;
  TrackSeam seam;
  ASSERT_TRUE(SetCursorPos(300, 200));
  SendMessageW(f.BtnOption.Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(seam.calls.size(), 1u);
  EXPECT_EQ(seam.calls[0].x, 300);
  EXPECT_EQ(seam.calls[0].y, 200);
  EXPECT_EQ(seam.calls[0].owner, f.Handle());
  ASSERT_EQ(seam.calls[0].lines.size(), 3u);
  EXPECT_TRUE(seam.calls[0].lines[1].separator);

  // Alt+S presses the button; the menu still opens where the mouse is.
  ASSERT_TRUE(SetCursorPos(640, 410));
  f.EditName.SetFocus();
  PostMessageW(GetFocus(), WM_SYSCHAR, 's', 1 | (1 << 29));
  ASSERT_TRUE(wintest::PumpUntil([&] { return seam.calls.size() == 2; }, 2000))
      << "Alt+S did not press the settings button";
  EXPECT_EQ(seam.calls[1].x, 640);
  EXPECT_EQ(seam.calls[1].y, 410);
}

// ---- the edit menu

TEST(EditMenu, ShowsItsOwnCaptionsWithoutAddedAccelerators) {
  MainWindow w;
  auto& f = *w;
  EXPECT_FALSE(f.PPEdit.AutoHotkeys);
  struct Row {
    tk::TMenuItem& item;
    const char16_t* caption;
    bool enabled;
  };
  const Row rows[] = {
      {f.PPCaretCutBefore, u"キャレット位置より前を削除(&B) Shift+Ctrl+←", false},
      {f.PPCaretCutAfter, u"キャレット位置より後ろを削除(&A)  Shift+Ctrl+→", false},
      {f.PPCaretCopyBefore, u"キャレット位置より前を切り取り(&D) Shift+Ctrl+↑", false},
      {f.PPCaretCopyAfter, u"キャレット位置より後ろを切り取り(&C) Shift+Ctrl+↓", false},
      {f.PPCaretXch, u"キャレット位置より前と後ろを入れ替え(&X) Shift+Ctrl+Home", false},
      {f.N1, u"-", true},
      {f.PPUndo, u"元の名前を入力(&Z) Ctrl+N", false},
      {f.PPUndoLast, u"直前の変更を元に戻す(&U) Shift+Ctrl+Z", false},
      {f.N3, u"-", true},
      {f.PPDate1, u"", true},
      {f.PPDate2, u"", true},
      {f.PPDate3, u"", true},
      {f.PPDate4, u"", true},
      {f.PPDate5, u"", true},
      {f.PPDate6, u"", true},
      {f.N4, u"-", true},
      {f.PPNote, u"単語帳", true},
  };
  auto shown = f.PPEdit.Prepare();
  ASSERT_EQ(shown.size(), std::size(rows));
  for (std::size_t i = 0; i < shown.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(shown[i].item, &rows[i].item);
    EXPECT_EQ(shown[i].caption, rows[i].caption);
    EXPECT_EQ(rows[i].item.Enabled, rows[i].enabled);
  }
}

TEST(EditMenu, EachDateItemInsertsTheDateItShows) {
  wintest::ScratchFolder dir;
  const std::u16string file = dir.File(u"a.txt");
  MainWindow w({file});
  auto& f = *w;
  tk::TMenuItem* dates[] = {&f.PPDate1, &f.PPDate2, &f.PPDate3, &f.PPDate4, &f.PPDate5, &f.PPDate6};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i + 1);
    f.EditName.SetText(u"a");
    TrackSeam seam;
    seam.choose = [&](const std::vector<Line>& lines) { return lines.at(9 + i).id; };
    f.BtnEditClick();
    ASSERT_EQ(seam.calls.size(), 1u);
    const std::u16string shown = seam.calls[0].lines.at(9 + i).text;
    EXPECT_EQ(shown, dates[i]->Caption);
    // Where it goes in the name is the caret's business, tested with the caret.
    const std::u16string name = f.EditName.Text();
    EXPECT_EQ(name.size(), shown.size() + 1);
    EXPECT_NE(name.find(shown), std::u16string::npos);
  }
}

TEST(EditMenu, OpensAtAFixedOffsetFromTheWindowWherever) {
  MainWindow w;
  auto& f = *w;
  TrackSeam seam;
  for (POINT at : {POINT{37, 45}, POINT{260, 310}, POINT{0, 0}}) {
    SetWindowPos(f.Handle(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer{};
    GetWindowRect(f.Handle(), &outer);
    ASSERT_EQ(outer.left, at.x);
    ASSERT_EQ(outer.top, at.y);
    SendMessageW(f.BtnEdit.Handle(), BM_CLICK, 0, 0);
    ASSERT_FALSE(seam.calls.empty());
    EXPECT_EQ(seam.calls.back().x, at.x + 180);
    EXPECT_EQ(seam.calls.back().y, at.y + 53);
    EXPECT_EQ(seam.calls.back().owner, f.Handle());
  }
  EXPECT_EQ(seam.calls.size(), 3u);
  POINT p = f.EditMenuPoint();
  EXPECT_EQ(p.x, 180);
  EXPECT_EQ(p.y, 53);
}

TEST(EditMenu, NativeMenuMirrorsTheItems) {
  MainWindow w;
  TrackSeam seam;
  w->BtnEditClick();
  ASSERT_EQ(seam.calls.size(), 1u);
  // With the queue empty the date items are hidden, and with them the
  // separator that would follow another one.
  const auto& lines = seam.calls[0].lines;
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0].text, u"キャレット位置より前を削除(&B) Shift+Ctrl+←");
  for (int i = 0; i < 5; ++i)
    EXPECT_TRUE(lines[static_cast<std::size_t>(i)].grayed) << i;
  for (std::size_t i : {5u, 8u})
    EXPECT_TRUE(lines[i].separator) << i;
  EXPECT_TRUE(lines[6].grayed);
  // Nothing was ever done with this data folder: nothing to take back.
  EXPECT_EQ(lines[7].text, u"直前の変更を元に戻す(&U) Shift+Ctrl+Z");
  EXPECT_TRUE(lines[7].grayed);
  EXPECT_EQ(lines[9].text, u"単語帳");
  EXPECT_FALSE(lines[9].grayed);
  // Commands are numbered by line, so a choice finds its item.
  std::set<UINT> ids;
  for (const auto& l : lines) {
    if (!l.separator) {
      EXPECT_TRUE(ids.insert(l.id).second);
    }
  }
}

TEST(EditMenu, ChoosingADisabledItemDoesNothing) {
  MainWindow w;
  auto& f = *w;
  int undo = 0;
  f.PPUndo.OnClick = [&] { ++undo; };
  TrackSeam seam;
  seam.Choose(u"元の名前を入力");
  f.EditName.SetFocus();
  f.BtnEditClick();
  EXPECT_TRUE(seam.calls.back().lines.at(6).grayed);
  EXPECT_EQ(undo, 0);
  // A changed name enables it when the menu opens.
  f.EditName.SetText(u"x");
  f.BtnEditClick();
  EXPECT_FALSE(seam.calls.back().lines.at(6).grayed);
  EXPECT_EQ(undo, 1);
}

// ---- the menu machinery on menus of our own

struct OwnMenu {
  tk::TComponent owner{nullptr, u"Owner"};
  tk::TPopupMenu menu{&owner, u"Menu"};
  std::vector<std::unique_ptr<tk::TMenuItem>> items;

  tk::TMenuItem& Add(std::u16string name, std::u16string caption, bool visible = true) {
    items.push_back(std::make_unique<tk::TMenuItem>(&owner, std::move(name), std::move(caption)));
    items.back()->Visible = visible;
    menu.Items.push_back(items.back().get());
    return *items.back();
  }
};

TEST(PopupMenuSeparators, SurplusOnesAreHidden) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char16_t*, bool>> items; // caption ("-": separator), visible
    std::vector<std::u16string> shown;                   // names, given as their captions
  };
  const Case cases[] = {
      {"first and last", {{u"-", true}, {u"a", true}, {u"-", true}}, {u"a"}},
      {"doubled", {{u"a", true}, {u"-", true}, {u"-", true}, {u"b", true}}, {u"a", u"-", u"b"}},
      {"around an invisible item",
       {{u"a", true}, {u"-", true}, {u"x", false}, {u"-", true}, {u"b", true}},
       {u"a", u"-", u"b"}},
      {"before invisible items only", {{u"a", true}, {u"-", true}, {u"x", false}}, {u"a"}},
      {"after invisible items only", {{u"x", false}, {u"-", true}, {u"a", true}}, {u"a"}},
      {"an invisible separator", {{u"a", true}, {u"-", false}, {u"b", true}}, {u"a", u"b"}},
      {"only separators", {{u"-", true}, {u"-", true}}, {}},
      {"kept between items",
       {{u"a", true}, {u"-", true}, {u"b", true}, {u"-", true}, {u"c", true}},
       {u"a", u"-", u"b", u"-", u"c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OwnMenu m;
    m.menu.AutoHotkeys = false;
    for (const auto& [caption, visible] : c.items)
      m.Add(caption, caption, visible);
    std::vector<std::u16string> got;
    for (const auto& s : m.menu.Prepare())
      got.push_back(s.caption);
    EXPECT_EQ(got, c.shown);
  }
}

TEST(PopupMenuSeparators, NativeMenuHasNoSurplusSeparators) {
  OwnMenu m;
  m.Add(u"S0", u"-");
  m.Add(u"A", u"a");
  m.Add(u"S1", u"-");
  m.Add(u"S2", u"-");
  m.Add(u"X", u"x", false);
  m.Add(u"B", u"b");
  m.Add(u"S3", u"-");
  m.menu.AutoHotkeys = false;
  TrackSeam seam;
  m.menu.Popup(10, 20, nullptr);
  ASSERT_EQ(seam.calls.size(), 1u);
  const auto& lines = seam.calls[0].lines;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, u"a");
  EXPECT_TRUE(lines[1].separator);
  EXPECT_EQ(lines[2].text, u"b");
  EXPECT_EQ(seam.calls[0].x, 10);
  EXPECT_EQ(seam.calls[0].y, 20);
}

TEST(PopupMenuAccelerators, EveryItemGetsItsOwnKey) {
  OwnMenu m;
  m.Add(u"Open", u"&Open");
  m.Add(u"Save", u"Save");
  m.Add(u"Sort", u"Sort");
  m.Add(u"Stop", u"Stop");
  m.Add(u"Amp", u"A&&B");
  m.Add(u"Sep", u"-");
  m.Add(u"Word", u"単語");
  m.Add(u"Hidden", u"Open later", false);
  auto shown = m.menu.Prepare();
  ASSERT_EQ(shown.size(), 7u);
  ExpectOneDistinctAcceleratorEach(shown);
  EXPECT_EQ(shown[0].caption, u"&Open");
  // A literal ampersand stays doubled next to the accelerator it gets.
  EXPECT_NE(shown[4].caption.find(u"&&B"), std::u16string::npos);
  EXPECT_EQ(shown[5].caption, u"-");
}

TEST(PopupMenuOpening, OpeningHandlerRunsBeforeTheMenuIsBuilt) {
  OwnMenu m;
  auto& a = m.Add(u"A", u"a");
  auto& b = m.Add(u"B", u"b", false);
  int clicks = 0;
  b.OnClick = [&] { ++clicks; };
  m.menu.AutoHotkeys = false;
  m.menu.OnPopup = [&] {
    a.Caption = u"changed";
    b.Visible = true;
    b.Checked = true;
  };
  TrackSeam seam;
  seam.Choose(u"b");
  m.menu.Popup(0, 0, nullptr);
  ASSERT_EQ(seam.calls.size(), 1u);
  const auto& lines = seam.calls[0].lines;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, u"changed");
  EXPECT_TRUE(lines[1].checked);
  EXPECT_EQ(clicks, 1);
}

TEST(PopupMenuOpening, AutoCheckTogglesBeforeTheHandlerRuns) {
  OwnMenu m;
  auto& a = m.Add(u"A", u"a");
  a.AutoCheck = true;
  std::vector<bool> seen;
  a.OnClick = [&] { seen.push_back(a.Checked); };
  m.menu.AutoHotkeys = false;
  TrackSeam seam;
  seam.Choose(u"a");
  m.menu.Popup(0, 0, nullptr);
  m.menu.Popup(0, 0, nullptr);
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  // A choice the menu does not hold is ignored.
  seam.choose = [](const std::vector<Line>&) { return 99u; };
  m.menu.Popup(0, 0, nullptr);
  EXPECT_EQ(seen.size(), 2u);
}

} // namespace
