// The floor for the start-up benchmark: a window made like TAVU's main window
// (two panels, three edits, a label, five push buttons, a check box, a
// drop-down list and a list box) with the same common controls and DPI mode,
// the path from the command line shown, and no behaviour at all.
#include <windows.h>

#include <commctrl.h>

#include <string>

namespace {

const wchar_t kFormClass[] = L"BareForm";
const wchar_t kPanelClass[] = L"BarePanel";

// The common controls version TAVU's manifest asks for, taken from tavu.exe
// beside this program: a bench program has no manifest of its own.
void UseTavuManifest() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring source = self;
  source = source.substr(0, source.find_last_of(L'\\') + 1) + L"tavu.exe";
  ACTCTXW ctx{};
  ctx.cbSize = sizeof ctx;
  ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  ctx.lpSource = source.c_str();
  ctx.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE actctx = CreateActCtxW(&ctx);
  ULONG_PTR cookie = 0;
  if (actctx != INVALID_HANDLE_VALUE)
    ActivateActCtx(actctx, &cookie);
}

LRESULT CALLBACK FormProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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

void Register(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
           int h, HFONT font, DWORD exStyle = 0) {
  HWND c = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return c;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  UseTavuManifest();
  Register(kFormClass, FormProc);
  Register(kPanelClass, DefWindowProcW);

  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  HFONT font = CreateFontIndirectW(&ncm.lfMenuFont);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                      WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, 984, 169};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_CONTROLPARENT | WS_EX_APPWINDOW);
  HWND form = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kFormClass, L"Bare", style,
                              CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, r.bottom - r.top,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!form)
    return 1;

  HWND panelEdit = Child(form, kPanelClass, L"", 0, 0, 0, 984, 78, font);
  HWND path = Child(panelEdit, WC_EDITW, L"", ES_AUTOHSCROLL | ES_READONLY, 1, 1, 982, 21, font,
                    WS_EX_CLIENTEDGE);
  HWND name = Child(panelEdit, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, 1, 22, 982, 21, font,
                    WS_EX_CLIENTEDGE);
  Child(panelEdit, WC_STATICW, L"\u3000\uFF0E\u3000", SS_CENTER, 1, 43, 982, 13, font);
  HWND ext = Child(panelEdit, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, 1, 56, 982, 21, font,
                   WS_EX_CLIENTEDGE);

  HWND panelBtn = Child(form, kPanelClass, L"", 0, 0, 78, 984, 30, font);
  Child(panelBtn, WC_BUTTONW, L"設定(&S)", BS_PUSHBUTTON | WS_TABSTOP, 1, 1, 120, 28, font);
  Child(panelBtn, WC_BUTTONW, L"名前を消去(&C)", BS_PUSHBUTTON | WS_TABSTOP, 121, 1, 120, 28, font);
  Child(panelBtn, WC_BUTTONW, L"編集(&E)", BS_PUSHBUTTON | WS_TABSTOP, 241, 1, 120, 28, font);
  HWND check = Child(panelBtn, WC_BUTTONW, L"OKで終了", BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP,
                     463, 1, 100, 28, font);
  SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
  HWND combo = Child(panelBtn, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 563,
                     1, 120, 200, font);
  for (const wchar_t* item : {L"そのまま", L"移動", L"コピー"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  HWND ok = Child(panelBtn, WC_BUTTONW, L"OK[ENTER]", BS_DEFPUSHBUTTON | WS_TABSTOP, 683, 1, 150,
                  28, font);
  Child(panelBtn, WC_BUTTONW, L"キャンセル[ESC]", BS_PUSHBUTTON | WS_TABSTOP, 833, 1, 150, 28,
        font);

  HWND list =
      Child(form, WC_LISTBOXW, L"", LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_NOTIFY | WS_VSCROLL,
            0, 108, 984, 61, font, WS_EX_CLIENTEDGE);

  bool exists = false;
  if (argc > 1) {
    std::wstring p = argv[1];
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.c_str()));
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SetWindowTextW(path, p.c_str());
    std::wstring file = p.substr(p.find_last_of(L'\\') + 1);
    std::size_t dot = file.find_last_of(L'.');
    SetWindowTextW(name, file.substr(0, dot).c_str());
    SetWindowTextW(ext, dot == std::wstring::npos ? L"" : file.substr(dot + 1).c_str());
    exists = GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  EnableWindow(ok, exists);
  EnableWindow(list, FALSE);

  ShowWindow(form, SW_SHOW);
  UpdateWindow(form);
  SetFocus(name);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(form, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(font);
  return 0;
}
