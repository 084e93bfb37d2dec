// Exact predicates on double coordinates: how two segments meet, decided
// without any tolerance, as GIS engines decide it. A fast path in plain
// double arithmetic answers wherever its proven error bound allows; the
// rest is computed exactly, so a sign is never wrong, at any magnitude.
#pragma once

#include "figures.h"

// A segment as read, before its coordinates are rounded to float.
struct PreciseSegment {
  double ax = 0, ay = 0, bx = 0, by = 0;
};

inline PreciseSegment preciseOf(const Segment& s) {
  return {s.A.x, s.A.y, s.B.x, s.B.y};
}

// Which side of the line through a and b the point c lies on: 1 to the
// left (a, b, c counter-clockwise), -1 to the right, 0 on the line (or
// a = b). Exact for every finite double.
int orientation(double ax, double ay, double bx, double by, double cx, double cy);

// (p - q) x (r - s) = (px - qx)(ry - sy) - (py - qy)(rx - sx), to within
// 2^-43 of itself however its terms cancel: the ratios of such products
// place a crossing on both segments even where they are nearly parallel.
double crossOfDifferences(double px, double py, double qx, double qy, double rx, double ry,
                          double sx, double sy);

// Bits of ExactMeeting::ends: which end points are the meeting point.
enum MeetingEnd : unsigned {
  FirstA = 1,
  FirstB = 2,
  SecondA = 4,
  SecondB = 8,
};

struct ExactMeeting {
  // NoIntersection, PointIntersection (they share one point) or Overlap
  // (they lie on one line and share a stretch of positive length).
  int kind = NoIntersection;
  // For a PointIntersection, the end points that are the meeting point;
  // 0 when it lies inside both segments.
  unsigned ends = 0;
};

// How two segments meet, exactly. A segment whose ends are equal is a
// point: it meets what it lies on, at one point.
ExactMeeting meetExactly(const PreciseSegment& first, const PreciseSegment& second);

// The meeting point of a PointIntersection with these `ends`: the end point
// itself, exactly, where it is one; otherwise the crossing computed in
// double and kept within both segments' boxes.
void exactMeetingPoint(const PreciseSegment& first, const PreciseSegment& second, unsigned ends,
                       double& x, double& y);

// The stretch two overlapping segments share: its two ends, each an end
// point of one of them.
void sharedStretch(const PreciseSegment& first, const PreciseSegment& second, double& x0,
                   double& y0, double& x1, double& y1);
