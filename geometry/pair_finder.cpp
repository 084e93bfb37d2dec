#include "pair_finder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "intersect.h"
#include "pair_grid.h"

namespace {

using namespace pair_grid;

// The full loop screens a row of pairs many at a time, several times as fast
// as the grid tests a proposed pair: past this share of all pairs proposed,
// the grid does not pay.
constexpr double denseShare = 0.25;

float smallestNonzero(const Segment& s) {
  float smallest = INFINITY;
  for (const float v : {s.A.x, s.A.y, s.B.x, s.B.y}) {
    if (v != 0) smallest = std::min(smallest, std::fabs(v));
  }
  return smallest;
}

int kindOf(const Segment& earlier, const Segment& later) {
  Point crossing;
  return intersectSegments(earlier, later, &crossing);
}

Segment segmentOf(const Item& s) {
  return Segment(Point(s.ax, s.ay), Point(s.bx, s.by));
}

// Cells about as wide as a typical segment reaches, and no more cells than
// about four per segment.
Grid gridFor(const Segment* segments, int count, const Large<unsigned char>& tiny) {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  // The median from a sample: an estimate is all the cell size needs.
  std::vector<float> extents;
  const int every = std::max(1, count / 65536);
  for (int k = 0; k < count; ++k) {
    if (tiny[k]) continue;
    const Segment& s = segments[k];
    const double reach = reachPerLength * lengthOf(s);
    minX = std::min(minX, std::min(s.A.x, s.B.x) - reach);
    minY = std::min(minY, std::min(s.A.y, s.B.y) - reach);
    maxX = std::max(maxX, std::max(s.A.x, s.B.x) + reach);
    maxY = std::max(maxY, std::max(s.A.y, s.B.y) + reach);
    if (k % every != 0) continue;
    extents.push_back(float(
        std::max(std::fabs(double{s.B.x} - s.A.x), std::fabs(double{s.B.y} - s.A.y)) + 2 * reach));
  }
  Grid g{};
  g.h = g.inverse = 1;
  g.columns = g.rows = g.blockRows = 1;
  if (!(minX <= maxX)) return g;  // nothing to place
  const double scale = std::max({std::fabs(minX), std::fabs(minY), std::fabs(maxX), std::fabs(maxY),
                                 std::numeric_limits<double>::min()});
  g.pad = 0x1p-40 * scale;
  g.x0 = minX - 2 * g.pad;
  g.y0 = minY - 2 * g.pad;
  const double width = maxX - minX + 4 * g.pad, height = maxY - minY + 4 * g.pad;
  extents.push_back(0);
  auto middle = extents.begin() + std::ptrdiff_t(extents.size() / 2);
  std::nth_element(extents.begin(), middle, extents.end());
  const double cells = 4.0 * double(count) + 16;
  double h = std::max({double{*middle} * cellPerExtent, std::sqrt(width * height / cells),
                       width / 65000, height / 65000, g.pad});
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

// The meeting pairs of cells [from, to), each found once.
struct Cells {
  const Grid& g;
  const Large<Item>& items;
  const Large<std::uint32_t>& members;  // of cell k: [start[k], start[k + 1])
  const Large<std::uint32_t>& start;
};

void searchCells(const Cells& cells, std::size_t from, std::size_t to, PairKeys& pairs,
                 void (*progress)(std::uint64_t, std::uint64_t) = nullptr,
                 std::uint64_t doneBefore = 0, std::uint64_t work = 0) {
  const auto& [g, items, members, start] = cells;
  std::vector<Item> here;  // the cell's segments, side by side
  for (std::size_t cell = from; cell < to; ++cell) {
    const std::uint32_t first = start[cell], end = start[cell + 1];
    if (end - first >= 2) {
      here.clear();
      for (std::uint32_t m = first; m < end; ++m) here.push_back(items[members[m]]);
      const int c = g.columnOf(std::uint32_t(cell)), r = g.rowOf(std::uint32_t(cell));
      for (std::size_t q = 1; q < here.size(); ++q) {
        const Item& b = here[q];
        for (std::size_t p = 0; p < q; ++p) {
          const Item& a = here[p];
          // Two boxes: tested only in the cell where the pair is kept.
          const bool boxes = !a.thin() && !b.thin();
          if (boxes && (std::max(a.c0, b.c0) != c || std::max(a.r0, b.r0) != r)) continue;
          // A long one: only in the first cell both touch. Long collinear
          // segments share a great many.
          if (!boxesTouch(a, b) || (!boxes && !firstSharedCell(a, b, c, r, g))) continue;
          const bool aFirst = a.index < b.index;
          const Item& earlier = aFirst ? a : b;
          const Item& later = aFirst ? b : a;
          const int kind = kindOf(segmentOf(earlier), segmentOf(later));
          if (kind != NoIntersection) pairs.push_back(pairKey(earlier.index, later.index, kind));
        }
      }
    }
    // The other half goes at about the same pace.
    if (progress && (cell & 0xFFFF) == 0) {
      progress(
          doneBefore + (cell - from) * (work - doneBefore) / std::max<std::size_t>(to - from, 1),
          work);
    }
  }
}

// Sorts `v` by the low `bits` bits of key(element), keeping the order of
// equal keys: a radix sort, at most twelve bits at a time, each pass reading
// in order and writing to at most 4096 places at once.
// `scratch` holds as many elements as `v`, to be written over.
template <class T, class Key>
void radixSort(T* v, std::size_t size, T* scratch, Key key, int bits) {
  const int passes = (bits + 11) / 12;
  if (passes == 0) return;
  const int digit = (bits + passes - 1) / passes;
  const std::uint64_t mask = (std::uint64_t(1) << digit) - 1;
  T* from = v;
  T* to = scratch;
  for (int shift = 0; shift < bits; shift += digit) {
    std::vector<std::size_t> at(std::size_t(mask) + 1, 0);
    for (std::size_t k = 0; k < size; ++k) ++at[(key(from[k]) >> shift) & mask];
    std::size_t sum = 0;
    for (std::size_t& a : at) sum += std::exchange(a, sum);
    for (std::size_t k = 0; k < size; ++k) to[at[(key(from[k]) >> shift) & mask]++] = from[k];
    std::swap(from, to);
  }
  if (from != v) std::copy(from, from + size, v);
}

// Into report order: by the later segment, then the earlier. Memory that is
// no longer needed serves as scratch: fresh memory is costly on some
// machines, where each page is cleared as it is first touched.
void sortPairs(PairKeys& pairs, int count, void* spare, std::size_t spareBytes) {
  const int bits = std::bit_width(unsigned(std::max(count, 1)));
  Large<PairKey> scratch;
  PairKey* into = static_cast<PairKey*>(spare);
  if (spareBytes < pairs.size() * sizeof(PairKey)) {
    scratch.resize(pairs.size());
    into = scratch.data();
  }
  radixSort(
      pairs.data(), pairs.size(), into,
      [bits](PairKey k) { return (k >> 32) << bits | (k & 0x7FFFFFFFu); }, 2 * bits);
}

}  // namespace

PairSearch findMeetingPairs(const Segment* segments, int count, PairKeys& pairs,
                            void (*progress)(std::uint64_t, std::uint64_t), bool evenIfDense) {
  const double dense = evenIfDense ? INFINITY : denseShare;
  pairs.clear();
  try {
    // Segments with a coordinate far below the largest one, whose pairs
    // could sink into subnormals: none in any ordinary drawing.
    float largest = 0;
    for (int k = 0; k < count; ++k) largest = std::max(largest, largestMagnitude(segments[k]));
    Large<unsigned char> tiny(std::size_t(count), 0);
    std::vector<int> tinyOnes;
    for (int k = 0; k < count; ++k) {
      tiny[k] = smallestNonzero(segments[k]) < tinyCoordinate * largest;
      if (tiny[k]) tinyOnes.push_back(k);
    }
    const double allPairs = 0.5 * count * (count - 1.0);
    if (double(tinyOnes.size()) * count > dense * allPairs) return PairSearch::Dense;

    const Grid g = gridFor(segments, count, tiny);
    const std::size_t cellCount = g.cellCount();
    if (cellCount >= UINT32_MAX) return PairSearch::Dense;
    // Progress counts segments placed, twice, then cells searched.
    const std::uint64_t work = 3 * std::uint64_t(count) + cellCount;
    Large<std::uint32_t> start(cellCount + 1, 0);

    // The segments in the order of the block of their lower left end, so
    // that the work below walks memory nearly in order: counted by block,
    // then placed, writing to at most 4096 places at once.
    const auto blockOf = [&](const Segment& s) {
      const int c = cellOf(std::min(s.A.x, s.B.x), g.x0, g, g.columns);
      return g.cell(c, cellOf(std::min(s.A.y, s.B.y), g.y0, g, g.rows)) >> 2 * g.shift;
    };
    Large<std::size_t> at((cellCount >> 2 * g.shift) + 1, 0);
    for (int k = 0; k < count; ++k) {
      if (!tiny[k]) ++at[blockOf(segments[k]) + 1];
    }
    for (std::size_t block = 1; block < at.size(); ++block) at[block] += at[block - 1];
    Large<Item> items(std::size_t(count) - tinyOnes.size());
    for (int k = 0; k < count; ++k) {
      if (progress && (k & 0xFFFF) == 0) progress(std::uint64_t(k), work);
      if (!tiny[k]) items[at[blockOf(segments[k])]++] = itemOf(segments[k], k, g);
    }

    // Each cell's segments, in the order of `items`: counted, then placed.
    std::fill(start.begin(), start.end(), 0);
    std::uint64_t placed = 0;
    for (const Item& item : items) {
      forEachCell(item, g, [&](std::uint32_t cell) { ++start[cell + 1]; });
    }
    double proposed = 0;
    for (std::size_t cell = 0; cell < cellCount; ++cell) {
      const double k = start[cell + 1];
      proposed += 0.5 * k * (k - 1);
      placed += start[cell + 1];
    }
    if (proposed > dense * allPairs || placed >= UINT32_MAX) return PairSearch::Dense;
    if (progress) progress(2 * std::uint64_t(count), work);
    for (std::size_t cell = 0; cell < cellCount; ++cell) start[cell + 1] += start[cell];
    Large<std::uint32_t> members(placed);
    {
      Large<std::uint32_t> next(start.begin(), start.end() - 1);
      for (std::uint32_t m = 0; m < items.size(); ++m) {
        forEachCell(items[m], g, [&](std::uint32_t cell) { members[next[cell]++] = m; });
      }
    }

    // The cells in two halves of about equal work, one for each core.
    std::size_t middle = 0;
    for (double half = 0; middle < cellCount && half < proposed / 2; ++middle) {
      const double k = start[middle + 1] - start[middle];
      half += 0.5 * k * (k - 1);
    }
    const Cells cells{g, items, members, start};
    // Room for about two pairs a segment, taken only as it is filled.
    PairKeys secondHalf;
    secondHalf.reserve(std::size_t(count));
    pairs.reserve(2 * std::size_t(count));
    bool secondFailed = false;
    std::thread helper;
    try {
      helper = std::thread([&] {
        try {
          searchCells(cells, middle, cellCount, secondHalf);
        } catch (const std::bad_alloc&) {
          secondFailed = true;
        }
      });
    } catch (const std::system_error&) {
      middle = cellCount;  // no second thread: all of it here
    }
    searchCells(cells, 0, middle, pairs, progress, 3 * std::uint64_t(count), work);
    if (helper.joinable()) helper.join();
    if (secondFailed) throw std::bad_alloc();
    pairs.insert(pairs.end(), secondHalf.begin(), secondHalf.end());
    // Pairs with a tiny segment, each once.
    for (const int t : tinyOnes) {
      for (int k = 0; k < count; ++k) {
        if (k == t || (tiny[k] && k > t)) continue;
        const int j = std::min(k, t), i = std::max(k, t);
        const int kind = kindOf(segments[j], segments[i]);
        if (kind != NoIntersection) pairs.push_back(pairKey(j, i, kind));
      }
    }
    sortPairs(pairs, count, members.data(), members.size() * sizeof members[0]);
    return PairSearch::Found;
  } catch (const std::bad_alloc&) {
    pairs = PairKeys{};
    return PairSearch::OutOfMemory;
  }
}
