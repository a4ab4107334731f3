// The editing aids of the main window on real edits, keys and clipboard: the
// caret commands and their shortcuts, the clipboard write with its retries
// against a second process that holds the clipboard, insertion at the caret,
// and the date entries of the edit menu.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../support/helper.h"
#include "common/clipboard.h"
#include "common/handle.h"
#include "common/itemdates.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "fixture.h"
#include "menuseam.h"
#include "scratch.h"

namespace {

using wintest::MainWindow;
using wintest::PumpUntil;
using wintest::ScratchFolder;
using wintest::TrackSeam;
using wintest::Type;

// ---- keys

// Holds the thread's modifier keys as GetKeyState reports them while it lives.
class ModifierKeys {
public:
  ModifierKeys(bool shift, bool ctrl, bool alt) {
    GetKeyboardState(saved_);
    BYTE state[256];
    std::memcpy(state, saved_, sizeof state);
    for (auto [vk, down] : {std::pair{VK_SHIFT, shift},
                            {VK_LSHIFT, shift},
                            {VK_CONTROL, ctrl},
                            {VK_LCONTROL, ctrl},
                            {VK_MENU, alt},
                            {VK_LMENU, alt}})
      state[vk] = down ? 0x80 : 0;
    SetKeyboardState(state);
  }
  ~ModifierKeys() { SetKeyboardState(saved_); }
  ModifierKeys(const ModifierKeys&) = delete;
  ModifierKeys& operator=(const ModifierKeys&) = delete;

private:
  BYTE saved_[256];
};

struct Keys {
  WPARAM vk;
  bool shift = false, ctrl = false, alt = false;
};

// Posts a key press with its modifiers to the focused window and lets the
// application's loop handle it, as the keyboard would deliver it.
void Press(Keys k) {
  ModifierKeys mods(k.shift, k.ctrl, k.alt);
  HWND target = GetFocus();
  ASSERT_NE(target, nullptr);
  const LPARAM data = 1 | (k.alt ? (1 << 29) : 0);
  PostMessageW(target, k.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, k.vk, data);
  PostMessageW(target, k.alt ? WM_SYSKEYUP : WM_KEYUP, k.vk, data | 0xC0000000);
  ASSERT_TRUE(PumpUntil(
      [&] {
        MSG m;
        return !PeekMessageW(&m, target, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
      },
      5000));
}

const Keys kCutBefore{VK_LEFT, true, true};
const Keys kCutAfter{VK_RIGHT, true, true};
const Keys kUndo{'N', false, true};
const Keys kCopyBefore{VK_UP, true, true};
const Keys kCopyAfter{VK_DOWN, true, true};
const Keys kXch{VK_HOME, true, true};

// Records the key-downs that reach a field.
class KeySpy {
public:
  std::vector<std::pair<UINT, WPARAM>> seen;
  explicit KeySpy(tk::TEdit& edit)
      : hook_(edit, [this](wintest::Hook& h, tk::TMessage& m) {
          if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN)
            seen.push_back({m.Msg, m.WParam});
          h.Next(m);
        }) {}
  bool Saw(UINT msg, WPARAM vk) const {
    for (const auto& s : seen)
      if (s.first == msg && s.second == vk)
        return true;
    return false;
  }

private:
  wintest::Hook hook_;
};

// "abcdef" typed into the name field, then Home, Right, Right: the caret at 2.
void TypeAbcdefCaretAt2(TMainForm& f) {
  f.EditName.SetFocus();
  f.EditName.SetText(u"");
  Type(f.EditName, u"abcdef");
  Press({VK_HOME});
  Press({VK_RIGHT});
  Press({VK_RIGHT});
  ASSERT_EQ(f.EditName.Text(), u"abcdef");
  ASSERT_EQ(f.EditName.CaretIndex(), 2);
}

// ---- clipboard

// A window of the test's own to open the clipboard with.
class ClipboardUser {
public:
  ClipboardUser()
      : window_(CreateWindowExW(0, L"STATIC", L"clipboard user", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr)) {}

  bool Open() {
    const ULONGLONG deadline = GetTickCount64() + 3000;
    while (!OpenClipboard(window_.Get())) {
      if (GetTickCount64() >= deadline)
        return false;
      Sleep(10);
    }
    return true;
  }
  void Put(const std::u16string& text) {
    ASSERT_TRUE(Open());
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(g), text.c_str(), bytes);
    GlobalUnlock(g);
    EXPECT_TRUE(SetClipboardData(CF_UNICODETEXT, g));
    CloseClipboard();
  }
  // The Unicode text on the clipboard, up to its NUL; none when there is none.
  std::optional<std::u16string> Text() {
    if (!Open())
      return std::nullopt;
    std::optional<std::u16string> text;
    if (HANDLE g = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* p = static_cast<const wchar_t*>(GlobalLock(g))) {
        const SIZE_T units = GlobalSize(g) / sizeof(wchar_t);
        text = ToU16(p, wcsnlen(p, units));
        GlobalUnlock(g);
      }
    }
    CloseClipboard();
    return text;
  }

private:
  ScopedWindow window_;
};

// A second process that opens the clipboard with a window of its own and
// keeps it for `holdMs` milliseconds or until Release.
class ClipboardHolder {
public:
  explicit ClipboardHolder(DWORD holdMs) {
    const std::wstring tag =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    const std::wstring readyName = L"tavu-clip-ready-" + tag;
    const std::wstring releaseName = L"tavu-clip-release-" + tag;
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    wchar_t exe[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + kHoldClipboardMode + L" " + readyName +
                       L" " + releaseName + L" " + std::to_wstring(holdMs);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
      process_.Reset(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
  ~ClipboardHolder() {
    Release();
    if (process_ && WaitForSingleObject(process_.Get(), 5000) != WAIT_OBJECT_0)
      TerminateProcess(process_.Get(), 1);
  }
  ClipboardHolder(const ClipboardHolder&) = delete;
  ClipboardHolder& operator=(const ClipboardHolder&) = delete;

  // True once the holder has the clipboard open. Messages are handled
  // meanwhile: Wine's clipboard manager asks the last owner's window
  // (ours) before it lets the clipboard go.
  bool WaitHeld() {
    if (!process_)
      return false;
    HANDLE both[] = {ready_.Get(), process_.Get()};
    bool held = false;
    PumpUntil(
        [&] {
          const DWORD r = WaitForMultipleObjects(2, both, FALSE, 0);
          held = r == WAIT_OBJECT_0;
          return r != WAIT_TIMEOUT;
        },
        10000);
    return held;
  }
  void Release() {
    if (release_)
      SetEvent(release_.Get());
  }
  // The holder's exit code once it has ended; none when it does not end in time.
  std::optional<DWORD> WaitExit() {
    DWORD code = 0;
    if (WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.Get(), &code))
      return std::nullopt;
    return code;
  }

private:
  ScopedKernelHandle ready_, release_, process_;
};

// ---- the shortcuts

TEST(CaretShortcuts, EachActsAroundTheCaretOfTheField) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"report.txt")});
  auto& f = *w;
  ClipboardUser clip;
  struct Row {
    const char* what;
    Keys keys;
    std::u16string text;
    int caret; // -1: not looked at
    std::u16string clipboard;
  };
  const Row rows[] = {
      {"delete before", kCutBefore, u"cdef", 0, u"former"},
      {"delete after", kCutAfter, u"ab", 2, u"former"},
      {"cut before", kCopyBefore, u"cdef", 0, u"ab"},
      {"cut after", kCopyAfter, u"ab", 2, u"cdef"},
      {"swap", kXch, u"cdefab", 4, u"former"},
      {"restore", kUndo, u"report", -1, u"former"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    clip.Put(u"former");
    TypeAbcdefCaretAt2(f);
    KeySpy spy(f.EditName);
    Press(r.keys);
    EXPECT_EQ(f.EditName.Text(), r.text);
    EXPECT_EQ(GetFocus(), f.EditName.Handle());
    if (r.caret >= 0) {
      EXPECT_EQ(f.EditName.LiveCaretIndex(), r.caret);
      EXPECT_EQ(f.EditName.SelStart(), r.caret);
      EXPECT_EQ(f.EditName.SelLength(), 0);
    }
    EXPECT_TRUE(spy.seen.empty()) << "a shortcut reached the field";
    EXPECT_EQ(clip.Text(), r.clipboard);
  }
  // The change events ran: the OK rule follows the restored name.
  EXPECT_TRUE(f.BtnOK.Enabled());
}

TEST(CaretShortcuts, MatchExactlyAndAreConsumedAlsoWhenDisabled) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"report.txt")});
  auto& f = *w;
  f.EditName.SetFocus();
  ASSERT_EQ(wintest::Fields(f).MEdit, &f.EditName);

  // The name as loaded: Ctrl+N has nothing to restore, and no key reaches the field.
  {
    KeySpy spy(f.EditName);
    Press({VK_END});
    spy.seen.clear();
    Press(kUndo);
    EXPECT_EQ(f.EditName.Text(), u"report");
    EXPECT_TRUE(spy.seen.empty());
  }

  f.EditName.SetText(u"");
  Type(f.EditName, u"abcdef");
  Press({VK_HOME});
  KeySpy spy(f.EditName);
  // At the start nothing is in front of the caret: nothing happens, not even a selection.
  Press(kCutBefore);
  EXPECT_EQ(f.EditName.Text(), u"abcdef");
  EXPECT_EQ(f.EditName.SelStart(), 0);
  EXPECT_EQ(f.EditName.SelLength(), 0);
  EXPECT_FALSE(spy.Saw(WM_KEYDOWN, VK_LEFT));

  // Extra modifiers make no shortcut: the keys reach the field.
  Press({VK_LEFT, true, true, true});
  EXPECT_TRUE(spy.Saw(WM_SYSKEYDOWN, VK_LEFT));
  Press({'N', true, true});
  EXPECT_TRUE(spy.Saw(WM_KEYDOWN, 'N'));
  EXPECT_EQ(f.EditName.Text(), u"abcdef");
}

TEST(CaretShortcuts, ActOnTheExtensionWhenItWasEnteredLast) {
  ScratchFolder dir;
  MainWindow w({dir.File(u"report.txt")});
  auto& f = *w;
  f.EditExt.SetFocus();
  ASSERT_EQ(wintest::Fields(f).MEdit, &f.EditExt);
  Press({VK_END});
  Press({VK_LEFT});
  Press(kCutBefore);
  EXPECT_EQ(f.EditExt.Text(), u"t");
  EXPECT_EQ(f.EditName.Text(), u"report");

  // Only the field last entered counts for the restore item.
  f.EditName.SetFocus();
  f.UpdateEditMenu();
  EXPECT_FALSE(f.PPUndo.Enabled);
  Press(kUndo);
  EXPECT_EQ(f.EditExt.Text(), u"t");
  f.EditExt.SetFocus();
  Press(kUndo);
  EXPECT_EQ(f.EditExt.Text(), u"txt");
}

TEST(CaretShortcuts, FromAnotherFormActOnTheMainWindowsField) {
  MainWindow w;
  auto& f = *w;
  TypeAbcdefCaretAt2(f);
  tk::TForm other(nullptr, u"Other", u"TTavuOtherForm");
  tk::TEdit edit(&other, u"Edit");
  other.ClientWidth = 200;
  other.ClientHeight = 50;
  edit.SetParent(&other);
  edit.SetBounds(5, 5, 150, 21);
  other.ActiveControl = &edit;
  other.CreateForm();
  other.Show();
  edit.SetFocus();
  ASSERT_EQ(GetFocus(), edit.Handle());
  Type(edit, u"word");
  Press(kCutBefore);
  EXPECT_EQ(f.EditName.Text(), u"cdef");
  EXPECT_EQ(edit.Text(), u"word");
  EXPECT_EQ(GetFocus(), f.EditName.Handle());
}

TEST(CaretCommands, DoNothingBeforeAFieldWasEntered) {
  MainWindow w;
  auto& f = *w;
  f.EditName.SetText(u"abcdef");
  wintest::Fields(f).MEdit = nullptr;
  for (auto* item : {&f.PPCaretCutBefore, &f.PPCaretCutAfter, &f.PPCaretCopyBefore,
                     &f.PPCaretCopyAfter, &f.PPCaretXch, &f.PPUndo})
    item->Enabled = true;
  f.UpdateEditMenu();
  for (auto* item : {&f.PPCaretCutBefore, &f.PPCaretCutAfter, &f.PPCaretCopyBefore,
                     &f.PPCaretCopyAfter, &f.PPCaretXch, &f.PPUndo})
    EXPECT_FALSE(item->Enabled) << testing::PrintToString(item->Name());
  f.PPCaretCutBeforeClick();
  f.PPCaretCutAfterClick();
  f.PPCaretCopyBeforeClick();
  f.PPCaretCopyAfterClick();
  f.PPCaretXchClick();
  EXPECT_EQ(f.EditName.Text(), u"abcdef");
  // The shortcut is still consumed.
  ModifierKeys mods(true, true, false);
  MSG msg{f.EditName.Handle(), WM_KEYDOWN, VK_RIGHT, 1, 0, {0, 0}};
  EXPECT_TRUE(f.IsShortCut(msg));
  msg.wParam = VK_F5;
  EXPECT_FALSE(f.IsShortCut(msg));
  EXPECT_EQ(f.EditName.Text(), u"abcdef");
}

TEST(CaretCommands, CaretIndexSurvivesAClickOnTheEditButton) {
  MainWindow w;
  auto& f = *w;
  TypeAbcdefCaretAt2(f);
  TrackSeam seam;
  HWND focusInMenu = nullptr;
  seam.choose = [&](const std::vector<wintest::Line>& lines) {
    focusInMenu = GetFocus();
    return lines.at(0).id; // delete before the caret
  };
  f.BtnEdit.SetFocus();
  SendMessageW(f.BtnEdit.Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(seam.calls.size(), 1u);
  EXPECT_EQ(focusInMenu, f.BtnEdit.Handle());
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_FALSE(seam.calls[0].lines[i].grayed) << i;
  EXPECT_FALSE(seam.calls[0].lines[6].grayed); // the name differs from the loaded one
  EXPECT_EQ(f.EditName.Text(), u"cdef");
  EXPECT_EQ(GetFocus(), f.EditName.Handle());
  EXPECT_EQ(f.EditName.CaretIndex(), 0);
}

// ---- the clipboard

TEST(Clipboard, HoldsTheTextWithTheApplicationWindowAsOwner) {
  MainWindow w;
  ClipboardUser clip;
  HWND app = tk::Application().Handle();
  for (const std::u16string& text :
       {std::u16string(u"日付 abc"), std::u16string(), std::u16string(40000, u'x') + u"\xD800"}) {
    ASSERT_TRUE(Pelvane::CopyTextToClipboard(app, text));
    EXPECT_EQ(clip.Text(), text) << text.size();
    EXPECT_EQ(GetClipboardOwner(), app);
  }
}

TEST(Clipboard, ACutWaitsHalfASecondForABusyClipboardThenKeepsTheField) {
  MainWindow w;
  auto& f = *w;
  ClipboardUser clip;
  clip.Put(u"former");
  TypeAbcdefCaretAt2(f);
  ClipboardHolder holder(20000);
  ASSERT_TRUE(holder.WaitHeld()) << "the holder process did not take the clipboard";
  const ULONGLONG t0 = GetTickCount64();
  Press(kCopyAfter);
  const ULONGLONG took = GetTickCount64() - t0;
  EXPECT_GE(took, 450u);
  EXPECT_LT(took, 2000u);
  EXPECT_EQ(f.EditName.Text(), u"abcdef");
  holder.Release();
  EXPECT_EQ(holder.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(clip.Text(), u"former");
}

TEST(Clipboard, ACutSucceedsOnALaterAttemptWhenTheClipboardIsFreedSoon) {
  MainWindow w;
  auto& f = *w;
  ClipboardUser clip;
  clip.Put(u"former");
  TypeAbcdefCaretAt2(f);
  ClipboardHolder holder(50);
  ASSERT_TRUE(holder.WaitHeld()) << "the holder process did not take the clipboard";
  const ULONGLONG t0 = GetTickCount64();
  Press(kCopyBefore);
  const ULONGLONG took = GetTickCount64() - t0;
  EXPECT_GE(took, 90u) << "the first attempt did not meet a busy clipboard";
  EXPECT_LT(took, 450u);
  EXPECT_EQ(f.EditName.Text(), u"cdef");
  EXPECT_EQ(holder.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(clip.Text(), u"ab");
}

// ---- insertion at the caret

TEST(InsertAtCaret, InsertsAtTheKeptCaretWithoutTouchingFocusOrLimit) {
  MainWindow w;
  auto& f = *w;
  TypeAbcdefCaretAt2(f);
  f.BtnEdit.SetFocus();
  tk::InsertAtCaret(f.EditName, u"XY");
  EXPECT_EQ(f.EditName.Text(), u"abXYcdef");
  EXPECT_EQ(GetFocus(), f.BtnEdit.Handle());

  // The typing limit does not apply to the program's own insertions.
  f.EditName.SetFocus();
  f.EditName.SetText(std::u16string(256, u'x'));
  Press({VK_END});
  tk::InsertAtCaret(f.EditName, u"abc");
  EXPECT_EQ(f.EditName.Text(), std::u16string(256, u'x') + u"abc");
  EXPECT_EQ(GetFocus(), f.EditName.Handle());
}

// ---- the date entries

// A UTC instant; `ticks` adds 100-ns units, as real time stamps carry them.
FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute = 0, WORD second = 0,
             ULONGLONG ticks = 0) {
  SYSTEMTIME st{year, month, 0, day, hour, minute, second, 0};
  FILETIME ft{};
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
  u.QuadPart += ticks;
  return {u.LowPart, u.HighPart};
}

void SetLastWrite(const std::u16string& path, bool folder, const FILETIME& ft) {
  ScopedFileHandle h(CreateFileW(AsWide(path), FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr));
  ASSERT_TRUE(h);
  ASSERT_TRUE(SetFileTime(h.Get(), nullptr, nullptr, &ft));
}

std::pair<std::u16string, std::u16string> Captions(WORD year, WORD month, WORD day) {
  wchar_t kanji[32], hyphen[32];
  swprintf(kanji, 32, L"%04u年%02u月%02u日", year, month, day);
  swprintf(hyphen, 32, L"%04u-%02u-%02u", year, month, day);
  return {ToU16(kanji), ToU16(hyphen)};
}

// The captions of a local time, found without the program's conversion.
std::pair<std::u16string, std::u16string> LocalCaptions(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  EXPECT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_TRUE(FileTimeToSystemTime(&local, &st));
  return Captions(st.wYear, st.wMonth, st.wDay);
}

std::pair<std::u16string, std::u16string> TodayCaptions() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Captions(now.wYear, now.wMonth, now.wDay);
}

FILETIME CreationTime(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data));
  return data.ftCreationTime;
}

// The six date lines of an opened edit menu (they follow the restore item and a separator).
std::vector<std::u16string> DateLines(const std::vector<wintest::Line>& lines) {
  std::vector<std::u16string> out;
  for (std::size_t i = 9; i < 15 && i < lines.size(); ++i)
    out.push_back(lines[i].text);
  return out;
}

TEST(DateEntries, ShowTodayAndTheItemsLocalDates) {
  ScratchFolder dir;
  const std::u16string file = dir.File(u"report.txt");
  const std::u16string folder = dir.Folder(u"photos");
  const std::u16string early = dir.File(u"early.txt");
  // 20:00 UTC is already the next day in Tokyo; so is 15:00:30 and a fraction.
  SetLastWrite(file, false, Utc(2024, 1, 1, 20));
  SetLastWrite(folder, true, Utc(2023, 7, 10, 16));
  SetLastWrite(early, false, Utc(2024, 1, 1, 15, 0, 30, 1234567));
  MainWindow w({file, folder, early});
  auto& f = *w;
  TrackSeam seam;

  struct Row {
    const char* what;
    std::pair<std::u16string, std::u16string> lastWrite, creation;
  };
  const Row rows[] = {
      {"file", Captions(2024, 1, 2), LocalCaptions(CreationTime(file))},
      {"folder", Captions(2023, 7, 11), LocalCaptions(CreationTime(folder))},
      {"just after midnight", Captions(2024, 1, 2), LocalCaptions(CreationTime(early))},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const auto today = TodayCaptions();
    f.BtnEditClick();
    ASSERT_FALSE(seam.calls.empty());
    const auto& lines = seam.calls.back().lines;
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(DateLines(lines), (std::vector<std::u16string>{today.first, today.second,
                                                             r.lastWrite.first, r.lastWrite.second,
                                                             r.creation.first, r.creation.second}));
    for (std::size_t i = 9; i < 15; ++i)
      EXPECT_FALSE(lines[i].grayed);
    f.BtnCancelClick();
  }
}

// A zone `bias` minutes behind UTC; with summer time (an hour ahead) from
// `summer` to `winter`, each given as month, week of the month and hour.
TIME_ZONE_INFORMATION Zone(LONG bias, SYSTEMTIME summer = {}, SYSTEMTIME winter = {}) {
  TIME_ZONE_INFORMATION z{};
  z.Bias = bias;
  z.DaylightDate = summer;
  z.StandardDate = winter;
  z.DaylightBias = summer.wMonth ? -60 : 0;
  return z;
}
// The `week`th Sunday (5: the last) of the month, at that hour.
SYSTEMTIME Sunday(WORD month, WORD week, WORD hour) {
  return {0, month, 0, week, hour, 0, 0, 0};
}

TEST(DateEntries, LocalDatesEastAndWestOfUtcAndAcrossSummerTime) {
  const auto tokyo = Zone(-540), india = Zone(-330);
  const auto newYork = Zone(300, Sunday(3, 2, 2), Sunday(11, 1, 2));
  const auto sydney = Zone(-600, Sunday(10, 1, 2), Sunday(4, 1, 3));
  const FILETIME max{0xFFFFFFFF, 0x7FFFFFFF}, topBit{0, 0x80000000};
  const struct {
    const char* what;
    const TIME_ZONE_INFORMATION& zone;
    FILETIME utc;
    std::optional<tavu::CivilDate> date;
  } rows[] = {
      {"Tokyo, 30 s after midnight", tokyo, Utc(2024, 1, 1, 15, 0, 30, 1234567), {{2024, 1, 2}}},
      {"Tokyo, just before midnight", tokyo, Utc(2024, 1, 1, 14, 59, 59, 9999999), {{2024, 1, 1}}},
      {"India, leap day", india, Utc(2024, 2, 28, 18, 30, 0, 1), {{2024, 2, 29}}},
      {"India, the day before", india, Utc(2024, 2, 28, 18, 29, 59, 9999999), {{2024, 2, 28}}},
      {"New York, winter", newYork, Utc(2024, 1, 1, 5, 0, 0, 5000000), {{2024, 1, 1}}},
      {"New York, winter, before", newYork, Utc(2024, 1, 1, 4, 59, 59, 9999999), {{2023, 12, 31}}},
      {"New York, summer", newYork, Utc(2024, 7, 1, 4, 0, 0, 1), {{2024, 7, 1}}},
      {"New York, summer, before", newYork, Utc(2024, 7, 1, 3, 59, 59, 9999999), {{2024, 6, 30}}},
      {"New York, after the change", newYork, Utc(2024, 3, 11, 4, 0, 30, 1230000), {{2024, 3, 11}}},
      {"Sydney, summer", sydney, Utc(2024, 1, 1, 13, 0, 0, 2500000), {{2024, 1, 2}}},
      {"Sydney, winter", sydney, Utc(2024, 7, 1, 13, 30, 0, 2500000), {{2024, 7, 1}}},
      {"before the first file time", newYork, Utc(1601, 1, 1, 0), std::nullopt},
      {"after the last", tokyo, max, std::nullopt},
      {"no file time", tokyo, topBit, std::nullopt},
  };
  for (const auto& r : rows)
    EXPECT_EQ(Pelvane::LocalDateOf(r.utc, &r.zone), r.date) << r.what;
}

TEST(DateEntries, AreHiddenWithoutAnExistingItem) {
  ScratchFolder dir;
  MainWindow w;
  auto& f = *w;
  TrackSeam seam;
  f.BtnEditClick();
  ASSERT_EQ(seam.calls.size(), 1u);
  for (const auto& line : seam.calls[0].lines)
    EXPECT_EQ(line.text.find(u"yyyy"), std::u16string::npos);
  const tk::TMenuItem* dates[] = {&f.PPDate1, &f.PPDate2, &f.PPDate3,
                                  &f.PPDate4, &f.PPDate5, &f.PPDate6};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_FALSE(dates[i - 1]->Visible) << i;
    EXPECT_EQ(dates[i - 1]->Caption, i % 2 ? u"yyyy年mm月dd日" : u"yyyy-mm-dd");
  }

  // An item that is gone by the time the menu opens hides them too.
  const std::u16string gone = dir.File(u"gone.txt");
  f.AddPath(gone);
  f.LoadCurrentItem();
  ASSERT_TRUE(DeleteFileW(AsWide(gone)));
  f.BtnEditClick();
  ASSERT_EQ(seam.calls.size(), 2u);
  EXPECT_EQ(seam.calls[1].lines.size(), 10u);
  EXPECT_FALSE(f.PPDate1.Visible);
}

TEST(DateEntries, InsertTheDateShownAtTheNameFieldsCaret) {
  ScratchFolder dir;
  const std::u16string file = dir.File(u"report.txt");
  SetLastWrite(file, false, Utc(2024, 1, 1, 20));
  MainWindow w({file});
  auto& f = *w;
  f.EditName.SetFocus();
  Press({VK_HOME});
  // The extension field entered last does not change where dates go.
  f.EditExt.SetFocus();
  TrackSeam seam;
  seam.choose = [&](const std::vector<wintest::Line>& lines) {
    // The item's time changes while the menu is open; the date shown is the one inserted.
    SetLastWrite(file, false, Utc(2025, 5, 5, 3));
    return lines.at(12).id; // PPDate4
  };
  f.BtnEdit.SetFocus();
  SendMessageW(f.BtnEdit.Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(seam.calls.size(), 1u);
  EXPECT_EQ(seam.calls[0].lines.at(12).text, u"2024-01-02");
  EXPECT_EQ(f.EditName.Text(), u"2024-01-02report");
  EXPECT_EQ(f.EditExt.Text(), u"txt");
  EXPECT_EQ(GetFocus(), f.BtnEdit.Handle());
  EXPECT_EQ(f.PPDate4.Caption, u"2024-01-02");
}

TEST(DateEntries, ARefusedPathShowsTheErrorAndNoMenu) {
  if (Pelvane::TakesLongPaths())
    GTEST_SKIP() << "this platform reads long paths without refusing them";
  // Wine finds a file this long while the platform it stands for refuses it.
  ScratchFolder dir;
  std::u16string deep = dir.Folder(std::u16string(100, u'a')) + u"\\" + std::u16string(100, u'b');
  ASSERT_TRUE(CreateDirectoryW(AsWide(deep), nullptr));
  const std::u16string file = deep + u"\\" + std::u16string(60, u'c') + u".txt";
  ScopedFileHandle made(
      CreateFileW(AsWide(file), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_TRUE(made);
  made.Reset();
  ASSERT_GE(file.size(), 260u);
  MainWindow w({file});
  auto& f = *w;
  ASSERT_TRUE(Pelvane::IsExistingFile(f.EditPath.Text()));
  std::vector<std::u16string> errors;
  tk::UseErrorBox([&](const std::u16string& text) { errors.push_back(text); });
  TrackSeam seam;
  SendMessageW(f.BtnEdit.Handle(), BM_CLICK, 0, 0);
  tk::UseErrorBox(nullptr);
  EXPECT_TRUE(seam.calls.empty()) << "the menu opened";
  EXPECT_EQ(errors, (std::vector<std::u16string>{u"指定されたパスが長すぎます."}));
}

} // namespace
