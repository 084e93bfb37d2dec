// How two segments meet, from the exact orientation tests.
#include <algorithm>

#include "exact.h"

namespace {

inline bool samePoint(double ax, double ay, double bx, double by) {
  return ax == bx && ay == by;
}

// A point p meeting the segment first, which has extent.
ExactMeeting pointOnSegment(const PreciseSegment& s, double px, double py, bool pointFirst) {
  ExactMeeting m;
  if (px < std::min(s.ax, s.bx) || px > std::max(s.ax, s.bx) || py < std::min(s.ay, s.by) ||
      py > std::max(s.ay, s.by) || orientation(s.ax, s.ay, s.bx, s.by, px, py) != 0) {
    return m;
  }
  m.kind = PointIntersection;
  const unsigned atA = samePoint(px, py, s.ax, s.ay) ? 1 : 0;
  const unsigned atB = samePoint(px, py, s.bx, s.by) ? 1 : 0;
  m.ends = pointFirst ? FirstA | FirstB | atA * SecondA | atB * SecondB
                      : SecondA | SecondB | atA * FirstA | atB * FirstB;
  return m;
}

// Two segments on one line: compared along x, or along y where the first
// is vertical; on one line, two points with the same coordinate there are
// the same point.
ExactMeeting collinear(const PreciseSegment& f, const PreciseSegment& s) {
  const bool alongY = f.ax == f.bx;
  const double a1 = alongY ? f.ay : f.ax, b1 = alongY ? f.by : f.bx;
  const double a2 = alongY ? s.ay : s.ax, b2 = alongY ? s.by : s.bx;
  const double low = std::max(std::min(a1, b1), std::min(a2, b2));
  const double high = std::min(std::max(a1, b1), std::max(a2, b2));
  ExactMeeting m;
  if (low > high) return m;
  if (low < high) {
    m.kind = Overlap;
    return m;
  }
  m.kind = PointIntersection;
  m.ends = (a1 == low ? FirstA : 0u) | (b1 == low ? FirstB : 0u) | (a2 == low ? SecondA : 0u) |
           (b2 == low ? SecondB : 0u);
  return m;
}

}  // namespace

ExactMeeting meetExactly(const PreciseSegment& f, const PreciseSegment& s) {
  ExactMeeting none;
  // Boxes apart: most pairs an index proposes end here.
  if (std::max(f.ax, f.bx) < std::min(s.ax, s.bx) || std::max(s.ax, s.bx) < std::min(f.ax, f.bx) ||
      std::max(f.ay, f.by) < std::min(s.ay, s.by) || std::max(s.ay, s.by) < std::min(f.ay, f.by)) {
    return none;
  }
  const bool firstPoint = samePoint(f.ax, f.ay, f.bx, f.by);
  const bool secondPoint = samePoint(s.ax, s.ay, s.bx, s.by);
  if (firstPoint && secondPoint) {
    if (!samePoint(f.ax, f.ay, s.ax, s.ay)) return none;
    return {PointIntersection, FirstA | FirstB | SecondA | SecondB};
  }
  if (firstPoint) return pointOnSegment(s, f.ax, f.ay, true);
  if (secondPoint) return pointOnSegment(f, s.ax, s.ay, false);
  // Each segment's ends on opposite sides of the other's line, or on it.
  const int o1 = orientation(f.ax, f.ay, f.bx, f.by, s.ax, s.ay);
  const int o2 = orientation(f.ax, f.ay, f.bx, f.by, s.bx, s.by);
  if (o1 == o2 && o1 != 0) return none;
  if (o1 == 0 && o2 == 0) return collinear(f, s);
  const int o3 = orientation(s.ax, s.ay, s.bx, s.by, f.ax, f.ay);
  const int o4 = orientation(s.ax, s.ay, s.bx, s.by, f.bx, f.by);
  if (o3 == o4) return none;  // both nonzero: the lines are not the same
  // The lines cross at one point; an end on the other's line is that point.
  return {PointIntersection, (o3 == 0 ? FirstA : 0u) | (o4 == 0 ? FirstB : 0u) |
                                 (o1 == 0 ? SecondA : 0u) | (o2 == 0 ? SecondB : 0u)};
}

void exactMeetingPoint(const PreciseSegment& f, const PreciseSegment& s, unsigned ends, double& x,
                       double& y) {
  if (ends & FirstA) {
    x = f.ax, y = f.ay;
  } else if (ends & FirstB) {
    x = f.bx, y = f.by;
  } else if (ends & SecondA) {
    x = s.ax, y = s.ay;
  } else if (ends & SecondB) {
    x = s.bx, y = s.by;
  } else {
    // Inside both: t along the first, the ratio of two cross products,
    // each to within 2^-43 of itself even where the segments are nearly
    // parallel, so that the point lies on both up to 2^-41 of their size.
    const double t =
        std::clamp(crossOfDifferences(s.ax, s.ay, f.ax, f.ay, s.bx, s.by, s.ax, s.ay) /
                       crossOfDifferences(f.bx, f.by, f.ax, f.ay, s.bx, s.by, s.ax, s.ay),
                   0.0, 1.0);
    x = f.ax + t * (f.bx - f.ax);
    y = f.ay + t * (f.by - f.ay);
    const double left = std::max(std::min(f.ax, f.bx), std::min(s.ax, s.bx));
    const double right = std::min(std::max(f.ax, f.bx), std::max(s.ax, s.bx));
    const double bottom = std::max(std::min(f.ay, f.by), std::min(s.ay, s.by));
    const double top = std::min(std::max(f.ay, f.by), std::max(s.ay, s.by));
    x = std::clamp(x, left, right);
    y = std::clamp(y, bottom, top);
  }
}

void sharedStretch(const PreciseSegment& f, const PreciseSegment& s, double& x0, double& y0,
                   double& x1, double& y1) {
  const bool alongY = f.ax == f.bx;
  const auto along = [alongY](double x, double y) { return alongY ? y : x; };
  const double low = std::max(std::min(along(f.ax, f.ay), along(f.bx, f.by)),
                              std::min(along(s.ax, s.ay), along(s.bx, s.by)));
  const double high = std::min(std::max(along(f.ax, f.ay), along(f.bx, f.by)),
                               std::max(along(s.ax, s.ay), along(s.bx, s.by)));
  x0 = x1 = f.ax, y0 = y1 = f.ay;
  const double points[4][2] = {{s.bx, s.by}, {s.ax, s.ay}, {f.bx, f.by}, {f.ax, f.ay}};
  for (const auto& p : points) {
    if (along(p[0], p[1]) == low) x0 = p[0], y0 = p[1];
    if (along(p[0], p[1]) == high) x1 = p[0], y1 = p[1];
  }
}
