// The word list window on real windows and files: the list read in its
// encodings, entries taken into the name field or onto the clipboard, the
// tool buttons, keys in the list, and "K-Sorel.ini".
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/clipboard.h"
#include "common/handle.h"
#include "common/shellops.h"
#include "common/wide.h"
#include "fixture.h"
#include "scratch.h"
#include "forms/note.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

using Words = std::vector<std::u16string>;
using wintest::PumpUntil;

// A data folder of the test's own holding the files the test puts there, and
// the two windows made as the program's start makes them; every error box
// shown meanwhile is kept in `errors`.
struct Session {
  wintest::ScratchFolder dir;
  std::u16string saved = Pelvane::DataFolder;
  std::vector<std::u16string> errors;
  std::unique_ptr<wintest::MainWindow> main;
  TNoteForm* note = nullptr;

  explicit Session(const std::string& words = "", const std::string& ini = "") {
    Pelvane::DataFolder = dir.Path(u"");
    if (!words.empty())
      WriteBytes(Note(), words);
    if (!ini.empty())
      WriteBytes(Ini(), ini);
    tk::UseErrorBox([this](const std::u16string& t) { errors.push_back(t); });
  }
  ~Session() {
    main.reset();
    tk::UseErrorBox(nullptr);
    Pelvane::DataFolder = saved;
  }
  TNoteForm& Start(std::vector<std::u16string> args = {}) {
    main.reset();
    main = std::make_unique<wintest::MainWindow>(std::move(args));
    note = &(*main)->StartNoteWindow();
    wintest::Pump(20);
    return *note;
  }
  std::u16string Note() const { return dir.Path(u"TAVU-Note.txt"); }
  std::u16string Ini() const { return dir.Path(u"K-Sorel.ini"); }
};

Words Entries(tk::TListBox& list) {
  Words v;
  for (int i = 0; i < list.Count(); ++i)
    v.push_back(list.Item(i));
  return v;
}

// The window's outer frame as left, top, width, height.
std::vector<LONG> Frame(tk::TForm& form) {
  RECT r{};
  GetWindowRect(form.Handle(), &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Posts a key press to the focused window through the application's loop.
void Press(WPARAM vk, bool shiftCtrl = false, bool alt = false) {
  BYTE saved[256], state[256];
  GetKeyboardState(saved);
  std::memcpy(state, saved, sizeof state);
  state[VK_SHIFT] = state[VK_CONTROL] = shiftCtrl ? 0x80 : 0;
  SetKeyboardState(state);
  HWND target = GetFocus();
  PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, alt ? 1 | (1 << 29) : 1);
  EXPECT_TRUE(PumpUntil([&] {
    MSG m;
    return !PeekMessageW(&m, target, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
  }));
  SetKeyboardState(saved);
}

// Clicks the button with the mouse: the bar reports it through the window,
// where an error goes to the error box.
void Click(TNoteForm& n, tk::TToolButton& button) {
  const auto& all = n.ToolBar.Buttons();
  RECT r{};
  SendMessageW(n.ToolBar.Handle(), TB_GETITEMRECT,
               std::find(all.begin(), all.end(), &button) - all.begin(),
               reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(n.ToolBar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(n.ToolBar.Handle(), WM_LBUTTONUP, 0, at);
}

std::u16string ClipboardText() {
  std::u16string text = u"<none>";
  if (OpenClipboard(nullptr)) {
    if (HANDLE g = GetClipboardData(CF_UNICODETEXT)) {
      text = ToU16(static_cast<const wchar_t*>(GlobalLock(g)));
      GlobalUnlock(g);
    }
    CloseClipboard();
  }
  return text;
}

TEST(NoteWindow, ReadsTheWordListInItsEncoding) {
  const Words two{u"日付", u"案件"};
  const struct {
    const char* what;
    std::string bytes;
    Words words;
  } cases[] = {
      {"UTF-8 with a mark", "\xEF\xBB\xBF\xE6\x97\xA5\xE4\xBB\x98\r\n\xE6\xA1\x88\xE4\xBB\xB6",
       two},
      {"UTF-8 without one", "\xE6\x97\xA5\xE4\xBB\x98\r\n\xE6\xA1\x88\xE4\xBB\xB6\r\n", two},
      {"UTF-16 LE", std::string("\xFF\xFE\xE5\x65\xD8\x4E\r\0\n\0\x48\x68\xF6\x4E", 14), two},
      {"code page 932", "\x93\xFA\x95\x74\r\n\x88\xC4\x8C\x8F\r\n", two},
      {"three kinds of break", "a\r\nb\n\nc\r\n", {u"a", u"b", u"", u"c"}},
      {"beyond code page 932", "\xC3\xA9\xF0\x9F\x98\x80", {u"é😀"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Session run(c.bytes);
    TNoteForm& n = run.Start();
    EXPECT_EQ(Entries(n.ListBox), c.words);
    n.ListBox.SetItemIndex(0);
    n.TBNameClick();
    EXPECT_EQ(run.main->Form().EditName.Text(), c.words.front());
  }
}

TEST(NoteWindow, APickedEntryGoesToTheNameCaretAndTheFocusBackThere) {
  const struct {
    const char* what;
    void (*pick)(TNoteForm&);
  } ways[] = {
      {"tool button", [](TNoteForm& n) { Click(n, n.TBName); }},
      {"Alt+N", [](TNoteForm&) { Press('N', false, true); }},
      {"Enter", [](TNoteForm&) { Press(VK_RETURN); }},
      {"double-click",
       [](TNoteForm& n) {
         for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
           SendMessageW(n.ListBox.Handle(), m, 0, MAKELPARAM(2, 2));
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    Session run("XY\r\nother\r\n");
    TNoteForm& n = run.Start({run.dir.File(u"abcdef.txt")});
    TMainForm& f = run.main->Form();
    f.EditName.SetFocus();
    f.EditName.SetSel(3, 0);
    f.EditExt.SetFocus();
    ShowWindow(f.Handle(), SW_MINIMIZE);
    f.PPNoteClick();
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == n.Handle(); }));
    EXPECT_EQ(n.ListBox.ItemIndex(), 0) << "showing selects the first entry";
    way.pick(n);
    EXPECT_EQ(f.EditName.Text(), u"abcXYdef");
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == f.Handle(); }));
    EXPECT_FALSE(IsIconic(f.Handle()));
    EXPECT_EQ(GetFocus(), f.EditName.Handle());
    EXPECT_EQ(wintest::Fields(f).MEdit, &f.EditName);
  }
}

TEST(NoteWindow, KeysInTheListTypeNothingMoveAndReachTheMainShortcuts) {
  Session run("alpha\r\nbeta\r\n");
  TNoteForm& n = run.Start({run.dir.File(u"abcdef.txt")});
  TMainForm& f = run.main->Form();
  f.EditName.SetFocus();
  f.EditName.SetSel(2, 0);
  f.PPNoteClick();
  Press('B');
  EXPECT_EQ(n.ListBox.ItemIndex(), 0) << "a typed letter chose an entry";
  Press(VK_DOWN);
  EXPECT_EQ(n.ListBox.ItemIndex(), 1);
  Press(VK_LEFT, true); // Shift+Ctrl+Left: delete in front of the name's caret
  EXPECT_EQ(f.EditName.Text(), u"cdef");
  EXPECT_EQ(GetFocus(), f.EditName.Handle());
}

std::vector<std::pair<HWND, std::u16string>> shellCalls;

HINSTANCE WINAPI RecordShellOpen(HWND parent, LPCWSTR verb, LPCWSTR file, LPCWSTR params,
                                 LPCWSTR dir, INT show) {
  const bool plain = !params && !dir && show == SW_SHOW && std::wstring(verb) == L"open";
  shellCalls.push_back({parent, plain ? ToU16(file) : u"<other call>"});
  return reinterpret_cast<HINSTANCE>(42);
}

TEST(NoteWindow, ReloadCopyAndEditButtons) {
  Session run("a\r\nb\r\n");
  TNoteForm& n = run.Start();
  n.ListBox.SetItemIndex(1);
  Click(n, n.TBClip);
  EXPECT_EQ(ClipboardText(), u"b");

  // Reload is pressed in the window a user sees.
  n.Show();
  wintest::Pump(20);
  WriteBytes(run.Note(), "new\r\n" + std::string(3000, 'W'));
  Click(n, n.TBReload);
  EXPECT_EQ(Entries(n.ListBox), (Words{u"new", std::u16string(3000, u'W')}));
  EXPECT_EQ(n.ListBox.ItemIndex(), -1);
  // The scroll extent follows the longer entries at once.
  EXPECT_GT(SendMessageW(n.ListBox.Handle(), LB_GETHORIZONTALEXTENT, 0, 0), 2 * 3000 * 4);
  // Nothing selected: the clipboard and the name are left alone.
  Pelvane::CopyTextToClipboard(nullptr, u"kept");
  Click(n, n.TBClip);
  Click(n, n.TBName);
  EXPECT_EQ(ClipboardText(), u"kept");
  EXPECT_EQ(run.main->Form().EditName.Text(), u"");

  // A file held by a writer is shown; one that is gone changes nothing.
  {
    ScopedFileHandle writer(
        CreateFileW(AsWide(run.Note()), GENERIC_WRITE, 0, 0, OPEN_EXISTING, 0, 0));
    Click(n, n.TBReload);
  }
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0].rfind(u"ファイル " + run.Note() + u" は開けません。 ", 0), 0u);
  ASSERT_TRUE(DeleteFileW(AsWide(run.Note())));
  Click(n, n.TBReload);
  EXPECT_EQ(n.ListBox.Count(), 2);

  // Edit asks the shell to open the file, and only a file that is there.
  {
    const wintest::UseScope recorded(Pelvane::UseShellOpen, RecordShellOpen);
    shellCalls.clear();
    Click(n, n.TBEdit);
    WriteBytes(run.Note(), "");
    Click(n, n.TBEdit);
  }
  EXPECT_EQ(shellCalls, (decltype(shellCalls){{n.Handle(), run.Note()}}));
}

TEST(NoteWindow, TheScrollExtentReachesTheLongestEntryOnceTheListCanBeSeen) {
  // A hidden window measures its entries when it is shown, at every showing
  // after a load; a shown one (its setting at the start) at once.
  for (const char* ini : {"", "[Note]\r\nShow=1\r\n"}) {
    SCOPED_TRACE(ini);
    Session run("a\r\n" + std::string(3000, 'W') + "\r\n", ini);
    TNoteForm& n = run.Start();
    const auto extent = [&] {
      return SendMessageW(n.ListBox.Handle(), LB_GETHORIZONTALEXTENT, 0, 0);
    };
    if (!IsWindowVisible(n.Handle())) {
      EXPECT_EQ(extent(), 0) << "the start waited for a window nobody sees to measure";
      n.Show();
      wintest::Pump(20);
    }
    EXPECT_GT(extent(), 2 * 3000 * 4);
    // Read again while hidden, with a longer entry; shown once more.
    n.Hide();
    WriteBytes(run.Note(), std::string(6000, 'W'));
    Click(n, n.TBReload);
    n.Show();
    wintest::Pump(20);
    EXPECT_GT(extent(), 2 * 6000 * 4);
  }
}

TEST(NoteWindow, OddWordListsLoadWhole) {
  std::string lines;
  for (int i = 0; i < 100000; ++i)
    lines += "word" + std::to_string(i) + "\r\n";
  const struct {
    const char* what;
    std::string bytes;
    int count;
  } cases[] = {
      {"100,000 lines", lines, 100000},
      {"one line of 1 MB", std::string(1 << 20, 'x'), 1},
      {"binary", std::string("\0\x01\xFE\r\x80\n\xFF\0", 8), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Session run(c.bytes);
    EXPECT_EQ(run.Start().ListBox.Count(), c.count);
    EXPECT_TRUE(run.errors.empty());
  }
}

TEST(NoteWindow, AFileThatCannotBeReadOrMadeAtTheStartIsShownAndTheWindowStaysHidden) {
  enum class Fault { WordsHeld, WordsAFolder, SettingsHeld };
  for (Fault fault : {Fault::WordsHeld, Fault::WordsAFolder, Fault::SettingsHeld}) {
    SCOPED_TRACE(static_cast<int>(fault));
    Session run(fault == Fault::WordsAFolder ? "" : "a\r\nb\r\n", "[Note]\r\nShow=1\r\n");
    const std::u16string held = fault == Fault::SettingsHeld ? run.Ini() : run.Note();
    std::u16string expected = u"ファイル " + held + u" は開けません。 ";
    ScopedFileHandle writer;
    if (fault == Fault::WordsAFolder) {
      ASSERT_TRUE(CreateDirectoryW(AsWide(run.Note()), nullptr));
      expected = u"ファイル \"" + run.Note() + u"\" を作成できません。";
    } else {
      // Another program writes the file: it cannot be read.
      writer.Reset(CreateFileW(AsWide(held), GENERIC_WRITE, 0, 0, OPEN_EXISTING, 0, 0));
      ASSERT_TRUE(writer);
    }
    TNoteForm& n = run.Start();
    // The rest of the start is skipped: nothing read, nothing shown.
    EXPECT_FALSE(IsWindowVisible(n.Handle()));
    EXPECT_EQ(n.ListBox.Count(), 0);
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0].rfind(expected, 0), 0u);
    // The window still knows its list: once the file is free, it reads it.
    writer.Reset();
    if (fault != Fault::WordsAFolder) {
      Click(n, n.TBReload);
      EXPECT_EQ(Entries(n.ListBox), (Words{u"a", u"b"}));
    }
  }
}

TEST(NoteWindow, StartsHiddenWithAnEmptyListAndKeepsItsSettingsAcrossStarts) {
  // Too small and off every monitor: raised to the minimum, brought back.
  Session run("", "[Note]\r\nTop=9000\r\nLeft=30\r\nHeight=100\r\nWidth=500\r\n");
  TNoteForm* n = &run.Start();
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(Frame(*n), (std::vector<LONG>{(sw - 750) / 2, (sh - 250) / 2, 750, 250}));
  EXPECT_EQ(ReadBytes(run.Note()), "");
  EXPECT_EQ(n->ListBox.Count(), 0);
  EXPECT_EQ(FindWindowW(L"TNoteForm", L"TAVU - 単語帳"), n->Handle());
  EXPECT_FALSE(IsWindowVisible(n->Handle()));
  EXPECT_FALSE(GetWindowLongW(n->Handle(), GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(n->ToolBar.Height(), n->ToolBar.ButtonHeight());
  n->SetBounds(60, 70, 800, 300);
  Click(*n, n->TBShow); // pressed while the window is hidden
  run.main->Form().Close();
  const std::string bounds = "[Note]\r\nTop=70\r\nLeft=60\r\nHeight=300\r\nWidth=800\r\n";
  EXPECT_EQ(ReadBytes(run.Ini()), bounds + "Show=1\r\n\r\n");

  n = &run.Start();
  EXPECT_TRUE(IsWindowVisible(n->Handle()));
  EXPECT_EQ(Frame(*n), (std::vector<LONG>{60, 70, 800, 300}));
  // Its own close button hides it and writes the file; the program goes on.
  Click(*n, n->TBShow);
  Click(*n, n->TBClose);
  EXPECT_FALSE(IsWindowVisible(n->Handle()));
  EXPECT_FALSE(tk::ApplicationTestAccess::Terminated());
  EXPECT_EQ(ReadBytes(run.Ini()), bounds + "Show=0\r\n\r\n");
}

} // namespace
