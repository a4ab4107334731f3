#include "common/placement.h"

#include <shellapi.h>

namespace Pelvane {

void EnsureOnScreen(HWND wnd) {
  if (IsZoomed(wnd))
    return;
  int left, top, width, height;
  if (!GetWindowBounds(wnd, left, top, width, height) || IsOffScreen(left, top, width, height))
    MoveWindowTo(wnd, kCentreOnScreen);
}

bool GetWindowBounds(HWND wnd, int& left, int& top, int& width, int& height) {
  RECT r{};
  tavu::Bounds b;
  if (!GetWindowRect(wnd, &r) || !tavu::BoundsOfFrame({r.left, r.top, r.right, r.bottom}, b))
    return false;
  left = b.left;
  top = b.top;
  width = b.width;
  height = b.height;
  return true;
}

bool IsOffScreen(int left, int top, int width, int height) {
  return tavu::IsOffScreen({left, top, width, height}, [](tavu::Point p) {
    return MonitorFromPoint({p.x, p.y}, MONITOR_DEFAULTTONULL) != nullptr;
  });
}

void MoveWindowTo(HWND wnd, int position) {
  if (position != kCentreOnScreen)
    return;
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    return;
  RECT bar{};
  TaskbarEdge edge = GetTaskbarEdge(bar);
  tavu::Rect area =
      tavu::ScreenArea({work.left, work.top, work.right, work.bottom}, edge,
                       {bar.left, bar.top, bar.right, bar.bottom},
                       {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  int left, top, width, height;
  if (!GetWindowBounds(wnd, left, top, width, height))
    return;
  tavu::Point p = tavu::CentredPosition(area, width, height);
  MoveWindow(wnd, p.x, p.y, width, height, TRUE);
}

TaskbarEdge GetTaskbarEdge(RECT& taskbar) {
  APPBARDATA abd{};
  abd.cbSize = sizeof abd;
  // Without an answer the rectangle and edge are whatever the structure held.
  if (!SHAppBarMessage(ABM_GETTASKBARPOS, &abd))
    return TaskbarEdge::None;
  taskbar = abd.rc;
  return tavu::TaskbarEdgeOf(abd.uEdge);
}

} // namespace Pelvane
