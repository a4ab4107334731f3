#pragma once
#include <array>
#include <functional>
#include <initializer_list>

namespace tavu {

// Window placement arithmetic: which windows count as off screen, where one
// is brought back to, and the main window's client height. The monitors and
// the taskbar are queried by the caller.

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

// A window's outer frame as a position and a size.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// The side of the screen the taskbar stands on.
enum class TaskbarEdge { None = -1, Top = 0, Bottom = 1, Left = 2, Right = 3 };

// True when a monitor shows the screen point.
using MonitorAt = std::function<bool(Point)>;

// The place the system gives a minimised window's frame.
constexpr int kMinimisedPlace = -32000;

// False for a frame at the minimised place; otherwise the frame as a position and a size.
bool BoundsOfFrame(const Rect& frame, Bounds& bounds);

// The points probed for a window, in order: top-left, bottom-right,
// top-right, bottom-left (right and bottom one pixel outside), then the
// centre; coordinates beyond the int range are held at its ends.
std::array<Point, 5> ProbePoints(const Bounds& bounds);

// True when no probe point lies on a monitor; asks until the first one that does.
bool IsOffScreen(const Bounds& bounds, const MonitorAt& onMonitor);

// The edge for a taskbar side as the system numbers it (ABE_LEFT, ABE_TOP,
// ABE_RIGHT, ABE_BOTTOM); anything else gives None.
TaskbarEdge TaskbarEdgeOf(unsigned systemEdge);

// The work area grown by the taskbar standing on the given edge, within the
// primary screen: with one taskbar on the primary monitor, that whole screen.
Rect ScreenArea(Rect workArea, TaskbarEdge edge, const Rect& taskbar, const Rect& screen);

// Where a window of the size stands centred between the screen origin and
// the area's right and bottom edges.
Point CentredPosition(const Rect& area, int width, int height);

// The client height that shows the window's rows stacked, each at its height.
int ClientHeightForRows(std::initializer_list<int> rowHeights);

} // namespace tavu
