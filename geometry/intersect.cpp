#include "intersect.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "exact.h"

namespace {

// The float nearest to 1e-5. The tolerance is relative: each comparison below
// scales it by the squared lengths involved, so the answer does not depend on
// the unit the coordinates are written in.
const float eps = std::bit_cast<float>(std::uint32_t{0x3727C5AC});

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
  w.faithful = normalOrZero(cRS) & normalOrZero(cDS) & normalOrZero(cDR) &
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

// Whether the two segments meet, by exact orientation tests: each one's
// ends lie on opposite sides of the other's line, or on it.
bool meetsTruly(const Segment& first, const Segment& second) {
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

Segment scaled(Segment s, int exponent) {
  for (Point* p : {&s.A, &s.B}) {
    p->x = std::ldexp(p->x, exponent);
    p->y = std::ldexp(p->y, exponent);
  }
  return s;
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

namespace {

// Whether intersectSegments(a-b, c-e) is certain to return NoIntersection,
// computed without branches, so that the compiler runs several pairs at
// once in vector registers. A pair counts as settled only where the outcome
// is NoIntersection by the very same roundings: the coordinates need no
// scaling (`unscaled`), the directions differ, no end point is shared, and t
// or u lies outside [0, 1]. Everything else goes to intersectSegments.
[[gnu::always_inline]] inline bool settledApart(Point a, Point b, Point c, Point e, bool unscaled) {
  const Products w = products(a, b, c, e);
  const bool differ = directionsDiffer(w);
  // Where cRS is 0 the lane's t is never used; dividing by 1 there keeps
  // the division harmless without a branch.
  const float t = w.cDS / (w.cRS + float(w.cRS == 0));
  // u = cDR / cRS, rounded to double, judged without dividing. For finite
  // floats it lies outside [0, 1] exactly when cDR is nonzero with the other
  // sign, or larger in size: a ratio of two floats above 1 is at least
  // 1 + 2^-24, and a nonzero one at least 2^-277 in size, so rounding to
  // double never lands it on 1 or 0. An infinite cRS (overflow) or a NaN
  // cDR is left to intersectSegments.
  const bool finite = std::fabs(w.cRS) <= std::numeric_limits<float>::max();
  const bool otherSign = std::signbit(w.cDR) != std::signbit(w.cRS);
  const bool larger = std::fabs(w.cDR) > std::fabs(w.cRS);
  const bool uOutside = finite & (w.cDR == w.cDR) & (((w.cDR != 0) & otherSign) | larger);
  const bool outside = uOutside | (t < 0) | (t > 1);
  return unscaled & w.faithful & differ & !sharesEndPoint(a, b, c, e) & outside;
}

// The row screening for every width of vector registers. Inlined into each
// entry point below, so that each is vectorized for its own instructions.
[[gnu::always_inline]] inline void screenRow(EndPoints firsts, int count, Segment second,
                                             unsigned char* mayMeet) {
  // A pair needs no scaling when max(largest[k], secondLargest) lies in
  // [2^-30, 2^40), a bound on largest[k] alone, fixed for the row.
  const float secondLargest = largestMagnitude(second);
  const float upper = secondLargest < scaledFrom ? scaledFrom : -1;  // -1: none passes
  const float lower = secondLargest >= scaledBelow ? -1 : scaledBelow;
  for (int k = 0; k < count; ++k) {
    const Point a(firsts.ax[k], firsts.ay[k]);
    const Point b(firsts.bx[k], firsts.by[k]);
    const bool unscaled = (firsts.largest[k] < upper) & (firsts.largest[k] >= lower);
    mayMeet[k] = !settledApart(a, b, second.A, second.B, unscaled);
  }
}

[[gnu::always_inline]] inline void screenList(EndPoints firsts, EndPoints seconds, int count,
                                              unsigned char* mayMeet) {
  for (int k = 0; k < count; ++k) {
    const Point a(firsts.ax[k], firsts.ay[k]), b(firsts.bx[k], firsts.by[k]);
    const Point c(seconds.ax[k], seconds.ay[k]), e(seconds.bx[k], seconds.by[k]);
    const float m = std::max(firsts.largest[k], seconds.largest[k]);
    mayMeet[k] = !settledApart(a, b, c, e, (m < scaledFrom) & (m >= scaledBelow));
  }
}

}  // namespace

void screenPairsPlain(EndPoints firsts, int count, Segment second, unsigned char* mayMeet) {
  screenRow(firsts, count, second, mayMeet);
}

void screenListPlain(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet) {
  screenList(firsts, seconds, count, mayMeet);
}

#if defined(__x86_64__)
// Twice the lanes of the plain loops. The lanes compute the same IEEE
// operations as the plain loops (contraction into fused multiply-adds is off
// for the whole build), so the two agree bit for bit.
[[gnu::target("avx2")]] void screenPairsWide(EndPoints firsts, int count, Segment second,
                                             unsigned char* mayMeet) {
  screenRow(firsts, count, second, mayMeet);
}

[[gnu::target("avx2")]] void screenListWide(EndPoints firsts, EndPoints seconds, int count,
                                            unsigned char* mayMeet) {
  screenList(firsts, seconds, count, mayMeet);
}

bool wideScreening() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported;
}
#else
void screenPairsWide(EndPoints firsts, int count, Segment second, unsigned char* mayMeet) {
  screenRow(firsts, count, second, mayMeet);
}

void screenListWide(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet) {
  screenList(firsts, seconds, count, mayMeet);
}

bool wideScreening() {
  return false;
}
#endif

void screenPairList(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet) {
  if (wideScreening()) {
    screenListWide(firsts, seconds, count, mayMeet);
  } else {
    screenListPlain(firsts, seconds, count, mayMeet);
  }
}

// Kept out of line: the pair loop runs once, inlined there the compiler no
// longer vectorizes the row, and the row takes twice as long.
[[gnu::noinline]] void screenPairs(EndPoints firsts, int count, Segment second,
                                   unsigned char* mayMeet) {
  if (wideScreening()) {
    screenPairsWide(firsts, count, second, mayMeet);
  } else {
    screenPairsPlain(firsts, count, second, mayMeet);
  }
}
