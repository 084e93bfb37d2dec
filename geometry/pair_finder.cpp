// The pairs that meet, round by round: the pairs the cells of the index
// find, with those of the tiny segments and of the traced ones, sorted into
// report order.
#include "pair_finder.h"

#include <algorithm>
#include <limits>
#include <new>
#include <span>
#include <utility>

#include "intersect.h"
#include "pair_index.h"
#include "pair_search.h"

using namespace pair_index;

namespace {

// Testing every pair screens a row of pairs many at a time, about as fast
// as the index looks at a pair in a cell. Once what the index costs, in
// pairs looked at, would come to three quarters of all pairs, testing every
// pair is cheaper.
constexpr double lookedAtShare = 0.75;

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
               std::uint32_t* at, const PairIndex& x) {
  const std::size_t rows = std::size_t(upper - lower);
  std::fill(at, at + rows + 1, 0);
  for (const PairKeys* list : lists) {
    for (const PairKey key : *list) ++at[std::size_t(laterOf(key) - lower) + 1];
  }
  for (std::size_t row = 1; row <= rows; ++row) at[row] += at[row - 1];
  for (const PairKeys* list : lists) {
    for (std::size_t k = 0; k < list->size(); ++k) {
      if ((k & 0xFFFFF) == 0 && x.stopped()) return false;
      const PairKey key = (*list)[k];
      into[at[std::size_t(laterOf(key) - lower)]++] = key;
    }
  }
  // Each row now ends where the next began.
  std::size_t begin = 0;
  for (std::size_t row = 0; row < rows; ++row) {
    if ((row & 0xFFFF) == 0 && x.stopped()) return false;
    const std::size_t end = at[row];
    if (end - begin > 1) {
      std::sort(into + begin, into + end,
                [](PairKey a, PairKey b) { return earlierOf(a) < earlierOf(b); });
    }
    begin = end;
  }
  return true;
}

// The pairs of a tiny segment with any other whose later segment lies in
// [lower, upper), each once.
bool findTinyPairs(const PairIndex& x, int lower, int upper, PairKeys& pairs) {
  for (const int t : x.tinyOnes) {
    for (int k = 0; k < x.count; ++k) {
      if (k == t || (x.tiny[k] && k > t)) continue;
      const int j = std::min(k, t), i = std::max(k, t);
      if (i < lower || i >= upper) continue;
      const int kind = meetingKind(x.options.rules, x.segments, j, i);
      if (kind != NoIntersection) pairs.push_back(pairKey(j, i, kind));
    }
    if (x.stopped()) return false;
  }
  return true;
}

// The meeting pairs whose later segment lies in [lower, upper), upper as
// far as the pairs held at once allow, in report order in `found`.
PairSearch searchRound(PairIndex& x, int lower, std::span<const PairKey>& found, int& upper) {
  // Before any line is written, testing every pair can still take over: in
  // this round, or where the rounds this one foretells would cost more.
  const double allPairs = 0.5 * x.count * (x.count - 1.0);
  const bool giveWay = lower == 0 && !x.options.evenIfDense;
  const std::uint64_t limit = giveWay ? std::uint64_t(lookedAtShare * allPairs) + 4096 : UINT64_MAX;
  PairKeys cells[2];
  std::uint64_t cost = 0;
  const PairSearch searched = searchCells(x, lower, limit, upper, cells, cost);
  if (searched != PairSearch::Found) return searched;
  const bool someRows = upper < x.count;  // the rounds after this one foretold by its cost
  if (giveWay && someRows && double(cost) * x.count / upper > double(limit)) {
    return PairSearch::Dense;
  }
  PairKeys tinyPairs, tracedPairs;
  if (!findTinyPairs(x, lower, upper, tinyPairs)) return PairSearch::Stopped;
  for (const PairKey key : x.tracedPairs) {
    if (laterOf(key) >= lower && laterOf(key) < upper) tracedPairs.push_back(key);
  }
  // In the last round the items and the cells are done with: they hold the
  // pairs and the rows' counts, and then, the rest of the index gone, the
  // pairs move into memory of their own where the room is wanted (a scene
  // filled while the report is written); else they stay in the items'.
  const std::size_t count =
      cells[0].size() + cells[1].size() + tinyPairs.size() + tracedPairs.size();
  const bool last = upper == x.count;
  Large<std::uint32_t> rows;
  PairKey* into = last ? reuse(x.items, count, x.sorted) : reuse(x.sorted, count, x.sorted);
  std::uint32_t* at = last ? reuse(x.members, std::size_t(upper - lower) + 1, rows)
                           : reuse(rows, std::size_t(upper - lower) + 1, rows);
  if (!sortPairs({&cells[0], &cells[1], &tinyPairs, &tracedPairs}, lower, upper, into, at, x)) {
    return PairSearch::Stopped;
  }
  if (last) {
    rows = Large<std::uint32_t>();
    x.start = Unfilled<std::uint32_t>();
    x.members = Unfilled<std::uint32_t>();
    x.tiny = Unfilled<unsigned char>();
    x.tracedPairs = PairKeys();
    if (into != x.sorted.data() && x.options.releaseIndex) {
      x.sorted.assign(into, into + count);
      into = x.sorted.data();
    }
    if (into == x.sorted.data()) x.items = Unfilled<Item>();
  }
  found = {into, count};
  return PairSearch::Found;
}

}  // namespace

int meetingKind(const PairRules& rules, const Segment* segments, int j, int i) {
  if (rules.exact) {
    return meetExactly(preciseSegment(rules, segments, j), preciseSegment(rules, segments, i)).kind;
  }
  Point crossing;
  return intersectSegments(segments[j], segments[i], &crossing);
}

bool exactMeetingPlace(const PairRules& rules, const Segment* segments, int j, int i, int& kind,
                       double& x, double& y) {
  const PreciseSegment first = preciseSegment(rules, segments, j);
  const PreciseSegment second = preciseSegment(rules, segments, i);
  const ExactMeeting m = meetExactly(first, second);
  kind = m.kind;
  if (m.kind == Overlap) {
    double x1, y1;
    sharedStretch(first, second, x, y, x1, y1);
  } else if (m.kind == PointIntersection) {
    exactMeetingPoint(first, second, m.ends, x, y);
  }
  return m.kind != NoIntersection;
}

PairSearch startPairSearch(PairFinder& finder, const Segment* segments, int count,
                           const PairSearchOptions& options) {
  finder = PairFinder{};
  finder.count = count;
  try {
    auto index = std::make_shared<PairIndex>();
    index->segments = segments;
    index->count = count;
    index->options = options;
    const PairSearch built = buildPairIndex(*index);
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
