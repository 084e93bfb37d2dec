#include "judge.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "geometry/intersect.h"

namespace {

// Whether the meeting point, given by its `ends` among the two segments'
// end points, lies inside segment k's line: anywhere but at an end point of
// the line.
bool insideLine(const MapLayers& map, int k, unsigned ends, unsigned endA, unsigned endB) {
  if (!(ends & (endA | endB))) return true;  // inside the segment itself
  return ((ends & endA) && insideItsLine(map, k, false)) ||
         ((ends & endB) && insideItsLine(map, k, true));
}

}  // namespace

Verdict judgePair(const Judging& judging, const Segment* segments, int j, int i) {
  Verdict v;
  if (judging.rules.exact) {
    const PreciseSegment first = preciseSegment(judging.rules, segments, j);
    const PreciseSegment second = preciseSegment(judging.rules, segments, i);
    const ExactMeeting m = meetExactly(first, second);
    v.kind = m.kind;
    v.ends = m.ends;
    if (m.kind == PointIntersection) exactMeetingPoint(first, second, m.ends, v.x, v.y);
  } else {
    Point crossing(0, 0);
    const int kind = intersectSegments(segments[j], segments[i], &crossing);
    if (kind == NoIntersection) return v;
    v.kind = kind;
    v.x = crossing.x, v.y = crossing.y;
    if (!judging.map) return v;
    // Collinear pieces that share one point meet there, at their ends.
    v.kind = meetingEnds(segments[j], segments[i], kind, v.ends);
    if (kind == Overlap && v.kind == PointIntersection) {
      const Point& end = v.ends & FirstA    ? segments[j].A
                         : v.ends & FirstB  ? segments[j].B
                         : v.ends & SecondA ? segments[i].A
                                            : segments[i].B;
      v.x = end.x, v.y = end.y;
    }
  }
  if (!judging.map || v.kind != PointIntersection) return v;
  // Two pieces of one line meet where one ends and the next begins.
  const MapLayers& map = *judging.map;
  if (isJoint(map, j, i)) {
    v.leftOut = true;
    return v;
  }
  v.sharedVertex = (v.ends & (FirstA | FirstB)) && (v.ends & (SecondA | SecondB));
  if (!insideLine(map, j, v.ends, FirstA, FirstB) ||
      !insideLine(map, i, v.ends, SecondA, SecondB)) {
    v.kind = Touch;
    v.leftOut = !judging.touches;
  }
  return v;
}

std::string pointText(const Judging& judging, const Verdict& verdict) {
  char text[64];
  char* at = text;
  if (judging.rules.exact) {
    at = std::to_chars(at, text + 31, verdict.x).ptr;
    *at++ = ',';
    at = std::to_chars(at, text + 63, verdict.y).ptr;
  } else {
    at = std::to_chars(at, text + 31, float(verdict.x)).ptr;
    *at++ = ',';
    at = std::to_chars(at, text + 63, float(verdict.y)).ptr;
  }
  return std::string(text, at);
}

void overlapStretch(const Judging& judging, const Segment* segments, int j, int i,
                    CrossingRecord& record) {
  if (judging.rules.exact) {
    sharedStretch(preciseSegment(judging.rules, segments, j),
                  preciseSegment(judging.rules, segments, i), record.x0, record.y0, record.x1,
                  record.y1);
    return;
  }
  // The rules call them collinear when they are within the tolerance of one
  // line: the stretch of the earlier one that the later one covers, its ends
  // the extremes of the shared extent along the axis the earlier one runs
  // further on.
  const Segment& earlier = segments[j];
  const Segment& later = segments[i];
  const bool alongY = std::fabs(earlier.B.x - earlier.A.x) < std::fabs(earlier.B.y - earlier.A.y);
  const auto along = [alongY](Point p) { return alongY ? p.y : p.x; };
  const float low = std::max(std::min(along(earlier.A), along(earlier.B)),
                             std::min(along(later.A), along(later.B)));
  const float high = std::min(std::max(along(earlier.A), along(earlier.B)),
                              std::max(along(later.A), along(later.B)));
  record.x0 = record.x1 = earlier.A.x;
  record.y0 = record.y1 = earlier.A.y;
  for (const Point& p : {later.B, later.A, earlier.B, earlier.A}) {
    if (along(p) == low) record.x0 = p.x, record.y0 = p.y;
    if (along(p) == high) record.x1 = p.x, record.y1 = p.y;
  }
}
