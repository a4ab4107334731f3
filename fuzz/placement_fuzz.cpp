// Window placement from the numbers in the settings file, which may be any
// 32-bit values: no overflow, probe points where they belong, and an area
// and a position that stay within the screen's range.
#include "core/placement.h"
#include "fuzz.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

using namespace tavu;
using namespace tavu::fuzz;

int Take32(Reader& in) {
  const std::uint32_t low = in.Word(), high = in.Word();
  return static_cast<int>(high << 16 | low);
}

Rect TakeRect(Reader& in) {
  Rect r;
  r.left = Take32(in);
  r.top = Take32(in);
  r.right = Take32(in);
  r.bottom = Take32(in);
  return r;
}

int Held(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const Rect frame = TakeRect(in);
  Bounds b;
  const bool shown = BoundsOfFrame(frame, b);
  FUZZ_CHECK(shown == !(frame.left == kMinimisedPlace && frame.top == kMinimisedPlace));
  if (shown) {
    FUZZ_CHECK(b.left == frame.left && b.top == frame.top);
    FUZZ_CHECK(b.width == Held(std::int64_t{frame.right} - frame.left));
    FUZZ_CHECK(b.height == Held(std::int64_t{frame.bottom} - frame.top));
  }

  const Bounds bounds{Take32(in), Take32(in), Take32(in), Take32(in)};
  const auto probes = ProbePoints(bounds);
  const std::int64_t right = std::int64_t{bounds.left} + bounds.width;
  const std::int64_t bottom = std::int64_t{bounds.top} + bounds.height;
  FUZZ_CHECK((probes[0] == Point{bounds.left, bounds.top}));
  FUZZ_CHECK((probes[1] == Point{Held(right), Held(bottom)}));
  FUZZ_CHECK((probes[2] == Point{Held(right), bounds.top}));
  FUZZ_CHECK((probes[3] == Point{bounds.left, Held(bottom)}));
  // The centre lies between the corners.
  FUZZ_CHECK(std::min(probes[0].x, probes[1].x) <= probes[4].x &&
             probes[4].x <= std::max(probes[0].x, probes[1].x));
  FUZZ_CHECK(std::min(probes[0].y, probes[1].y) <= probes[4].y &&
             probes[4].y <= std::max(probes[0].y, probes[1].y));

  // Off screen exactly when no probe point is on the one monitor; asking
  // stops at the first point that is.
  const Rect monitor = TakeRect(in);
  const auto on = [&](Point p) {
    return p.x >= monitor.left && p.x < monitor.right && p.y >= monitor.top && p.y < monitor.bottom;
  };
  int asked = 0;
  const bool off = IsOffScreen(bounds, [&](Point p) {
    FUZZ_CHECK(p == probes[asked]);
    ++asked;
    return on(p);
  });
  FUZZ_CHECK(off == std::none_of(probes.begin(), probes.end(), on));
  FUZZ_CHECK(off ? asked == 5 : on(probes[asked - 1]));

  const unsigned systemEdge = in.Byte();
  const TaskbarEdge edge = TaskbarEdgeOf(systemEdge);
  FUZZ_CHECK((edge == TaskbarEdge::None) == (systemEdge > 3));
  const Rect work = TakeRect(in), taskbar = TakeRect(in), screen = TakeRect(in);
  const Rect area = ScreenArea(work, edge, taskbar, screen);
  FUZZ_CHECK(area.left >= screen.left && area.top >= screen.top);
  FUZZ_CHECK(area.right <= screen.right && area.bottom <= screen.bottom);
  // Only the taskbar's own side grows; the others keep the work area's edge.
  if (edge != TaskbarEdge::Left)
    FUZZ_CHECK(area.left == std::max(work.left, screen.left));
  if (edge != TaskbarEdge::Top)
    FUZZ_CHECK(area.top == std::max(work.top, screen.top));
  if (edge != TaskbarEdge::Right)
    FUZZ_CHECK(area.right == std::min(work.right, screen.right));
  if (edge != TaskbarEdge::Bottom)
    FUZZ_CHECK(area.bottom == std::min(work.bottom, screen.bottom));

  const int width = Take32(in), height = Take32(in);
  const Point centred = CentredPosition(area, width, height);
  FUZZ_CHECK(centred.x == Held((std::int64_t{area.right} - width) / 2));
  FUZZ_CHECK(centred.y == Held((std::int64_t{area.bottom} - height) / 2));

  const int rows[] = {Take32(in), Take32(in), Take32(in)};
  const int client = ClientHeightForRows({rows[0], rows[1], rows[2]});
  std::int64_t sum = 0;
  for (const int h : rows)
    sum += std::max(h, 0);
  FUZZ_CHECK(client == Held(sum) && client >= 0);
  return 0;
}
