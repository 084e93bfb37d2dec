// What a click on the window can tell about the report: which segment or
// crossing point is under the pointer, what it meets, and the caption that
// says so.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "geometry/figures.h"
#include "geometry/pair_keys.h"
#include "pick.h"

struct Selection {
  Picked picked;
  std::vector<int> crossed, overlapped;    // a segment's partners, by number
  std::vector<std::pair<int, int>> pairs;  // a crossing point's pairs, report order
  std::vector<Segment> highlighted;        // the selected segment, if any, last
  std::vector<float> dots;                 // crossing points on top, x, y pairs
  std::string head;                        // "Duz 5: (1, 0.5) - (1, 3.5)"
  std::vector<std::string> pieces;         // "; sece: 0", ", 1", ...
};

// What the window's clicks look up: the input segments, numbered as in the
// report, and the pairs that meet, in report order, kept while the window is
// open.
struct Inspection {
  std::span<const Segment> segments;
  PairKeys meetings;
  bool segmentZeroMeets = false;  // segment 0 is drawn only where it meets another
  SegmentCells segmentIndex;
  // The pairs in which each segment is the earlier: those of segment k are
  // meetings[partnerPairs[partnerStart[k] ...]] up to partnerStart[k + 1].
  // Empty where memory ran out; then the pairs are searched instead.
  LargeVector<std::uint32_t> partnerStart, partnerPairs;
  // Where a selected segment comes from (a map's layer, feature, part and
  // vertex), said in its caption after its ends; nothing for "".
  std::function<std::string(int segment)> origin;
  // Where two segments that meet at a point meet, as the report judged them
  // (exactly, say): false where they do not meet at one point. Without it,
  // by intersectSegments.
  std::function<bool(int j, int i, Point& at)> crossing;
  // The c readout of a point, where a map's coordinate system says more
  // than the plain numbers: degrees, or the layer's units.
  std::function<std::string(double x, double y)> coordinates;
};

Inspection inspectReport(std::span<const Segment> segments, PairKeys meetings);

// What lies at (x, y) within `radius`, with everything the window shows of
// it; `points` are the crossing points drawn, x, y pairs, in `pointCells`
// where the drawing keeps them in cells.
Selection selectAt(const Inspection& inspection, double x, double y, double radius,
                   const float* points, std::size_t pointCount,
                   const RunCells* pointCells = nullptr);

// The whole caption.
std::string captionOf(const Selection& selection);

// The caption cut to what `width` holds, measured by `measure`: the pieces
// that fit, then "... (+N)" for the N left out.
std::string fittedCaption(const Selection& selection, int width,
                          const std::function<int(const std::string&)>& measure);

// The shortest decimal that reads back as the same float.
std::string shortest(float v);
