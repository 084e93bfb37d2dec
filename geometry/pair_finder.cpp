// The pairs that meet, round by round: the pairs the cells of the index
// find, with those of the tiny segments and of the traced ones, sorted into
// report order.
#include "pair_finder.h"

#include <algorithm>
#include <limits>
#include <new>
#include <span>
#include <utility>

#include "buckets.h"
#include "intersect.h"
#include "pair_index.h"
#include "pair_search.h"
#include "stopping.h"

using namespace pair_index;

namespace {

// Testing every pair screens a row of pairs many at a time, about as fast
// as the index looks at a pair in a cell. Once what the index costs, in
// pairs looked at, would come to three quarters of all pairs, testing every
// pair is cheaper.
constexpr double lookedAtShare = 0.75;

// Where this share of the pairs meets, testing every pair is cheaper than
// any index: the index tests each meeting pair too, and keeps and sorts it,
// while the full loop settles the pairs apart many at a time. A sample of
// pairs tells, before any index is built.
constexpr double meetingShare = 0.125;
constexpr int samplePairs = 4096;

// Whether a fixed sample of the pairs says that at least meetingShare of
// them meet. Inputs with few pairs are not sampled.
bool mostPairsMeet(const Segment* segments, int count, const PairRules& rules) {
  if (0.5 * count * (count - 1.0) < 16.0 * samplePairs) return false;
  std::uint64_t state = 0x9E3779B97F4A7C15u;  // splitmix64, the same pairs every run
  const auto next = [&state] {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  };
  int meeting = 0;
  for (int k = 0; k < samplePairs; ++k) {
    const int a = int(next() % std::uint64_t(count)), b = int(next() % std::uint64_t(count - 1));
    const int other = b >= a ? b + 1 : b;
    const int j = std::min(a, other), i = std::max(a, other);
    meeting += meetingKind(rules, segments, j, i) != NoIntersection;
  }
  return meeting >= meetingShare * samplePairs;
}

// A block of `count` elements of T in the memory of `v`, if it holds that
// many, or else in `spare`: fresh memory is costly on some machines, where
// each page is cleared as it is first touched.
template <class T, class V>
T* reuse(V& v, std::size_t count, Large<T>& spare) {
  if (v.size() * sizeof(v[0]) >= count * sizeof(T)) return reinterpret_cast<T*>(v.data());
  spare.resize(count);
  return spare.data();
}

// The pairs of the lists, into report order: by the later segment, counted
// into rows, then by the earlier within each row.
bool sortPairs(const std::vector<const PairKeys*>& lists, int lower, int upper, PairKey* into,
               std::uint32_t* at, const PairIndex& index) {
  const std::size_t rows = std::size_t(upper - lower);
  bool stopped = false;
  sortIntoBuckets(
      at, rows,
      [&](auto count) {
        for (const PairKeys* list : lists) {
          for (const PairKey key : *list) count(std::size_t(laterOf(key) - lower));
        }
      },
      [&](auto place) {
        for (const PairKeys* list : lists) {
          for (std::size_t k = 0; k < list->size() && !stopped; ++k) {
            stopped = stopDue(k, [&] { return index.stopped(); });
            const PairKey key = (*list)[k];
            into[place(std::size_t(laterOf(key) - lower))] = key;
          }
        }
      });
  for (std::size_t row = 0; row < rows && !stopped; ++row) {
    stopped = stopDue(row, [&] { return index.stopped(); });
    if (at[row + 1] - at[row] > 1) {
      std::sort(into + at[row], into + at[row + 1],
                [](PairKey a, PairKey b) { return earlierOf(a) < earlierOf(b); });
    }
  }
  return !stopped;
}

// The pairs of a tiny segment with any other whose later segment lies in
// [lower, upper), each once.
bool findTinyPairs(const PairIndex& index, int lower, int upper, PairKeys& pairs) {
  for (const int t : index.tinyOnes) {
    for (int k = 0; k < index.count; ++k) {
      if (k == t || (index.tiny[k] && k > t)) continue;
      const int j = std::min(k, t), i = std::max(k, t);
      if (i < lower || i >= upper) continue;
      const int kind = meetingKind(index.options.rules, index.segments, j, i);
      if (kind != NoIntersection) pairs.push_back(pairKey(j, i, kind));
    }
    if (index.stopped()) return false;
  }
  return true;
}

// The meeting pairs whose later segment lies in [lower, upper), upper as
// far as the pairs held at once allow, in report order in `found`.
PairSearch searchRound(PairIndex& index, int lower, std::span<const PairKey>& found, int& upper) {
  // Before any line is written, testing every pair can still take over: in
  // this round, or where the rounds this one foretells would cost more.
  const double allPairs = 0.5 * index.count * (index.count - 1.0);
  const bool giveWay = lower == 0 && !index.options.evenIfDense;
  const std::uint64_t limit = giveWay ? std::uint64_t(lookedAtShare * allPairs) + 4096 : UINT64_MAX;
  PairKeys cells[2];
  std::uint64_t cost = 0;
  const PairSearch searched = searchCells(index, lower, limit, upper, cells, cost);
  if (searched != PairSearch::Found) return searched;
  const bool someRows = upper < index.count;  // the rounds after this one foretold by its cost
  if (giveWay && someRows && double(cost) * index.count / upper > double(limit)) {
    return PairSearch::Dense;
  }
  PairKeys tinyPairs, tracedPairs;
  if (!findTinyPairs(index, lower, upper, tinyPairs)) return PairSearch::Stopped;
  for (const PairKey key : index.tracedPairs) {
    if (laterOf(key) >= lower && laterOf(key) < upper) tracedPairs.push_back(key);
  }
  // In the last round the items and the cells are done with: they hold the
  // pairs and the rows' counts, and then, the rest of the index gone, the
  // pairs move into memory of their own where the room is wanted (a scene
  // filled while the report is written); else they stay in the items'.
  const std::size_t count =
      cells[0].size() + cells[1].size() + tinyPairs.size() + tracedPairs.size();
  const bool last = upper == index.count;
  Large<std::uint32_t> rows;
  PairKey* into =
      last ? reuse(index.items, count, index.sorted) : reuse(index.sorted, count, index.sorted);
  std::uint32_t* at = last ? reuse(index.members, std::size_t(upper - lower) + 1, rows)
                           : reuse(rows, std::size_t(upper - lower) + 1, rows);
  if (!sortPairs({&cells[0], &cells[1], &tinyPairs, &tracedPairs}, lower, upper, into, at, index)) {
    return PairSearch::Stopped;
  }
  if (last) {
    rows = Large<std::uint32_t>();
    index.start = Unfilled<std::uint32_t>();
    index.members = Unfilled<std::uint32_t>();
    index.tiny = Unfilled<unsigned char>();
    index.tracedPairs = PairKeys();
    if (into != index.sorted.data() && index.options.releaseIndex) {
      index.sorted.assign(into, into + count);
      into = index.sorted.data();
    }
    if (into == index.sorted.data()) index.items = Unfilled<Item>();
  }
  found = {into, count};
  return PairSearch::Found;
}

// The pairs among the traced segments. Two long lines share a great many
// cells, and would be looked at in each; among themselves they are few, and
// an index of their own, with cells as wide as they are long, finds their
// pairs each in one cell. Where they are so many that their pairs would not
// fit at once, the cells find them as they find any others. False when
// stopped.
bool findTracedPairs(PairIndex& index) {
  std::vector<int> traced;
  for (const Item& item : index.items) {
    if (item.traced()) traced.push_back(item.index());
  }
  if (traced.size() < 2) return true;
  std::sort(traced.begin(), traced.end());
  std::vector<Segment> segments;
  std::vector<PreciseSegment> precise;
  segments.reserve(traced.size());
  for (const int k : traced) {
    segments.push_back(index.segments[k]);
    if (index.rounded()) precise.push_back(index.options.rules.precise[k]);
  }
  PairRules rules = index.options.rules;
  if (index.rounded()) rules.precise = precise.data();
  PairFinder finder;
  PairSearch found = startPairSearch(finder, segments.data(), int(segments.size()),
                                     {.stopped = index.options.stopped,
                                      .evenIfDense = true,
                                      .pairsAtOnce = index.options.pairsAtOnce / 2,
                                      .rules = rules});
  std::span<const PairKey> pairs;
  if (found == PairSearch::Found) found = nextMeetingPairs(finder, pairs);
  if (found == PairSearch::Stopped) return false;
  if (found != PairSearch::Found || !searchDone(finder)) return true;
  index.tracedPairs.reserve(pairs.size());
  for (const PairKey key : pairs) {
    index.tracedPairs.push_back(pairKey(traced[earlierOf(key)], traced[laterOf(key)], kindOf(key)));
  }
  index.tracedApart = true;
  return true;
}

}  // namespace

PairSearch startPairSearch(PairFinder& finder, const Segment* segments, int count,
                           const PairSearchOptions& options) {
  finder = PairFinder{};
  finder.count = count;
  if (!options.evenIfDense && mostPairsMeet(segments, count, options.rules)) {
    return PairSearch::Dense;
  }
  try {
    auto index = std::make_shared<PairIndex>();
    index->segments = segments;
    index->count = count;
    index->options = options;
    PairSearch built = buildPairIndex(*index);
    if (built == PairSearch::Found && !findTracedPairs(*index)) built = PairSearch::Stopped;
    if (built == PairSearch::Found) finder.index = std::move(index);
    return built;
  } catch (const std::bad_alloc&) {
    return PairSearch::OutOfMemory;
  }
}

PairSearch nextMeetingPairs(PairFinder& finder, std::span<const PairKey>& pairs) {
  pairs = {};
  if (searchDone(finder)) return PairSearch::Found;
  try {
    int upper = finder.count;
    const PairSearch found = searchRound(*finder.index, finder.done, pairs, upper);
    if (found != PairSearch::Found) {
      pairs = {};
      return found;
    }
    finder.done = upper;
    return PairSearch::Found;
  } catch (const std::bad_alloc&) {
    pairs = {};
    return PairSearch::OutOfMemory;
  }
}

PairSearch findMeetingPairs(const Segment* segments, int count, PairKeys& pairs,
                            PairSearchOptions options) {
  options.pairsAtOnce = std::numeric_limits<std::size_t>::max();
  PairFinder finder;
  pairs.clear();
  PairSearch found = startPairSearch(finder, segments, count, options);
  std::span<const PairKey> round;
  if (found == PairSearch::Found) found = nextMeetingPairs(finder, round);
  pairs.assign(round.begin(), round.end());
  return found;
}
