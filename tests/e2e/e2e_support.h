#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/handle.h"
#include "scratch.h"

// Drives real tavu.exe processes from outside: each test gets its own
// temporary folder, a roaming application data folder redirected into it,
// and every process it starts is ended when it finishes.
namespace e2e {

// How long any single wait in these tests may take before it fails.
constexpr DWORD kDeadlineMs = 10000;

// Polls `done` every 20 ms until it holds or `ms` have passed; reports the last result.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kDeadlineMs);

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();
// tavu.exe, built beside the test program.
std::wstring TavuExe();

bool IsFolder(const std::wstring& path);
bool IsFile(const std::wstring& path);
// Creates a file holding a few bytes; fails the calling test when it cannot.
void MakeFile(const std::wstring& path);

// Points the current user's roaming application data folder at `folder`
// while it lives. SHGetFolderPathW reads "User Shell Folders" on every call,
// and the test program shares the wineserver with the programs it starts.
class AppDataRedirect {
public:
  explicit AppDataRedirect(const std::wstring& folder);
  ~AppDataRedirect();
  AppDataRedirect(const AppDataRedirect&) = delete;
  AppDataRedirect& operator=(const AppDataRedirect&) = delete;

private:
  std::wstring original_;
  DWORD originalType_ = REG_EXPAND_SZ;
};

// One started program.
class Process {
public:
  // Starts `exe` with a command line made of the quoted program path and
  // `tail` exactly as given (so a test controls the quoting).
  Process(const std::wstring& exe, const std::wstring& tail);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Started() const { return static_cast<bool>(process_); }
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_.Get(); }
  bool IsAlive() const;
  // Waits at most `ms` for the process to end; reports whether it did and its exit code.
  bool WaitForExit(DWORD ms, DWORD* exitCode = nullptr) const;
  // Ends the process if it still runs and waits (bounded) until it has.
  void Kill();

private:
  ScopedKernelHandle process_;
  DWORD id_ = 0;
};

// Arguments each in double quotes, separated by one blank.
std::wstring Quoted(const std::vector<std::wstring>& args);

// The top-level windows of class "TMainForm" titled "TAVU" (any process).
std::vector<HWND> MainWindows();
// The visible main window owned by process `pid`, waiting at most `ms`; 0 if none came.
HWND WaitForMainWindow(DWORD pid, DWORD ms = kDeadlineMs);
DWORD WindowProcessId(HWND wnd);

// Text of a window in any process, through WM_GETTEXT with a bounded time-out.
std::wstring TextOf(HWND wnd);
std::wstring ClassOf(HWND wnd);
// The list box's items, read with LB_GETCOUNT / LB_GETTEXTLEN / LB_GETTEXT.
std::vector<std::wstring> ListItems(HWND list);
// True when the window answers a message within the time-out.
bool Responds(HWND wnd);

// The main window's controls as an outside driver finds them.
struct MainControls {
  HWND path = nullptr; // the topmost edit
  HWND name = nullptr;
  HWND ext = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;
  HWND list = nullptr;
  HWND mode = nullptr; // the drop-down list of what follows a rename
};
// Finds the controls by class, caption and screen position; fails the
// calling test (fatally) when one is missing.
void FindControls(HWND main, MainControls* out);

// Posts Esc to the window's focused control (or, without one, to `fallback`),
// the way a key press reaches the program's message loop.
void PressEscape(HWND main, HWND fallback);

// Clicks a button without waiting for what its click runs (a modal dialog).
void PostClick(HWND button);

// The first visible dialog (class "#32770") of process `pid`, waiting at most `ms`; 0 if none came.
HWND WaitForDialog(DWORD pid, DWORD ms = kDeadlineMs);
// A message box's text.
std::wstring MessageBoxText(HWND box);
// Waits for process `pid`'s folder browser, selects `folder` in it and
// confirms it; false when no browser came or the selection could not be
// sent. The path is written into that process, since the selection message
// carries a pointer.
bool PickFolder(DWORD pid, const std::wstring& folder);
// Presses a dialog's OK (IDOK) or Cancel (IDCANCEL) button.
void PressDialogButton(HWND dialog, int id);

// The fixture: temporary folder, redirected data folder, and the processes
// of the test, all ended and removed when it finishes.
class TavuTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Starts tavu.exe (or `exe`) with the given command-line tail; the test
  // fails if it cannot start.
  Process& Launch(const std::wstring& tail, const std::wstring& exe = {});
  // The redirected roaming folder (exists; holds no data folder yet).
  const std::wstring& Roaming() const { return roaming_; }
  const std::wstring& Temp() const { return tempPath_; }
  std::wstring DataFolder() const { return roaming_ + L"\\Pelvane Project\\TAVU"; }

private:
  std::unique_ptr<testsupport::ScratchFolder> temp_;
  std::wstring tempPath_;
  std::unique_ptr<AppDataRedirect> redirect_;
  std::wstring roaming_;
  std::vector<std::unique_ptr<Process>> processes_;
};

} // namespace e2e
