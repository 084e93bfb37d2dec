#include "pairs.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <unordered_set>
#include <utility>

#include "geometry/intersect.h"
#include "geometry/pair_finder.h"
#include "geometry/scene.h"
#include "map_layer.h"
#include "signals.h"

namespace {

// The input segments, as the loops read them.
struct Segments {
  const Segment* items;
  int count;
};

// The end points of the input split by coordinate, for screenPairs, and room
// for the screening of one row.
struct RowScreen {
  float* columns = nullptr;  // ax, ay, bx, by, largest, `count` floats each
  unsigned char* mayMeet = nullptr;
  EndPoints firsts{};

  explicit RowScreen(const Segments& segments) {
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

// What the full loop stores for a pair that meets, after the `repeats` of the
// later segment for the pairs before it that do not.
// Segments are named by their input numbers: stored once each.
bool storeMeeting(const Segments& segments, int j, int i, int kind, Point crossing,
                  std::uint32_t repeats) {
  const Segment& earlier = segments.items[j];
  const Segment& later = segments.items[i];
  return addSegment(later, Red, repeats, std::uint32_t(i)) &&
         (kind != PointIntersection || addPoint(crossing, Black)) &&
         addSegment(earlier, Red, 1, std::uint32_t(j)) &&
         addSegment(later, Red, 1, std::uint32_t(i));
}

// Appends the pair to the meetings kept for the window or the crossings
// layer; false where memory ran out.
bool rememberMeeting(PairKeys& pairs, PairKey key) {
  try {
    pairs.push_back(key);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Whether the pairs are judged one by one (a map's, or exactly), rather
// than by the rules alone, many at a time.
bool judged(const LoopOptions& options) {
  return options.judging.map || options.judging.rules.exact;
}

// A judged pair's line, with a map's CSV columns where asked for.
void writeVerdict(ReportBuffer& out, const LoopOptions& options, int j, int i, const Verdict& v) {
  const std::string point =
      out.csv && report_detail::hasPoint(v.kind) ? pointText(options.judging, v) : "";
  std::string extra;
  if (options.origins) {
    appendOrigin(*options.judging.map, extra, j);
    appendOrigin(*options.judging.map, extra, i);
    extra += report_detail::hasPoint(v.kind) ? (v.sharedVertex ? ",1" : ",0") : ",";
  }
  writeJudgedLine(out, j, i, v.kind, point, extra);
}

// The lines of pairs that do not meet, from `from` to `to` in row i.
void writeApart(ReportBuffer& out, const LoopOptions& options, int from, int to, int i) {
  if (!options.origins) {
    writeApartLines(out, from, to, i);
    return;
  }
  for (int k = from; k < to; ++k) writeVerdict(out, options, k, i, Verdict{});
}

// Where a pair meets by the verdict: the scene's crossing point, a float.
Point meetingPoint(const Verdict& v) {
  return Point(float(v.x), float(v.y));
}

// The full loop: every pair, one row at a time.
LoopOutcome reportEveryPair(const Segments& segments, ReportBuffer& out,
                            const LoopOptions& options) {
  RowScreen screen(segments);
  if (!out.data || !screen.columns || !screen.mayMeet) return LoopOutcome::OutOfMemory;
  Point crossing(0, 0);
  // The screening settles pairs as the rules would; exact judgement tests
  // every pair, most of them apart at their boxes.
  const bool screened = !options.judging.rules.exact;
  for (int i = 1; i < segments.count; ++i) {
    // Rows 1 .. i-1 hold i(i-1)/2 pairs.
    if (options.progress) {
      showProgress(*options.progress, std::uint64_t(i) * std::uint64_t(i - 1) / 2);
    }
    const Segment later = segments.items[i];
    if (screened) {
      screenPairs(screen.firsts, i, later, screen.mayMeet);
    } else {
      std::memset(screen.mayMeet, 1, std::size_t(i));
    }
    // Every pair of the row stores `later`; those between two meeting pairs
    // are stored together, as one run.
    std::uint32_t laterRepeats = 0;
    for (int j = 0; j < i; ++j) {
      // Pairs the screening settled come in long stretches.
      const void* next = std::memchr(screen.mayMeet + j, 1, std::size_t(i - j));
      const int settledEnd =
          next ? int(static_cast<const unsigned char*>(next) - screen.mayMeet) : i;
      if (settledEnd > j) {
        if (!options.meetingOnly) writeApart(out, options, j, settledEnd, i);
        laterRepeats += std::uint32_t(settledEnd - j);
        j = settledEnd;
        if (j == i) break;
      }
      int kind;
      if (judged(options)) {
        const Verdict v = judgePair(options.judging, segments.items, j, i);
        kind = v.leftOut ? -1 : v.kind;
        if (kind > 0) writeVerdict(out, options, j, i, v);
        kind = segmentKind(kind);
        crossing = meetingPoint(v);
      } else {
        kind = intersectSegments(segments.items[j], later, &crossing);
        if (kind != NoIntersection) writeReportLine(out, j, i, kind, crossing);
      }
      if (kind <= 0) {  // apart, or left out of the report
        if (!options.meetingOnly && kind == NoIntersection) writeApart(out, options, j, j + 1, i);
        ++laterRepeats;
        continue;
      }
      if (options.fillScene && !storeMeeting(segments, j, i, kind, crossing, laterRepeats)) {
        return LoopOutcome::OutOfMemory;
      }
      if (options.meetings && !rememberMeeting(*options.meetings, pairKey(j, i, kind))) {
        return LoopOutcome::OutOfMemory;
      }
      laterRepeats = 0;
    }
    if (options.fillScene && !addSegment(later, Red, laterRepeats, std::uint32_t(i))) {
      return LoopOutcome::OutOfMemory;
    }
    if (reportFailed(out)) return LoopOutcome::WriteFailed;
    if (stopSignal()) return LoopOutcome::Stopped;
  }
  return LoopOutcome::Done;
}

// The meeting pairs found by the index for the rows [from, to), in report
// order. The scene gets exactly what the full loop gives it, repeats
// included: the later segment of the pairs in between is stored as one run.
LoopOutcome reportFoundPairs(const Segments& segments, std::span<const PairKey> pairs, int from,
                             int to, ReportBuffer& out, const LoopOptions& options) {
  Point crossing(0, 0);
  std::size_t next = 0;
  const bool needCrossing = options.fillScene || out.csv;
  for (int i = std::max(from, 1); i < to; ++i) {
    const Segment later = segments.items[i];
    int previous = -1;  // the earlier segment of the row's last meeting pair
    for (; next < pairs.size() && laterOf(pairs[next]) == i; ++next) {
      const int j = earlierOf(pairs[next]);
      // The kind alone makes a line of words; a CSV row and the scene need
      // the crossing, from the earlier segment, which is anywhere in the
      // input: asked for well ahead.
      int kind = kindOf(pairs[next]);
      if (needCrossing && next + 16 < pairs.size()) {
        __builtin_prefetch(&segments.items[earlierOf(pairs[next + 16])]);
        if (options.fillScene) scene.segments.expect(std::uint32_t(earlierOf(pairs[next + 16])));
      }
      if (judged(options)) {
        const Verdict v = judgePair(options.judging, segments.items, j, i);
        if (v.leftOut) continue;
        writeVerdict(out, options, j, i, v);
        kind = segmentKind(v.kind);
        crossing = meetingPoint(v);
      } else {
        if (needCrossing) kind = intersectSegments(segments.items[j], later, &crossing);
        writeReportLine(out, j, i, kind, crossing);
      }
      if (options.fillScene &&
          !storeMeeting(segments, j, i, kind, crossing, std::uint32_t(j - previous - 1))) {
        return LoopOutcome::OutOfMemory;
      }
      previous = j;
    }
    if (options.fillScene &&
        !addSegment(later, Red, std::uint32_t(i - previous - 1), std::uint32_t(i))) {
      return LoopOutcome::OutOfMemory;
    }
    if ((i & 0x3FF) == 0 || next == pairs.size()) {
      if (reportFailed(out)) return LoopOutcome::WriteFailed;
      if (stopSignal()) return LoopOutcome::Stopped;
    }
  }
  return LoopOutcome::Done;
}

LoopOutcome outcomeOf(PairSearch found) {
  return found == PairSearch::Stopped ? LoopOutcome::Stopped : LoopOutcome::OutOfMemory;
}

// The meeting-only report, round by round: as many rows at a time as the
// pairs held at once allow.
LoopOutcome reportMeetingPairs(const Segments& segments, ReportBuffer& out,
                               const LoopOptions& options) {
  PairFinder finder;
  // The search's progress line, for the finder, which knows nothing of
  // terminals.
  Progress searching = startPhase("trazenje parova", 1);
  const auto showSearch = [&searching](std::uint64_t done, std::uint64_t total) {
    searching.totalPairs = total;
    showProgress(searching, done);
  };
  PairSearch found =
      startPairSearch(finder, segments.items, segments.count,
                      {.progress = showSearch,
                       .stopped = stopAsked,
                       .releaseIndex = options.fillScene || options.meetings != nullptr,
                       .rules = options.judging.rules});
  std::span<const PairKey> pairs;
  while (found == PairSearch::Found && !searchDone(finder)) {
    const int from = finder.done;
    found = nextMeetingPairs(finder, pairs);
    if (found != PairSearch::Found) break;
    const LoopOutcome outcome = reportFoundPairs(segments, pairs, from, finder.done, out, options);
    if (outcome != LoopOutcome::Done) return outcome;
    if (!options.meetings) continue;
    const std::size_t kept = options.meetings->size();
    try {
      options.meetings->insert(options.meetings->end(), pairs.begin(), pairs.end());
    } catch (const std::bad_alloc&) {
      return LoopOutcome::OutOfMemory;
    }
    keepReported(segments.items, options, *options.meetings, kept);
  }
  endProgress(searching);
  if (found == PairSearch::Dense) return reportEveryPair(segments, out, options);
  return found == PairSearch::Found ? LoopOutcome::Done : outcomeOf(found);
}

}  // namespace

void keepReported(const Segment* segments, const LoopOptions& options, PairKeys& pairs,
                  std::size_t from) {
  if (!options.judging.map) return;
  std::size_t kept = from;
  for (std::size_t k = from; k < pairs.size(); ++k) {
    const int j = earlierOf(pairs[k]), i = laterOf(pairs[k]);
    const Verdict v = judgePair(options.judging, segments, j, i);
    if (!v.leftOut) pairs[kept++] = pairKey(j, i, segmentKind(v.kind));
  }
  pairs.resize(kept);
}

LoopOutcome reportPairs(std::span<const Segment> input, ReportBuffer& out, LoopOptions options) {
  const Segments segments{input.data(), int(input.size())};
  if (!out.data) return LoopOutcome::OutOfMemory;
  if (options.fillScene && !scene.segments.expectKeys(std::uint32_t(segments.count))) {
    return LoopOutcome::OutOfMemory;
  }
  if (!options.meetingOnly) return reportEveryPair(segments, out, options);
  return reportMeetingPairs(segments, out, options);
}
