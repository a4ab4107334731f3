// Start-up as separate processes see it: the data folder, the single-instance
// mutex and the hand-off from a second launch to the running window.
#include "e2e_support.h"

namespace e2e {
namespace {

const wchar_t kMutexName[] = L"TAVU/Pelvane Project";

using Items = std::vector<std::wstring>;

class StartUp : public TavuTest {};

TEST_F(StartUp, FirstLaunchCreatesTheDataFolderAndShowsItsWindow) {
  ASSERT_FALSE(IsFolder(Roaming() + L"\\Pelvane Project"));
  Process& tavu = Launch(L"");
  HWND main = WaitForMainWindow(tavu.Id());
  ASSERT_NE(main, nullptr) << "no visible TAVU window appeared";
  EXPECT_EQ(ClassOf(main), L"TMainForm");
  EXPECT_EQ(TextOf(main), L"TAVU");
  EXPECT_EQ(WindowProcessId(main), tavu.Id());
  EXPECT_TRUE(IsFolder(DataFolder()));
  EXPECT_TRUE(tavu.IsAlive());
}

TEST_F(StartUp, WithoutADataFolderTheProgramEndsAtOnceWithoutAWindow) {
  std::wstring file = Temp() + L"\\file.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  // A file where the folder should be makes the data folder impossible.
  ASSERT_NO_FATAL_FAILURE(MakeFile(Roaming() + L"\\Pelvane Project"));
  Process& tavu = Launch(Quoted({file}));
  bool sawWindow = false;
  bool ended = WaitUntil(
      [&] {
        for (HWND w : MainWindows())
          sawWindow = sawWindow || WindowProcessId(w) == tavu.Id();
        return !tavu.IsAlive();
      },
      5000);
  ASSERT_TRUE(ended) << "tavu.exe still runs without its data folder";
  DWORD code = 99;
  ASSERT_TRUE(tavu.WaitForExit(0, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(sawWindow);
  EXPECT_TRUE(IsFile(Roaming() + L"\\Pelvane Project")) << "the blocking file was touched";
}

class SingleInstance : public TavuTest {};

TEST_F(SingleInstance, SecondLaunchHandsOverItsFirstPathOnlyAndEnds) {
  std::wstring first = Temp() + L"\\first.txt";
  std::wstring second = Temp() + L"\\second.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(first));
  ASSERT_NO_FATAL_FAILURE(MakeFile(second));
  Process& running = Launch(L"");
  HWND main = WaitForMainWindow(running.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  ASSERT_EQ(ListItems(c.list), Items{});

  Process& sender = Launch(Quoted({first, second}));
  DWORD code = 99;
  ASSERT_TRUE(sender.WaitForExit(kDeadlineMs, &code)) << "the second launch did not end";
  EXPECT_EQ(code, 0u);
  // The hand-off is a sent message: when the sender has ended, the list is up to date.
  EXPECT_EQ(ListItems(c.list), Items{first});
  // Into an empty queue the handed-over path is also loaded.
  EXPECT_EQ(TextOf(c.path), first);
  EXPECT_EQ(TextOf(c.name), L"first");
  EXPECT_EQ(TextOf(c.ext), L"txt");
  EXPECT_TRUE(IsWindowEnabled(c.ok));
  EXPECT_EQ(MainWindows().size(), 1u);
  EXPECT_TRUE(running.IsAlive());
}

TEST_F(SingleInstance, HandOffIntoABusyQueueAppendsAndLeavesTheFieldsAlone) {
  std::wstring head = Temp() + L"\\Report.txt";
  std::wstring other = Temp() + L"\\other.log";
  ASSERT_NO_FATAL_FAILURE(MakeFile(head));
  ASSERT_NO_FATAL_FAILURE(MakeFile(other));
  Process& running = Launch(Quoted({head}));
  HWND main = WaitForMainWindow(running.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  ASSERT_EQ(ListItems(c.list), Items{head});
  // The user has started typing a new name.
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(c.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"),
                                  SMTO_NORMAL, 5000, &result));

  DWORD code = 99;
  Process& sender = Launch(Quoted({other}));
  ASSERT_TRUE(sender.WaitForExit(kDeadlineMs, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ListItems(c.list), (Items{head, other}));
  EXPECT_EQ(TextOf(c.path), head);
  EXPECT_EQ(TextOf(c.name), L"typed");
  EXPECT_EQ(TextOf(c.ext), L"txt");

  // The same path in other letter case is already queued.
  std::wstring upper = head;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  Process& again = Launch(Quoted({upper}));
  ASSERT_TRUE(again.WaitForExit(kDeadlineMs, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ListItems(c.list), (Items{head, other}));
  EXPECT_EQ(TextOf(c.name), L"typed");
}

TEST_F(SingleInstance, SecondLaunchWithoutPathsIsASecondFullInstance) {
  Process& first = Launch(L"");
  HWND firstWindow = WaitForMainWindow(first.Id());
  ASSERT_NE(firstWindow, nullptr);
  Process& second = Launch(L"");
  HWND secondWindow = WaitForMainWindow(second.Id());
  ASSERT_NE(secondWindow, nullptr) << "the second launch showed no window";
  EXPECT_NE(firstWindow, secondWindow);
  EXPECT_EQ(MainWindows().size(), 2u);
  EXPECT_TRUE(first.IsAlive());
  EXPECT_TRUE(second.IsAlive());
}

TEST_F(SingleInstance, WithNoWindowToTakeTheHandOffTheLaunchRunsItself) {
  // Another instance is starting (its mutex exists) but never shows a window.
  ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, kMutexName));
  ASSERT_TRUE(mutex);
  std::wstring a = Temp() + L"\\a.txt";
  std::wstring b = Temp() + L"\\b.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(a));
  ASSERT_NO_FATAL_FAILURE(MakeFile(b));
  Process& tavu = Launch(Quoted({a, b}));
  // It looks for the window for 5 s before giving up.
  HWND main = WaitForMainWindow(tavu.Id(), 5000 + kDeadlineMs);
  ASSERT_NE(main, nullptr) << "the launch neither handed off nor showed its own window";
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  EXPECT_EQ(ListItems(c.list), (Items{a, b}));
  EXPECT_EQ(TextOf(c.path), a);
}

} // namespace
} // namespace e2e
