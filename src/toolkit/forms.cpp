#include "toolkit/forms.h"

#include <commctrl.h>

#include <utility>

#include "core/error.h"
#include "common/inifile.h"
#include "common/wide.h"
#include "toolkit/dpi.h"

namespace tk {

namespace {

ErrorBox errorBox;
MenuTracker menuTracker;
const wchar_t kAppClass[] = L"TApplication";
constexpr int kIconId = 1;

HICON ProgramIcon() {
  return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
}

void SetFontRecursive(TWinControl* c, HFONT font) {
  if (c->HandleAllocated())
    SendMessageW(c->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  for (auto* child : c->Controls())
    SetFontRecursive(child, font);
}
} // namespace

TForm::TForm(TComponent* owner, std::u16string name, std::u16string className)
    : TWinControl(owner, std::move(name)), className_(std::move(className)) {
  TabStop = false;
}

TForm::~TForm() {
  NotifyDestroying();
  if (Application().MainForm == this)
    Application().MainForm = nullptr;
  DestroyHandle();
}

TForm* TForm::FormFromHandle(HWND hwnd) {
  if (!hwnd || GetClassLongPtrW(hwnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&FormProc))
    return nullptr;
  return reinterpret_cast<TForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void TForm::CreateParams(Params& p) {
  p.className = AsWide(className_);
  if (ToolWindow) {
    // Overlapped, not a popup: a first window then takes the system's
    // default place, as every other top-level window does.
    p.style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;
    p.exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
  } else {
    p.style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX |
              (MaximizeBox ? WS_MAXIMIZEBOX : 0) | WS_CLIPCHILDREN;
    p.exStyle = WS_EX_CONTROLPARENT | (ShowInTaskbar ? WS_EX_APPWINDOW : 0);
  }
  if (SystemMenu)
    p.style |= WS_SYSMENU;
}

void TForm::CreateHandle() {
  if (handle_)
    return;
  Params p;
  CreateParams(p);
  EnsureWindowClass(p.className, FormProc, ProgramIcon(),
                    reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  RECT r{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&r, p.style, FALSE, p.exStyle);
  // A window made anew keeps its frame; a first one lets the system place it.
  RECT frame = placed_ ? bounds_ : RECT{CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, 0};
  int width = placed_ ? frame.right - frame.left : r.right - r.left;
  int height = placed_ ? frame.bottom - frame.top : r.bottom - r.top;
  HWND created =
      CreateWindowExW(p.exStyle, p.className, AsWide(text_), p.style, frame.left, frame.top, width,
                      height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!created)
    throw tavu::Exception(u"ウィンドウを作成できません");
  // The layout is designed at 96 dpi; bring it to this monitor's, once.
  dpi_ = WindowDpi(handle_);
  if (dpi_ != layoutDpi_) {
    for (auto* c : Controls())
      c->ScaleBy(dpi_, layoutDpi_);
    layoutDpi_ = dpi_;
  }
  // The frame asked for above is the system DPI's; the monitor's may differ
  // even where the 96-dpi layout needs no scaling (96 dpi beside a larger primary).
  if (!placed_) {
    RECT sr{0, 0, MulDiv(ClientWidth, dpi_, 96), MulDiv(ClientHeight, dpi_, 96)};
    AdjustWindowRectForDpi(sr, p.style, p.exStyle, dpi_);
    SetWindowPos(handle_, nullptr, 0, 0, sr.right - sr.left, sr.bottom - sr.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  GetWindowRect(handle_, &bounds_);
  placed_ = true;
  RebuildFont();
  // comctl32 is loaded on first use only; the tooltip's class comes with it.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  // Not owned by the form: Wine moves a window's owned popups to the top
  // band instead of the window itself, so the form could never become
  // topmost. The form destroys it at WM_NCDESTROY instead.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  for (auto* c : Controls())
    c->Handle();
  ApplyTabOrder();
  AlignControls();
}

void TForm::ApplyBounds() {
  if (handle_)
    SetWindowPos(handle_, nullptr, bounds_.left, bounds_.top, Width(), Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  else
    placed_ = true;
  AlignControls();
}

void TForm::SetClientHeight(int height) {
  HWND h = Handle();
  RECT r{0, 0, 0, height};
  AdjustWindowRectForDpi(r, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)),
                         static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)), dpi_);
  SetWindowPos(h, nullptr, 0, 0, Width(), r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TForm::RestoredBounds() {
  HWND h = Handle();
  if (!IsIconic(h) && !IsZoomed(h))
    return bounds_;
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(h, &wp);
  RECT r = wp.rcNormalPosition;
  // The normal position of a window without the tool-window style is in
  // work-area coordinates; bring it to the screen's.
  if (!(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi))
      OffsetRect(&r, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
  }
  return r;
}

void TForm::SaveSettings(const std::u16string& path, const std::u16string& section,
                         std::initializer_list<const char16_t*> frameKeys,
                         std::initializer_list<FlagSetting> flags) {
  try {
    Pelvane::IniFile ini(path);
    // A minimised window stands at -32000: its restored frame is the one to keep.
    const RECT r = RestoredBounds();
    for (const std::u16string key : frameKeys)
      ini.WriteInteger(section, key,
                       key == u"Left"    ? r.left
                       : key == u"Top"   ? r.top
                       : key == u"Width" ? r.right - r.left
                                         : r.bottom - r.top);
    for (const FlagSetting& flag : flags)
      ini.WriteBool(section, flag.key, flag.value);
    ini.UpdateFile();
  } catch (const tavu::Exception&) {
    Application().HandleException();
  }
}

void TForm::CreateForm() {
  for (auto* c : Components())
    c->Loaded();
  Loaded();
  Handle();
  if (!OnCreate)
    return;
  try {
    OnCreate();
  } catch (...) {
    Application().HandleException();
  }
}

void TForm::SetFont(const TFont& font) {
  font_ = font;
  if (handle_)
    RebuildFont();
}

void TForm::UseMenuFont() {
  LOGFONTW menu{};
  if (!MenuFontForDpi(menu, dpi_))
    return;
  TFont font = font_;
  font.name = ToU16(menu.lfFaceName);
  const int height = menu.lfHeight < 0 ? -menu.lfHeight : menu.lfHeight;
  if (height > 0)
    font.size = MulDiv(height, 72, dpi_);
  SetFont(font);
}

void TForm::RebuildFont() {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(font_.size, dpi_, 72);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, AsWide(font_.name), LF_FACESIZE);
  ScopedFont font(CreateFontIndirectW(&lf));
  if (!font)
    return;
  for (auto* c : Controls())
    SetFontRecursive(c, font.Get());
  fontHandle_ = std::move(font);
}

void TForm::Show() {
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(handle_);
  if (ActiveControl && ActiveControl->Enabled())
    ActiveControl->SetFocus();
}

void TForm::Hide() {
  if (handle_)
    ShowWindow(handle_, SW_HIDE);
}

void TForm::Close() {
  if (OnCloseQuery && !OnCloseQuery())
    return;
  Hide();
  if (Application().MainForm == this)
    Application().Terminate();
}

void TForm::BringToFront() {
  if (!IsWindowVisible(Handle()))
    Show();
  SetForegroundWindow(handle_);
  BringWindowToTop(handle_);
}

bool TForm::IsShortCut(const MSG&) {
  return false;
}

namespace {
// Alt+letter for the buttons of the form's tool bars, which the dialog
// manager does not know: they are no windows with a caption of their own.
bool ClickToolAccelerator(TWinControl* c, char16_t ch) {
  for (auto* child : c->Controls()) {
    if (auto* bar = dynamic_cast<TToolBar*>(child);
        bar && bar->Enabled() && bar->Visible() && bar->ClickAccelerator(ch))
      return true;
    if (ClickToolAccelerator(child, ch))
      return true;
  }
  return false;
}
} // namespace

bool TForm::HandleDialogKey(MSG& msg) {
  if (msg.message == WM_SYSCHAR && ClickToolAccelerator(this, static_cast<char16_t>(msg.wParam)))
    return true;
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    auto* focused = FromHandle(GetFocus());
    if (auto* combo = dynamic_cast<TComboBox*>(focused); combo && combo->DroppedDown())
      return false; // an open list takes its own Enter and Esc
    if (msg.wParam == VK_RETURN) {
      if (auto* button = dynamic_cast<TButton*>(focused)) {
        button->Click();
        return true;
      }
      if (DefaultButton) {
        DefaultButton->Click();
        return true;
      }
      return false;
    }
    if (CancelButton) {
      CancelButton->Click();
      return true;
    }
    return false;
  }
  return IsDialogMessageW(handle_, &msg) != FALSE;
}

void TForm::SetToolText(HWND control, const std::u16string& text) {
  if (!tooltip_)
    return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  // No TTF_SUBCLASS: Wine's SetWindowSubclass would put ~130 us on every
  // message to the control; ControlProc relays the mouse messages instead.
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = handle_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  // The query copies the tool's current text into lpszText, so it gets none.
  bool known = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
  std::u16string copy = text;
  ti.lpszText = AsWideBuffer(copy);
  if (!known)
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  else
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm::RelayToolMessage(HWND control, UINT msg, WPARAM wp, LPARAM lp) {
  if (!tooltip_)
    return;
  MSG m{control, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
  GetCursorPos(&m.pt);
  SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

std::u16string TForm::ToolText(HWND control) {
  if (!tooltip_)
    return {};
  std::u16string buf(1024, u'\0');
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = handle_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  if (!SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)))
    return {};
  ti.lpszText = AsWideBuffer(buf);
  SendMessageW(tooltip_, TTM_GETTEXTW, buf.size(), reinterpret_cast<LPARAM>(&ti));
  buf.resize(std::char_traits<char16_t>::length(buf.c_str()));
  return buf;
}

LRESULT CALLBACK TForm::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->handle_ = hwnd;
  }
  if (!self)
    return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = self->Dispatch(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
    if (self->tooltip_)
      DestroyWindow(self->tooltip_);
    self->tooltip_ = nullptr;
  }
  return r;
}

LRESULT TForm::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  if (HandleContainerMessage(msg, wp, lp, r))
    return r;
  switch (msg) {
  case WM_CLOSE:
    Close();
    return 0;
  case WM_ACTIVATE:
    // Give the focus back to the control that had it when the form was left.
    if (LOWORD(wp) == WA_INACTIVE) {
      if (auto* c = FromHandle(GetFocus()); c && c->ParentForm() == this)
        ActiveControl = c;
    } else if (ActiveControl && ActiveControl->HandleAllocated() && ActiveControl->Enabled()) {
      ::SetFocus(ActiveControl->Handle());
      return 0;
    }
    break;
  case WM_WINDOWPOSCHANGED: {
    // The bounds follow the real window, however it was moved or sized.
    RECT now;
    if (GetWindowRect(handle_, &now))
      bounds_ = now;
    break;
  }
  case WM_SIZE:
    if (OnResize)
      OnResize();
    break;
  case WM_SHOWWINDOW:
    if (wp && OnShow)
      OnShow();
    break;
  case WM_GETMINMAXINFO: {
    auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
    if (MinWidth > 0)
      mm->ptMinTrackSize.x = MulDiv(MinWidth, dpi_, 96);
    if (MinHeight > 0)
      mm->ptMinTrackSize.y = MulDiv(MinHeight, dpi_, 96);
    return 0;
  }
  case WM_EXITSIZEMOVE:
    WMExitSizeMove();
    return 0;
  case WM_DPICHANGED: {
    int dpi = LOWORD(wp);
    for (auto* c : Controls())
      c->ScaleBy(dpi, layoutDpi_);
    dpi_ = layoutDpi_ = dpi;
    RebuildFont();
    auto* suggested = reinterpret_cast<RECT*>(lp);
    SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  default:
    break;
  }
  return DefWindowProcW(handle_, msg, wp, lp);
}

// ---- TModalScope

namespace {
BOOL CALLBACK CollectForms(HWND wnd, LPARAM lp) {
  if (TForm::FormFromHandle(wnd) && IsWindowEnabled(wnd))
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}
} // namespace

TModalScope::TModalScope() : focus_(GetFocus()) {
  HWND active = GetActiveWindow();
  auto* main = Application().MainForm;
  owner_ =
      active ? active
             : (main && main->HandleAllocated() && IsWindowVisible(main->Handle()) ? main->Handle()
                                                                                   : nullptr);
  EnumThreadWindows(GetCurrentThreadId(), CollectForms, reinterpret_cast<LPARAM>(&disabled_));
  for (HWND w : disabled_)
    EnableWindow(w, FALSE);
}

TModalScope::~TModalScope() {
  for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it)
    if (IsWindow(*it))
      EnableWindow(*it, TRUE);
  if (owner_ && IsWindow(owner_) && IsWindowVisible(owner_))
    SetActiveWindow(owner_);
  if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_))
    ::SetFocus(focus_);
}

// ---- TApplication

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::Initialize() {
  Handle();
}

HWND TApplication::Handle() {
  if (handle_)
    return handle_;
  // Never shown, so no icon or cursor: a launch that only hands its path on
  // makes this window and nothing else, and the first image a process loads
  // costs it 20-40 ms under Wine.
  EnsureWindowClass(kAppClass, DefWindowProcW, nullptr, nullptr, false);
  handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, kAppClass, AsWide(Title), WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return handle_;
}

bool TApplication::RunShortCutHooks(const MSG& msg) {
  // A form of its own first (it may consume the key itself); then the main
  // form's hook, which owns the shortcuts, but only while it takes input.
  auto* form = TForm::FormFromHandle(GetAncestor(msg.hwnd, GA_ROOT));
  if (!form)
    return false;
  if (form != MainForm && form->IsShortCut(msg))
    return true;
  return MainForm && MainForm->HandleAllocated() && IsWindowEnabled(MainForm->Handle()) &&
         MainForm->IsShortCut(msg);
}

void TApplication::Dispatch(MSG& msg) {
  bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    bool consumed = false;
    try {
      consumed = RunShortCutHooks(msg);
    } catch (...) {
      HandleException();
      consumed = true;
    }
    if (consumed)
      return;
  }
  if (key) {
    if (auto* form = TForm::FormFromHandle(GetAncestor(msg.hwnd, GA_ROOT))) {
      bool handled = false;
      try {
        handled = form->HandleDialogKey(msg);
      } catch (...) {
        HandleException();
        handled = true;
      }
      if (handled)
        return;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::Run() {
  if (MainForm)
    MainForm->Show();
  MSG msg;
  while (!terminated_ && GetMessageW(&msg, nullptr, 0, 0) > 0)
    Dispatch(msg);
}

void TApplication::Terminate() {
  if (!terminated_)
    PostQuitMessage(0);
  terminated_ = true;
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const tavu::Exception& e) {
    ShowError(e.Message());
  } catch (const std::exception& e) {
    std::u16string text;
    for (const char* p = e.what(); *p; ++p)
      text.push_back(static_cast<unsigned char>(*p));
    ShowError(text);
  } catch (...) {
    ShowError(u"不明なエラー");
  }
}

void TApplication::ShowError(const std::u16string& message) {
  std::u16string text = tavu::ErrorBoxText(message);
  if (errorBox) {
    errorBox(text);
    return;
  }
  ShowMessageBox(text, Title, MB_OK | MB_ICONERROR);
}

int TApplication::ShowMessageBox(const std::u16string& text, const std::u16string& caption,
                                 UINT flags) {
  TModalScope modal;
  return MessageBoxW(modal.Owner(), AsWide(text), AsWide(caption), flags);
}

int TApplication::TrackMenu(HMENU menu, int x, int y, HWND owner) {
  if (menuTracker)
    return menuTracker(menu, x, y, owner);
  return static_cast<int>(
      TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0,
                     owner, nullptr));
}

ErrorBox UseErrorBox(ErrorBox box) {
  return std::exchange(errorBox, std::move(box));
}

MenuTracker UseMenuTracker(MenuTracker tracker) {
  return std::exchange(menuTracker, std::move(tracker));
}

} // namespace tk
