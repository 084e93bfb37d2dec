// The one store of everything the window shows, filled by the pair loop and
// read by the display.
#pragma once

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

// Each stores a copy whose colour is replaced by `colour`, then widens the
// corners. Both return false, changing nothing, when memory runs out.
[[nodiscard]] bool addPoint(Point p, int colour);
[[nodiscard]] bool addSegment(Segment s, int colour);
