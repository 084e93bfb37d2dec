#include "pick.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

double distanceTo(double x, double y, const ::Segment& s) {
  const double ax = s.A.x, ay = s.A.y, dx = double{s.B.x} - ax, dy = double{s.B.y} - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / length2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

SegmentCells segmentCells(const ::Segment* segments, int count) {
  SegmentCells index;
  if (count == 0) return index;
  try {
    Box all = boxOf(segments[0]);
    for (int k = 1; k < count; ++k) {
      const Box b = boxOf(segments[k]);
      all = {std::min(all.minX, b.minX), std::min(all.minY, b.minY), std::max(all.maxX, b.maxX),
             std::max(all.maxY, b.maxY)};
    }
    index.cells = RunCells::over(all, std::size_t(count), 8);
    groupByBucket(
        std::size_t(count), [&](std::size_t k) { return index.cells.cellOf(boxOf(segments[k])); },
        index.cells.start, index.numbers);
  } catch (const std::bad_alloc&) {
    index = SegmentCells();
  }
  return index;
}

Picked pickFigure(double x, double y, double radius, const ::Segment* segments, int count,
                  bool segmentZeroDrawn, const float* points, std::size_t pointCount,
                  const SegmentCells* segmentIndex, const RunCells* pointCells) {
  Picked picked;
  double nearest = radius;
  const Box around{x - radius, y - radius, x + radius, y + radius};
  // The nearest so far, and of two as near the first, as a scan in order
  // would find them.
  std::size_t pointAt = SIZE_MAX;
  const auto tryPoint = [&](std::size_t k) {
    const double dx = x - points[2 * k], dy = y - points[2 * k + 1];
    if (std::fabs(dx) > nearest || std::fabs(dy) > nearest) return;
    const double d = std::hypot(dx, dy);
    if (d < nearest || (d == nearest && k < pointAt)) {
      pointAt = k;
      nearest = d;
    }
  };
  if (pointCells) {
    pointCells->forFiguresNear(around, [&](std::size_t first, std::size_t end) {
      for (std::size_t k = first; k < end; ++k) tryPoint(k);
    });
  } else {
    for (std::size_t k = 0; k < pointCount; ++k) tryPoint(k);
  }
  if (pointAt != SIZE_MAX) {
    picked.kind = Picked::Crossing;
    picked.point = Point(points[2 * pointAt], points[2 * pointAt + 1]);
    return picked;
  }
  const auto trySegment = [&](int k) {
    if (k == 0 && !segmentZeroDrawn) return;
    // Far outside the radius in x or y: no need for the distance.
    const Segment& s = segments[k];
    if (std::min(s.A.x, s.B.x) - x > nearest || x - std::max(s.A.x, s.B.x) > nearest ||
        std::min(s.A.y, s.B.y) - y > nearest || y - std::max(s.A.y, s.B.y) > nearest) {
      return;
    }
    const double d = distanceTo(x, y, s);
    if (d < nearest || (d == nearest && (picked.kind == Picked::Nothing || k < picked.segment))) {
      picked.kind = Picked::Segment;
      picked.segment = k;
      nearest = d;
    }
  };
  if (segmentIndex) {
    forSegmentsNear(*segmentIndex, count, around, trySegment);
  } else {
    for (int k = 0; k < count; ++k) trySegment(k);
  }
  return picked;
}
