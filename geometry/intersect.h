#pragma once

#include "figures.h"

// Classifies how two segments meet and returns an IntersectionKind.
// Writes *crossing (x and y only) on PointIntersection and leaves it untouched
// otherwise, so the caller keeps the last crossing found.
int intersectSegments(Segment first, Segment second, Point* crossing);

// For a pair that meets (kind PointIntersection or Overlap, as
// intersectSegments gave it): whether they share one point only, and which
// of their end points it is, up to the rounding of the rules. Returns
// PointIntersection with `ends` (MeetingEnd bits, 0 for a crossing inside
// both), or Overlap for collinear pieces that share a stretch. A crossing is
// at an end when the segments share that end, or when its place along
// either segment, computed as the rules compute t (a float), is 0 or 1:
// within about 2^-25 of that segment's length from its end. Collinear
// pieces share one point when their extents along the line share one value
// only: the ends there.
int meetingEnds(Segment first, Segment second, int kind, unsigned& ends);

// Whether they meet only at an end point of one or both.
bool meetsOnlyAtEndPoint(Segment first, Segment second, int kind);

// The largest magnitude among a segment's four coordinates.
float largestMagnitude(Segment s);

// End points of many segments, one array per coordinate: segment k runs from
// (ax[k], ay[k]) to (bx[k], by[k]); largest[k] is its largestMagnitude.
struct EndPoints {
  const float* ax;
  const float* ay;
  const float* bx;
  const float* by;
  const float* largest;
};

// Screens a row of pairs at once: for k < count, sets mayMeet[k] to 0 when
// intersectSegments(segment k of `firsts`, second) is certain to return
// NoIntersection, and to 1 when the pair has to be tested. Nearly all pairs
// of a large input are settled here, many at a time.
void screenPairs(EndPoints firsts, int count, Segment second, unsigned char* mayMeet);

// The same for a list of pairs: pair k is segment k of `firsts` (the
// earlier one) and segment k of `seconds`.
void screenPairList(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet);

// screenPairs and screenPairList pick one of these: the widest vector
// registers this processor has. Plain and wide give the same flags; the wide
// ones run only where wideScreening().
void screenPairsPlain(EndPoints firsts, int count, Segment second, unsigned char* mayMeet);
void screenPairsWide(EndPoints firsts, int count, Segment second, unsigned char* mayMeet);
void screenListPlain(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet);
void screenListWide(EndPoints firsts, EndPoints seconds, int count, unsigned char* mayMeet);
bool wideScreening();
