// The pairs of segments that meet, found without testing every pair: an
// index proposes the pairs whose segments come close enough to meet, and
// each of those goes through intersectSegments.
#pragma once

#include <memory>
#include <span>

#include "figures.h"
#include "pair_keys.h"

struct PairIndex;

// A search in rounds over an index built once.
struct PairFinder {
  std::shared_ptr<PairIndex> index;
  int done = 0;  // every meeting pair whose later segment is below this was handed out
  int count = 0;
};

// Builds the index of `segments`, which must stay as they are while the
// finder is used.
PairSearch startPairSearch(PairFinder& finder, const Segment* segments, int count,
                           const PairSearchOptions& options = {});

// The next round: every meeting pair whose later segment lies in
// [finder.done, the new finder.done), in report order, in the finder's
// memory until the next round. Dense only in the first round, before any
// pair was handed out.
PairSearch nextMeetingPairs(PairFinder& finder, std::span<const PairKey>& pairs);

inline bool searchDone(const PairFinder& finder) {
  return finder.done >= finder.count;
}

// Every pair that intersectSegments calls meeting (a crossing or an
// overlap), in report order, all at once.
PairSearch findMeetingPairs(const Segment* segments, int count, PairKeys& pairs,
                            PairSearchOptions options = {});
