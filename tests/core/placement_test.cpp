#include "core/placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace tavu {
namespace {

// A monitor query over a fixed set of monitor rectangles (right and bottom exclusive).
MonitorAt Monitors(std::vector<Rect> monitors) {
  return [monitors](Point p) {
    for (const Rect& m : monitors)
      if (p.x >= m.left && p.x < m.right && p.y >= m.top && p.y < m.bottom)
        return true;
    return false;
  };
}

const Rect kPrimary{0, 0, 1920, 1080};
const Rect kRightOfPrimary{1920, 0, 3840, 1080};
const Rect kLeftOfPrimary{-1280, -200, 0, 824};

TEST(Placement, OffScreenOverMonitors) {
  struct Case {
    const char* what;
    Bounds window;
    std::vector<Rect> monitors;
    bool offScreen;
  };
  const Case cases[] = {
      {"on the primary monitor", {100, 100, 800, 600}, {kPrimary}, false},
      {"on a second monitor", {3000, 100, 800, 600}, {kPrimary, kRightOfPrimary}, false},
      {"that monitor disconnected", {3000, 100, 800, 600}, {kPrimary}, true},
      {"on a monitor left of the primary",
       {-1000, -100, 400, 300},
       {kPrimary, kLeftOfPrimary},
       false},
      {"only the top-left corner on", {1919, 1079, 500, 500}, {kPrimary}, false},
      {"only the bottom-right point, one pixel outside, on",
       {-500, -300, 500, 300},
       {kPrimary},
       false},
      {"only the top-right point on", {-500, 500, 500, 300}, {kPrimary}, false},
      {"only the bottom-left point on", {500, -300, 300, 300}, {kPrimary}, false},
      {"only the centre on", {-1000, -1000, 2100, 2100}, {kPrimary}, false},
      {"beside the screen", {-801, 100, 800, 600}, {kPrimary}, true},
      {"below the screen", {100, 1080, 800, 600}, {kPrimary}, true},
      {"far away", {100000, 100000, 1000, 200}, {kPrimary, kRightOfPrimary}, true},
      {"at the ends of the int range", {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {kPrimary}, true},
      {"from near the negative end",
       {-2147483000, -2147483000, INT_MAX, INT_MAX},
       {kPrimary},
       false},
      {"a negative size whose centre is on", {100, 100, -50, -50}, {kPrimary}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsOffScreen(c.window, Monitors(c.monitors)), c.offScreen) << c.what;
}

TEST(Placement, ProbesFivePointsInOrderAndStopsAtTheFirstOnScreen) {
  const Bounds window{-501, -301, 1001, 601};
  const std::array<Point, 5> expected{
      {{-501, -301}, {500, 300}, {500, -301}, {-501, 300}, {-1, -1}}};
  EXPECT_EQ(ProbePoints(window), expected);

  for (std::size_t onScreen = 0; onScreen < 5; ++onScreen) {
    std::vector<Point> asked;
    bool off = IsOffScreen(window, [&](Point p) {
      asked.push_back(p);
      return p == expected[onScreen];
    });
    EXPECT_FALSE(off);
    EXPECT_EQ(asked.size(), onScreen + 1) << "point " << onScreen;
  }
}

TEST(Placement, CentredInTheScreenWidenedByTheTaskbar) {
  // A 1920 x 1080 primary screen with a 40-pixel taskbar on each side in turn,
  // and a 1000 x 200 window.
  struct Case {
    const char* what;
    Rect workArea;
    TaskbarEdge edge;
    Rect taskbar;
    Rect screen;
    Point position;
  };
  const Case cases[] = {
      {"bottom",
       {0, 0, 1920, 1040},
       TaskbarEdge::Bottom,
       {0, 1040, 1920, 1080},
       kPrimary,
       {460, 440}},
      {"top", {0, 40, 1920, 1080}, TaskbarEdge::Top, {0, 0, 1920, 40}, kPrimary, {460, 440}},
      {"left", {40, 0, 1920, 1080}, TaskbarEdge::Left, {0, 0, 40, 1080}, kPrimary, {460, 440}},
      {"right",
       {0, 0, 1880, 1080},
       TaskbarEdge::Right,
       {1880, 0, 1920, 1080},
       kPrimary,
       {460, 440}},
      // A taskbar that leaves the work area whole (auto-hidden) widens nothing
      // beyond the screen.
      {"auto-hidden", kPrimary, TaskbarEdge::Bottom, {0, 1078, 1920, 1080}, kPrimary, {460, 440}},
      {"auto-hidden on the right",
       kPrimary,
       TaskbarEdge::Right,
       {1918, 0, 1920, 1080},
       kPrimary,
       {460, 440}},
      // The taskbar query failed: its rectangle means nothing and is not used.
      {"unknown",
       {0, 0, 1920, 1040},
       TaskbarEdge::None,
       {-9, -9, 99999, 99999},
       {0, 0, 1920, 1040},
       {460, 420}},
  };
  for (const auto& c : cases) {
    Rect screen = ScreenArea(c.workArea, c.edge, c.taskbar, kPrimary);
    EXPECT_EQ(screen, c.screen) << c.what;
    EXPECT_EQ(CentredPosition(screen, 1000, 200), c.position) << c.what;
  }
}

TEST(Placement, CentringCountsFromTheOriginAndTruncatesTowardZero) {
  EXPECT_EQ(CentredPosition({300, 300, 1919, 1079}, 1000, 200), (Point{459, 439}));
  // A window larger than the area: (500 - 1001) / 2 is -250, not -251.
  EXPECT_EQ(CentredPosition({0, 0, 500, 500}, 1001, 1001), (Point{-250, -250}));
  EXPECT_EQ(CentredPosition({0, 0, 1920, 1080}, INT_MIN, INT_MIN), (Point{1073742784, 1073742364}));
  EXPECT_EQ(CentredPosition({0, 0, INT_MAX, INT_MAX}, INT_MIN, INT_MIN), (Point{INT_MAX, INT_MAX}));
}

TEST(Placement, TaskbarEdgeFromTheSystemsNumbering) {
  const std::pair<unsigned, TaskbarEdge> cases[] = {
      {0, TaskbarEdge::Left},   {1, TaskbarEdge::Top},  {2, TaskbarEdge::Right},
      {3, TaskbarEdge::Bottom}, {4, TaskbarEdge::None}, {0xFFFFFFFFu, TaskbarEdge::None},
  };
  for (const auto& [system, edge] : cases)
    EXPECT_EQ(TaskbarEdgeOf(system), edge) << system;
}

TEST(Placement, FrameOfAMinimisedWindowGivesNoBounds) {
  Bounds b{1, 2, 3, 4};
  EXPECT_FALSE(BoundsOfFrame({-32000, -32000, -31840, -31972}, b));
  EXPECT_EQ(b, (Bounds{1, 2, 3, 4}));
  EXPECT_TRUE(BoundsOfFrame({-32000, 10, 100, 110}, b));
  EXPECT_EQ(b, (Bounds{-32000, 10, 32100, 100}));
  EXPECT_TRUE(BoundsOfFrame({INT_MIN, 0, INT_MAX, 1}, b));
  EXPECT_EQ(b.width, INT_MAX);
}

TEST(Placement, ClientHeightIsTheSumOfTheRows) {
  // The designed rows fill the designed client height exactly, so the rule
  // leaves a window that was merely moved as it was.
  EXPECT_EQ(ClientHeightForRows({78, 30, 61}), 169);
  // A list squeezed to nothing: the window grows back to show both panels.
  EXPECT_EQ(ClientHeightForRows({78, 30, 0}), 108);
  EXPECT_EQ(ClientHeightForRows({78, 30, -20}), 108);
  EXPECT_EQ(ClientHeightForRows({INT_MAX, INT_MAX}), INT_MAX);
}

} // namespace
} // namespace tavu
