// What lies under the pointer: plain arithmetic on the drawing plane,
// nothing here touches OpenGL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drawing.h"
#include "geometry/figures.h"

struct Picked {
  enum Kind { Nothing, Crossing, Segment } kind = Nothing;
  int segment = -1;  // Segment: its number in the input
  Point point;       // Crossing: the crossing point
};

// The box a segment spans.
inline Box boxOf(const ::Segment& s) {
  return {std::min(s.A.x, s.B.x), std::min(s.A.y, s.B.y), std::max(s.A.x, s.B.x),
          std::max(s.A.y, s.B.y)};
}

// The input segments by the cells of a grid over them, as the drawing keeps
// its figures: a click looks only at the segments near it.
struct SegmentCells {
  RunCells cells;
  LargeVector<std::uint32_t> numbers;  // segment numbers, cell by cell, then the long ones
};

// Empty where memory runs out; then every segment is looked at.
SegmentCells segmentCells(const ::Segment* segments, int count);

// Calls f(k) for each segment k whose box may meet `box`, some more than
// once: those of the cells near it, or every one where there are no cells.
template <class F>
void forSegmentsNear(const SegmentCells& index, int count, const Box& box, F f) {
  if (index.numbers.empty()) {
    for (int k = 0; k < count; ++k) f(k);
    return;
  }
  index.cells.forFiguresNear(box, [&](std::size_t first, std::size_t end) {
    for (std::size_t k = first; k < end; ++k) f(int(index.numbers[k]));
  });
}

// The figure at (x, y) within `radius`: the nearest crossing point, if one
// lies within it; otherwise the nearest segment, the lower number of two as
// near; otherwise nothing. `points` holds `pointCount` crossing points as x,
// y pairs, the first of two as near picked. Segment 0 is drawn only when it
// meets another, and picked only then. The cells, where given, say where to
// look.
Picked pickFigure(double x, double y, double radius, const ::Segment* segments, int count,
                  bool segmentZeroDrawn, const float* points, std::size_t pointCount,
                  const SegmentCells* segmentIndex = nullptr, const RunCells* pointCells = nullptr);

// The distance from (x, y) to the segment.
double distanceTo(double x, double y, const ::Segment& s);
