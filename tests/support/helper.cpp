#include "helper.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "common/handle.h"

namespace {

int HoldClipboard(const wchar_t* readyName, const wchar_t* releaseName, DWORD holdMs) {
  ScopedKernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName));
  ScopedKernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, releaseName));
  if (!ready || !release)
    return 2;
  // Contention is real only between owners with windows.
  ScopedWindow window(CreateWindowExW(0, L"STATIC", L"clipboard holder", WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!window)
    return 3;
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (!OpenClipboard(window.Get())) {
    if (GetTickCount64() >= deadline)
      return 4;
    Sleep(5);
  }
  SetEvent(ready.Get());
  WaitForSingleObject(release.Get(), holdMs);
  CloseClipboard();
  return 0;
}

// A message to another process's window that gives up after a second.
bool Ask(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(wnd, msg, wp, lp, SMTO_ABORTIFHUNG, 1000, &r))
    return false;
  *result = static_cast<LRESULT>(r);
  return true;
}

BOOL CALLBACK AddChild(HWND wnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}

// The class of a control without the program's superclass prefix.
std::wstring BaseClass(HWND wnd) {
  wchar_t buf[64] = {};
  std::wstring cls(buf, static_cast<std::size_t>(std::max(GetClassNameW(wnd, buf, 64), 0)));
  return cls.rfind(L"TAVU.", 0) == 0 ? cls.substr(5) : cls;
}

int PrintMainWindow(DWORD waitMs) {
  HWND main = nullptr;
  for (const ULONGLONG deadline = GetTickCount64() + waitMs;;) {
    main = FindWindowW(L"TMainForm", L"TAVU");
    if (main && IsWindowVisible(main))
      break;
    if (GetTickCount64() >= deadline)
      return 1;
    Sleep(50);
  }
  std::vector<HWND> children;
  EnumChildWindows(main, AddChild, reinterpret_cast<LPARAM>(&children));
  // The path field is the topmost edit.
  HWND path = nullptr, list = nullptr;
  LONG pathTop = 0;
  for (HWND c : children) {
    std::wstring cls = BaseClass(c);
    RECT r{};
    GetWindowRect(c, &r);
    if (cls == L"Edit" && (!path || r.top < pathTop)) {
      path = c;
      pathTop = r.top;
    } else if (cls == L"ListBox") {
      list = c;
    }
  }
  if (!path || !list)
    return 2;
  std::vector<std::wstring> lines;
  wchar_t buf[4096];
  LRESULT n = 0, count = 0;
  if (!Ask(path, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf), &n))
    return 2;
  lines.emplace_back(buf, static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
  if (!Ask(list, LB_GETCOUNT, 0, 0, &count))
    return 2;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT len = 0;
    if (!Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, &len) || len < 0 || len >= 4096 ||
        !Ask(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf), &n))
      return 2;
    lines.emplace_back(buf, static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
  }
  std::string out;
  for (const auto& line : lines) {
    int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    out += bytes + "\n";
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
            nullptr);
  return 0;
}

} // namespace

int RunTestHelper(int argc, wchar_t** argv) {
  if (argc == 5 && std::wcscmp(argv[1], kHoldClipboardMode) == 0)
    return HoldClipboard(argv[2], argv[3], static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)));
  if (argc == 3 && std::wcscmp(argv[1], kShowWindowMode) == 0)
    return PrintMainWindow(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  return -1;
}
