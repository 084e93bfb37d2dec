// What the pair search and its index share: a meeting pair as one number,
// how a search ended, and what it is asked to do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "figures.h"
#include "pages.h"
#include "pair_rules.h"

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
  Found,        // the pairs asked for are there, sorted
  Dense,        // so many pairs come close that testing every pair costs less
  OutOfMemory,  // nothing found
  Stopped,      // `stopped` said so
};

struct PairSearchOptions {
  // Called now and then while the search runs, from the calling thread.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress{};
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
