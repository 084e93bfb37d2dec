// The arithmetic the exercise's rules and the row screening share: the
// screening must compute exactly what the rules compute, rounding for
// rounding, so both inline it from here.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "figures.h"

namespace rules_detail {

// The float nearest to 1e-5. The tolerance is relative: each comparison below
// scales it by the squared lengths involved, so the answer does not depend on
// the unit the coordinates are written in.
inline const float eps = std::bit_cast<float>(std::uint32_t{0x3727C5AC});

// Without short-circuits, so that the row screening below can run many
// pairs side by side.
inline bool samePosition(Point p, Point q) {
  return (p.x == q.x) & (p.y == q.y);
}

// The working values of the test for first = a-b and second = c-e.
// Differences of float coordinates are taken in float and only then widened,
// so a segment that starts exactly where `first` ends gives t = 1, u = 0.
struct Products {
  double dx, dy;  // d = c - a
  float rx, ry;   // r = b - a
  double sx, sy;  // s = e - c
  float cRS, cDS, cDR, lenR2;
  // No value held in float sank below the normal range. Every other step
  // rounds relative to its result, so then the answer is the one the same
  // pair gives moved by any power of two.
  bool faithful;
};

inline bool normalOrZero(double v) {
  return (v == 0) | (std::fabs(v) >= 0x1p-126);
}

// Inline, so that screenPairs computes exactly what intersectSegments does.
inline Products products(Point a, Point b, Point c, Point e) {
  Products w;
  w.dx = c.x - a.x;
  w.dy = c.y - a.y;
  w.rx = b.x - a.x;
  w.ry = b.y - a.y;
  w.sx = e.x - c.x;
  w.sy = e.y - c.y;
  const double cRS = w.rx * w.sy - w.ry * w.sx;
  const double cDS = w.dx * w.sy - w.dy * w.sx;
  const double cDR = w.dx * w.ry - w.dy * w.rx;
  w.cRS = static_cast<float>(cRS);
  w.cDS = static_cast<float>(cDS);
  w.cDR = static_cast<float>(cDR);
  w.lenR2 = w.rx * w.rx + w.ry * w.ry;
  // Bitwise, without branches: int, so that no compiler takes it for a slip.
  w.faithful = int{normalOrZero(cRS)} & normalOrZero(cDS) & normalOrZero(cDR) &
               normalOrZero(double{w.rx} * w.rx) & normalOrZero(double{w.ry} * w.ry);
  return w;
}

// |r x s|^2 > eps |s|^2 |r|^2 means sin^2 of the angle between the directions
// exceeds eps: they differ by more than about 0.18 degrees. A zero-length
// segment never passes, so cRS is never zero when this holds.
inline bool directionsDiffer(const Products& w) {
  return double{w.cRS} * double{w.cRS} >
         double{eps} * (w.sx * w.sx + w.sy * w.sy) * double{w.lenR2};
}

inline bool sharesEndPoint(Point a, Point b, Point c, Point e) {
  const bool ac = samePosition(a, c), ae = samePosition(a, e);
  const bool bc = samePosition(b, c), be = samePosition(b, e);
  return ac | ae | bc | be;
}

// The rules compare relative quantities, so only the float range limits
// them: beyond about 1.8e19 the products overflow, below about 1e-19 they
// sink into subnormals. A pair whose largest coordinate m lies outside
// [2^-30, 2^40), or whose products sank into subnormals all the same (a
// segment of 1e-38 beside one of 1e-9), is moved by a power of two, which is
// exact, so that m lands in [2^61, 2^62), and the crossing is moved back.
// That is the highest binade where nothing can overflow (differences stay
// below 2^63, a sum of two squares below 2^127); it leaves the most room below
// for a pair's small quantities, such as a unit segment beside one of length
// 3e38. Every pair is thus judged as it is at that scale, whatever its unit.
constexpr float scaledFrom = 0x1p40f;
constexpr float scaledBelow = 0x1p-30f;
constexpr int landingExponent = 61;

// Where the rules can run on the coordinates as they are.
inline bool withinScale(float m) {
  return m < scaledFrom && (m >= scaledBelow || m == 0);
}

inline Segment scaled(Segment s, int exponent) {
  for (Point* p : {&s.A, &s.B}) {
    p->x = std::ldexp(p->x, exponent);
    p->y = std::ldexp(p->y, exponent);
  }
  return s;
}

}  // namespace rules_detail
