#include "crossings.h"

#include <cstdint>
#include <functional>
#include <new>
#include <unordered_set>

#include "signals.h"

namespace {

// The records of the crossings layer, one pair at a time. Where two lines
// cross or touch at a vertex, up to four pairs of their segments meet there:
// the point is written once.
struct CrossingRecords {
  const Segment* segments;
  const LoopOptions* options;
  const PairKeys* pairs;
  std::size_t next = 0;
  struct Seen {
    std::uint64_t parts;
    double x, y;
    bool operator==(const Seen&) const = default;
  };
  struct Hash {
    std::size_t operator()(const Seen& s) const {
      return std::hash<std::uint64_t>()(s.parts) ^ std::hash<double>()(s.x) * 31 ^
             std::hash<double>()(s.y) * 131;
    }
  };
  std::unordered_set<Seen, Hash> atVertices{};

  int fill(CrossingRecord& record) {
    try {
      return fillNext(record) ? 1 : 0;
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }

  // The points first, then the stretches: some formats (KML) take the
  // features of one layer only together.
  bool stretches = false;

  bool fillNext(CrossingRecord& record) {
    for (;;) {
      if (next == pairs->size()) {
        if (stretches) return false;
        stretches = true;
        next = 0;
        continue;
      }
      const PairKey key = (*pairs)[next++];
      if (stretches != (kindOf(key) == Overlap)) continue;
      const int j = earlierOf(key), i = laterOf(key);
      const Verdict v = judgePair(options->judging, segments, j, i);
      if (v.kind == NoIntersection || v.leftOut) continue;
      record = CrossingRecord{j, i, v.kind, v.x, v.y, v.x, v.y, v.sharedVertex};
      if (v.kind == Overlap) {
        overlapStretch(options->judging, segments, j, i, record);
        return true;
      }
      if (v.ends != 0 && options->judging.map) {
        const std::uint64_t parts = std::uint64_t(partOfSegment(*options->judging.map, j)) << 32 |
                                    partOfSegment(*options->judging.map, i);
        if (!atVertices.insert({parts, v.x, v.y}).second) continue;
      }
      return true;
    }
  }
};

}  // namespace

std::string writeCrossings(const std::string& path, const Segment* segments,
                           const LoopOptions& options, const PairKeys& pairs) {
  CrossingRecords records{segments, &options, &pairs};
  const auto next = [](void* context, CrossingRecord& record) {
    return static_cast<CrossingRecords*>(context)->fill(record);
  };
  return writeCrossingsLayer(path, {next, &records}, *options.judging.map);
}

bool collectMarkers(const Segment* segments, const LoopOptions& options, const PairKeys& pairs,
                    MapMarkers& markers) {
  CrossingRecords records{segments, &options, &pairs};
  markers.touchesSought = options.judging.touches;
  CrossingRecord r;
  try {
    for (int got; (got = records.fill(r)) != 0;) {
      if (got < 0 || stopSignal()) return false;
      const Point at(float(r.x0), float(r.y0));
      if (r.kind == Overlap) {
        markers.overlaps.push_back(Segment(at, Point(float(r.x1), float(r.y1))));
      } else {
        (r.kind == Touch ? markers.touches : markers.crossings).push_back(at);
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}
