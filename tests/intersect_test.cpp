#include "geometry/intersect.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

Segment seg(float x1, float y1, float x2, float y2) {
  return Segment(Point(x1, y1), Point(x2, y2));
}

Segment reversed(Segment s) {
  return Segment(s.B, s.A);
}

struct Case {
  const char* name;
  Segment first;
  Segment second;
  int expected;
  std::optional<Point> crossing = std::nullopt;  // checked on PointIntersection
  bool eitherOrder = false;                      // the same answer with the two exchanged
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class Classification : public testing::TestWithParam<Case> {};

TEST_P(Classification, MatchesTheRules) {
  const Case& c = GetParam();
  for (const bool exchanged : {false, true}) {
    if (exchanged && !c.eitherOrder) break;
    SCOPED_TRACE(exchanged ? "second passed first" : "in the given order");
    Point crossing(-77, -77);
    crossing.colour = 42;
    EXPECT_EQ(exchanged ? intersectSegments(c.second, c.first, &crossing)
                        : intersectSegments(c.first, c.second, &crossing),
              c.expected);
    EXPECT_EQ(crossing.colour, 42) << "the crossing's colour is never written";
    if (c.expected == PointIntersection && c.crossing) {
      EXPECT_FLOAT_EQ(crossing.x, c.crossing->x);
      EXPECT_FLOAT_EQ(crossing.y, c.crossing->y);
    }
    if (c.expected != PointIntersection) {
      EXPECT_EQ(crossing.x, -77) << "untouched unless the segments cross";
      EXPECT_EQ(crossing.y, -77);
    }
  }
}

// Each row is one argument order; orders whose result matters are rows of
// their own.
INSTANTIATE_TEST_SUITE_P(
    Segments, Classification,
    testing::Values(
        Case{"interior crossing", seg(0, 0, 4, 4), seg(0, 4, 4, 0), PointIntersection, Point(2, 2)},
        Case{"shared end, not parallel", seg(0, 0, 2, 0), seg(2, 0, 2, 3), PointIntersection,
             Point(2, 0)},
        Case{"shared end, second first", seg(2, 0, 2, 3), seg(0, 0, 2, 0), PointIntersection,
             Point(2, 0)},
        // Decimal coordinates whose rounded t and u fall just outside [0, 1].
        Case{"shared end with decimal coordinates", seg(-1.1f, -0.4f, -2, 1.4f),
             seg(-2, 2.9f, -2, 1.4f), PointIntersection, Point(-2, 1.4f)},
        Case{"shared decimal end, other order", seg(-2, 2.9f, -2, 1.4f),
             seg(-1.1f, -0.4f, -2, 1.4f), PointIntersection, Point(-2, 1.4f)},
        Case{"T-junction", seg(0, 0, 4, 0), seg(2, 0, 2, 5), PointIntersection, Point(2, 0)},
        Case{"T-junction, stem first", seg(2, 5, 2, 0), seg(0, 0, 4, 0), PointIntersection,
             Point(2, 0)},
        Case{"T-junction, the second ends on the first", seg(0, 0, 4, 0), seg(2, 5, 2, 0),
             PointIntersection, Point(2, 0)},
        Case{"lines cross beyond the second", seg(0, 0, 4, 4), seg(0, 4, 1, 3), NoIntersection},
        Case{"lines cross beyond the first", seg(0, 4, 1, 3), seg(0, 0, 4, 4), NoIntersection},
        Case{"parallel, distinct lines", seg(0, 0, 4, 0), seg(0, 1, 4, 1), NoIntersection},
        Case{"collinear sharing a stretch", seg(0, 0, 4, 0), seg(2, 0, 6, 0), Overlap},
        Case{"collinear stretch, other order", seg(2, 0, 6, 0), seg(0, 0, 4, 0), Overlap},
        Case{"collinear stretch, reversed ends", reversed(seg(0, 0, 4, 0)),
             reversed(seg(2, 0, 6, 0)), Overlap},
        Case{"collinear one inside the other", seg(0, 0, 10, 10), seg(3, 3, 4, 4), Overlap},
        Case{"collinear disjoint", seg(0, 0, 1, 0), seg(2, 0, 3, 0), NoIntersection},
        Case{"collinear disjoint, other order", seg(2, 0, 3, 0), seg(0, 0, 1, 0), NoIntersection},
        // Collinear segments that touch end to end share that end.
        Case{"touching end to end", seg(0, 0, 2, 0), seg(2, 0, 3, 0), Overlap, {}, true},
        Case{"touching, reversed ends",
             reversed(seg(2, 0, 3, 0)),
             reversed(seg(0, 0, 2, 0)),
             Overlap,
             {},
             true},
        Case{"identical", seg(1, 2, 3, 5), seg(1, 2, 3, 5), Overlap},
        Case{"identical, reversed", seg(1, 2, 3, 5), reversed(seg(1, 2, 3, 5)), Overlap},
        Case{"vertical collinear", seg(1, 0, 1, 4), seg(1, 2, 1, 6), Overlap},
        Case{"vertical collinear disjoint", seg(1, 0, 1, 1), seg(1, 2, 1, 6), NoIntersection},
        Case{"vertical touching", seg(1, 0, 1, 4), seg(1, 6, 1, 4), Overlap, {}, true},
        // Steep but not vertical: compared along y, where they lie 1000 apart.
        Case{"steep collinear, apart along the line",
             seg(0, 0, 1e-6f, 1000),
             seg(5e-7f, 2000, 6e-7f, 3000),
             NoIntersection,
             {},
             true},
        Case{"steep collinear sharing a stretch",
             seg(0, 0, 1e-6f, 1000),
             seg(5e-7f, 500, 6e-7f, 1500),
             Overlap,
             {},
             true},
        // A zero-length segment is a point, judged by where it lies.
        Case{"point inside a diagonal", seg(2, 2, 2, 2), seg(0, 0, 4, 4), Overlap, {}, true},
        Case{"point in the y-range, off the line",
             seg(5, 2, 5, 2),
             seg(0, 0, 4, 4),
             NoIntersection,
             {},
             true},
        Case{"point beside a vertical segment",
             seg(100, 0.5f, 100, 0.5f),
             seg(0, 0, 0, 1),
             NoIntersection,
             {},
             true},
        Case{"point on a horizontal segment", seg(3, 0, 3, 0), seg(0, 0, 4, 0), Overlap, {}, true},
        Case{"point at the lower end", seg(0, 0, 0, 0), seg(4, 0, 0, 0), Overlap, {}, true},
        Case{"point at the upper end", seg(4, 0, 4, 0), seg(0, 0, 4, 0), Overlap, {}, true},
        Case{"point beyond the end", seg(5, 0, 5, 0), seg(0, 0, 4, 0), NoIntersection, {}, true},
        Case{"point off the line", seg(2, 1, 2, 1), seg(0, 0, 4, 0), NoIntersection, {}, true},
        Case{"two points at one place", seg(1, 1, 1, 1), seg(1, 1, 1, 1), Overlap},
        Case{"two points, one x apart", seg(1, 1, 1, 1), seg(2, 1, 2, 1), NoIntersection, {}, true},
        Case{"two points, zeros of both signs", seg(0, -0.0f, -0.0f, 0), seg(0, 0, 0, 0), Overlap},
        // sin^2 of the angle against eps = 1e-5: 0.1 degrees is parallel,
        // 0.3 degrees is not. Both cross at (50, 0) on a flat X: parallel
        // segments that truly cross lie on one line.
        Case{"flat X at 0.1 degrees counts as parallel",
             seg(0, 0, 100, 0),
             seg(0, -0.0872665f, 100, 0.0872665f),
             Overlap,
             {},
             true},
        Case{"0.1 degrees from a shared start is collinear", seg(0, 0, 100, 0),
             seg(0, 0, 100, 0.174533f), Overlap},
        Case{"0.3 degrees apart crosses", seg(0, 0, 100, 0), seg(0, -0.261799f, 100, 0.261799f),
             PointIntersection, Point(50, 0)},
        Case{"near-parallel on a distinct line", seg(0, 0, 100, 0), seg(0, 1, 100, 1.0872665f),
             NoIntersection},
        // Seen from first.A, the tolerance's angle grows into a distance:
        // a short piece beside a long one's line by more than its own length
        // is not on that line; nearer than that, it still is.
        Case{"short piece 2 beside a line of 1000",
             seg(0, 0, 1000, 0),
             seg(900, 2, 901, 2),
             NoIntersection,
             {},
             true},
        Case{"short piece 0.5 beside a line of 1000",
             seg(0, 0, 1000, 0),
             seg(900, 0.5f, 901, 0.5f),
             Overlap,
             {},
             true},
        Case{"piece of 1 beside a line of 300, 2 apart",
             seg(0, 0, 300, 0),
             seg(100, 2, 101, 2),
             NoIntersection,
             {},
             true},
        // Parallel within the tolerance and meeting exactly: one line.
        Case{"a V of 0.1 degrees sharing its B ends",
             seg(0, 0, 1000, 0),
             seg(0, 1.745f, 1000, 0),
             Overlap,
             {},
             true},
        Case{"a V sharing first.B and second.A",
             seg(0, 0, 1000, 0),
             seg(1000, 0, 0, 1.745f),
             Overlap,
             {},
             true},
        Case{"flat crossing with starts 0.01 apart",
             seg(0, 0, 1000, 0),
             seg(0, 0.01f, 1000, -1.735f),
             Overlap,
             {},
             true},
        Case{"ends exactly on the other, 0.06 degrees",
             seg(0, 0, 1000, 0),
             seg(0, 0.5f, 500, 0),
             Overlap,
             {},
             true},
        Case{"flat, ending short of the line",
             seg(0, 0, 1000, 0),
             seg(0, 0.5f, 200, 0.151f),
             NoIntersection,
             {},
             true},
        // The tolerance is relative: the same shapes at any scale agree,
        // also where the products would leave the float range.
        Case{"tiny crossing", seg(0, 0, 4e-6f, 4e-6f), seg(0, 4e-6f, 4e-6f, 0), PointIntersection,
             Point(2e-6f, 2e-6f)},
        Case{"huge collinear", seg(0, 0, 4e12f, 0), seg(2e12f, 0, 6e12f, 0), Overlap, {}, true},
        Case{"crossing at 4e19", seg(0, 0, 4e19f, 4e19f), seg(0, 4e19f, 4e19f, 0),
             PointIntersection, Point(2e19f, 2e19f), true},
        Case{"parallel 1e18 apart",
             seg(0, 0, 4e19f, 0),
             seg(0, 1e18f, 4e19f, 1e18f),
             NoIntersection,
             {},
             true},
        Case{"largest float beside a unit segment",
             seg(0, 0, 3.4028235e38f, 0),
             seg(0, 1, 1, 1),
             NoIntersection,
             {},
             true},
        Case{"crossing at 4e-25", seg(0, 0, 4e-25f, 4e-25f), seg(0, 4e-25f, 4e-25f, 0),
             PointIntersection, Point(2e-25f, 2e-25f), true},
        Case{"subnormal crossing", seg(0, 0, 4e-44f, 4e-44f), seg(0, 4e-44f, 4e-44f, 0),
             PointIntersection, Point(2e-44f, 2e-44f), true},
        // Products of the tiny one sink into subnormals beside the other.
        Case{"2^-124 across 2^-29", seg(-0x1p-125f, 0, 0x1p-125f, 0),
             seg(0, -0x1p-30f, 0, 0x1p-30f), PointIntersection, Point(0, 0), true},
        Case{"1e-38 across 1e-9", seg(-1e-38f, 0, 1e-38f, 0), seg(0, -1e-9f, 0, 1e-9f),
             PointIntersection, Point(0, 0), true}),
    [](const testing::TestParamInfo<Case>& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p) name += std::isalnum(*p) ? *p : '_';
      return name;
    });

// The threshold sits exactly at cRS^2 = eps |s|^2 |r|^2: a value that lands
// on it is parallel, the next float up is not.
TEST(Tolerance, ComparisonIsStrict) {
  const float eps = std::bit_cast<float>(std::uint32_t{0x3727C5AC});
  EXPECT_FLOAT_EQ(eps, 1e-5f);
  // r = (1, 0), s = (1, h): cRS = h, |s|^2 = 1 + h^2. Find the smallest h
  // that the test calls non-parallel; everything below must be parallel.
  Point crossing;
  float h = 0.00316f;
  while (intersectSegments(seg(0, 0, 1, 0), seg(0, 0, 1, h), &crossing) != PointIntersection) {
    h = std::nextafter(h, 1.0f);
  }
  const double lhs = double(h) * h, rhs = double(eps) * (1.0 + double(h) * h);
  EXPECT_GT(lhs, rhs);
  const float below = std::nextafter(h, 0.0f);
  EXPECT_LE(double(below) * below, double(eps) * (1.0 + double(below) * below));
  EXPECT_NE(intersectSegments(seg(0, 0, 1, 0), seg(0, 0, 1, below), &crossing), PointIntersection);
}

// A power-of-two unit never changes an answer, also for pairs of very
// different sizes, where the smaller one's products leave the normal floats.
TEST(Tolerance, AnswersDoNotDependOnTheUnit) {
  const Segment pairs[][2] = {
      {seg(-0x1p-125f, 0, 0x1p-125f, 0), seg(0, -0x1p-30f, 0, 0x1p-30f)},
      {seg(0x1p-140f, 0x1p-140f, 0x1p-139f, -0x1p-141f), seg(0, 0, 0x1p-28f, 0x1p-29f)},
      {seg(-0x1p-56f, 0x1p-57f, 0x1p-56f, -0x1p-57f), seg(-0x1p39f, -0x1p38f, 0x1p39f, 0x1p38f)},
      {seg(1e-45f, 0, 3e-45f, 1e-45f), seg(0, 0, 1, 0.5f)},
      {seg(0, 0, 1, 0), seg(0.5f, -1e-44f, 0.5f, 1e-44f)},
  };
  for (const auto& [first, second] : pairs) {
    Point crossing;
    const int kind = intersectSegments(first, second, &crossing);
    for (int e = -120; e <= 120; e += 3) {
      Segment f = first, s = second;
      bool exact = true;
      for (Point* p : {&f.A, &f.B, &s.A, &s.B}) {
        for (float* v : {&p->x, &p->y}) {
          const float moved = std::ldexp(*v, e);
          exact = exact && std::isfinite(moved) && std::ldexp(moved, -e) == *v;
          *v = moved;
        }
      }
      if (!exact) continue;
      EXPECT_EQ(intersectSegments(f, s, &crossing), kind)
          << "(" << first.A.x << ", " << first.A.y << ") ... times 2^" << e;
    }
  }
}

}  // namespace
