#include "intersect.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "exact.h"

#include "rules_arithmetic.h"

using namespace rules_detail;

namespace {

// Whether the two segments meet, by exact orientation tests: each one's
// ends lie on opposite sides of the other's line, or on it. Only points of
// the plane meet so: an infinite or NaN coordinate, which the readers never
// let in, meets nothing here.
bool meetsTruly(const Segment& first, const Segment& second) {
  for (const float v : {first.A.x, first.A.y, first.B.x, first.B.y, second.A.x, second.A.y,
                        second.B.x, second.B.y}) {
    if (!std::isfinite(v)) return false;
  }
  return meetExactly(preciseOf(first), preciseOf(second)).kind != NoIntersection;
}

// Whether an end of the shorter segment lies farther from the longer one's
// line than the shorter one is long; in double, from the float ends.
bool fartherThanItsLength(const Segment& first, const Segment& second) {
  const auto lengthSquared = [](const Segment& s) {
    const double x = double{s.B.x} - s.A.x, y = double{s.B.y} - s.A.y;
    return x * x + y * y;
  };
  const bool firstLonger = lengthSquared(first) >= lengthSquared(second);
  const Segment& longer = firstLonger ? first : second;
  const Segment& shorter = firstLonger ? second : first;
  const double lx = double{longer.B.x} - longer.A.x, ly = double{longer.B.y} - longer.A.y;
  // |L x (P - L.A)| / |L| is P's distance from the longer one's line.
  const double bound = lengthSquared(shorter) * (lx * lx + ly * ly);
  for (const Point p : {shorter.A, shorter.B}) {
    const double cross = lx * (double{p.y} - longer.A.y) - ly * (double{p.x} - longer.A.x);
    if (cross * cross > bound) return true;
  }
  return false;
}

// The rules on coordinates whose products stay within float range. Clears
// `faithful` when a product sank below the normal floats.
int classify(const Segment& first, const Segment& second, Point* crossing, bool& faithful) {
  const Products w = products(first.A, first.B, second.A, second.B);
  const auto [dx, dy, rx, ry, sx, sy, cRS, cDS, cDR, lenR2, exact] = w;
  faithful &= exact;

  if (directionsDiffer(w)) {
    // Rounding of t and u can put a shared end point just outside [0, 1];
    // two segments meeting end to end do meet, exactly there.
    if (sharesEndPoint(first.A, first.B, second.A, second.B)) {
      const bool atA = samePosition(first.A, second.A) || samePosition(first.A, second.B);
      crossing->x = atA ? first.A.x : first.B.x;
      crossing->y = atA ? first.A.y : first.B.y;
      return PointIntersection;
    }
    const double u = double{cDR} / double{cRS};
    const float t = cDS / cRS;
    if (u < 0 || u > 1 || t < 0 || t > 1) return NoIntersection;  // ends count as inside
    crossing->x = first.A.x + t * rx;
    crossing->y = first.A.y + t * ry;
    return PointIntersection;
  }

  // Parallel: distinct lines unless second.A lies within the same angle of
  // first's direction, seen from first.A.
  const bool points = samePosition(first.A, first.B) || samePosition(second.A, second.B);
  if (double{cDR} * double{cDR} > double{eps} * (dx * dx + dy * dy) * double{lenR2}) {
    // Seen from first.A, a segment nearly parallel to first can lie off its
    // line and still cross it at a flat angle, or end on it: such segments
    // do meet, and being parallel within the tolerance, they lie on one
    // line. Points keep their own rule.
    return !points && meetsTruly(first, second) ? Overlap : NoIntersection;
  }

  // A zero-length first segment always arrives here, its direction being
  // zero. It is a point, and meets the other segment where it lies on it:
  // judged from the segment with extent, the point is tested against that
  // segment's line and compared along that segment's own axis.
  if (samePosition(first.A, first.B)) {
    if (samePosition(second.A, second.B)) {
      return samePosition(first.A, second.A) ? Overlap : NoIntersection;
    }
    return classify(second, first, crossing, faithful);
  }

  // The angle the line test allows, seen from first.A, grows into a distance
  // with the distance between the starts: a short segment far along a long
  // one's line may lie beside it by more than its own length, which is no
  // longer on one line with it.
  if (!points && fartherThanItsLength(first, second)) return NoIntersection;

  // Collinear: compare the projections on the axis along which first runs
  // further. A steep first segment has little or no extent in x, where
  // segments far apart along the line would still look as if they overlap;
  // along y it does not matter how steep the line is.
  const bool alongY = std::fabs(rx) < std::fabs(ry);
  const auto along = [alongY](Point p) { return alongY ? p.y : p.x; };
  float a1 = along(first.A), b1 = along(first.B);
  float a2 = along(second.A), b2 = along(second.B);
  if (a1 > b1) std::swap(a1, b1);
  if (a2 > b2) std::swap(a2, b2);
  // Both projections are closed intervals: segments that touch end to end
  // share that end and overlap, whichever lies higher.
  if (a1 > a2) return a1 <= b2 ? Overlap : NoIntersection;
  return b1 < a2 ? NoIntersection : Overlap;
}

}  // namespace

float largestMagnitude(Segment s) {
  return std::max(std::max(std::fabs(s.A.x), std::fabs(s.A.y)),
                  std::max(std::fabs(s.B.x), std::fabs(s.B.y)));
}

int intersectSegments(Segment first, Segment second, Point* crossing) {
  const float m = std::max(largestMagnitude(first), largestMagnitude(second));
  bool faithful = true;
  if (!std::isfinite(m)) return classify(first, second, crossing, faithful);
  Point found;
  int kind = NoIntersection;
  if (withinScale(m)) kind = classify(first, second, &found, faithful);
  if (!withinScale(m) || (!faithful && m > 0)) {  // m = 0 with a NaN hidden by max
    const int k = std::ilogb(m) - landingExponent;
    kind = classify(scaled(first, -k), scaled(second, -k), &found, faithful);
    found.x = std::ldexp(found.x, k);
    found.y = std::ldexp(found.y, k);
  }
  if (kind == PointIntersection) {
    crossing->x = found.x;
    crossing->y = found.y;
  }
  return kind;
}

int meetingEnds(Segment first, Segment second, int kind, unsigned& ends) {
  ends = 0;
  // The pair as classify judged it: moved by the same power of two.
  const float m = std::max(largestMagnitude(first), largestMagnitude(second));
  if (!std::isfinite(m)) return PointIntersection;
  bool faithful = products(first.A, first.B, second.A, second.B).faithful;
  if (m > 0 && (!withinScale(m) || !faithful)) {
    const int k = std::ilogb(m) - landingExponent;
    first = scaled(first, -k);
    second = scaled(second, -k);
  }
  const auto endsAt = [&](auto same) {
    return (same(first.A) ? FirstA : 0u) | (same(first.B) ? FirstB : 0u) |
           (same(second.A) ? SecondA : 0u) | (same(second.B) ? SecondB : 0u);
  };
  // A point lies on the other segment: classify judged it from the segment
  // with extent, and it is an end of itself.
  if (samePosition(first.A, first.B) || samePosition(second.A, second.B)) {
    const Point p = samePosition(first.A, first.B) ? first.A : second.A;
    ends = endsAt([p](Point q) { return samePosition(p, q); });
    return PointIntersection;
  }
  const Products w = products(first.A, first.B, second.A, second.B);
  if (kind == PointIntersection) {
    if (sharesEndPoint(first.A, first.B, second.A, second.B)) {
      const Point p =
          samePosition(first.A, second.A) || samePosition(first.A, second.B) ? first.A : first.B;
      ends = endsAt([p](Point q) { return samePosition(p, q); });
      return PointIntersection;
    }
    const float t = w.cDS / w.cRS;
    const float u = float(double{w.cDR} / double{w.cRS});
    ends = (t == 0 ? FirstA : 0u) | (t == 1 ? FirstB : 0u) | (u == 0 ? SecondA : 0u) |
           (u == 1 ? SecondB : 0u);
    return PointIntersection;
  }
  // Collinear: their extents along the axis classify compared them on.
  const bool alongY = std::fabs(w.rx) < std::fabs(w.ry);
  const auto along = [alongY](Point p) { return alongY ? p.y : p.x; };
  const float a1 = std::min(along(first.A), along(first.B));
  const float b1 = std::max(along(first.A), along(first.B));
  const float a2 = std::min(along(second.A), along(second.B));
  const float b2 = std::max(along(second.A), along(second.B));
  if (b1 != a2 && b2 != a1) return Overlap;
  const float shared = b1 == a2 ? b1 : a1;
  ends = endsAt([&](Point q) { return along(q) == shared; });
  return PointIntersection;
}

bool meetsOnlyAtEndPoint(Segment first, Segment second, int kind) {
  unsigned ends = 0;
  return meetingEnds(first, second, kind, ends) == PointIntersection && ends != 0;
}
