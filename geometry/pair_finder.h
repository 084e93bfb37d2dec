// The pairs of segments that meet, found without testing every pair: an
// index proposes the pairs whose segments come close enough to meet, and
// each of those goes through intersectSegments.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "exact.h"
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

// How a pair is judged: by the exercise's rules, with their tolerance, on
// the float segments; or exactly, as GIS engines judge it, on the
// coordinates as read (`precise`, one for every segment, of which the
// segments are the float roundings) or, without them, on the floats.
struct PairRules {
  bool exact = false;
  const PreciseSegment* precise = nullptr;
};

// How segments j and i meet under `rules`: NoIntersection,
// PointIntersection or Overlap.
int meetingKind(const PairRules& rules, const Segment* segments, int j, int i);

// For the exact rules: whether segments j and i meet, how (`kind`), and a
// point where they do, on both up to 2^-41 of their size: the end point or
// stretch end they share, or their crossing.
bool exactMeetingPlace(const PairRules& rules, const Segment* segments, int j, int i, int& kind,
                       double& x, double& y);

// Segment k's coordinates as the exact rules judge them.
inline PreciseSegment preciseSegment(const PairRules& rules, const Segment* segments, int k) {
  return rules.precise ? rules.precise[k] : preciseOf(segments[k]);
}

enum class PairSearch {
  Found,        // the pairs asked for are there, sorted
  Dense,        // so many pairs come close that testing every pair costs less
  OutOfMemory,  // nothing found
  Stopped,      // `stopped` said so
};

struct PairSearchOptions {
  // Called now and then while the search runs, from the calling thread.
  void (*progress)(std::uint64_t done, std::uint64_t total) = nullptr;
  // Asked often, from every thread of the search: true ends it.
  bool (*stopped)() = nullptr;
  bool evenIfDense = false;  // never answer Dense
  // The most pairs held at once: where more meet, they are found in rounds,
  // each for the rows of a range of later segments.
  std::size_t pairsAtOnce = std::size_t(32) << 20;
  // Whether the index's memory goes back before the last round's pairs are
  // handed out, the pairs copied into memory of their own, so that what is
  // done with them (a scene filled, the pairs kept) has the room. Without
  // it, they stay where they were sorted until the finder goes.
  bool releaseIndex = true;
  PairRules rules{};
};

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
