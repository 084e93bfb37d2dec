#include "pick.h"

#include <cmath>

double distanceTo(double x, double y, const ::Segment& s) {
  const double ax = s.A.x, ay = s.A.y, dx = double{s.B.x} - ax, dy = double{s.B.y} - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / length2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

Picked pickFigure(double x, double y, double radius, const ::Segment* segments, int count,
                  bool segmentZeroDrawn, const float* points, std::size_t pointCount) {
  Picked picked;
  double nearest = radius;
  for (std::size_t k = 0; k < pointCount; ++k) {
    const double dx = x - points[2 * k], dy = y - points[2 * k + 1];
    if (std::fabs(dx) > nearest || std::fabs(dy) > nearest) continue;
    const double d = std::hypot(dx, dy);
    if (d <= nearest && (picked.kind == Picked::Nothing || d < nearest)) {
      picked.kind = Picked::Crossing;
      picked.point = Point(points[2 * k], points[2 * k + 1]);
      nearest = d;
    }
  }
  if (picked.kind == Picked::Crossing) return picked;
  for (int k = segmentZeroDrawn ? 0 : 1; k < count; ++k) {
    // Far outside the radius in x or y: no need for the distance.
    const Segment& s = segments[k];
    if (std::fmin(s.A.x, s.B.x) - x > nearest || x - std::fmax(s.A.x, s.B.x) > nearest ||
        std::fmin(s.A.y, s.B.y) - y > nearest || y - std::fmax(s.A.y, s.B.y) > nearest) {
      continue;
    }
    const double d = distanceTo(x, y, s);
    if (d <= nearest && (picked.kind == Picked::Nothing || d < nearest)) {
      picked.kind = Picked::Segment;
      picked.segment = k;
      nearest = d;
    }
  }
  return picked;
}
