// The edit menu of a real TAVU process, driven from outside with the mouse
// button's message and keys, as a user would: a date lands where the caret
// was left in the name field.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

class EditMenu : public TavuTest {};

// Posts a key press to a window of the program, as the keyboard would deliver it.
void PostKey(HWND target, WPARAM vk) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC))
                      << 16;
  PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
  PostMessageW(target, WM_KEYUP, vk, scan | 1 | (1 << 30) | (1u << 31));
}

// The caret of an edit in another process (an empty selection at its index), or -1.
int CaretOf(HWND edit) {
  DWORD_PTR sel = 0;
  if (!SendMessageTimeoutW(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &sel))
    return -1;
  return LOWORD(sel) == HIWORD(sel) ? LOWORD(sel) : -1;
}

struct Search {
  DWORD pid;
  const wchar_t* className;
  const wchar_t* caption; // null: any
  HWND found;
};

BOOL CALLBACK Match(HWND wnd, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  std::wstring cls = ClassOf(wnd);
  if (cls.rfind(L"TAVU.", 0) == 0)
    cls.erase(0, 5);
  if (WindowProcessId(wnd) != s->pid || cls != s->className || !IsWindowVisible(wnd))
    return TRUE;
  if (s->caption && TextOf(wnd) != s->caption)
    return TRUE;
  s->found = wnd;
  return FALSE;
}

// A visible child of `parent` (or, without one, a top-level window) of the
// process with the class and caption.
HWND FindOf(DWORD pid, HWND parent, const wchar_t* className, const wchar_t* caption = nullptr) {
  Search s{pid, className, caption, nullptr};
  if (parent)
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&s));
  else
    EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

TEST_F(EditMenu, InsertsTodaysDateWhereTheCaretWasLeftInTheName) {
  const std::wstring file = Temp() + L"\\report.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  Process& tavu = Launch(Quoted({file}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  HWND edit = FindOf(tavu.Id(), main, L"Button", L"編集(&E)");
  ASSERT_NE(edit, nullptr) << "no edit button";
  ASSERT_EQ(TextOf(c.name), L"report");

  PostKey(c.name, VK_HOME);
  PostKey(c.name, VK_RIGHT);
  PostKey(c.name, VK_RIGHT);
  ASSERT_TRUE(WaitUntil([&] { return CaretOf(c.name) == 2; })) << "the caret did not move";

  // Posted, not sent: the menu runs a modal loop inside the program.
  PostMessageW(edit, BM_CLICK, 0, 0);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindOf(tavu.Id(), nullptr, L"#32768")) != nullptr; }))
      << "the edit menu did not open";
  SYSTEMTIME today;
  GetLocalTime(&today);
  // From no selection, Up reaches the last item, the word list; five more
  // pass the creation, write and today's dates up to today's hyphenated one.
  for (int i = 0; i < 6; ++i)
    PostKey(main, VK_UP);
  PostKey(main, VK_RETURN);

  wchar_t date[16];
  swprintf(date, 16, L"%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
  const std::wstring expected = L"re" + std::wstring(date) + L"port";
  EXPECT_TRUE(WaitUntil([&] { return TextOf(c.name) == expected; }))
      << "name is " << testing::PrintToString(TextOf(c.name));
  EXPECT_FALSE(IsWindowVisible(menu));
  EXPECT_EQ(TextOf(c.ext), L"txt");
}

TEST_F(EditMenu, ShowsTheLocalDateOfAFileWrittenJustAfterMidnight) {
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  ASSERT_EQ(zone.Bias, -540) << "the test command runs the programs in Tokyo time";
  // 2024-01-01 15:00:30.1234567 UTC: 00:00:30 and a fraction on the 2nd in Tokyo.
  const std::wstring file = Temp() + L"\\late.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  {
    SYSTEMTIME st{2024, 1, 0, 1, 15, 0, 30, 0};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += 1234567;
    ft = {t.LowPart, t.HighPart};
    ScopedFileHandle h(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h && SetFileTime(h.Get(), nullptr, nullptr, &ft));
  }
  Process& tavu = Launch(Quoted({file}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  HWND edit = FindOf(tavu.Id(), main, L"Button", L"編集(&E)");
  ASSERT_NE(edit, nullptr) << "no edit button";
  PostKey(c.name, VK_HOME);
  ASSERT_TRUE(WaitUntil([&] { return CaretOf(c.name) == 0; })) << "the caret did not move";

  PostMessageW(edit, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return FindOf(tavu.Id(), nullptr, L"#32768") != nullptr; }))
      << "the edit menu did not open";
  // Up from no selection: the word list, then the creation dates, then the
  // last write's hyphenated date.
  for (int i = 0; i < 4; ++i)
    PostKey(main, VK_UP);
  PostKey(main, VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(c.name) == L"2024-01-02late"; }))
      << "name is " << testing::PrintToString(TextOf(c.name));
}

TEST_F(EditMenu, AWordListInUtf8WithABadByteIsStillReadAsUtf8) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  // Shown at start-up; saved without a byte-order mark, one byte damaged.
  ASSERT_NO_FATAL_FAILURE(
      testsupport::WriteBytes(DataFolder() + L"\\K-Sorel.ini", "[Note]\r\nShow=1\r\n"));
  ASSERT_NO_FATAL_FAILURE(
      testsupport::WriteBytes(DataFolder() + L"\\TAVU-Note.txt",
                              "\xE6\x97\xA5\xE4\xBB\x98\r\n\xE6\xA1\x88\xE4\xBB\xB6\xFF\r\n"
                              "\xE4\xBC\x9A\xE8\xAD\xB0\r\n\xE5\xA0\xB1\xE5\x91\x8A\r\n"));
  Process& tavu = Launch(L"");
  HWND note = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    return (note = FindOf(tavu.Id(), nullptr, L"TNoteForm")) != nullptr;
  })) << "the word list window did not show";
  HWND list = FindOf(tavu.Id(), note, L"ListBox");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListItems(list), (std::vector<std::wstring>{L"日付", L"案件\uFFFD", L"会議", L"報告"}));
}

} // namespace
} // namespace e2e
