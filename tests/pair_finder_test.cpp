// The row screening and the pair finder against testing every pair: the
// same pairs, each once, in report order, however the drawing crowds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "families.h"
#include "geometry/intersect.h"
#include "geometry/pair_finder.h"

namespace {

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

}  // namespace
