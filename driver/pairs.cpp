#include "pairs.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "geometry/intersect.h"
#include "geometry/scene.h"
#include "signals.h"

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

LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out, Progress* progress,
                        bool fillScene) {
  RowScreen screen(segments);
  if (!out.data || !screen.columns || !screen.mayMeet) return LoopOutcome::OutOfMemory;
  Point crossing(0, 0);
  for (int i = 1; i < segments.count; ++i) {
    // Rows 1 .. i-1 hold i(i-1)/2 pairs.
    if (progress) showProgress(*progress, std::uint64_t(i) * std::uint64_t(i - 1) / 2);
    const Segment later = segments.items[i];
    screenPairs(screen.firsts, i, later, screen.mayMeet);
    // Every pair of the row stores `later`; those between two meeting pairs
    // are stored together, as one run.
    std::uint32_t laterRepeats = 0;
    for (int j = 0; j < i; ++j) {
      // Pairs the screening settled come in long stretches.
      const void* next = std::memchr(screen.mayMeet + j, 1, std::size_t(i - j));
      const int settledEnd =
          next ? int(static_cast<const unsigned char*>(next) - screen.mayMeet) : i;
      if (settledEnd > j) {
        writeApartLines(out, j, settledEnd, i);
        laterRepeats += std::uint32_t(settledEnd - j);
        j = settledEnd;
        if (j == i) break;
      }
      const int kind = intersectSegments(segments.items[j], later, &crossing);
      writeReportLine(out, j, i, kind);
      if (kind == NoIntersection) {
        ++laterRepeats;
        continue;
      }
      const bool stored =
          !fillScene || (addSegment(later, Red, laterRepeats) &&
                         (kind != PointIntersection || addPoint(crossing, Black)) &&
                         addSegment(segments.items[j], Red) && addSegment(later, Red));
      if (!stored) return LoopOutcome::OutOfMemory;
      laterRepeats = 0;
    }
    if (fillScene && !addSegment(later, Red, laterRepeats)) return LoopOutcome::OutOfMemory;
    if (reportFailed(out)) return LoopOutcome::WriteFailed;
    if (stopSignal()) return LoopOutcome::Stopped;
  }
  return LoopOutcome::Done;
}
