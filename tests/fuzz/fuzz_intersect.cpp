// Arbitrary float bit patterns as two segments: NaN, infinities, subnormals,
// negative zero, huge and tiny magnitudes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "geometry/intersect.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool within(float v, float a, float b, float slack) {
  return v >= std::min(a, b) - slack && v <= std::max(a, b) + slack;
}

Segment scaledBy(Segment s, int exponent) {
  return Segment(Point(std::ldexp(s.A.x, exponent), std::ldexp(s.A.y, exponent)),
                 Point(std::ldexp(s.B.x, exponent), std::ldexp(s.B.y, exponent)));
}

int kindOf(Segment first, Segment second) {
  Point crossing;
  return intersectSegments(first, second, &crossing);
}

// Whether two integer directions are exactly parallel, or apart by clearly
// more than the tolerance (sin^2 of the angle above 2e-5): away from the
// tolerance the answer cannot depend on which segment comes first.
bool clearOfTolerance(Segment first, Segment second) {
  const double rx = first.B.x - first.A.x, ry = first.B.y - first.A.y;
  const double sx = second.B.x - second.A.x, sy = second.B.y - second.A.y;
  const double cross = rx * sy - ry * sx;
  const double lengths = (rx * rx + ry * ry) * (sx * sx + sy * sy);
  if (cross != 0) return cross * cross > 2e-5 * lengths;
  // Parallel: the other line must be clearly off, or exactly on.
  const double dx = second.A.x - first.A.x, dy = second.A.y - first.A.y;
  const double off = dx * ry - dy * rx;
  const double d2 = (dx * dx + dy * dy) * (rx * rx + ry * ry);
  return off == 0 || off * off > 2e-5 * d2 || (rx == 0 && ry == 0) || (sx == 0 && sy == 0);
}

// Small integer coordinates make every product exact, so the rules' answer
// is exact too: it must not change when all eight coordinates are scaled by
// a power of two, nor, away from the tolerance, with the order of the two.
// Points and collinear pieces that touch end to end meet in either order.
void checkIntegerPair(const std::int8_t* v) {
  const Segment first(Point(v[0], v[1]), Point(v[2], v[3]));
  const Segment second(Point(v[4], v[5]), Point(v[6], v[7]));
  const int exponent = std::clamp(int(v[8]), -100, 100);
  const int kind = kindOf(first, second);
  check(kindOf(scaledBy(first, exponent), scaledBy(second, exponent)) == kind);
  if (clearOfTolerance(first, second)) check(kindOf(second, first) == kind);

  const Segment point(first.A, first.A);
  check(kindOf(point, second) == kindOf(second, point));

  // Pieces a + k d of one line, touching at k2.
  const int k1 = v[4] % 8, k2 = k1 + 1 + std::abs(v[5] % 8), k3 = k2 + 1 + std::abs(v[6] % 8);
  const Point a = first.A, d(v[2] % 16, v[3] % 16);
  if (d.x == 0 && d.y == 0) return;
  auto on = [&](int k) { return Point(a.x + float(k) * d.x, a.y + float(k) * d.y); };
  const Segment lower(on(k1), on(k2)), upper(on(k2), on(k3));
  for (int e : {0, exponent}) {
    const Segment l = scaledBy(lower, e), u = scaledBy(upper, e);
    check(kindOf(l, u) == Overlap && kindOf(u, l) == Overlap);
    check(kindOf(Segment(l.B, l.A), u) == Overlap && kindOf(u, Segment(l.B, l.A)) == Overlap);
  }
}

// Any pair, however different its sizes (ordinary values beside
// subnormals, 2^-28 beside 2^-140), gives the same answer in every unit: a
// power of two that moves all eight coordinates exactly changes nothing.
void checkUnitFree(Segment first, Segment second, int exponent, int kind) {
  Segment f = first, s = second;
  for (Point* p : {&f.A, &f.B, &s.A, &s.B}) {
    for (float* v : {&p->x, &p->y}) {
      const float moved = std::ldexp(*v, exponent);
      if (!std::isfinite(*v) || !std::isfinite(moved) || std::ldexp(moved, -exponent) != *v) return;
      *v = moved;
    }
  }
  check(kindOf(f, s) == kind);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  float c[8];
  if (size < sizeof c) return 0;
  std::memcpy(c, data, sizeof c);
  if (size >= sizeof c + 9) {
    std::int8_t v[9];
    std::memcpy(v, data + sizeof c, sizeof v);
    checkIntegerPair(v);
  }
  const Segment first(Point(c[0], c[1]), Point(c[2], c[3]));
  const Segment second(Point(c[4], c[5]), Point(c[6], c[7]));

  Point crossing(12345, -6789);
  crossing.colour = 77;
  const int kind = intersectSegments(first, second, &crossing);
  check(kind == NoIntersection || kind == PointIntersection || kind == Overlap);
  check(crossing.colour == 77);
  const int exponent = size > sizeof c ? int(std::int8_t(data[sizeof c])) : 64;
  checkUnitFree(first, second, exponent, kind);

  // The row screening may settle the pair only as NoIntersection, and must
  // give the same answer in every lane, vector or not, at either width.
  constexpr int lanes = 19;
  float ax[lanes], ay[lanes], bx[lanes], by[lanes], magnitudes[lanes];
  unsigned char mayMeet[lanes], wide[lanes];
  for (int k = 0; k < lanes; ++k) {
    ax[k] = c[0], ay[k] = c[1], bx[k] = c[2], by[k] = c[3];
    magnitudes[k] = largestMagnitude(first);
  }
  screenPairsPlain({ax, ay, bx, by, magnitudes}, lanes, second, mayMeet);
  for (int k = 0; k < lanes; ++k) check(mayMeet[k] == mayMeet[0]);
  check(mayMeet[0] || kind == NoIntersection);
  if (wideScreening()) {
    screenPairsWide({ax, ay, bx, by, magnitudes}, lanes, second, wide);
    for (int k = 0; k < lanes; ++k) check(wide[k] == mayMeet[0]);
  }
  if (kind != PointIntersection) {
    check(crossing.x == 12345 && crossing.y == -6789);  // untouched
    return 0;
  }

  // A crossing lies in both bounding boxes up to rounding, which grows with
  // the magnitudes and, for nearly parallel directions, by at most
  // 1/sqrt(eps). Checked where the products stay well inside the float range
  // without scaling: coordinates below about 1e18, lengths above 1e-15.
  float largest = 0;
  for (float v : c) {
    if (!std::isfinite(v)) return 0;
    largest = std::max(largest, std::fabs(v));
  }
  if (largest > 1e18f) return 0;
  const double lengthR = std::hypot(double(first.B.x) - first.A.x, double(first.B.y) - first.A.y);
  const double lengthS =
      std::hypot(double(second.B.x) - second.A.x, double(second.B.y) - second.A.y);
  if (lengthR < 1e-15 || lengthS < 1e-15) return 0;
  const float slack = largest * 1e-3f + 1e-30f;
  check(within(crossing.x, first.A.x, first.B.x, slack));
  check(within(crossing.y, first.A.y, first.B.y, slack));
  check(within(crossing.x, second.A.x, second.B.x, slack));
  check(within(crossing.y, second.A.y, second.B.y, slack));
  return 0;
}
