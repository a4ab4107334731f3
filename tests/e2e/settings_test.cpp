// "TAVU.ini" between real runs: written whole at the first close, and an
// option changed in it taken up by the next run (logging on: the commit is
// logged).
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class SettingsFile : public TavuTest {};

std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  if (start != bytes.size())
    lines.push_back("<unterminated>" + bytes.substr(start));
  return lines;
}

bool IsNumber(const std::string& text) {
  std::size_t i = text.starts_with('-') ? 1 : 0;
  return i < text.size() && text.find_first_not_of("0123456789", i) == std::string::npos;
}

TEST_F(SettingsFile, FirstCloseWritesItWholeAndTheNextRunTakesLoggingFromIt) {
  const std::wstring first = Temp() + L"\\first.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(first));
  Process& run1 = Launch(Quoted({first}));
  HWND main = WaitForMainWindow(run1.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  PressEscape(main, c.name);
  ASSERT_TRUE(run1.WaitForExit(kDeadlineMs)) << "Esc on the only item did not end TAVU";

  const std::wstring ini = DataFolder() + L"\\TAVU.ini";
  const auto lines = CrLfLines(ReadBytes(ini));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "[Window]");
  const char* numbers[] = {"Width=", "Height=", "Top=", "Left="};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(lines[i + 1].starts_with(numbers[i])) << lines[i + 1];
    EXPECT_TRUE(IsNumber(lines[i + 1].substr(std::string(numbers[i]).size()))) << lines[i + 1];
  }
  EXPECT_EQ(lines[5], "MostTop=0");
  EXPECT_EQ(lines[6], "OKClose=1");
  EXPECT_EQ(lines[7], "Log=0");
  EXPECT_EQ(lines[8], "");

  std::string edited;
  for (std::size_t i = 0; i < lines.size(); ++i)
    edited += (i == 7 ? std::string("Log=1") : lines[i]) + "\r\n";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(ini, edited));

  const std::wstring second = Temp() + L"\\second.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(second));
  Process& run2 = Launch(Quoted({second}));
  main = WaitForMainWindow(run2.Id());
  ASSERT_NE(main, nullptr);
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(c.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"renamed"),
                                  SMTO_NORMAL, 5000, &result));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
  ASSERT_TRUE(SendMessageTimeoutW(c.ok, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result));
  ASSERT_TRUE(run2.WaitForExit(kDeadlineMs)) << "OK on the only item did not end TAVU";

  const std::wstring renamed = Temp() + L"\\renamed.txt";
  EXPECT_TRUE(IsFile(renamed));
  const auto log = CrLfLines(ReadBytes(DataFolder() + L"\\TAVU.log"));
  ASSERT_EQ(log.size(), 1u) << "logging was not taken from the settings file";
  const std::string arrow = std::string(second.begin(), second.end()) + "->" +
                            std::string(renamed.begin(), renamed.end());
  EXPECT_TRUE(log[0].ends_with(arrow)) << log[0];
  EXPECT_EQ(CrLfLines(ReadBytes(ini))[7], "Log=1");
}

struct CaptionSearch {
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<CaptionSearch*>(lp);
  if (TextOf(w) != *s->caption)
    return TRUE;
  s->found = w;
  return FALSE;
}

// The check box of an option, found by its caption.
HWND CheckBoxOf(HWND main, const std::wstring& caption) {
  CaptionSearch search{&caption, nullptr};
  EnumChildWindows(main, MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(SettingsFile, OptionsComeBackInTheNextRunAndAreWrittenAgain) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  const std::wstring ini = DataFolder() + L"\\TAVU.ini";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(ini, "[Window]\r\nMostTop=1\r\nOKClose=0\r\n"));
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  Process& tavu = Launch(Quoted({a}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not always on top";
  HWND okClose = CheckBoxOf(main, L"OKで終了");
  ASSERT_NE(okClose, nullptr);
  DWORD_PTR checked = 99;
  ASSERT_TRUE(SendMessageTimeoutW(okClose, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &checked));
  EXPECT_EQ(checked, static_cast<DWORD_PTR>(BST_UNCHECKED));
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(tavu.WaitForExit(kDeadlineMs));
  const auto lines = CrLfLines(ReadBytes(ini));
  // Keys already there keep their place; the missing ones follow them.
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "MostTop=1");
  EXPECT_EQ(lines[2], "OKClose=0");
  EXPECT_TRUE(lines[3].starts_with("Width=")) << lines[3];
  EXPECT_EQ(lines[7], "Log=0");
}

// Every control of the button row shows whole, none over another, and the
// queue shows at least one row.
void ExpectUsable(HWND main) {
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  RECT client{};
  GetClientRect(main, &client);
  MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
  std::vector<RECT> row;
  for (HWND w = GetWindow(GetParent(c.ok), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    RECT r{}, overlap{};
    GetWindowRect(w, &r);
    EXPECT_TRUE(r.left >= client.left && r.right <= client.right && r.bottom <= client.bottom)
        << testing::PrintToString(TextOf(w)) << " is cut off";
    for (const RECT& other : row)
      EXPECT_FALSE(IntersectRect(&overlap, &r, &other))
          << testing::PrintToString(TextOf(w)) << " lies over another control";
    row.push_back(r);
  }
  EXPECT_EQ(row.size(), 7u);
  RECT list{};
  GetClientRect(c.list, &list);
  DWORD_PTR item = 0;
  ASSERT_TRUE(SendMessageTimeoutW(c.list, LB_GETITEMHEIGHT, 0, 0, SMTO_NORMAL, 5000, &item));
  EXPECT_GE(list.bottom, static_cast<LONG>(item)) << "no row of the queue shows";
}

TEST_F(SettingsFile, ASizeTooSmallToUseGrowsToOneThatShowsEveryControl) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  const std::wstring ini = DataFolder() + L"\\TAVU.ini";
  for (const char* size :
       {"Width=0\r\nHeight=0", "Width=-5\r\nHeight=-5", "Width=50\r\nHeight=50"}) {
    SCOPED_TRACE(size);
    ASSERT_NO_FATAL_FAILURE(WriteBytes(ini, std::string("[Window]\r\n") + size + "\r\n"));
    Process& tavu = Launch(L"");
    HWND main = WaitForMainWindow(tavu.Id());
    ASSERT_NE(main, nullptr);
    ASSERT_NO_FATAL_FAILURE(ExpectUsable(main));
    // Sized down from outside, as a drag of its frame would: it stays usable.
    SetWindowPos(main, nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_NO_FATAL_FAILURE(ExpectUsable(main));
    RECT r{};
    GetWindowRect(main, &r);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(tavu.WaitForExit(kDeadlineMs));
    // What the close keeps is that usable size, not the one read.
    const auto lines = CrLfLines(ReadBytes(ini));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "Width=" + std::to_string(r.right - r.left));
    EXPECT_EQ(lines[2], "Height=" + std::to_string(r.bottom - r.top));
  }
}

TEST_F(SettingsFile, AnUnreadableFileIsShownAndTheStartGoesOn) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  const std::wstring ini = DataFolder() + L"\\TAVU.ini";
  ASSERT_NO_FATAL_FAILURE(WriteBytes(ini, "[Window]\r\nLog=1\r\n"));
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  Process* tavu = nullptr;
  {
    // Another program writes the file while TAVU starts.
    ScopedFileHandle writer(CreateFileW(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    tavu = &Launch(Quoted({a}));
    HWND box = WaitForDialog(tavu->Id());
    ASSERT_NE(box, nullptr) << "no error box";
    EXPECT_NE(MessageBoxText(box).find(L"は開けません。"), std::wstring::npos);
    PressDialogButton(box, IDOK);
  }
  HWND main = WaitForMainWindow(tavu->Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  EXPECT_TRUE(WaitUntil([&] { return TextOf(c.path) == a; })) << "the path was not queued";
  EXPECT_EQ(TextOf(c.name), L"a");
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenIsShownAndTheProgramStillEnds) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  // A folder stands where the file would be written.
  ASSERT_TRUE(CreateDirectoryW((DataFolder() + L"\\TAVU.ini").c_str(), nullptr));
  const std::wstring a = Temp() + L"\\a.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  Process& tavu = Launch(Quoted({a}));
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  PressEscape(main, c.name);
  HWND box = WaitForDialog(tavu.Id());
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_NE(MessageBoxText(box).find(L"を作成できません。"), std::wstring::npos);
  PressDialogButton(box, IDOK);
  EXPECT_TRUE(tavu.WaitForExit(kDeadlineMs)) << "the program could not end";
}

} // namespace
} // namespace e2e
