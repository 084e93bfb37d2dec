// What lies under the pointer: plain arithmetic on the drawing plane,
// nothing here touches OpenGL.
#pragma once

#include <cstddef>

#include "geometry/figures.h"

struct Picked {
  enum Kind { Nothing, Crossing, Segment } kind = Nothing;
  int segment = -1;  // Segment: its number in the input
  Point point;       // Crossing: the crossing point
};

// The figure at (x, y) within `radius`: the nearest crossing point, if one
// lies within it; otherwise the nearest segment, the lower number of two as
// near; otherwise nothing. `points` holds `pointCount` crossing points as x,
// y pairs. Segment 0 is drawn only when it meets another, and picked only
// then.
Picked pickFigure(double x, double y, double radius, const ::Segment* segments, int count,
                  bool segmentZeroDrawn, const float* points, std::size_t pointCount);

// The distance from (x, y) to the segment.
double distanceTo(double x, double y, const ::Segment& s);
