// A running TAVU under load: a hundred later launches hand it their paths,
// twenty at a time; then every item is committed with the log on, leaving,
// moving and copying in turn, the folder browser answered from here. In the
// end every file is where the log says, whole, the log holds the newest
// hundred lines in order, and the window still answers and closes cleanly.
#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// The names of the files in a folder, sorted.
std::vector<std::wstring> FileNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  ScopedFindHandle h(FindFirstFileW((folder + L"\\*").c_str(), &fd));
  if (!h)
    return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(fd.cFileName);
  } while (FindNextFileW(h.Get(), &fd));
  std::sort(names.begin(), names.end());
  return names;
}

// The log's lines without their time stamps (date and time, each without
// blanks), newest first; a line without its CR LF is marked.
std::vector<std::wstring> LogTexts(const std::wstring& path) {
  const std::string bytes = ReadBytes(path);
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          static_cast<int>(text.size()))));
  std::vector<std::wstring> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    const std::wstring line = text.substr(start, end - start);
    const std::size_t stamp = line.find(L' ', line.find(L' ') + 1);
    out.push_back(stamp == std::wstring::npos ? L"<no stamp>" + line : line.substr(stamp + 1));
  }
  if (start != text.size())
    out.push_back(L"<unterminated>");
  return out;
}

std::wstring Number(int n) {
  return std::to_wstring(n);
}

class Stress : public TavuTest {
protected:
  static void Send(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR r = 0;
    EXPECT_TRUE(SendMessageTimeoutW(wnd, msg, wp, lp, SMTO_NORMAL, kDeadlineMs, &r))
        << "no answer to message " << msg;
  }
  // No dialog of the process is showing (the last folder browser has gone).
  static bool NoDialog(DWORD pid) { return WaitForDialog(pid, 0) == nullptr; }
};

TEST_F(Stress, AHundredHandOffsThenAHundredCommitsLoseNothingAndTheLogKeepsTheNewest) {
  constexpr int kFiles = 100, kAtOnce = 20;
  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(DataFolder().c_str(), nullptr));
  // Logging on; the window stays open when the queue runs empty.
  ASSERT_NO_FATAL_FAILURE(
      WriteBytes(DataFolder() + L"\\TAVU.ini", "[Window]\r\nOKClose=0\r\nLog=1\r\n"));
  const std::wstring src = Temp() + L"\\src", moved = Temp() + L"\\moved",
                     copied = Temp() + L"\\copied";
  for (const auto& folder : {src, moved, copied})
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::map<std::wstring, int> numberOf;
  for (int n = 0; n < kFiles; ++n) {
    const std::wstring path = src + L"\\item" + Number(n) + L".txt";
    ASSERT_NO_FATAL_FAILURE(WriteBytes(path, "content of item " + std::to_string(n)));
    numberOf[path] = n;
  }

  Process& tavu = Launch(L"");
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  for (int first = 0; first < kFiles; first += kAtOnce) {
    std::vector<Process*> batch;
    for (int n = first; n < first + kAtOnce; ++n)
      batch.push_back(&Launch(Quoted({src + L"\\item" + Number(n) + L".txt"})));
    for (Process* p : batch) {
      DWORD code = 99;
      ASSERT_TRUE(p->WaitForExit(kDeadlineMs, &code)) << "a later launch did not end";
      EXPECT_EQ(code, 0u);
    }
  }
  const ULONGLONG handedOff = GetTickCount64();
  const std::vector<std::wstring> queue = ListItems(c.list);
  std::vector<std::wstring> sorted = queue, all;
  std::sort(sorted.begin(), sorted.end());
  for (const auto& [path, n] : numberOf)
    all.push_back(path);
  ASSERT_EQ(sorted, all) << "not every path queued exactly once";
  EXPECT_EQ(MainWindows().size(), 1u);

  // Every item in turn: left where it is, moved, copied.
  std::vector<std::wstring> logged; // oldest first
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring& item = queue[static_cast<std::size_t>(i)];
    const int n = numberOf[item], mode = i % 3;
    ASSERT_EQ(TextOf(c.path), item);
    Send(c.mode, CB_SETCURSEL, static_cast<WPARAM>(mode), 0);
    const std::wstring name = L"done" + Number(n);
    Send(c.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(c.ok) != FALSE; }));
    PostClick(c.ok);
    const std::wstring renamed = src + L"\\" + name + L".txt";
    logged.push_back(item + L"->" + renamed);
    if (mode != 0) {
      const std::wstring& folder = mode == 1 ? moved : copied;
      ASSERT_TRUE(PickFolder(tavu.Id(), folder)) << "no folder browser for item " << i;
      ASSERT_TRUE(WaitUntil([&] { return NoDialog(tavu.Id()); }));
      logged.push_back(renamed + L" -> " + folder + L"\\" + name + L".txt" +
                       (mode == 1 ? L" 移動" : L" コピー"));
    }
    // The path shows the next item once the commit has returned to the loop.
    const std::wstring next = i + 1 < kFiles ? queue[static_cast<std::size_t>(i) + 1] : L"";
    ASSERT_TRUE(WaitUntil([&] { return TextOf(c.path) == next; }))
        << "item " << i << " was not committed";
  }
  const ULONGLONG committed = GetTickCount64();

  // Still answering, with an empty queue.
  EXPECT_TRUE(Responds(main));
  EXPECT_TRUE(ListItems(c.list).empty());

  // Every file is where its mode put it, with its content, and nowhere else.
  std::vector<std::wstring> inSrc, inMoved, inCopied;
  for (int i = 0; i < kFiles; ++i) {
    const int n = numberOf[queue[static_cast<std::size_t>(i)]];
    const std::wstring file = L"done" + Number(n) + L".txt";
    const std::string content = "content of item " + std::to_string(n);
    if (i % 3 != 1) {
      inSrc.push_back(file);
      EXPECT_EQ(ReadBytes(src + L"\\" + file), content);
    }
    if (i % 3 == 1) {
      inMoved.push_back(file);
      EXPECT_EQ(ReadBytes(moved + L"\\" + file), content);
    }
    if (i % 3 == 2) {
      inCopied.push_back(file);
      EXPECT_EQ(ReadBytes(copied + L"\\" + file), content);
    }
  }
  for (auto* names : {&inSrc, &inMoved, &inCopied})
    std::sort(names->begin(), names->end());
  EXPECT_EQ(FileNames(src), inSrc);
  EXPECT_EQ(FileNames(moved), inMoved);
  EXPECT_EQ(FileNames(copied), inCopied);

  // The log: the newest hundred lines, newest first, and what they say holds on disk.
  const auto texts = LogTexts(DataFolder() + L"\\TAVU.log");
  ASSERT_GE(logged.size(), 100u);
  EXPECT_EQ(texts, std::vector<std::wstring>(logged.rbegin(), logged.rbegin() + 100));
  std::vector<std::wstring> movedAway;
  for (const auto& text : texts) {
    const auto arrow = text.find(L" -> ");
    if (arrow != std::wstring::npos) {
      const std::wstring from = text.substr(0, arrow);
      const std::wstring to = text.substr(arrow + 4, text.rfind(L' ') - arrow - 4);
      const bool move = text.ends_with(L" 移動");
      EXPECT_TRUE(text.ends_with(L" 移動") || text.ends_with(L" コピー")) << "not done: " << text;
      EXPECT_TRUE(IsFile(to)) << text;
      EXPECT_EQ(IsFile(from), !move) << text;
      if (move)
        movedAway.push_back(from);
    } else {
      const auto rename = text.find(L"->");
      ASSERT_NE(rename, std::wstring::npos) << text;
      const std::wstring from = text.substr(0, rename), to = text.substr(rename + 2);
      EXPECT_FALSE(IsFile(from)) << text;
      const bool gone = std::count(movedAway.begin(), movedAway.end(), to) > 0;
      EXPECT_EQ(IsFile(to), !gone) << text;
    }
  }

  // And it closes cleanly when asked.
  PostMessageW(main, WM_CLOSE, 0, 0);
  DWORD code = 99;
  EXPECT_TRUE(tavu.WaitForExit(kDeadlineMs, &code));
  EXPECT_EQ(code, 0u);
  const ULONGLONG ended = GetTickCount64();
  std::cout << "[ stress   ] hand-offs " << (handedOff - started) / 1000.0 << " s, commits "
            << (committed - handedOff) / 1000.0 << " s, all " << (ended - started) / 1000.0
            << " s\n";
}

} // namespace
} // namespace e2e
