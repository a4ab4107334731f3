#pragma once
#include <windows.h>

// The monitor DPI a window is laid out for. The per-monitor functions came
// with Windows 10 version 1607: a program that imported them would not even
// start on an older Windows, so they are looked up at run time and, where
// they are missing, the system DPI stands in.
namespace tk {

struct DpiFunctions {
  decltype(&::GetDpiForWindow) GetDpiForWindow = nullptr;
  decltype(&::AdjustWindowRectExForDpi) AdjustWindowRectExForDpi = nullptr;
  decltype(&::SystemParametersInfoForDpi) SystemParametersInfoForDpi = nullptr;
};

// Those this Windows has (null where it lacks one).
DpiFunctions SystemDpiFunctions();
// Puts `functions` in use in place of the system's and returns those in use
// before; a test makes a function missing, or answer as another monitor would.
DpiFunctions UseDpiFunctions(const DpiFunctions& functions);

// The system DPI: that of the primary monitor at log-on.
int SystemDpi();
// The DPI of the monitor the window is on; the system DPI where the system
// cannot tell.
int WindowDpi(HWND window);
// The outer rectangle around the client rectangle `r` for a window of that
// style at that DPI.
void AdjustWindowRectForDpi(RECT& r, DWORD style, DWORD exStyle, int dpi);
// The system's menu font, its height in pixels at `dpi`; false when the
// system gives none.
bool MenuFontForDpi(LOGFONTW& font, int dpi);

} // namespace tk
