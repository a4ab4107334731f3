// Existence checks against the real file system and the drives of the test
// prefix: q: is linked to a missing folder and r: is not mapped (scripts/setup.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "common/pelvane.h"
#include "scratch.h"
#include "common/handle.h"
#include "common/wide.h"

namespace {

using wintest::Decimal;
using wintest::ScratchFolder;

// Opens the file with no sharing at all, as an editor that locks its document does.
ScopedFileHandle HoldExclusively(const std::u16string& path) {
  ScopedFileHandle h(CreateFileW(AsWide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(h) << "cannot hold the test file";
  return h;
}

BOOL CALLBACK CollectVisibleOfThisProcess(HWND w, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(w))
    reinterpret_cast<std::set<HWND>*>(lp)->insert(w);
  return TRUE;
}

std::set<HWND> VisibleWindowsOfThisProcess() {
  std::set<HWND> out;
  EnumWindows(CollectVisibleOfThisProcess, reinterpret_cast<LPARAM>(&out));
  return out;
}

BOOL CALLBACK Dismiss(HWND w, LPARAM) {
  PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(w, WM_CLOSE, 0, 0);
  return TRUE;
}

// Runs `work` on a thread of its own and fails the test when it is still
// busy after `timeoutMs` (a system dialog waiting for the user): the dialog
// is then closed so that the test ends instead of hanging.
void RunBounded(const std::function<void()>& work, DWORD timeoutMs = 10000) {
  struct Call {
    const std::function<void()>* work;
    static DWORD WINAPI Run(void* p) {
      (*static_cast<Call*>(p)->work)();
      return 0;
    }
  } call{&work};
  DWORD threadId = 0;
  ScopedKernelHandle thread(CreateThread(nullptr, 0, &Call::Run, &call, 0, &threadId));
  ASSERT_TRUE(thread);
  if (WaitForSingleObject(thread.Get(), timeoutMs) == WAIT_OBJECT_0)
    return;
  ADD_FAILURE() << "the drive query did not return (a dialog is waiting?)";
  EnumThreadWindows(threadId, Dismiss, 0);
  if (WaitForSingleObject(thread.Get(), 5000) != WAIT_OBJECT_0)
    TerminateThread(thread.Get(), 1);
}

// Puts the process error mode back as the test found it.
class ErrorModeGuard {
public:
  ErrorModeGuard() : saved_(GetErrorMode()) {}
  ~ErrorModeGuard() { SetErrorMode(saved_); }
  ErrorModeGuard(const ErrorModeGuard&) = delete;
  ErrorModeGuard& operator=(const ErrorModeGuard&) = delete;

private:
  UINT saved_;
};

TEST(PelvaneDrive, RefusesPathsThatNameNoDrive) {
  for (const std::u16string path : {u"", u"1:\\dir\\file.txt", u"/tmp/file.txt",
                                    u"\uFF23:\\dir\\file.txt", u"\uFF43:\\dir", u".\\file.txt"}) {
    SCOPED_TRACE(testing::PrintToString(path));
    EXPECT_FALSE(Pelvane::IsDriveReady(path));
  }
}

TEST(PelvaneDrive, LetterCaseDoesNotMatter) {
  wchar_t windows[MAX_PATH + 1] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH + 1), 2u);
  std::u16string upper = ToU16(windows), lower = upper;
  ASSERT_TRUE(upper[0] >= u'A' && upper[0] <= u'Z');
  lower[0] = static_cast<char16_t>(upper[0] - u'A' + u'a');
  EXPECT_TRUE(Pelvane::IsDriveReady(upper));
  EXPECT_TRUE(Pelvane::IsDriveReady(lower));
  EXPECT_TRUE(Pelvane::IsExistingFolder(lower));
}

TEST(PelvaneDrive, BackslashPathsAreReadyWithoutAsking) {
  // No such server exists: a query would fail, so true means none was made.
  EXPECT_TRUE(Pelvane::IsDriveReady(u"\\\\no-such-server-tavu\\share\\file.txt"));
  EXPECT_TRUE(Pelvane::IsDriveReady(u"\\\\no-such-server-tavu\\share"));
  EXPECT_TRUE(Pelvane::IsDriveReady(u"\\dir\\file.txt"));
}

TEST(PelvaneDrive, MissingDrivesAreNotReadySilentlyAndKeepTheErrorMode) {
  ErrorModeGuard restore;
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  const auto before = VisibleWindowsOfThisProcess();
  RunBounded([] {
    for (const std::u16string path : {u"q:\\file.txt", u"Q:\\", u"r:\\file.txt", u"R:"}) {
      SCOPED_TRACE(testing::PrintToString(path));
      EXPECT_FALSE(Pelvane::IsDriveReady(path));
      EXPECT_FALSE(Pelvane::IsExistingFile(path));
      EXPECT_FALSE(Pelvane::IsExistingFolder(path));
    }
  });
  EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  EXPECT_EQ(VisibleWindowsOfThisProcess(), before) << "a window appeared during the query";

  // A ready drive goes through the same mode switch.
  wchar_t windows[MAX_PATH + 1] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH + 1), 2u);
  EXPECT_TRUE(Pelvane::IsDriveReady(ToU16(windows)));
  EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

// Records every error mode the program sets while it lives, and passes them on.
class ErrorModeRecorder {
public:
  ErrorModeRecorder() {
    modes().clear();
    saved_ = Pelvane::UseErrorModeSetter([](UINT mode) WINAPI -> UINT {
      modes().push_back(mode);
      return SetErrorMode(mode);
    });
  }
  ~ErrorModeRecorder() { Pelvane::UseErrorModeSetter(saved_); }
  ErrorModeRecorder(const ErrorModeRecorder&) = delete;
  ErrorModeRecorder& operator=(const ErrorModeRecorder&) = delete;
  static std::vector<UINT>& modes() {
    static std::vector<UINT> v;
    return v;
  }

private:
  Pelvane::ErrorModeSetter saved_;
};

TEST(PelvaneDrive, TheDriveQueryRunsWithCriticalErrorsSilencedOnly) {
  ErrorModeGuard restore;
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  ErrorModeRecorder recorder;
  EXPECT_FALSE(Pelvane::IsDriveReady(u"q:\\file.txt"));
  EXPECT_EQ(recorder.modes(), (std::vector<UINT>{SEM_FAILCRITICALERRORS, SEM_NOGPFAULTERRORBOX}));
  // Paths that need no query leave the mode alone.
  recorder.modes().clear();
  EXPECT_TRUE(Pelvane::IsDriveReady(u"\\\\server\\share\\file.txt"));
  EXPECT_TRUE(recorder.modes().empty());
}

TEST(PelvaneExistence, TellsFilesFromFolders) {
  ScratchFolder dir;
  const auto file = dir.File(u"report.final.docx");
  const auto locked = dir.File(u"hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  const auto folder = dir.Folder(u"my.folder");
  const auto missing = dir.Path(u"missing.txt");
  const auto underMissing = dir.Path(u"missing\\file.txt");

  EXPECT_TRUE(Pelvane::IsExistingFile(file));
  EXPECT_FALSE(Pelvane::IsExistingFolder(file));
  EXPECT_TRUE(Pelvane::IsExistingFile(locked));
  EXPECT_FALSE(Pelvane::IsExistingFolder(locked));
  EXPECT_TRUE(Pelvane::IsExistingFolder(folder));
  EXPECT_FALSE(Pelvane::IsExistingFile(folder));
  for (const auto& path : {missing, underMissing, std::u16string()}) {
    SCOPED_TRACE(testing::PrintToString(path));
    EXPECT_FALSE(Pelvane::IsExistingFile(path));
    EXPECT_FALSE(Pelvane::IsExistingFolder(path));
  }
}

TEST(PelvaneExistence, FileHeldWithoutSharingStillExists) {
  ScratchFolder dir;
  const auto file = dir.File(u"held.txt");
  auto hold = HoldExclusively(file);
  EXPECT_TRUE(Pelvane::IsExistingFile(file));
  EXPECT_TRUE(Pelvane::FileExistsOnDisk(file));
  EXPECT_FALSE(Pelvane::IsExistingFolder(file));
  EXPECT_FALSE(Pelvane::FolderExistsOnDisk(file));
}

TEST(PelvaneExistence, SystemQueriesAnswerWhatTheFileSystemSays) {
  using Q = tavu::FileQueries;
  ScratchFolder dir;
  const auto file = dir.File(u"plain.txt", FILE_ATTRIBUTE_HIDDEN);
  const auto held = dir.File(u"held.txt");
  const auto folder = dir.Folder(u"sub");
  const auto& fs = Pelvane::SystemFileQueries();
  const DWORD fileAttributes = GetFileAttributesW(AsWide(file));
  ASSERT_NE(fileAttributes, INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(fileAttributes & FILE_ATTRIBUTE_HIDDEN);

  auto a = fs.Attributes(file);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.value, fileAttributes);
  a = fs.Attributes(folder);
  EXPECT_TRUE(a.ok);
  EXPECT_TRUE(a.value & Q::kDirectory);
  a = fs.Attributes(dir.Path(u"missing.txt"));
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.value, Q::kErrorFileNotFound);
  a = fs.Attributes(dir.Path(u"missing\\file.txt"));
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.value, Q::kErrorPathNotFound);

  auto f = fs.Find(file);
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.value, fileAttributes);
  f = fs.Find(folder);
  EXPECT_TRUE(f.ok);
  EXPECT_TRUE(f.value & Q::kDirectory);
  EXPECT_FALSE(fs.Find(dir.Path(u"missing.txt")).ok);

  EXPECT_TRUE(fs.Open(file, false).ok);
  EXPECT_TRUE(fs.Open(folder, true).ok);
  auto o = fs.Open(dir.Path(u"missing.txt"), false);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.value, Q::kErrorFileNotFound);
  auto hold = HoldExclusively(held);
  o = fs.Open(held, false);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.value, Q::kErrorSharingViolation);
  // The attributes of a held file stay readable.
  EXPECT_TRUE(fs.Attributes(held).ok);
}

} // namespace
