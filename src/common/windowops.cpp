#include "common/windowops.h"

#include <algorithm>
#include <string>

#include "common/wide.h"

namespace Pelvane {

namespace {

// The list's drawing surface with the list's font selected, for measuring.
class ListDC {
public:
  explicit ListDC(HWND list) : list_(list), dc_(GetDC(list)) {
    if (dc_)
      old_ = SelectObject(dc_, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
  }
  ~ListDC() {
    if (!dc_)
      return;
    if (old_)
      SelectObject(dc_, old_);
    ReleaseDC(list_, dc_);
  }
  ListDC(const ListDC&) = delete;
  ListDC& operator=(const ListDC&) = delete;
  HDC Get() const { return dc_; }

private:
  HWND list_;
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

bool IsForeground(HWND wnd) {
  return GetForegroundWindow() == wnd;
}

void Raise(HWND wnd) {
  BringWindowToTop(wnd);
  SetForegroundWindow(wnd);
}

} // namespace

void FitListBoxExtent(HWND list) {
  ListDC dc(list);
  if (!dc.Get())
    return;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  LONG widest = 0;
  std::u16string text;
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length <= 0)
      continue;
    text.assign(static_cast<std::size_t>(length) + 1, u'\0');
    const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(AsWideBuffer(text)));
    SIZE size{};
    if (got > 0 && GetTextExtentPoint32W(dc.Get(), AsWide(text), static_cast<int>(got), &size))
      widest = std::max(widest, size.cx);
  }
  // Twice the widest entry; kept inside the range the message carries.
  const LONG extent = std::min<LONG>(widest, 0x3FFFFFFF) * 2;
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
}

bool ForceForeground(HWND wnd) {
  if (IsForeground(wnd))
    return true;
  const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD own = GetWindowThreadProcessId(wnd, nullptr);
  if (foreground == own) {
    // The foreground already belongs to this thread: the system lets it pass
    // the foreground on without any of the measures below, which change a
    // system-wide setting and tell every window on the desktop about it.
    Raise(wnd);
    if (IsForeground(wnd))
      return true;
  } else if (AttachThreadInput(own, foreground, TRUE)) {
    Raise(wnd);
    AttachThreadInput(own, foreground, FALSE);
    if (IsForeground(wnd))
      return true;
  }
  // The lock time-out keeps a background thread from taking the foreground;
  // lowered for these two calls only, and not saved to the user's profile.
  DWORD timeout = 0;
  const bool read = SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0) != FALSE;
  if (read)
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
  Raise(wnd);
  if (read)
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(timeout)), SPIF_SENDCHANGE);
  return IsForeground(wnd);
}

void FocusForeignControl(HWND control) {
  const DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD own = GetCurrentThreadId();
  // SetFocus reaches only windows of the thread's own input state: join the
  // foreground thread's for the call.
  if (foreground != own && AttachThreadInput(own, foreground, TRUE)) {
    SetFocus(control);
    AttachThreadInput(own, foreground, FALSE);
  } else {
    SetFocus(control);
  }
}

} // namespace Pelvane
