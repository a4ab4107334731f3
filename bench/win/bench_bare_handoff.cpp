// The floor for the hand-off benchmark, one program in two roles like TAVU:
// started while its mutex exists and with a path, it finds the receiver's
// window and sends the path with WM_COPYDATA; otherwise it is the receiver,
// a window whose list box takes every path sent to it.
#include <windows.h>

#include <string>

namespace {

const wchar_t kMutexName[] = L"TAVU bench/bare hand-off";
const wchar_t kReceiverClass[] = L"BareReceiver";

HWND g_list = nullptr;

LRESULT CALLBACK ReceiverProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_COPYDATA: {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (!cds->lpData)
      return 0;
    const auto* units = static_cast<const wchar_t*>(cds->lpData);
    std::wstring text(units, cds->cbData / sizeof(wchar_t));
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
    if (!text.empty())
      SendMessageW(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return TRUE;
  }
  case WM_CLOSE:
    DestroyWindow(wnd);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(wnd, msg, wp, lp);
  }
}

int Send(const std::wstring& path) {
  HWND target = nullptr;
  for (int i = 0; i < 50; ++i) {
    target = FindWindowW(kReceiverClass, kReceiverClass);
    if (target)
      break;
    Sleep(100);
  }
  if (!target)
    return 1;
  std::wstring payload = path;
  payload.append(2, L'\0');
  COPYDATASTRUCT cds{};
  cds.dwData = 1;
  cds.cbData = static_cast<DWORD>(payload.size() * sizeof(wchar_t));
  cds.lpData = payload.data();
  SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  return 0;
}

int Receive() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ReceiverProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kReceiverClass;
  RegisterClassExW(&wc);
  HWND wnd = CreateWindowExW(0, kReceiverClass, kReceiverClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 400, 200, nullptr, nullptr, wc.hInstance, nullptr);
  if (!wnd)
    return 1;
  g_list = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", L"",
                           WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, 0, 0, 380,
                           150, wnd, nullptr, wc.hInstance, nullptr);
  ShowWindow(wnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (mutex)
    CloseHandle(mutex);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) {
    if (HANDLE other = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName)) {
      CloseHandle(other);
      return Send(argv[1]);
    }
  }
  return Receive();
}
