// GEOS, the geometry engine behind PostGIS, QGIS and shapely, as the
// referee of a map's answers: every pair of a layer's segments that meets,
// classified by GEOS. For the tests and the bench; the program itself never
// links it.
#pragma once

#include <string>
#include <vector>

struct RefereeSegment {
  double ax, ay, bx, by;
  int part;
};

// A line string, or a polygon's ring: segments [first, last].
struct RefereePart {
  int first, last;
  bool closed;
};

struct RefereeLayer {
  std::vector<RefereeSegment> segments;
  std::vector<RefereePart> parts;
};

// Every line string and ring of the file's layers, in feature order, part
// by part, numbered as the program numbers them: a segment between each two
// consecutive vertices, a vertex that repeats the one before it dropped.
// False, with GDAL's reason in `error`, where the file cannot be read.
bool readRefereeLayer(const std::string& path, RefereeLayer& layer, std::string& error);

enum class RefereeClass { None, Cross, Touch, Overlap };

struct RefereePair {
  int j, i;  // j < i
  RefereeClass kind;
  bool sharedVertex;  // the meeting point is an end point of both segments
  double x, y;        // the meeting point of a crossing or touch
};

// Every pair that meets, in report order, but a line's joints (two
// consecutive pieces, or the last and first of a closed part, that meet
// only at their shared vertex). GEOSRelate decides on the two segments as
// two-point line strings; lifted to their lines, a single meeting point
// inside both lines is a crossing (a vertex in the middle of a line is
// inside it), one at an end point of either line a touch, and a shared
// stretch of positive length an overlap.
std::vector<RefereePair> refereePairs(const RefereeLayer& layer);

const char* refereeClassName(RefereeClass kind);  // "cross", "touch", "overlap", "none"
