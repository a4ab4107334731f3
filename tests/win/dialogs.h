#pragma once
// Answering this process's modal dialogs (a message box, the folder
// browser) from a second thread while the test's thread sits in their loop.
#include <windows.h>

#include <shlobj.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "common/wide.h"

namespace wintest {

inline BOOL CALLBACK FindOwnDialog(HWND wnd, LPARAM lp) {
  wchar_t cls[16] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && GetClassNameW(wnd, cls, 16) &&
      std::wstring(cls) == L"#32770") {
    *reinterpret_cast<HWND*>(lp) = wnd;
    return FALSE;
  }
  return TRUE;
}

// Answers the next dialog of this process (a message box or the folder
// browser) from a second thread, while the test's thread sits in its modal loop.
class DialogDriver {
public:
  using Answer = std::function<void(HWND dialog)>;
  explicit DialogDriver(Answer answer)
      : thread_([this, answer] {
          const ULONGLONG deadline = GetTickCount64() + 8000;
          HWND dialog = nullptr;
          while (!dialog && !cancelled_ && GetTickCount64() < deadline) {
            Sleep(20);
            EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
          }
          if (!dialog)
            return;
          Sleep(100); // let it finish its initialisation
          wchar_t text[512] = {};
          GetDlgItemTextW(dialog, 0xFFFF, text, 512);
          shown = ToU16(text);
          GetWindowTextW(dialog, text, 512);
          title = ToU16(text);
          answer(dialog);
          answered = true;
        }) {}
  ~DialogDriver() { thread_.join(); }
  // Stops waiting for a dialog that has not come by now.
  void Cancel() { cancelled_ = true; }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  std::atomic<bool> answered{false};
  std::u16string shown; // a message box's text
  std::u16string title;

private:
  std::atomic<bool> cancelled_{false};
  std::thread thread_;
};

inline void PressOk(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}
inline void PressCancel(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}
// Picks `folder` in the folder browser and confirms it.
inline DialogDriver::Answer Pick(std::u16string folder) {
  return [folder](HWND dialog) {
    // The tree fills itself for a while after it shows; select until it took.
    for (int i = 0; i < 3; ++i) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(AsWide(folder)));
      Sleep(150);
    }
    PressOk(dialog);
  };
}

} // namespace wintest
