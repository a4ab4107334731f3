#include "core/placement.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tavu {
namespace {

// Stored bounds are applied as they are, so sums may leave the int range.
int Clamp(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

bool BoundsOfFrame(const Rect& frame, Bounds& bounds) {
  if (frame.left == kMinimisedPlace && frame.top == kMinimisedPlace)
    return false;
  bounds = {frame.left, frame.top, Clamp(std::int64_t{frame.right} - frame.left),
            Clamp(std::int64_t{frame.bottom} - frame.top)};
  return true;
}

std::array<Point, 5> ProbePoints(const Bounds& b) {
  const std::int64_t l = b.left, t = b.top, w = b.width, h = b.height;
  const int right = Clamp(l + w), bottom = Clamp(t + h);
  // Division truncates toward zero, for negative sizes too.
  return {{{b.left, b.top},
           {right, bottom},
           {right, b.top},
           {b.left, bottom},
           {Clamp(l + w / 2), Clamp(t + h / 2)}}};
}

bool IsOffScreen(const Bounds& bounds, const MonitorAt& onMonitor) {
  for (const Point& p : ProbePoints(bounds))
    if (onMonitor(p))
      return false;
  return true;
}

TaskbarEdge TaskbarEdgeOf(unsigned systemEdge) {
  switch (systemEdge) {
  case 0:
    return TaskbarEdge::Left;
  case 1:
    return TaskbarEdge::Top;
  case 2:
    return TaskbarEdge::Right;
  case 3:
    return TaskbarEdge::Bottom;
  default:
    return TaskbarEdge::None;
  }
}

Rect ScreenArea(Rect area, TaskbarEdge edge, const Rect& taskbar, const Rect& screen) {
  switch (edge) {
  case TaskbarEdge::Top:
    area.top = Clamp(std::int64_t{area.top} - taskbar.bottom);
    break;
  case TaskbarEdge::Bottom:
    area.bottom = Clamp(std::int64_t{area.bottom} + taskbar.bottom - taskbar.top);
    break;
  case TaskbarEdge::Left:
    area.left = Clamp(std::int64_t{area.left} - taskbar.right);
    break;
  case TaskbarEdge::Right:
    area.right = Clamp(std::int64_t{area.right} + taskbar.right - taskbar.left);
    break;
  case TaskbarEdge::None:
    break;
  }
  // A taskbar that takes nothing from the work area (hidden until pointed
  // at, or on another monitor) would otherwise push the area off the screen.
  area.left = std::max(area.left, screen.left);
  area.top = std::max(area.top, screen.top);
  area.right = std::min(area.right, screen.right);
  area.bottom = std::min(area.bottom, screen.bottom);
  return area;
}

Point CentredPosition(const Rect& area, int width, int height) {
  return {Clamp((std::int64_t{area.right} - width) / 2),
          Clamp((std::int64_t{area.bottom} - height) / 2)};
}

int ClientHeightForRows(std::initializer_list<int> rowHeights) {
  std::int64_t sum = 0;
  for (int h : rowHeights)
    sum += std::max(h, 0);
  return Clamp(sum);
}

} // namespace tavu
