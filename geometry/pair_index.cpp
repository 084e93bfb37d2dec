#include "pair_index.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "intersect.h"
#include "two_threads.h"

using namespace pair_index;

namespace {

// A share of all pairs meeting a tiny segment past which testing every pair
// costs less.
constexpr double tinyShare = 0.25;
// A top cell holds the segments of its box or of its trace: no more
// placements than this many per segment, or the cells are made larger.
constexpr std::uint64_t placementsPerSegment = 8;

float smallestNonzero(const Segment& s) {
  float smallest = INFINITY;
  for (const float v : {s.A.x, s.A.y, s.B.x, s.B.y}) {
    if (v != 0) smallest = std::min(smallest, std::fabs(v));
  }
  return smallest;
}

// What the top grid is made from: the extent of the widened segments and
// a sample of how far one reaches in x or y, for their median.
struct Extent {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  std::vector<float> sample;
  double median = 0;
  double pad = 0;
};

void widen(Extent& e, const Segment* segments, long long from, long long to,
           const Unfilled<unsigned char>& tiny, long long every, const PairRules& rules) {
  for (long long k = from; k < to; ++k) {
    if (tiny[k]) continue;
    const Segment& s = segments[k];
    const double reach = reachOf(s, rules);
    e.minX = std::min(e.minX, std::min(s.A.x, s.B.x) - reach);
    e.minY = std::min(e.minY, std::min(s.A.y, s.B.y) - reach);
    e.maxX = std::max(e.maxX, std::max(s.A.x, s.B.x) + reach);
    e.maxY = std::max(e.maxY, std::max(s.A.y, s.B.y) + reach);
    if (k % every != 0) continue;
    e.sample.push_back(float(
        std::max(std::fabs(double{s.B.x} - s.A.x), std::fabs(double{s.B.y} - s.A.y)) + 2 * reach));
  }
}

// The two halves' extents as one, with the median and the pad: the median
// from a sample, as an estimate is all the cell size needs.
Extent joined(Extent (&halves)[2]) {
  Extent e = std::move(halves[0]);
  const Extent& other = halves[1];
  e.minX = std::min(e.minX, other.minX);
  e.minY = std::min(e.minY, other.minY);
  e.maxX = std::max(e.maxX, other.maxX);
  e.maxY = std::max(e.maxY, other.maxY);
  e.sample.insert(e.sample.end(), other.sample.begin(), other.sample.end());
  e.sample.push_back(0);
  auto middle = e.sample.begin() + std::ptrdiff_t(e.sample.size() / 2);
  std::nth_element(e.sample.begin(), middle, e.sample.end());
  e.median = *middle;
  const double scale = std::max({std::fabs(e.minX), std::fabs(e.minY), std::fabs(e.maxX),
                                 std::fabs(e.maxY), std::numeric_limits<double>::min()});
  e.pad = 0x1p-40 * scale;
  return e;
}

// Cells of width at least `h`, and no more cells than about one for every
// two segments: crowded cells are divided where they are.
Grid gridOf(const Extent& e, int count, double h) {
  return gridOver({e.minX, e.minY, e.maxX, e.maxY}, 0.5 * double(count) + 16, h, e.pad);
}

// The build in two halves of the input, one for each thread: each counts
// its own segments by block and by cell, so that each writes its items and
// its members into places of its own, with no locks.
struct Halves {
  PairIndex& x;
  std::atomic<bool> stopped{false};
  std::uint64_t placed[2] = {};
  // Items of each half in each block, then where they start; the first
  // half's come first in each block.
  std::vector<std::size_t> begin[2] = {}, count[2] = {};
  Large<std::uint32_t> cursor[2] = {};  // the next member of each cell, for each half

  std::size_t blocks() const { return (x.g.cellCount() >> 2 * x.g.shift) + 1; }
  std::size_t blockOf(const Item& item) const {
    return cornerCell(widenedBox(item), x.g) >> 2 * x.g.shift;
  }
  bool stop(long long k) {
    if ((k & 0xFFFF) != 0) return false;
    if (x.stopped()) stopped = true;
    return stopped;
  }

  // Counts the half's items by block, and its placements.
  void countBlocks(int half) {
    long long from, to;
    halfOf(half, x.count, from, to);
    count[half].assign(blocks(), 0);
    std::uint64_t n = 0;
    for (long long k = from; k < to && !stop(k); ++k) {
      if (x.tiny[k]) continue;
      const Item item = itemOf(x.segments[k], int(k), x.g, x.options.rules);
      ++count[half][blockOf(item)];
      forEachCell(item, x.g, [&](std::uint32_t) { ++n; });
    }
    placed[half] = n;
  }

  void findPlaces() {
    begin[0].resize(blocks());
    begin[1].resize(blocks());
    std::size_t sum = 0;
    for (std::size_t block = 0; block < blocks(); ++block) {
      begin[0][block] = sum;
      begin[1][block] = sum + count[0][block];
      sum += count[0][block] + count[1][block];
    }
  }

  // Writes the half's items into its places in block order.
  void placeItems(int half) {
    long long from, to;
    halfOf(half, x.count, from, to);
    std::vector<std::size_t> next = begin[half];
    for (long long k = from; k < to && !stop(k); ++k) {
      if (x.tiny[k]) continue;
      const Item item = itemOf(x.segments[k], int(k), x.g, x.options.rules);
      x.items[next[blockOf(item)]++] = item;
    }
  }

  // The members are placed by halves of the items in block order, so that
  // the two threads write into different cells but where the halves meet.
  void itemHalf(int half, std::size_t& from, std::size_t& to) const {
    const std::size_t middle = begin[0][blocks() / 2];
    from = half == 0 ? 0 : middle;
    to = half == 0 ? middle : x.items.size();
  }

  void countMembers(int half) {
    std::size_t from, to;
    itemHalf(half, from, to);
    cursor[half].assign(x.g.cellCount(), 0);
    std::uint32_t* counts = cursor[half].data();
    for (std::size_t m = from; m < to && !stop((long long)m); ++m) {
      forEachCell(x.items[m], x.g, [&](std::uint32_t cell) { ++counts[cell]; });
    }
  }

  // The cells' starts; each half's cursor at its first place in each cell.
  void findMemberPlaces() {
    const std::size_t cells = x.g.cellCount();
    x.start.resize(cells + 1);
    x.start[0] = 0;
    for (std::size_t cell = 0; cell < cells; ++cell) {
      const std::uint32_t first = cursor[0][cell], second = cursor[1][cell];
      cursor[0][cell] = x.start[cell];
      cursor[1][cell] = x.start[cell] + first;
      x.start[cell + 1] = x.start[cell] + first + second;
    }
  }

  // Puts the positions of the half's items into their cells.
  void placeMembers(int half) {
    std::size_t from, to;
    itemHalf(half, from, to);
    std::uint32_t* next = cursor[half].data();
    for (std::size_t m = from; m < to && !stop((long long)m); ++m) {
      forEachCell(x.items[m], x.g,
                  [&](std::uint32_t cell) { x.members[next[cell]++] = std::uint32_t(m); });
    }
  }
};

// Pieces of work of about equal size, many more than threads, taken in turn
// by whichever is free.
void cutIntoChunks(PairIndex& x) {
  const std::size_t cellCount = x.g.cellCount();
  const auto workOf = [&](std::size_t cell) {
    const double k = std::min<double>(x.start[cell + 1] - x.start[cell], 64);
    return 2 + k * k;
  };
  double total = 0;
  for (std::size_t cell = 0; cell < cellCount; ++cell) total += workOf(cell);
  const double piece = total / 256;
  x.chunks.assign(1, 0);
  double sum = 0;
  for (std::size_t cell = 0; cell < cellCount; ++cell) {
    sum += workOf(cell);
    if (sum >= piece) {
      x.chunks.push_back(cell + 1);
      sum = 0;
    }
  }
  if (x.chunks.back() != cellCount) x.chunks.push_back(cellCount);
}

// The pairs among the traced segments. Two long lines share a great many
// cells, and would be looked at in each; among themselves they are few, and
// an index of their own, with cells as wide as they are long, finds their
// pairs each in one cell. Where they are so many that their pairs would not
// fit at once, the cells find them as they find any others. False when
// stopped.
bool findTracedPairs(PairIndex& x) {
  std::vector<int> traced;
  for (const Item& item : x.items) {
    if (item.traced()) traced.push_back(item.index());
  }
  if (traced.size() < 2) return true;
  std::sort(traced.begin(), traced.end());
  std::vector<Segment> segments;
  std::vector<PreciseSegment> precise;
  segments.reserve(traced.size());
  for (const int k : traced) {
    segments.push_back(x.segments[k]);
    if (x.rounded()) precise.push_back(x.options.rules.precise[k]);
  }
  PairRules rules = x.options.rules;
  if (x.rounded()) rules.precise = precise.data();
  PairFinder finder;
  PairSearch found = startPairSearch(finder, segments.data(), int(segments.size()),
                                     {.stopped = x.options.stopped,
                                      .evenIfDense = true,
                                      .pairsAtOnce = x.options.pairsAtOnce / 2,
                                      .rules = rules});
  std::span<const PairKey> pairs;
  if (found == PairSearch::Found) found = nextMeetingPairs(finder, pairs);
  if (found == PairSearch::Stopped) return false;
  if (found != PairSearch::Found || !searchDone(finder)) return true;
  x.tracedPairs.reserve(pairs.size());
  for (const PairKey key : pairs) {
    x.tracedPairs.push_back(pairKey(traced[earlierOf(key)], traced[laterOf(key)], kindOf(key)));
  }
  x.tracedApart = true;
  return true;
}

}  // namespace

Grid pair_index::gridOver(const Rect& region, double cells, double h, double pad) {
  Grid g{};
  g.h = g.inverse = 1;
  g.columns = g.rows = g.blockRows = 1;
  g.pad = pad;
  if (!(region.x0 <= region.x1 && region.y0 <= region.y1)) return g;  // nothing to place
  g.x0 = region.x0 - 2 * pad;
  g.y0 = region.y0 - 2 * pad;
  const double width = region.x1 - region.x0 + 4 * pad, height = region.y1 - region.y0 + 4 * pad;
  h = std::max({h, std::sqrt(width * height / cells), width / 65000, height / 65000, pad});
  while ((std::floor(width / h) + 1) * (std::floor(height / h) + 1) > cells) h *= 1.25;
  g.h = h;
  g.inverse = 1 / h;
  g.columns = int(std::floor(width / h)) + 1;
  g.rows = int(std::floor(height / h)) + 1;
  // At most 4096 blocks: the segments are put in block order in one pass.
  while ((std::size_t(g.columns) * std::size_t(g.rows) >> 2 * g.shift) > 4096) ++g.shift;
  g.blockRows = (g.rows + (1 << g.shift) - 1) >> g.shift;
  return g;
}

PairSearch buildPairIndex(PairIndex& x) {
  const Segment* segments = x.segments;
  const int count = x.count;
  const bool threads = count >= worthTwoThreads;
  float largest[2] = {0, 0};
  onTwoThreads(
      [&](int half) {
        long long from, to;
        halfOf(half, count, from, to);
        float m = 0;  // in a register: the other thread writes beside largest[half]
        for (long long k = from; k < to; ++k) m = std::max(m, largestMagnitude(segments[k]));
        largest[half] = m;
      },
      threads);
  const double tinyBelow = tinyCoordinate * std::max(largest[0], largest[1]);
  x.tiny.resize(std::size_t(count));
  Extent halves[2];
  const long long every = std::max(1, count / 65536);
  onTwoThreads(
      [&](int half) {
        long long from, to;
        halfOf(half, count, from, to);
        for (long long k = from; k < to; ++k) x.tiny[k] = smallestNonzero(segments[k]) < tinyBelow;
        widen(halves[half], segments, from, to, x.tiny, every, x.options.rules);
      },
      threads);
  for (int k = 0; k < count; ++k) {
    if (x.tiny[k]) x.tinyOnes.push_back(k);
  }
  const double allPairs = 0.5 * count * (count - 1.0);
  if (!x.options.evenIfDense && double(x.tinyOnes.size()) * count > tinyShare * allPairs) {
    return PairSearch::Dense;
  }
  if (x.stopped()) return PairSearch::Stopped;

  // Cells that would hold too many traces are made larger.
  const Extent extent = joined(halves);
  const std::uint64_t limit = placementsPerSegment * std::uint64_t(count) + 65536;
  Halves build{x};
  for (double h = extent.median;; h = 2 * x.g.h) {
    x.g = gridOf(extent, count, h);
    if (x.g.cellCount() >= UINT32_MAX / 2) return PairSearch::Dense;
    onTwoThreads([&](int half) { build.countBlocks(half); }, threads);
    if (build.stopped) return PairSearch::Stopped;
    if (build.placed[0] + build.placed[1] <= limit) break;
  }
  build.findPlaces();
  x.items.resize(std::size_t(count) - x.tinyOnes.size());
  onTwoThreads([&](int half) { build.placeItems(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;  // items left unwritten are not read
  onTwoThreads([&](int half) { build.countMembers(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;
  build.findMemberPlaces();
  x.members.resize(x.start.back());
  onTwoThreads([&](int half) { build.placeMembers(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;
  if (!findTracedPairs(x)) return PairSearch::Stopped;
  cutIntoChunks(x);
  return PairSearch::Found;
}
