#include "pair_index.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "intersect.h"
#include "stopping.h"
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
  PairIndex& index;
  std::atomic<bool> stopped{false};
  std::uint64_t placed[2] = {};
  // Items of each half in each block, then where they start; the first
  // half's come first in each block.
  std::vector<std::size_t> begin[2] = {}, count[2] = {};
  Large<std::uint32_t> cursor[2] = {};  // the next member of each cell, for each half

  std::size_t blocks() const { return (index.grid.cellCount() >> 2 * index.grid.shift) + 1; }
  std::size_t blockOf(const Item& item) const {
    return cornerCell(widenedBox(item), index.grid) >> 2 * index.grid.shift;
  }
  bool stop(long long k) {
    if (stopDue(std::uint64_t(k), [&] { return index.stopped(); })) stopped = true;
    return stopped;
  }

  // Counts the half's items by block, and its placements.
  void countBlocks(int half) {
    long long from, to;
    halfOf(half, index.count, from, to);
    count[half].assign(blocks(), 0);
    std::uint64_t n = 0;
    for (long long k = from; k < to && !stop(k); ++k) {
      if (index.tiny[k]) continue;
      const Item item = itemOf(index.segments[k], int(k), index.grid, index.options.rules);
      ++count[half][blockOf(item)];
      forEachCell(item, index.grid, [&](std::uint32_t) { ++n; });
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
    halfOf(half, index.count, from, to);
    std::vector<std::size_t> next = begin[half];
    for (long long k = from; k < to && !stop(k); ++k) {
      if (index.tiny[k]) continue;
      const Item item = itemOf(index.segments[k], int(k), index.grid, index.options.rules);
      index.items[next[blockOf(item)]++] = item;
    }
  }

  // The members are placed by halves of the items in block order, so that
  // the two threads write into different cells but where the halves meet.
  void itemHalf(int half, std::size_t& from, std::size_t& to) const {
    const std::size_t middle = begin[0][blocks() / 2];
    from = half == 0 ? 0 : middle;
    to = half == 0 ? middle : index.items.size();
  }

  void countMembers(int half) {
    std::size_t from, to;
    itemHalf(half, from, to);
    cursor[half].assign(index.grid.cellCount(), 0);
    std::uint32_t* counts = cursor[half].data();
    for (std::size_t m = from; m < to && !stop((long long)m); ++m) {
      forEachCell(index.items[m], index.grid, [&](std::uint32_t cell) { ++counts[cell]; });
    }
  }

  // The cells' starts; each half's cursor at its first place in each cell.
  void findMemberPlaces() {
    const std::size_t cells = index.grid.cellCount();
    index.start.resize(cells + 1);
    index.start[0] = 0;
    for (std::size_t cell = 0; cell < cells; ++cell) {
      const std::uint32_t first = cursor[0][cell], second = cursor[1][cell];
      cursor[0][cell] = index.start[cell];
      cursor[1][cell] = index.start[cell] + first;
      index.start[cell + 1] = index.start[cell] + first + second;
    }
  }

  // Puts the positions of the half's items into their cells.
  void placeMembers(int half) {
    std::size_t from, to;
    itemHalf(half, from, to);
    std::uint32_t* next = cursor[half].data();
    for (std::size_t m = from; m < to && !stop((long long)m); ++m) {
      forEachCell(index.items[m], index.grid,
                  [&](std::uint32_t cell) { index.members[next[cell]++] = std::uint32_t(m); });
    }
  }
};

// Pieces of work of about equal size, many more than threads, taken in turn
// by whichever is free.
void cutIntoChunks(PairIndex& index) {
  const std::size_t cellCount = index.grid.cellCount();
  const auto workOf = [&](std::size_t cell) {
    const double k = std::min<double>(index.start[cell + 1] - index.start[cell], 64);
    return 2 + k * k;
  };
  double total = 0;
  for (std::size_t cell = 0; cell < cellCount; ++cell) total += workOf(cell);
  const double piece = total / 256;
  index.chunks.assign(1, 0);
  double sum = 0;
  for (std::size_t cell = 0; cell < cellCount; ++cell) {
    sum += workOf(cell);
    if (sum >= piece) {
      index.chunks.push_back(cell + 1);
      sum = 0;
    }
  }
  if (index.chunks.back() != cellCount) index.chunks.push_back(cellCount);
}

}  // namespace

PairSearch buildPairIndex(PairIndex& index) {
  const Segment* segments = index.segments;
  const int count = index.count;
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
  index.tiny.resize(std::size_t(count));
  Extent halves[2];
  const long long every = std::max(1, count / 65536);
  onTwoThreads(
      [&](int half) {
        long long from, to;
        halfOf(half, count, from, to);
        for (long long k = from; k < to; ++k)
          index.tiny[k] = smallestNonzero(segments[k]) < tinyBelow;
        widen(halves[half], segments, from, to, index.tiny, every, index.options.rules);
      },
      threads);
  for (int k = 0; k < count; ++k) {
    if (index.tiny[k]) index.tinyOnes.push_back(k);
  }
  const double allPairs = 0.5 * count * (count - 1.0);
  if (!index.options.evenIfDense && double(index.tinyOnes.size()) * count > tinyShare * allPairs) {
    return PairSearch::Dense;
  }
  if (index.stopped()) return PairSearch::Stopped;

  // Cells that would hold too many traces are made larger.
  const Extent extent = joined(halves);
  const std::uint64_t limit = placementsPerSegment * std::uint64_t(count) + 65536;
  Halves build{index};
  for (double h = extent.median;; h = 2 * index.grid.h) {
    index.grid = gridOf(extent, count, h);
    if (index.grid.cellCount() >= UINT32_MAX / 2) return PairSearch::Dense;
    onTwoThreads([&](int half) { build.countBlocks(half); }, threads);
    if (build.stopped) return PairSearch::Stopped;
    if (build.placed[0] + build.placed[1] <= limit) break;
  }
  build.findPlaces();
  index.items.resize(std::size_t(count) - index.tinyOnes.size());
  onTwoThreads([&](int half) { build.placeItems(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;  // items left unwritten are not read
  onTwoThreads([&](int half) { build.countMembers(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;
  build.findMemberPlaces();
  index.members.resize(index.start.back());
  onTwoThreads([&](int half) { build.placeMembers(half); }, threads);
  if (build.stopped) return PairSearch::Stopped;
  cutIntoChunks(index);
  return PairSearch::Found;
}
