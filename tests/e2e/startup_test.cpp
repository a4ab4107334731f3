// Start-up as separate processes see it: the data folder, the single-instance
// mutex and the hand-off from a second launch to the running window.
#include "e2e_support.h"

#include <memory>

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

TEST_F(StartUp, WithoutADataFolderABoxSaysWhichFolderAndWhyAndTheProgramEnds) {
  const std::wstring file = Temp() + L"\\file.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(file));
  const std::wstring project = Roaming() + L"\\Pelvane Project";
  struct Case {
    const char* what;
    std::wstring blocker; // a file where a folder should be
    std::wstring appData; // where AppData points, if elsewhere
    std::wstring folder;  // the one the box names
  };
  const Case cases[] = {
      {"Pelvane Project is a file", project, L"", project},
      {"TAVU is a file", DataFolder(), L"", DataFolder()},
      // Last: a second redirect hands AppData back to the system's folder, not this test's.
      {"AppData on a missing drive", L"", L"q:\\Roaming", L"q:\\Roaming\\Pelvane Project"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.blocker.empty()) {
      CreateDirectoryW(project.c_str(), nullptr);
      RemoveDirectoryW(c.blocker.c_str());
      ASSERT_NO_FATAL_FAILURE(MakeFile(c.blocker));
    }
    std::unique_ptr<AppDataRedirect> elsewhere;
    if (!c.appData.empty())
      elsewhere = std::make_unique<AppDataRedirect>(c.appData);
    Process& tavu = Launch(Quoted({file}));
    HWND box = WaitForDialog(tavu.Id());
    ASSERT_NE(box, nullptr) << "TAVU ended without a word";
    EXPECT_EQ(TextOf(box), L"TAVU");
    const std::wstring text = MessageBoxText(box);
    const std::wstring head = L"フォルダ \"" + c.folder + L"\" を作成できません。";
    EXPECT_EQ(text.rfind(head, 0), 0u) << testing::PrintToString(text);
    EXPECT_GT(text.size(), head.size() + 1) << "the system's reason is missing";
    EXPECT_TRUE(MainWindows().empty());
    PressDialogButton(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(tavu.WaitForExit(kDeadlineMs, &code)) << "TAVU went on without its data folder";
    EXPECT_EQ(code, 1u);
    if (!c.blocker.empty()) {
      EXPECT_EQ(testsupport::ReadBytes(c.blocker), "tavu") << "the blocking file was touched";
      DeleteFileW(c.blocker.c_str());
    }
  }
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

TEST_F(SingleInstance, AHandOffNeedsNoDataFolderOfItsOwn) {
  const std::wstring first = Temp() + L"\\first.txt";
  ASSERT_NO_FATAL_FAILURE(MakeFile(first));
  Process& running = Launch(L"");
  HWND main = WaitForMainWindow(running.Id());
  ASSERT_NE(main, nullptr);
  MainControls c;
  ASSERT_NO_FATAL_FAILURE(FindControls(main, &c));
  // The data folder can no longer be made while the first instance runs.
  AppDataRedirect gone(L"q:\\Roaming");
  Process& sender = Launch(Quoted({first}));
  DWORD code = 99;
  ASSERT_TRUE(sender.WaitForExit(kDeadlineMs, &code)) << "the second launch did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ListItems(c.list), Items{first});
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
