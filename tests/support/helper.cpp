#include "helper.h"

#include <windows.h>

#include <cwchar>

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

} // namespace

int RunTestHelper(int argc, wchar_t** argv) {
  if (argc == 5 && std::wcscmp(argv[1], kHoldClipboardMode) == 0)
    return HoldClipboard(argv[2], argv[3], static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)));
  return -1;
}
