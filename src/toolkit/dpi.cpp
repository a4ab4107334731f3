#include "toolkit/dpi.h"

namespace tk {

namespace {

template <class Fn> Fn Lookup(HMODULE module, const char* name) {
  // Through a generic function pointer, which every function pointer converts from.
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                : nullptr;
}

DpiFunctions& InUse() {
  static DpiFunctions functions = SystemDpiFunctions();
  return functions;
}

} // namespace

DpiFunctions SystemDpiFunctions() {
  // user32 is loaded in every process that has windows.
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  DpiFunctions f;
  f.GetDpiForWindow = Lookup<decltype(f.GetDpiForWindow)>(user32, "GetDpiForWindow");
  f.AdjustWindowRectExForDpi =
      Lookup<decltype(f.AdjustWindowRectExForDpi)>(user32, "AdjustWindowRectExForDpi");
  f.SystemParametersInfoForDpi =
      Lookup<decltype(f.SystemParametersInfoForDpi)>(user32, "SystemParametersInfoForDpi");
  return f;
}

DpiFunctions UseDpiFunctions(const DpiFunctions& functions) {
  const DpiFunctions before = InUse();
  InUse() = functions;
  return before;
}

int SystemDpi() {
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int WindowDpi(HWND window) {
  const auto& f = InUse();
  const int dpi = f.GetDpiForWindow ? static_cast<int>(f.GetDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

void AdjustWindowRectForDpi(RECT& r, DWORD style, DWORD exStyle, int dpi) {
  const auto& f = InUse();
  if (f.AdjustWindowRectExForDpi &&
      f.AdjustWindowRectExForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
    return;
  // Without per-monitor support the frame is drawn at the system DPI, and
  // the system's own calculation is the right one.
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

bool MenuFontForDpi(LOGFONTW& font, int dpi) {
  const auto& f = InUse();
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (f.SystemParametersInfoForDpi &&
      f.SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0,
                                   static_cast<UINT>(dpi))) {
    font = ncm.lfMenuFont;
    return true;
  }
  // The metrics are those of the system DPI: a window on a monitor of
  // another DPI needs them scaled to its own.
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
    return false;
  font = ncm.lfMenuFont;
  font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
  return true;
}

} // namespace tk
