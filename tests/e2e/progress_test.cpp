// A long copy and a long move through the program, its file copies slowed
// down (tavu_slowcopy.exe: every file takes 300 ms): the progress window,
// a main window that keeps answering and queues a hand-off meanwhile, and
// a cancel that leaves the disk as it was and says so in the log.
#include <windows.h>

#include <commctrl.h>

#include <iostream>

#include "e2e_support.h"

namespace e2e {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class Progress : public TavuTest {
protected:
  std::wstring LogText() {
    const std::string bytes = ReadBytes(DataFolder() + L"\\TAVU.log");
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            static_cast<int>(text.size()))));
    return text;
  }
};

bool SmallVolumeAtS() {
  ULARGE_INTEGER avail{}, total{}, free{};
  return GetDiskFreeSpaceExW(L"S:\\", &avail, &total, &free) &&
         total.QuadPart <= 8ull * 1024 * 1024;
}

TEST_F(Progress, ALongTransferShowsItsProgressKeepsAnsweringAndACancelLeavesNoTrace) {
  CreateDirectoryW((Roaming() + L"\\Pelvane Project").c_str(), nullptr);
  CreateDirectoryW(DataFolder().c_str(), nullptr);
  ASSERT_NO_FATAL_FAILURE(WriteBytes(DataFolder() + L"\\TAVU.ini", "[Window]\r\nLog=1\r\n"));
  const std::wstring next = Temp() + L"\\next.txt", handed = Temp() + L"\\handed.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(next));
  ASSERT_NO_FATAL_FAILURE(MakeFile(handed));
  ASSERT_TRUE(CreateDirectoryW((Temp() + L"\\dest").c_str(), nullptr));
  const struct {
    int mode;
    const wchar_t *caption, *name, *into, *ending;
  } rows[] = {
      {2, L"TAVU - コピー", L"photos", L"dest", L" コピー中止"},
      // A folder move to another volume: the whole copy first, then the sources.
      {1, L"TAVU - 移動", L"albums", L"S:\\", L" 移動中止"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(r.caption)));
    if (r.mode == 1 && !SmallVolumeAtS()) {
      std::cout << "[ skipped  ] no volume of its own at S: (mounting a tmpfs needs root)\n";
      continue;
    }
    const std::wstring tree = Temp() + L"\\" + r.name;
    const std::wstring into = r.mode == 2 ? Temp() + L"\\" + r.into : r.into;
    const std::wstring dest = (into.back() == L'\\' ? into : into + L"\\") + r.name;
    ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
    const std::string content(16 * 1024, 'p');
    for (int i = 0; i < 30; ++i)
      ASSERT_NO_FATAL_FAILURE(WriteBytes(tree + L"\\" + std::to_wstring(i) + L".jpg", content));

    Process& tavu = Launch(Quoted({tree, next}), ProgramFolder() + L"tavu_slowcopy.exe");
    HWND main = WaitForMainWindow(tavu.Id());
    ASSERT_NE(main, nullptr);
    MainControls c;
    ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(c.mode, CB_SETCURSEL, static_cast<WPARAM>(r.mode), 0, SMTO_NORMAL, 5000,
                        &result);
    PostClick(c.ok);
    ASSERT_TRUE(PickFolder(tavu.Id(), into)) << "no folder browser";
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindWindowW(L"#32770", r.caption)) != nullptr; }))
        << "no progress window";
    EXPECT_EQ(WindowProcessId(dialog), tavu.Id());
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
    EXPECT_NE(FindWindowExW(dialog, nullptr, L"Static", r.name), nullptr) << "no item name";
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDCANCEL)), L"キャンセル");
    // The totals, once counted, and the bar over the bytes.
    EXPECT_TRUE(WaitUntil([&] {
      for (HWND s = nullptr; (s = FindWindowExW(dialog, s, L"Static", nullptr));)
        if (TextOf(s).find(L" / 30 ファイル\u3000") != std::wstring::npos)
          return true;
      return false;
    })) << "no count of the files";
    HWND bar = FindWindowExW(dialog, nullptr, L"msctls_progress32", nullptr);
    DWORD_PTR high = 0, pos = 0;
    SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 5000, &high);
    SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &pos);
    EXPECT_EQ(high, 1000u);
    EXPECT_LT(pos, 1000u);

    // A later launch hands its path over at once, and the main window
    // answers within 100 ms all along.
    Process& later = Launch(Quoted({handed}));
    int late = 0;
    for (const ULONGLONG until = GetTickCount64() + 1500; GetTickCount64() < until; Sleep(20))
      late += !SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &result);
    EXPECT_EQ(late, 0) << "the main window did not answer within 100 ms";
    EXPECT_TRUE(later.WaitForExit(kDeadlineMs));
    EXPECT_TRUE(WaitUntil([&] {
      const auto items = ListItems(c.list);
      return !items.empty() && items.back() == handed;
    })) << "the hand-off was not queued";

    ASSERT_TRUE(IsWindow(dialog)) << "the transfer ended before it could be cancelled";
    PressDialogButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return LogText().find(dest + r.ending) != std::wstring::npos; }))
        << "no log line ending in the cancel";
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsFolder(dest)) << "the copy was left behind";
    for (int i = 0; i < 30; ++i)
      EXPECT_EQ(ReadBytes(tree + L"\\" + std::to_wstring(i) + L".jpg"), content);
    EXPECT_TRUE(IsWindow(main));
    tavu.Kill();
  }
}

} // namespace
} // namespace e2e
