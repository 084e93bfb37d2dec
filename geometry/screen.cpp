// The row screening: many pairs at a time, the ones certain not to meet
// settled without the test.
#include <algorithm>
#include <cmath>
#include <limits>

#include "intersect.h"
#include "rules_arithmetic.h"

using namespace rules_detail;

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
