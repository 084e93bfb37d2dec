// The pairs of segments that meet, found without testing every pair: a
// uniform grid proposes the pairs whose segments come close enough to meet,
// and each of those goes through intersectSegments.
#pragma once

#include <cstdint>
#include <vector>

#include "figures.h"
#include "pages.h"

// The meeting pair (j, i), j < i, as one number, with how they meet:
// sorted without the kind (bit 31), pairs come in the report's order, by the
// later segment and then the earlier.
using PairKey = std::uint64_t;

inline PairKey pairKey(int j, int i, int kind) {
  return std::uint64_t(std::uint32_t(i)) << 32 | std::uint32_t(j) |
         (kind == Overlap ? 0x80000000u : 0);
}
inline int laterOf(PairKey key) {
  return int(key >> 32);
}
inline int earlierOf(PairKey key) {
  return int(key & 0x7FFFFFFFu);
}
inline int kindOf(PairKey key) {
  return key & 0x80000000u ? Overlap : PointIntersection;
}

using PairKeys = std::vector<PairKey, PageAllocator<PairKey>>;

enum class PairSearch {
  Found,        // `pairs` holds every meeting pair, sorted
  Dense,        // so many pairs come close that testing every pair costs less
  OutOfMemory,  // nothing found
};

// Finds every pair of `segments` that intersectSegments calls meeting (a
// crossing or an overlap) and puts their keys into `pairs`, in order. Calls
// `progress(done, total)` now and then while it tests, if given. With
// `evenIfDense`, never answers Dense.
PairSearch findMeetingPairs(const Segment* segments, int count, PairKeys& pairs,
                            void (*progress)(std::uint64_t done, std::uint64_t total) = nullptr,
                            bool evenIfDense = false);
