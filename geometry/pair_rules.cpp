#include "pair_rules.h"

#include "intersect.h"

int meetingKind(const PairRules& rules, const Segment* segments, int j, int i) {
  if (rules.exact) {
    return meetExactly(preciseSegment(rules, segments, j), preciseSegment(rules, segments, i)).kind;
  }
  Point crossing;
  return intersectSegments(segments[j], segments[i], &crossing);
}

bool exactMeetingPlace(const PairRules& rules, const Segment* segments, int j, int i, int& kind,
                       double& x, double& y) {
  const PreciseSegment first = preciseSegment(rules, segments, j);
  const PreciseSegment second = preciseSegment(rules, segments, i);
  const ExactMeeting m = meetExactly(first, second);
  kind = m.kind;
  if (m.kind == Overlap) {
    double x1, y1;
    sharedStretch(first, second, x, y, x1, y1);
  } else if (m.kind == PointIntersection) {
    exactMeetingPoint(first, second, m.ends, x, y);
  }
  return m.kind != NoIntersection;
}
