// How a pair of segments is judged: the exercise's rules or exact
// predicates, on the float segments or on the coordinates as read.
#pragma once

#include "exact.h"
#include "figures.h"

// How a pair is judged: by the exercise's rules, with their tolerance, on
// the float segments; or exactly, as GIS engines judge it, on the
// coordinates as read (`precise`, one for every segment, of which the
// segments are the float roundings) or, without them, on the floats.
struct PairRules {
  bool exact = false;
  const PreciseSegment* precise = nullptr;
};

// How segments j and i meet under `rules`: NoIntersection,
// PointIntersection or Overlap.
int meetingKind(const PairRules& rules, const Segment* segments, int j, int i);

// For the exact rules: whether segments j and i meet, how (`kind`), and a
// point where they do, on both up to 2^-41 of their size: the end point or
// stretch end they share, or their crossing.
bool exactMeetingPlace(const PairRules& rules, const Segment* segments, int j, int i, int& kind,
                       double& x, double& y);

// Segment k's coordinates as the exact rules judge them.
inline PreciseSegment preciseSegment(const PairRules& rules, const Segment* segments, int k) {
  return rules.precise ? rules.precise[k] : preciseOf(segments[k]);
}
