#include "intersect.h"

#include <bit>
#include <cstdint>
#include <utility>

namespace {

// The float nearest to 1e-5. The tolerance is relative: each comparison below
// scales it by the squared lengths involved, so the answer does not depend on
// the unit the coordinates are written in.
const float eps = std::bit_cast<float>(std::uint32_t{0x3727C5AC});

bool samePosition(Point p, Point q) {
  return p.x == q.x && p.y == q.y;
}

void exchangeAxes(Point& p) {
  std::swap(p.x, p.y);
}

}  // namespace

int intersectSegments(Segment first, Segment second, Point* crossing) {
  // Differences of float coordinates are taken in float and only then widened,
  // so a segment that starts exactly where `first` ends gives t = 1, u = 0.
  const double dx = second.A.x - first.A.x;
  const double dy = second.A.y - first.A.y;
  const float rx = first.B.x - first.A.x;
  const float ry = first.B.y - first.A.y;
  const double sx = second.B.x - second.A.x;
  const double sy = second.B.y - second.A.y;

  const float cRS = static_cast<float>(rx * sy - ry * sx);
  const float cDS = static_cast<float>(dx * sy - dy * sx);
  const float cDR = static_cast<float>(dx * ry - dy * rx);
  const float lenR2 = rx * rx + ry * ry;

  // |r x s|^2 > eps |s|^2 |r|^2 means sin^2 of the angle between the
  // directions exceeds eps: they differ by more than about 0.18 degrees.
  // A zero-length segment never passes, so cRS is never zero below.
  if (double{cRS} * double{cRS} > double{eps} * (sx * sx + sy * sy) * double{lenR2}) {
    // Rounding of t and u can put a shared end point just outside [0, 1];
    // two segments meeting end to end do meet, exactly there.
    for (Point p : {first.A, first.B}) {
      if (samePosition(p, second.A) || samePosition(p, second.B)) {
        crossing->x = p.x;
        crossing->y = p.y;
        return PointIntersection;
      }
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
  if (double{cDR} * double{cDR} > double{eps} * (dx * dx + dy * dy) * double{lenR2}) {
    return NoIntersection;
  }

  // Collinear: compare the projections on one axis. A vertical (or point-like)
  // first segment has no extent in x, so compare along y instead.
  if (first.A.x == first.B.x) {
    for (Point* p : {&first.A, &first.B, &second.A, &second.B}) exchangeAxes(*p);
  }
  if (first.A.x > first.B.x) std::swap(first.A, first.B);
  if (second.A.x > second.B.x) std::swap(second.A, second.B);

  const float a1 = first.A.x, b1 = first.B.x;
  const float a2 = second.A.x, b2 = second.B.x;
  // Touching ends break one way: a first segment lying above the second
  // (a1 == b2) overlaps it, one lying below (b1 == a2) does not.
  if (a1 > a2) return a1 <= b2 ? Overlap : NoIntersection;
  return b1 <= a2 ? NoIntersection : Overlap;
}
