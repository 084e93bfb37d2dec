// The one store of everything the window shows, filled by the pair loop and
// read by the display.
#pragma once

#include <cstdint>

#include "figure_list.h"
#include "figures.h"

struct Scene {
  // The corners start at fixed values, not at the first figure: the window's
  // size in pixels and the origin. They bound the data together with those.
  Point minCorner{1024, 700};
  Point maxCorner{0, 0};
  FigureList<Point> points;
  FigureList<Segment> segments;
  FigureList<Line> lines;      // nothing adds to these in this program,
  FigureList<Circle> circles;  // but the display draws them all the same
};

extern Scene scene;

inline void widenCorners(float x, float y) {
  if (x < scene.minCorner.x) scene.minCorner.x = x;
  if (y < scene.minCorner.y) scene.minCorner.y = y;
  if (x > scene.maxCorner.x) scene.maxCorner.x = x;
  if (y > scene.maxCorner.y) scene.maxCorner.y = y;
}

// Each stores `times` copies whose colour is replaced by `colour`, then
// widens the corners. Both return false, changing nothing, when memory runs
// out. Inline: the pair loop calls them for every run it adds. A `key`, the
// same for equal segments stored in the same colour, lets a segment added
// again be found instead of stored again: the pair loop names them by their
// input numbers.
[[nodiscard]] inline bool addPoint(Point p, int colour, std::uint32_t times = 1) {
  if (times == 0) return true;
  p.colour = colour;
  if (!scene.points.append(p, times)) return false;
  widenCorners(p.x, p.y);
  return true;
}

[[nodiscard]] inline bool addSegment(Segment s, int colour, std::uint32_t times = 1,
                                     std::uint32_t key = FigureList<Segment>::noKey) {
  if (times == 0) return true;
  s.colour = colour;
  if (!scene.segments.append(s, times, key)) return false;
  widenCorners(s.A.x, s.A.y);
  widenCorners(s.B.x, s.B.y);
  return true;
}
