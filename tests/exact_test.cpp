// The exact predicates against exact rational arithmetic (GMP), where
// rounding would decide: points on a line and one ulp either side of it,
// near-degenerate triples, magnitudes from subnormal to 1e300.
#include "geometry/exact.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

int referenceOrientation(double ax, double ay, double bx, double by, double cx, double cy) {
  const mpq_class det =
      (mpq_class(ax) - cx) * (mpq_class(by) - cy) - (mpq_class(ay) - cy) * (mpq_class(bx) - cx);
  return sgn(det);
}

struct Triple {
  double ax, ay, bx, by, cx, cy;
};

// Points on the line through a and b, rounded to the type, and the points
// one ulp away from them in each coordinate: every one of them decided by
// bits that plain arithmetic rounds away.
template <class Real>
std::vector<Triple> nearDegenerate(std::mt19937_64& random, double magnitude) {
  std::uniform_real_distribution<double> unit(-1, 1);
  std::vector<Triple> triples;
  for (int k = 0; k < 400; ++k) {
    const Real ax = Real(unit(random) * magnitude), ay = Real(unit(random) * magnitude);
    const Real bx = Real(unit(random) * magnitude), by = Real(unit(random) * magnitude);
    const double t = k % 3 == 0 ? 0.5 : unit(random) * 3;
    Real cx = Real(ax + t * (double(bx) - ax)), cy = Real(ay + t * (double(by) - ay));
    const Real inf = std::numeric_limits<Real>::infinity();
    switch (k % 5) {
      case 1:
        cx = std::nextafter(cx, inf);
        break;
      case 2:
        cy = std::nextafter(cy, -inf);
        break;
      case 3:
        cx = std::nextafter(cx, -inf), cy = std::nextafter(cy, inf);
        break;
      default:
        break;
    }
    triples.push_back({ax, ay, bx, by, cx, cy});
    // On one line wherever the sums with a power-of-two step are exact.
    const Real step = Real(std::ldexp(1.0, std::ilogb(magnitude) - 3));
    triples.push_back(
        {ax, ay, Real(ax + step), Real(ay + 3 * step), Real(ax + 2 * step), Real(ay + 6 * step)});
  }
  return triples;
}

TEST(Orientation, SignIsExactWhereRoundingWouldDecide) {
  std::mt19937_64 random(31);
  std::vector<Triple> triples;
  for (const double magnitude : {1e-30, 1e-7, 1.0, 3e5, 1.8e2, 6.4e6, 1e15, 1e30}) {
    for (const Triple& t : nearDegenerate<float>(random, magnitude)) triples.push_back(t);
    for (const Triple& t : nearDegenerate<double>(random, magnitude)) triples.push_back(t);
  }
  // Magnitudes far apart in one triple, where differences are not exact in
  // double: 1e300 beside 1e-300, subnormals, the largest doubles.
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double huge = std::numeric_limits<double>::max() / 4;
  triples.push_back({1e300, 1e-300, -1e300, -1e-300, 0, 0});
  triples.push_back({1e300, 1e-300, -1e300, -1e-300, tiny, 0});
  triples.push_back({tiny, 0, 0, tiny, 2 * tiny, -tiny});
  triples.push_back({tiny, tiny, 3 * tiny, 3 * tiny, 1, 1});
  triples.push_back({1, 1, 2, 2, 1 + 0x1p-52, 1 + 0x1p-52});
  triples.push_back({1, 1, 2, 2, 1 + 0x1p-52, 1});
  triples.push_back({0.5, 0.5, 12, 12, 24, 24 + 0x1p-48});
  triples.push_back({-1e-310, 3, 1e-310, 3 + 0x1p-51, 0, 3});
  triples.push_back({huge, -huge, -huge, huge, 0, 0});
  triples.push_back({huge, -huge, -huge, huge, 1, 0});
  triples.push_back({0.1, 0.3, 0.7, 2.1, 0.4, 1.2});  // on y = 3x, up to the rounding of 0.1
  int wrong = 0;
  for (const Triple& t : triples) {
    const int expected = referenceOrientation(t.ax, t.ay, t.bx, t.by, t.cx, t.cy);
    const int found = orientation(t.ax, t.ay, t.bx, t.by, t.cx, t.cy);
    if (found != expected && ++wrong <= 5) {
      ADD_FAILURE() << std::hexfloat << "(" << t.ax << ", " << t.ay << "), (" << t.bx << ", "
                    << t.by << "), (" << t.cx << ", " << t.cy << "): " << found << " instead of "
                    << expected;
    }
    // The same triple turned around changes the sign, and only that.
    EXPECT_EQ(orientation(t.bx, t.by, t.ax, t.ay, t.cx, t.cy), -expected);
  }
  EXPECT_EQ(wrong, 0) << "of " << triples.size();
}

PreciseSegment seg(double ax, double ay, double bx, double by) {
  return {ax, ay, bx, by};
}

// Segments meeting, or all but meeting, by less than plain arithmetic can
// tell: the exact class and the end points that are the meeting point.
TEST(MeetExactly, ClassAndEndsOfTheMeeting) {
  const double up = std::nextafter(1.0, 2.0), down = std::nextafter(1.0, 0.0);
  struct Row {
    const char* name;
    PreciseSegment first, second;
    int kind;
    unsigned ends;
  };
  const Row rows[] = {
      {"crossing inside both", seg(0, 0, 4, 4), seg(0, 4, 4, 0), PointIntersection, 0},
      {"a T: the stem's end", seg(0, 0, 4, 0), seg(2, 3, 2, 0), PointIntersection, SecondB},
      {"the stem ends one ulp short", seg(0, 1, 4, 1), seg(2, 3, 2, up), NoIntersection, 0},
      {"the stem ends one ulp beyond", seg(0, 1, 4, 1), seg(2, 3, 2, down), PointIntersection, 0},
      {"shared end", seg(0, 0, 2, 1), seg(4, 0, 2, 1), PointIntersection, FirstB | SecondB},
      {"a V at 1e-9 degrees", seg(0, 0, 1000, 0), seg(0, 1.7e-8, 1000, 0), PointIntersection,
       FirstB | SecondB},
      {"flat crossing, 0.1 degrees", seg(0, 0, 1000, 0), seg(0, 0.01, 1000, -1.735),
       PointIntersection, 0},
      {"near-parallel, apart", seg(0, 0, 1000, 0), seg(0, 0.5, 200, 0.151), NoIntersection, 0},
      {"collinear, sharing a stretch", seg(0, 0, 4, 2), seg(6, 3, 2, 1), Overlap, 0},
      {"collinear end to end", seg(0, 0, 2, 0), seg(2, 0, 5, 0), PointIntersection,
       FirstB | SecondA},
      {"collinear, apart", seg(0, 0, 1, 1), seg(2, 2, 3, 3), NoIntersection, 0},
      {"vertical collinear", seg(1, 0, 1, 4), seg(1, 6, 1, 2), Overlap, 0},
      {"a point inside", seg(0, 0, 4, 4), seg(1, 1, 1, 1), PointIntersection, SecondA | SecondB},
      {"a point at an end", seg(3, 3, 3, 3), seg(0, 0, 3, 3), PointIntersection,
       FirstA | FirstB | SecondB},
      {"a point one ulp off", seg(0, 0, 4, 4), seg(1, up, 1, up), NoIntersection, 0},
      {"a point off the line", seg(0, 0, 4, 4), seg(1, 1.5, 1, 1.5), NoIntersection, 0},
      {"two equal points", seg(2, 2, 2, 2), seg(2, 2, 2, 2), PointIntersection,
       FirstA | FirstB | SecondA | SecondB},
      {"crossing at 1e-300", seg(0, 0, 4e-300, 4e-300), seg(0, 4e-300, 4e-300, 0),
       PointIntersection, 0},
  };
  for (const Row& row : rows) {
    const ExactMeeting m = meetExactly(row.first, row.second);
    EXPECT_EQ(m.kind, row.kind) << row.name;
    EXPECT_EQ(m.ends, row.ends) << row.name;
    // The other order: the same class, the ends exchanged.
    const ExactMeeting other = meetExactly(row.second, row.first);
    EXPECT_EQ(other.kind, row.kind) << row.name << ", other order";
    EXPECT_EQ(other.ends, (row.ends & 3u) << 2 | (row.ends >> 2)) << row.name << ", other order";
  }
}

// The crossing of two segments inside both, against the exact rational
// point: on both up to 2^-41 of their size, also where they are nearly
// parallel and plain arithmetic loses most of its bits.
TEST(MeetExactly, CrossingPointLiesOnBoth) {
  std::mt19937_64 random(8);
  std::uniform_real_distribution<double> unit(-1, 1);
  int checked = 0;
  for (int k = 0; k < 3000; ++k) {
    const double scale = std::ldexp(1.0, int(unit(random) * 60));
    const double angle = std::ldexp(unit(random), -int(40 * std::fabs(unit(random))));
    const double cx = unit(random) * scale, cy = unit(random) * scale;
    const double dx = std::cos(unit(random) * 3), dy = std::sin(unit(random) * 3);
    const double ex = dx * std::cos(angle) - dy * std::sin(angle);
    const double ey = dx * std::sin(angle) + dy * std::cos(angle);
    const PreciseSegment first =
        seg(cx - dx * scale, cy - dy * scale, cx + dx * scale * 0.7, cy + dy * scale * 0.7);
    const PreciseSegment second =
        seg(cx - ex * scale * 0.9, cy - ey * scale * 0.9, cx + ex * scale, cy + ey * scale);
    const ExactMeeting m = meetExactly(first, second);
    if (m.kind != PointIntersection || m.ends != 0) continue;
    double x, y;
    exactMeetingPoint(first, second, m.ends, x, y);
    const mpq_class rx = mpq_class(first.bx) - first.ax, ry = mpq_class(first.by) - first.ay;
    const mpq_class sx = mpq_class(second.bx) - second.ax, sy = mpq_class(second.by) - second.ay;
    const mpq_class qx = mpq_class(second.ax) - first.ax, qy = mpq_class(second.ay) - first.ay;
    const mpq_class t = (qx * sy - qy * sx) / (rx * sy - ry * sx);
    const double px = mpq_class(first.ax + t * rx).get_d(),
                 py = mpq_class(first.ay + t * ry).get_d();
    EXPECT_NEAR(x, px, 0x1p-41 * 2 * scale) << k << ", angle " << angle;
    EXPECT_NEAR(y, py, 0x1p-41 * 2 * scale) << k << ", angle " << angle;
    ++checked;
  }
  EXPECT_GT(checked, 1000);
}

}  // namespace
