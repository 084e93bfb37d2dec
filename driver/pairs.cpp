#include "pairs.h"

#include <cstdint>
#include <cstdlib>

#include "geometry/intersect.h"
#include "geometry/scene.h"

namespace {

// The end points of the input split by coordinate, for screenPairs, and room
// for the screening of one row.
struct RowScreen {
  float* columns = nullptr;  // ax, ay, bx, by, largest, `count` floats each
  unsigned char* mayMeet = nullptr;
  EndPoints firsts{};

  explicit RowScreen(const SegmentArray& segments) {
    const std::size_t n = std::size_t(segments.count);
    columns = static_cast<float*>(std::malloc(5 * n * sizeof(float) + 1));
    mayMeet = static_cast<unsigned char*>(std::malloc(n + 1));
    if (!columns) return;
    firsts = {columns, columns + n, columns + 2 * n, columns + 3 * n, columns + 4 * n};
    for (std::size_t k = 0; k < n; ++k) {
      columns[k] = segments.items[k].A.x;
      columns[n + k] = segments.items[k].A.y;
      columns[2 * n + k] = segments.items[k].B.x;
      columns[3 * n + k] = segments.items[k].B.y;
      columns[4 * n + k] = largestMagnitude(segments.items[k]);
    }
  }
  RowScreen(const RowScreen&) = delete;
  RowScreen& operator=(const RowScreen&) = delete;
  ~RowScreen() {
    std::free(columns);
    std::free(mayMeet);
  }
};

}  // namespace

LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out, Progress* progress) {
  RowScreen screen(segments);
  if (!out.data || !screen.columns || !screen.mayMeet) return LoopOutcome::OutOfMemory;
  Point crossing(0, 0);
  for (int i = 1; i < segments.count; ++i) {
    // Rows 1 .. i-1 hold i(i-1)/2 pairs.
    if (progress) showProgress(*progress, std::uint64_t(i) * std::uint64_t(i - 1) / 2);
    const Segment later = segments.items[i];
    screenPairs(screen.firsts, i, later, screen.mayMeet);
    // Every pair of the row stores `later`; only the first time (j = 0) can it
    // widen the corners, so the other times it is copied into the list directly.
    Segment laterRed = later;
    laterRed.colour = Red;
    for (int j = 0; j < i; ++j) {
      const int kind = screen.mayMeet[j] ? intersectSegments(segments.items[j], later, &crossing)
                                         : NoIntersection;
      writeReportLine(out, j, i, kind);
      bool stored = true;
      if (kind != NoIntersection) {
        stored = (kind != PointIntersection || addPoint(crossing, Black)) &&
                 addSegment(segments.items[j], Red);
      }
      stored = stored && (j > 0 ? scene.segments.append(laterRed) : addSegment(later, Red));
      if (!stored) return LoopOutcome::OutOfMemory;
    }
    if (out.error) return LoopOutcome::WriteFailed;
  }
  return LoopOutcome::Done;
}
