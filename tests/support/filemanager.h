#pragma once
// A stand-in for the user's file manager, for the window and process tests.
#include <windows.h>

#include <utility>
#include <vector>

namespace testsupport {

// A window of the file manager's class, as the user's file manager would be
// when TAVU starts; it collects the keys posted to it.
class FileManagerWindow {
public:
  FileManagerWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CabinetWClass";
    registered_ = RegisterClassExW(&wc) != 0;
    hwnd_ = CreateWindowExW(0, L"CabinetWClass", L"files", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                            nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd_, SW_SHOW);
  }
  ~FileManagerWindow() {
    DestroyWindow(hwnd_);
    if (registered_)
      UnregisterClassW(L"CabinetWClass", GetModuleHandleW(nullptr));
  }
  FileManagerWindow(const FileManagerWindow&) = delete;
  FileManagerWindow& operator=(const FileManagerWindow&) = delete;
  HWND Handle() const { return hwnd_; }

  // Takes the keys that arrived so far.
  std::vector<std::pair<UINT, WPARAM>> Keys() {
    MSG m;
    while (PeekMessageW(&m, hwnd_, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
      keys_.emplace_back(m.message, m.wParam);
    return keys_;
  }

private:
  HWND hwnd_ = nullptr;
  bool registered_ = false;
  std::vector<std::pair<UINT, WPARAM>> keys_;
};

} // namespace testsupport
