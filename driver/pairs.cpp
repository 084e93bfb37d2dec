#include "pairs.h"

#include <cstdint>

#include "geometry/intersect.h"
#include "geometry/scene.h"

LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out, Progress* progress) {
  Point crossing(0, 0);
  for (int i = 1; i < segments.count; ++i) {
    // Rows 1 .. i-1 hold i(i-1)/2 pairs.
    if (progress) showProgress(*progress, std::uint64_t(i) * std::uint64_t(i - 1) / 2);
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
