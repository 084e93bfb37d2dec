// Families of drawings the tests of the screening and the pair finder run
// over, and the meeting pairs found by testing every pair.
#pragma once

#include <vector>

#include "geometry/exact.h"
#include "geometry/figures.h"
#include "geometry/pair_keys.h"

// Families of inputs for the row screening: what it settles must be exactly
// what intersectSegments says, including near the tolerance, at shared ends
// that rounding pushes outside [0, 1], and where the arithmetic overflows.
struct Family {
  const char* name;
  std::vector<Segment> segments;
  std::vector<PreciseSegment> precise = {};  // where the segments are their float roundings
};

// Scattered segments, a small grid of collinear pieces and points, decimal
// ends, nearly parallel ones, tiny beside small, and extreme values.
std::vector<Family> screeningFamilies();

// Drawings that are not uniform: a dense core in an empty map, towns of
// very different sizes, long lines over short ones, a fan of long lines
// converging on a point, a star through one point.
std::vector<Family> clusteredFamilies();

// The meeting pairs by testing every pair, in report order: each row
// screened first, as the full report does, under the exercise's rules.
PairKeys everyMeetingPair(const std::vector<Segment>& segments, const PairRules& rules = {});

inline Segment seg(float x1, float y1, float x2, float y2) {
  return Segment(Point(x1, y1), Point(x2, y2));
}
