#include "families.h"

#include <cmath>
#include <limits>
#include <random>
#include <tuple>

#include "geometry/intersect.h"

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

PairKeys everyMeetingPair(const std::vector<Segment>& segments, const PairRules& rules) {
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
