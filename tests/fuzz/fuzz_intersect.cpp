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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  float c[8];
  if (size < sizeof c) return 0;
  std::memcpy(c, data, sizeof c);
  const Segment first(Point(c[0], c[1]), Point(c[2], c[3]));
  const Segment second(Point(c[4], c[5]), Point(c[6], c[7]));

  Point crossing(12345, -6789);
  crossing.colour = 77;
  const int kind = intersectSegments(first, second, &crossing);
  check(kind == NoIntersection || kind == PointIntersection || kind == Overlap);
  check(crossing.colour == 77);

  // The row screening may settle the pair only as NoIntersection, and must
  // give the same answer in every lane, vector or not.
  constexpr int lanes = 19;
  float ax[lanes], ay[lanes], bx[lanes], by[lanes];
  unsigned char mayMeet[lanes];
  for (int k = 0; k < lanes; ++k) ax[k] = c[0], ay[k] = c[1], bx[k] = c[2], by[k] = c[3];
  screenPairs({ax, ay, bx, by}, lanes, second, mayMeet);
  for (int k = 0; k < lanes; ++k) check(mayMeet[k] == mayMeet[0]);
  check(mayMeet[0] || kind == NoIntersection);
  if (kind != PointIntersection) {
    check(crossing.x == 12345 && crossing.y == -6789);  // untouched
    return 0;
  }

  // Beyond about 1e18 the products overflow float, and below lengths of
  // about 1e-15 the cross products sink into subnormals; there the rules' own
  // answer stands. Elsewhere a crossing lies in both bounding boxes up to
  // rounding, which grows with the magnitudes and, for nearly parallel
  // directions, by at most 1/sqrt(eps).
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
