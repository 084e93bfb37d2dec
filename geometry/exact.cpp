#include "exact.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// The orientation is the sign of det = (a - c) x (b - c). Computed in
// double, the differences, the two products and their difference are each
// rounded once, and |det - computed| <= (3 + 16 eps) eps (|left| + |right|)
// with eps = 2^-53, as long as nothing overflows and no product loses bits
// below the normal range (Shewchuk, "Adaptive precision floating-point
// arithmetic and fast robust geometric predicates", 1997). A computed det
// beyond that bound has the true det's sign.
constexpr double unitRoundoff = 0x1p-53;
constexpr double filterBound = (3 + 16 * unitRoundoff) * unitRoundoff;
// Where the bound holds: a product below 2^-1022 is subnormal, with an
// absolute error of at most 2^-1075, which the bound covers once the sum is
// far above it; far below 2^1023 nothing overflows.
constexpr double smallestFiltered = 0x1p-960;
constexpr double largestFiltered = 0x1p+960;

// 128-bit integers, which GCC and Clang offer on 64-bit targets.
__extension__ typedef unsigned __int128 Wide;

// A value as the unevaluated sum hi + lo of two doubles, exactly.
struct Two {
  double hi, lo;
};

// a - b, exactly (Knuth's two-difference).
inline Two twoDiff(double a, double b) {
  const double x = a - b;
  const double bVirtual = a - x;
  const double aVirtual = x + bVirtual;
  return {x, (a - aVirtual) + (bVirtual - b)};
}

// a + b, exactly.
inline Two twoSum(double a, double b) {
  const double x = a + b;
  const double bVirtual = x - a;
  const double aVirtual = x - bVirtual;
  return {x, (a - aVirtual) + (b - bVirtual)};
}

// a split into two halves of 26 bits each (Veltkamp), so that products of
// halves are exact.
inline Two split(double a) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double big = c - a;
  const double hi = c - big;
  return {hi, a - hi};
}

// a * b, exactly (Dekker's two-product): exact where |a|, |b| < 2^995 and
// the product is 0 or at least 2^-969 in size.
inline Two twoProduct(double a, double b) {
  const double x = a * b;
  const Two as = split(a), bs = split(b);
  const double error1 = x - as.hi * bs.hi;
  const double error2 = error1 - as.lo * bs.hi;
  const double error3 = error2 - as.hi * bs.lo;
  return {x, as.lo * bs.lo - error3};
}

inline bool productExact(double a, double b) {
  const double p = std::fabs(a * b);
  return std::fabs(a) < 0x1p995 && std::fabs(b) < 0x1p995 && (a == 0 || b == 0 || p >= 0x1p-960);
}

inline int signOf(double v) {
  return (v > 0) - (v < 0);
}

// The sign of p - q for two exact products: the four parts summed as an
// expansion (Shewchuk's grow-expansion), whose largest nonzero part has the
// sign of the whole.
int signOfDifference(Two p, Two q) {
  double parts[4] = {p.lo, p.hi, 0, 0};
  int count = 2;
  for (const double next : {-q.lo, -q.hi}) {
    double carry = next;
    for (int k = 0; k < count; ++k) {
      const Two s = twoSum(carry, parts[k]);
      parts[k] = s.lo;
      carry = s.hi;
    }
    parts[count++] = carry;
  }
  for (int k = count - 1; k >= 0; --k) {
    if (parts[k] != 0) return signOf(parts[k]);
  }
  return 0;
}

// The exact sum of products of doubles, in wide integers: each double is
// m 2^e with an integer m below 2^53, each product m 2^e with m below 2^106,
// and the sum is taken in two's complement over as many 64-bit words as the
// spread of exponents needs (at most about 4,300 bits). Slow, and needed only
// where the faster ways above may lose bits: coordinates whose differences
// are not exact in double and that lie apart by many orders of magnitude.
class WideSum {
 public:
  void add(double a, double b, bool negative) {
    if (a == 0 || b == 0) return;
    int ea, eb;
    const double fa = std::frexp(a, &ea), fb = std::frexp(b, &eb);
    const auto ma = static_cast<std::int64_t>(std::ldexp(fa, 53));
    const auto mb = static_cast<std::int64_t>(std::ldexp(fb, 53));
    Term& t = terms_[count_++];
    const bool sign = (ma < 0) != (mb < 0) ? !negative : negative;
    t.magnitude = static_cast<Wide>(std::llabs(ma)) * static_cast<Wide>(std::llabs(mb));
    t.exponent = ea + eb - 106;
    t.negative = sign;
  }

  int sign() {
    total();
    if (words_ == 0) return 0;
    if (sum_[words_ - 1] >> 63) return -1;
    for (int w = 0; w < words_; ++w) {
      if (sum_[w] != 0) return 1;
    }
    return 0;
  }

  // The sum, rounded to double from its top 128 bits.
  double value() {
    const int s = sign();
    if (s == 0) return 0;
    if (s < 0) {  // the magnitude: two's complement negated
      std::uint64_t carry = 1;
      for (int w = 0; w < words_; ++w) {
        const Wide v = static_cast<Wide>(~sum_[w]) + carry;
        sum_[w] = std::uint64_t(v);
        carry = std::uint64_t(v >> 64);
      }
    }
    int top = words_ - 1;
    while (sum_[top] == 0) --top;
    const Wide high = top > 0 ? static_cast<Wide>(sum_[top]) << 64 | sum_[top - 1] : sum_[top];
    const double v = std::ldexp(double(high), 64 * (top > 0 ? top - 1 : 0) + lowest_);
    return s < 0 ? -v : v;
  }

 private:
  void total() {
    words_ = 0;
    if (count_ == 0) return;
    int highest = terms_[0].exponent;
    lowest_ = terms_[0].exponent;
    for (int k = 1; k < count_; ++k) {
      lowest_ = std::min(lowest_, terms_[k].exponent);
      highest = std::max(highest, terms_[k].exponent);
    }
    // Each term shifted by (exponent - lowest) bits, 106 bits wide; four
    // more bits hold the carries of eight terms and the sign.
    const int bits = highest - lowest_ + 106 + 5;
    words_ = (bits + 63) / 64;
    std::fill(sum_, sum_ + words_, 0);
    for (int k = 0; k < count_; ++k) {
      const Term& t = terms_[k];
      const int shift = t.exponent - lowest_;
      std::uint64_t shifted[72] = {};
      const int word = shift / 64, bit = shift % 64;
      const std::uint64_t low = std::uint64_t(t.magnitude), high = std::uint64_t(t.magnitude >> 64);
      shifted[word] = low << bit;
      if (word + 1 < words_) {
        shifted[word + 1] = (bit ? low >> (64 - bit) : 0) | high << bit;
      }
      if (word + 2 < words_ && bit) shifted[word + 2] = high >> (64 - bit);
      // sum += shifted, or sum -= shifted, over every word.
      std::uint64_t carry = 0;
      for (int w = 0; w < words_; ++w) {
        const Wide v = t.negative ? static_cast<Wide>(sum_[w]) - shifted[w] - carry
                                  : static_cast<Wide>(sum_[w]) + shifted[w] + carry;
        sum_[w] = std::uint64_t(v);
        carry = std::uint64_t(v >> 64) & 1;
      }
    }
  }

  struct Term {
    Wide magnitude;
    int exponent;
    bool negative;
  };
  Term terms_[8];
  int count_ = 0;
  std::uint64_t sum_[72];
  int words_ = 0;
  int lowest_ = 0;
};

// (p - q) x (r - s), to within 2^-43 of itself however its terms cancel:
// in double where they do not cancel by more than 2^8 (the error is then at
// most 3 eps 2^8 of it), else exactly.
double crossOfDifferences(double px, double py, double qx, double qy, double rx, double ry,
                          double sx, double sy) {
  const double left = (px - qx) * (ry - sy), right = (py - qy) * (rx - sx);
  const double cross = left - right;
  const double sum = std::fabs(left) + std::fabs(right);
  if (sum >= smallestFiltered && sum <= largestFiltered && std::fabs(cross) >= 0x1p-8 * sum) {
    return cross;
  }
  WideSum wide;
  wide.add(px, ry, false);
  wide.add(px, sy, true);
  wide.add(qx, ry, true);
  wide.add(qx, sy, false);
  wide.add(py, rx, true);
  wide.add(py, sx, false);
  wide.add(qy, rx, false);
  wide.add(qy, sx, true);
  return wide.value();
}

int orientationExact(double ax, double ay, double bx, double by, double cx, double cy) {
  const Two acx = twoDiff(ax, cx), bcx = twoDiff(bx, cx);
  const Two acy = twoDiff(ay, cy), bcy = twoDiff(by, cy);
  // A zero difference (equal coordinates: a shared vertex, an axis-parallel
  // line) leaves one product, whose sign is that of its two factors: a
  // rounded difference has the sign of the exact one.
  if (acx.hi == 0 || bcy.hi == 0) return -signOf(acy.hi) * signOf(bcx.hi);
  if (acy.hi == 0 || bcx.hi == 0) return signOf(acx.hi) * signOf(bcy.hi);
  // The differences exact (nearby coordinates, the usual case): two exact
  // products and one exact sum.
  if (acx.lo == 0 && bcy.lo == 0 && acy.lo == 0 && bcx.lo == 0 && productExact(acx.hi, bcy.hi) &&
      productExact(acy.hi, bcx.hi)) {
    return signOfDifference(twoProduct(acx.hi, bcy.hi), twoProduct(acy.hi, bcx.hi));
  }
  // det = ax by - ay bx + bx cy - by cx + cx ay - cy ax, term by term.
  WideSum sum;
  sum.add(ax, by, false);
  sum.add(ay, bx, true);
  sum.add(bx, cy, false);
  sum.add(by, cx, true);
  sum.add(cx, ay, false);
  sum.add(cy, ax, true);
  return sum.sign();
}

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

int orientation(double ax, double ay, double bx, double by, double cx, double cy) {
  const double left = (ax - cx) * (by - cy);
  const double right = (ay - cy) * (bx - cx);
  const double det = left - right;
  const double sum = std::fabs(left) + std::fabs(right);
  if (sum >= smallestFiltered && sum <= largestFiltered) {
    const double bound = filterBound * sum;
    if (det > bound) return 1;
    if (-det > bound) return -1;
  }
  return orientationExact(ax, ay, bx, by, cx, cy);
}

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
