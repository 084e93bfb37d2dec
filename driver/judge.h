// How a pair that the report names meets: by the exercise's rules or
// exactly, and for a map, as GIS tools class the meeting of two lines.
#pragma once

#include <string>

#include "geometry/pair_finder.h"
#include "map_layer.h"

struct Judging {
  PairRules rules{};
  // Where the segments are a map's, where they come from (see map_layer.h):
  // a meeting is classed by the lines they belong to, and the joints of a
  // line and its touches (unless `touches`) are left out.
  const MapLayers* map = nullptr;
  bool touches = false;
};

struct Verdict {
  // NoIntersection, PointIntersection (for a map: a point inside both
  // lines), Overlap (a shared stretch), or for a map Touch (a point at an
  // end of either line).
  int kind = NoIntersection;
  bool leftOut = false;       // a meeting the report does not name: a joint, a touch
  double x = 0, y = 0;        // the meeting point of a PointIntersection or Touch
  unsigned ends = 0;          // the end points of the segments that are that point
  bool sharedVertex = false;  // it is a vertex of both lines
};

Verdict judgePair(const Judging& judging, const Segment* segments, int j, int i);

// The kind a verdict has among the exercise's three: a touch is a point.
inline int segmentKind(int kind) {
  return kind == Touch ? PointIntersection : kind;
}

// The CSV's "x,y" of the verdict's point: the shortest decimals that read
// back as the same double where judged exactly, as the same float where
// judged by the rules (whose crossings are floats).
std::string pointText(const Judging& judging, const Verdict& verdict);

// The stretch two overlapping segments share, for the crossings layer.
void overlapStretch(const Judging& judging, const Segment* segments, int j, int i,
                    CrossingRecord& record);
