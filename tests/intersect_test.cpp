#include "geometry/intersect.h"
#include "geometry/pair_finder.h"

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

// Families of inputs for the row screening: what it settles must be exactly
// what intersectSegments says, including near the tolerance, at shared ends
// that rounding pushes outside [0, 1], and where the arithmetic overflows.
struct Family {
  const char* name;
  std::vector<Segment> segments;
  std::vector<PreciseSegment> precise = {};  // where the segments are their float roundings
};

std::vector<Family> screeningFamilies() {
  std::mt19937 random(2024);
  auto uniform = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  auto pick = [&](const std::vector<float>& values) {
    return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
  };
  std::vector<Family> families;

  Family scattered{"scattered", {}};  // like the benchmark input
  for (int k = 0; k < 400; ++k) {
    const float x = uniform(0, 1000), y = uniform(0, 1000);
    const float angle = uniform(0, 6.2831853f), length = uniform(1, 200);
    scattered.segments.push_back(
        seg(x, y, x + length * std::cos(angle), y + length * std::sin(angle)));
  }
  families.push_back(scattered);

  Family grid{"small grid", {}};  // collinear, touching, shared ends, points
  for (int k = 0; k < 250; ++k) {
    const float x = float(int(uniform(0, 7))), y = float(int(uniform(0, 7)));
    grid.segments.push_back(k % 9 == 0
                                ? seg(x, y, x, y)
                                : seg(x, y, float(int(uniform(0, 7))), float(int(uniform(0, 7)))));
  }
  families.push_back(grid);

  Family decimals{"decimal ends", {}};  // shared ends whose t and u round outside
  const std::vector<float> places = {-2, -1.1f, -0.4f, 0.1f, 0.3f, 1.4f, 2.9f, 1.0f / 3};
  for (int k = 0; k < 250; ++k) {
    decimals.segments.push_back(seg(pick(places), pick(places), pick(places), pick(places)));
  }
  families.push_back(decimals);

  Family flat{"nearly parallel", {}};  // angles around 0.18 degrees
  for (int k = 0; k < 250; ++k) {
    const float h = uniform(0.2f, 0.4f) * (k % 2 ? 1 : -1), offset = uniform(-0.5f, 0.5f);
    const float start = uniform(0, 60);
    flat.segments.push_back(seg(start, offset, start + 100, offset + h));
  }
  families.push_back(flat);

  // Segments of 1e-30 about the origin beside segments of 1e-8 from it: the
  // products of such pairs sink into subnormals unscaled.
  Family mixed{"tiny beside small", {}};
  for (int k = 0; k < 300; ++k) {
    const float angle = uniform(0, 6.2831853f);
    if (k % 2) {
      const float length = std::ldexp(1.0f, -20 - k % 11);
      mixed.segments.push_back(seg(0, 0, length * std::cos(angle), length * std::sin(angle)));
    } else {
      const float length = std::ldexp(1.0f, -95 - k % 35);
      const float x = uniform(-4, 4) * length, y = uniform(-4, 4) * length;
      mixed.segments.push_back(
          seg(x, y, x + length * std::cos(angle), y + length * std::sin(angle)));
    }
  }
  families.push_back(mixed);

  Family extreme{"extreme values", {}};  // overflow, subnormals, NaN
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> values = {0,     -0.0f,  1e-45f, -1e-40f, 1e-30f, 1e20f, -1e20f,
                                     3e38f, -3e38f, inf,    -inf,    0.1f,   1,     std::nanf("")};
  for (int k = 0; k < 250; ++k) {
    extreme.segments.push_back(seg(pick(values), pick(values), pick(values), pick(values)));
  }
  families.push_back(extreme);
  return families;
}

TEST(ScreenPairs, SettlesOnlyWhatTheTestCallsApart) {
  // Both widths: screenPairs runs the wide one wherever the processor has AVX2.
  struct Width {
    const char* name;
    void (*screen)(EndPoints, int, Segment, unsigned char*);
  };
  for (const auto& [width, screen] :
       {Width{"plain", screenPairsPlain}, Width{"wide", screenPairsWide}}) {
    if (width == std::string("wide") && !wideScreening()) {
      std::printf("no AVX2 on this processor: the wide screening is not tested\n");
      continue;
    }
    for (const Family& family : screeningFamilies()) {
      const std::vector<Segment>& segments = family.segments;
      const int n = int(segments.size());
      std::vector<float> ax, ay, bx, by, largest;
      for (const Segment& s : segments) {
        ax.push_back(s.A.x), ay.push_back(s.A.y), bx.push_back(s.B.x), by.push_back(s.B.y);
        largest.push_back(largestMagnitude(s));
      }
      std::vector<unsigned char> mayMeet(n);
      int settled = 0, wrong = 0;
      for (const Segment& second : segments) {
        screen({ax.data(), ay.data(), bx.data(), by.data(), largest.data()}, n, second,
               mayMeet.data());
        for (int k = 0; k < n; ++k) {
          if (mayMeet[k]) continue;
          ++settled;
          Point crossing;
          if (intersectSegments(segments[k], second, &crossing) != NoIntersection && ++wrong <= 3) {
            ADD_FAILURE() << width << ", " << family.name << ": settled pair meets: ("
                          << segments[k].A.x << ", " << segments[k].A.y << ")-(" << segments[k].B.x
                          << ", " << segments[k].B.y << ") and (" << second.A.x << ", "
                          << second.A.y << ")-(" << second.B.x << ", " << second.B.y << ")";
          }
        }
      }
      EXPECT_EQ(wrong, 0) << family.name;
      if (family.name == std::string("scattered")) {
        EXPECT_GT(settled, n * n * 9 / 10) << "far-apart pairs are settled by the screening";
      }
    }
  }
}

}  // namespace

// Drawings that are not uniform: a dense core in an empty map, towns of
// very different sizes, long lines over short ones, a fan of long lines
// converging on a point, a star through one point. Crowded cells are divided
// there, and long lines' pairs found apart.
std::vector<Family> clusteredFamilies() {
  std::mt19937 random(91);
  auto uniform = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  auto at = [&](float x, float y, float length) {
    const float a = uniform(0, 6.2831853f);
    return seg(x, y, x + length * std::cos(a), y + length * std::sin(a));
  };
  std::vector<Family> families;
  Family core{"dense core in an empty map", {}};
  for (int k = 0; k < 1200; ++k) {
    core.segments.push_back(k % 2 ? at(uniform(0, 1), uniform(0, 1), 0.05f)
                                  : at(uniform(0, 1e6f), uniform(0, 1e6f), 100));
  }
  families.push_back(core);
  Family towns{"towns of very different sizes", {}};
  for (const auto& [cx, cy, radius, count] :
       {std::tuple{5e5f, 5e5f, 20000.0f, 300}, std::tuple{1e4f, 9e5f, 10.0f, 500},
        std::tuple{7e5f, 2e5f, 300.0f, 400}, std::tuple{5e5f, 5e5f, 2.0f, 200}}) {
    for (int k = 0; k < count; ++k) {
      towns.segments.push_back(at(cx + uniform(-radius, radius), cy + uniform(-radius, radius),
                                  2 * radius / std::sqrt(float(count))));
    }
  }
  families.push_back(towns);
  Family longOverShort{"long lines over short ones", {}};
  for (int k = 0; k < 1500; ++k) {
    longOverShort.segments.push_back(k % 50 ? at(uniform(0, 100), uniform(0, 100), 1)
                                            : seg(0, uniform(0, 100), 100, uniform(0, 100)));
  }
  families.push_back(longOverShort);
  Family fan{"a fan of long lines converging on a point", {}};
  for (int k = 0; k < 1000; ++k) {
    const float x = float(k % 30) * 3, y = float(k / 30) * 3;
    fan.segments.push_back(k % 10 ? seg(x, y, x + 0.4f, y + 0.3f)
                                  : seg(0, 5 + 90.0f * float(k) / 1000, 100, 0.001f * float(k)));
  }
  families.push_back(fan);
  Family star{"a star through one point", {}};
  for (int k = 0; k < 300; ++k) {
    const float a = 6.2831853f * float(k) / 300;
    star.segments.push_back(k % 3 ? seg(-std::cos(a), -std::sin(a), std::cos(a), std::sin(a))
                                  : at(uniform(-5, 5), uniform(-5, 5), 0.1f));
  }
  families.push_back(star);
  return families;
}

// The meeting pairs by testing every pair, in report order: each row
// screened first, as the full report does.
PairKeys everyMeetingPair(const std::vector<Segment>& segments, const PairRules& rules = {}) {
  if (rules.exact) {
    PairKeys expected;
    for (int i = 1; i < int(segments.size()); ++i) {
      for (int j = 0; j < i; ++j) {
        const int kind = meetingKind(rules, segments.data(), j, i);
        if (kind != NoIntersection) expected.push_back(pairKey(j, i, kind));
      }
    }
    return expected;
  }
  std::vector<float> ax, ay, bx, by, largest;
  for (const Segment& s : segments) {
    ax.push_back(s.A.x), ay.push_back(s.A.y), bx.push_back(s.B.x), by.push_back(s.B.y);
    largest.push_back(largestMagnitude(s));
  }
  const EndPoints firsts{ax.data(), ay.data(), bx.data(), by.data(), largest.data()};
  std::vector<unsigned char> mayMeet(segments.size());
  PairKeys expected;
  for (int i = 1; i < int(segments.size()); ++i) {
    screenPairs(firsts, i, segments[i], mayMeet.data());
    for (int j = 0; j < i; ++j) {
      Point crossing;
      const int kind =
          mayMeet[j] ? intersectSegments(segments[j], segments[i], &crossing) : int(NoIntersection);
      if (kind != NoIntersection) expected.push_back(pairKey(j, i, kind));
    }
  }
  return expected;
}

// The index finds exactly the pairs that testing every pair finds, each once
// and in report order: across cell borders, with the reach that near-parallel
// overlaps need, at every scale, however the segments crowd together.
TEST(PairFinder, FindsWhatTestingEveryPairFinds) {
  std::vector<Family> families = screeningFamilies();
  for (Family& family : clusteredFamilies()) families.push_back(std::move(family));
  std::mt19937 random(77);
  auto uniform = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  // Lines that overlap within the tolerance though 0.63 apart (seen from
  // the first one's start, the other starts 0.18 degrees off its line, and
  // they touch along x), and shorter ones 0.3 apart that cannot reach across
  // alone, at offsets across a cell, among many short segments that make the
  // cells small.
  Family apart{"near-parallel overlaps in small cells", {}};
  for (const float y : {0.0f, 0.1f, 0.2f, 0.3f}) {
    const Segment first = seg(0, y, 100, y);
    for (const Segment& s :
         {first, seg(200, y + 0.63f, 100, y + 0.63f), seg(200, y - 0.63f, 100, y - 0.63f),
          seg(102, y - 0.3f, 100, y - 0.3f), seg(102, y + 0.3f, 100, y + 0.3f)}) {
      Point crossing;
      if (&s != &first) {
        EXPECT_EQ(intersectSegments(first, s, &crossing), Overlap) << y;
      }
      apart.segments.push_back(s);
    }
  }
  for (int k = 0; k < 2000; ++k) {
    const float x = uniform(0, 200), y = uniform(-1, 1);
    apart.segments.push_back(seg(x, y, x + uniform(-0.05f, 0.05f), y + uniform(-0.05f, 0.05f)));
  }
  families.push_back(apart);
  // Unit pieces on integer lines: ends on ends, on cell borders, crossing.
  Family pieces{"unit pieces of a lattice", {}};
  for (int k = 0; k < 400; ++k) {
    const float x = float(int(uniform(0, 20))), y = float(int(uniform(0, 20)));
    pieces.segments.push_back(k % 2 ? seg(x, y, x + 1, y) : seg(x, y, x, y + 1));
  }
  families.push_back(pieces);
  for (const float unit : {1e30f, 1e-30f, 1.0f}) {
    Family scaled{unit == 1 ? "map coordinates" : "scattered, scaled", {}};
    for (int k = 0; k < 300; ++k) {
      const float x = uniform(0, 100), y = uniform(0, 100), a = uniform(0, 6.2831853f);
      const float base = unit == 1 ? 7456000 : 0;
      scaled.segments.push_back(seg(base + x * unit, base + y * unit,
                                    base + (x + 6 * std::cos(a)) * unit,
                                    base + (y + 6 * std::sin(a)) * unit));
    }
    families.push_back(scaled);
  }
  // A long line makes its top cell's grid coarse: one cell of it holds the
  // whole cluster, more than one thread takes, and the other divides it.
  Family cluster{"a cluster that one cell holds whole", {seg(-50, -50, 50, 50)}};
  for (int k = 0; k < 18000; ++k) {
    const bool packed = k < 17000;  // the rest spread far apart
    const float x = packed ? uniform(0.2f, 0.21f) : uniform(0, 1e6f);
    const float y = packed ? uniform(0.2f, 0.21f) : uniform(0, 1e6f);
    const float length = packed ? 0.0005f : 100, a = uniform(0, 6.2831853f);
    cluster.segments.push_back(seg(x, y, x + length * std::cos(a), y + length * std::sin(a)));
  }
  families.push_back(cluster);
  // Long lines exactly vertical or horizontal, traced through the cells they
  // cross, whose rows and columns are taken from both ends.
  Family axes{"long vertical and horizontal lines over short ones", {}};
  for (int k = 0; k < 6000; ++k) {
    if (k % 50 == 0) {
      const float at = uniform(0, 100);
      axes.segments.push_back(k % 100 ? seg(at, uniform(60, 100), at, uniform(0, 40))
                                      : seg(uniform(60, 100), at, uniform(0, 40), at));
    } else {
      const float x = uniform(0, 100), y = uniform(0, 100), a = uniform(0, 6.2831853f);
      axes.segments.push_back(seg(x, y, x + std::cos(a), y + std::sin(a)));
    }
  }
  families.push_back(axes);
  Family points{"points, duplicates and long ones", {}};
  for (int k = 0; k < 200; ++k) {
    const float x = float(int(uniform(0, 8))), y = float(int(uniform(0, 8)));
    points.segments.push_back(k % 3 ? seg(x, y, x, y) : seg(x, y, 8 - y, x));
    if (k % 7 == 0) points.segments.push_back(points.segments.back());
  }
  families.push_back(points);

  // Polylines in metres at a town's UTM coordinates, given to the
  // centimetre: as floats, half a metre apart, so the exact rules judge the
  // doubles and the index places their roundings.
  Family town{"polylines at UTM coordinates, judged as doubles", {}};
  std::mt19937 walk(5);
  for (int line = 0; line < 30; ++line) {
    double x = 500000 + std::uniform_int_distribution<int>(0, 10000)(walk) * 0.01;
    double y = 5000000 + std::uniform_int_distribution<int>(0, 10000)(walk) * 0.01;
    for (int k = 0; k < 50; ++k) {
      const double nx = x + std::uniform_int_distribution<int>(-300, 300)(walk) * 0.01;
      const double ny = y + std::uniform_int_distribution<int>(-300, 300)(walk) * 0.01;
      town.precise.push_back({x, y, nx, ny});
      town.segments.push_back(seg(float(x), float(y), float(nx), float(ny)));
      x = nx, y = ny;
    }
  }
  families.push_back(town);

  for (Family family : families) {
    std::erase_if(family.segments, [](const Segment& s) {
      return !std::isfinite(s.A.x) || !std::isfinite(s.A.y) || !std::isfinite(s.B.x) ||
             !std::isfinite(s.B.y);
    });
    const std::vector<Segment>& segments = family.segments;
    // The exercise's rules, and the exact ones.
    for (const PairRules rules :
         {PairRules{}, PairRules{true, family.precise.empty() ? nullptr : family.precise.data()}}) {
      const PairKeys expected = everyMeetingPair(segments, rules);
      PairKeys found;
      ASSERT_EQ(findMeetingPairs(segments.data(), int(segments.size()), found,
                                 {.evenIfDense = true, .rules = rules}),
                PairSearch::Found);
      EXPECT_EQ(found.size(), expected.size()) << family.name << (rules.exact ? ", exact" : "");
      EXPECT_TRUE(found == expected) << family.name << (rules.exact ? ", exact" : "");
    }
  }
}

// Where the pairs held at once are few, they come in rounds of rows, each
// round in report order, together all of them; the first round may still
// give way to testing every pair, and none after it.
TEST(PairFinder, RoundsHandOutEveryPairOnce) {
  for (const Family& family : clusteredFamilies()) {
    const std::vector<Segment>& segments = family.segments;
    const PairKeys expected = everyMeetingPair(segments);
    for (const std::size_t atOnce : {std::size_t(1), std::size_t(50), expected.size()}) {
      PairFinder finder;
      ASSERT_EQ(startPairSearch(finder, segments.data(), int(segments.size()),
                                {.evenIfDense = true, .pairsAtOnce = atOnce}),
                PairSearch::Found);
      PairKeys found;
      int rounds = 0;
      while (!searchDone(finder)) {
        const int from = finder.done;
        std::span<const PairKey> pairs;
        ASSERT_EQ(nextMeetingPairs(finder, pairs), PairSearch::Found) << family.name;
        ASSERT_GT(finder.done, from) << family.name;
        for (const PairKey key : pairs) {
          EXPECT_TRUE(laterOf(key) >= from && laterOf(key) < finder.done) << family.name;
        }
        found.insert(found.end(), pairs.begin(), pairs.end());
        ++rounds;
      }
      EXPECT_TRUE(found == expected) << family.name << ", " << atOnce << " at once";
      if (atOnce < expected.size() / 4) {
        EXPECT_GT(rounds, 1) << family.name;
      }
    }
  }
}

// A star of long lines through one point: every pair meets, and testing
// every pair costs less than looking at them in cells.
TEST(PairFinder, GivesWayWhereMostPairsMeet) {
  std::vector<Segment> star;
  for (int k = 0; k < 2000; ++k) {
    const float a = 3.14159265f * float(k) / 2000;
    star.push_back(seg(-std::cos(a), -std::sin(a), std::cos(a), std::sin(a)));
  }
  PairKeys found;
  EXPECT_EQ(findMeetingPairs(star.data(), int(star.size()), found), PairSearch::Dense);
  // A few long lines over many short ones do not.
  const std::vector<Family> families = clusteredFamilies();
  const std::vector<Segment>& sparse = families[2].segments;
  EXPECT_EQ(findMeetingPairs(sparse.data(), int(sparse.size()), found), PairSearch::Found);
}

// Where a map's pair only touches: at an end point of either, up to the
// rounding of t (a float), about 2^-25 of a segment's length; collinear
// pieces whose extents share one value. Both orders give the same answer.
TEST(MeetsOnlyAtEndPoint, TouchesUpToTheRulesRounding) {
  struct Row {
    const char* name;
    Segment first, second;
    bool touches;
  };
  const Row rows[] = {
      {"crossing inside", seg(0, 0, 4, 4), seg(0, 4, 4, 0), false},
      {"shared end", seg(0, 0, 2, 1), seg(2, 1, 4, 0), true},
      {"T", seg(0, 0, 4, 0), seg(2, 0, 2, 3), true},
      {"stem ends 1e-8 of its length beyond", seg(0, 0, 4, 0), seg(2, 1, 2, -1e-8f), true},
      {"stem ends 1e-6 of its length beyond", seg(0, 0, 4, 0), seg(2, 1, 2, -1e-6f), false},
      {"ends meet 1e-8 of the length inside", seg(0, 0, 1, 0), seg(1 - 1e-8f, -1, 1 - 1e-8f, 1),
       true},
      {"1e-6 inside", seg(0, 0, 1, 0), seg(1 - 1e-6f, -1, 1 - 1e-6f, 1), false},
      {"collinear end to end", seg(0, 0, 2, 0), seg(2, 0, 5, 0), true},
      {"collinear, overlapping", seg(0, 0, 2, 0), seg(1, 0, 5, 0), false},
      {"a spike", seg(0, 0, 2, 0), seg(2, 0, 1, 0), false},
      {"vertical, end to end", seg(0, 0, 0, 2), seg(0, 2, 0, 3), true},
      {"at 1e30, T", seg(0, 0, 4e30f, 0), seg(2e30f, 0, 2e30f, 3e30f), true},
      {"at 1e30, crossing inside", seg(0, 0, 4e30f, 4e30f), seg(0, 4e30f, 4e30f, 0), false},
  };
  for (const Row& row : rows) {
    Point crossing(0, 0);
    const int kind = intersectSegments(row.first, row.second, &crossing);
    ASSERT_NE(kind, NoIntersection) << row.name;
    EXPECT_EQ(meetsOnlyAtEndPoint(row.first, row.second, kind), row.touches) << row.name;
    EXPECT_EQ(meetsOnlyAtEndPoint(row.second, row.first,
                                  intersectSegments(row.second, row.first, &crossing)),
              row.touches)
        << row.name << ", other order";
  }
}
