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

// In double where the terms do not cancel by more than 2^8 (the error is
// then at most 3 eps 2^8 of the result), else exactly.
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
