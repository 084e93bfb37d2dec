#include "pairs.h"

#include "geometry/intersect.h"
#include "geometry/scene.h"

LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out) {
  Point crossing(0, 0);
  for (int i = 1; i < segments.count; ++i) {
    const Segment later = segments.items[i];
    for (int j = 0; j < i; ++j) {
      const Segment earlier = segments.items[j];
      const int kind = intersectSegments(earlier, later, &crossing);
      writeReportLine(out, j, i, kind);
      bool stored;
      if (kind == NoIntersection) {
        stored = addSegment(later, Red);
      } else {
        stored = (kind != PointIntersection || addPoint(crossing, Black)) &&
                 addSegment(earlier, Red) && addSegment(later, Red);
      }
      if (!stored) return LoopOutcome::OutOfMemory;
    }
    if (out.error) return LoopOutcome::WriteFailed;
  }
  return LoopOutcome::Done;
}
