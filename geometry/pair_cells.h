// Where the index puts a segment: an item widened by how far a partner may
// lie and still meet it, in the cells of a grid its widened self touches.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "figures.h"
#include "intersect.h"
#include "pages.h"
#include "pair_rules.h"

namespace pair_index {

// How close two segments must come to meet.
//
// intersectSegments calls two segments meeting in three ways, and each puts
// a point of one within a distance of the other that is bounded by their
// lengths |r| and |s|:
// - They share an end point: distance 0.
// - Their directions differ by more than the tolerance (sin > 0.00316) and
//   the crossing parameters t and u, computed in float from rounded
//   differences, lie in [0, 1]. The rounding errors of the cross products
//   are below 4 units of 2^-24 of |r||s|, which the angle turns into an
//   error below 1.3e-4 in t and u, relative to |d| / |r| and |d| / |s|,
//   with d between the start points; as the crossing lies on both segments
//   up to that error, |d| < |r| + |s|, and the true crossing lies within
//   3e-4 (|r| + |s|) of both segments.
// - They lie within the tolerance of one line (sin of the angle between
//   their directions, and between the earlier one and d, at most 0.003163)
//   and their projections on the earlier one's longer axis, within 45
//   degrees of it, overlap. Then |d| is at most 1.42 (|r| + |s|), so where
//   the projections overlap the two segments lie apart across that axis by
//   at most 1.42 (0.00449 (|r| + |s|) + 0.00317 |s|), below
//   0.0064 |r| + 0.0109 |s|. A segment of length 0 is a point, judged from
//   the other segment, which gives the same bound.
// So two segments that meet come within 0.0125 |r| + 0.0125 |s| of each
// other: each segment, widened by 0.0125 of its own length (its reach),
// touches the other widened one, and a point lies in both. The bound is relative, so it holds at
// any scale, as long as no product sinks into subnormals even at the top scale of
// intersectSegments, which needs coordinates within 2^101 of each other (nonzero ones): a segment
// with a coordinate smaller than that is tested against every other segment instead.
constexpr double reachPerLength = 0.0125;
constexpr double tinyCoordinate = 0x1p-101;  // of the largest one

// What the cost depends on.
//
// A segment is placed in every cell its widened self touches, and a pair is
// looked at in the cells that hold both. The top grid's cells are about as
// wide as a typical segment reaches, so a segment of about that length lies
// in at most four of them; a longer one is traced through the cells it
// crosses, about two for every cell width of its length, and where traces
// would come to more than eight placements a segment the cells are made
// wider. A cell holding more than `leafSize` segments is divided by a grid
// of its own, over the part of it where its segments lie, with cells as
// wide as they typically reach, and so on down as long as that thins them
// out (the pairs of the smaller cells, counted with their repeats, stay
// within `thinning` of those of the cell): a town in an empty map is
// divided down to cells as small as its streets, whatever the cell width of
// the map, and the empty map costs no more than its empty top cells. A cell
// is left whole only when a finer grid cannot tell its segments apart: they
// all pass within the cell's width of one another (many segments through
// one point, a stack of collinear pieces, long lines crossing it), and most
// of its pairs meet. Pairs of two traced segments, which share a great many
// cells, are found apart, by an index of the traced segments alone whose
// cells are as wide as they are long. So the pairs looked at per segment
// are bounded by `leafSize` for each cell it lies in, plus those of cells
// whose segments crowd together, which meet; each pair is tested once, in
// the cell its rule below names. What the geometry cannot bound (many
// segments that pass within their reach of each other and still do not
// meet, a sheaf of near-parallel lines) is counted as the search goes, and
// where it would cost more than testing every pair, the search gives way
// to testing every pair, before any line is written.
constexpr int leafSize = 16;
constexpr double thinning = 1.05;
// Grids divide crowded cells at most this deep.
constexpr std::size_t deepestGrid = 8;

// Arrays of a size with the input: mappings of their own, handed back whole.
template <class T>
using Large = std::vector<T, PageAllocator<T>>;

// For the arrays both threads fill, each its own share: their elements are
// not filled when made, so that the first write to each fresh page, and the
// fault that clears it, fall in the thread that fills it, not all in the
// thread that makes the array.
template <class T>
struct UnfilledAllocator : PageAllocator<T> {
  template <class U>
  struct rebind {
    using other = UnfilledAllocator<U>;
  };
  UnfilledAllocator() = default;
  template <class U>
  UnfilledAllocator(const UnfilledAllocator<U>&) {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
template <class T>
using Unfilled = std::vector<T, UnfilledAllocator<T>>;

// A segment as the index holds it: its ends, how far around it a partner
// may lie and still meet it (rounded up, with the grid's pad), and its
// number in the input.
struct Item {
  float ax, ay, bx, by;
  float reach;
  std::uint32_t number;  // in the top bit, whether it is traced through the top grid

  int index() const { return int(number & 0x7FFFFFFFu); }
  bool traced() const { return number >> 31; }
};

struct Rect {
  double x0, y0, x1, y1;
};

struct Grid {
  double x0, y0;  // cell (c, r) covers [x0 + c h, x0 + (c + 1) h) and the same in y
  double h, inverse;
  int columns, rows;
  // Added to every reach: far above the rounding of the arithmetic below,
  // far below any distance the data can express.
  double pad;
  // Cells are numbered block by block, square blocks of 2^shift cells a
  // side, so that the cells of a block, and the segments they hold, lie
  // together in memory.
  int shift;
  int blockRows;

  std::uint32_t cell(int c, int r) const {
    const std::uint32_t block = std::uint32_t(c >> shift) * std::uint32_t(blockRows) + (r >> shift);
    const std::uint32_t side = (1u << shift) - 1;
    return (block << 2 * shift) | (std::uint32_t(c) & side) << shift | (std::uint32_t(r) & side);
  }
  int columnOf(std::uint32_t cell) const {
    const std::uint32_t block = cell >> 2 * shift;
    return int((block / std::uint32_t(blockRows)) << shift | (cell >> shift & ((1u << shift) - 1)));
  }
  int rowOf(std::uint32_t cell) const {
    const std::uint32_t block = cell >> 2 * shift;
    return int((block % std::uint32_t(blockRows)) << shift | (cell & ((1u << shift) - 1)));
  }
  std::size_t cellCount() const {
    const std::size_t blockColumns = (std::size_t(columns) + (1u << shift) - 1) >> shift;
    return (blockColumns * std::size_t(blockRows)) << 2 * shift;
  }
  int columnAt(double x) const { return clamped((x - x0) * inverse, columns); }
  int rowAt(double y) const { return clamped((y - y0) * inverse, rows); }
  Rect cellRect(int c, int r) const {
    return {x0 + c * h, y0 + r * h, x0 + (c + 1) * h, y0 + (r + 1) * h};
  }

 private:
  // The cell of a position, counted in cells from the origin: truncated,
  // which is its floor where it is not negative.
  static int clamped(double c, int limit) { return c < 0 ? 0 : c >= limit ? limit - 1 : int(c); }
};

// The float at or above a positive v.
inline float roundedUp(double v) {
  const float f = float(v);
  return double{f} < v ? std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) + 1) : f;
}

inline double lengthOf(float ax, float ay, float bx, float by) {
  const double dx = double{bx} - ax, dy = double{by} - ay;
  return std::sqrt(dx * dx + dy * dy);
}

// The item's bounding box widened by its reach. Differences of floats and
// their sums with a float are exact enough in double for everything below.
inline Rect widenedBox(const Item& s) {
  return {double{std::min(s.ax, s.bx)} - s.reach, double{std::min(s.ay, s.by)} - s.reach,
          double{std::max(s.ax, s.bx)} + s.reach, double{std::max(s.ay, s.by)} + s.reach};
}

// The y-range of the widened item over the x-range [x0, x1] widened by its
// reach: the part of the segment within that range, its ys widened again.
// False when no part of it lies there.
inline bool rowRange(const Item& s, double x0, double x1, double& low, double& high) {
  const double left = x0 - s.reach, right = x1 + s.reach;
  if (std::max(s.ax, s.bx) < left || std::min(s.ax, s.bx) > right) return false;
  low = std::min(s.ay, s.by);
  high = std::max(s.ay, s.by);
  if (s.ax != s.bx) {
    const double dx = double{s.bx} - s.ax, dy = double{s.by} - s.ay;
    const double t0 = std::clamp((left - s.ax) / dx, 0.0, 1.0);
    const double t1 = std::clamp((right - s.ax) / dx, 0.0, 1.0);
    const double y0 = s.ay + t0 * dy, y1 = s.ay + t1 * dy;
    low = std::min(y0, y1);
    high = std::max(y0, y1);
  }
  low -= s.reach;
  high += s.reach;
  return true;
}

// A segment whose widened box covers more than this many top cells is
// traced through the cells its widened self touches instead of being put
// into every cell of its box.
constexpr int boxCells = 16;

// Judged exactly, two segments meet only where they touch: no reach is
// needed but for rounding. A segment judged on the coordinates as read lies
// within half a float spacing of its float ends in each coordinate, so
// within 2^-23 of its largest coordinate of them: its reach is that much,
// and two such segments that meet come within their reaches again.
constexpr double roundingPerMagnitude = 0x1p-23;

// How far around a segment a partner may lie and still meet it, under
// `rules`, before the grid's pad.
inline double reachOf(const Segment& s, const PairRules& rules) {
  if (!rules.exact) return reachPerLength * lengthOf(s.A.x, s.A.y, s.B.x, s.B.y);
  return rules.precise ? roundingPerMagnitude * largestMagnitude(s) : 0;
}

inline Item itemOf(const Segment& s, int index, const Grid& grid, const PairRules& rules) {
  Item item{
      s.A.x, s.A.y, s.B.x, s.B.y, roundedUp(reachOf(s, rules) + grid.pad), std::uint32_t(index)};
  const Rect box = widenedBox(item);
  const int c0 = grid.columnAt(box.x0), r0 = grid.rowAt(box.y0);
  const int c1 = grid.columnAt(box.x1), r1 = grid.rowAt(box.y1);
  if ((c1 - c0 + 1) * (r1 - r0 + 1) > boxCells) item.number |= 0x80000000u;
  return item;
}

// The top cell of the lower left corner of a widened box.
inline std::uint32_t cornerCell(const Rect& box, const Grid& grid) {
  return grid.cell(grid.columnAt(box.x0), grid.rowAt(box.y0));
}

// Calls f(cell) for every cell of `g` the widened item touches: every cell
// of its box, or where its box covers more than boxCells cells, the cells
// its widened self touches.
template <class F>
void forEachCell(const Item& s, const Grid& grid, F&& f) {
  const Rect box = widenedBox(s);
  const int c0 = grid.columnAt(box.x0), r0 = grid.rowAt(box.y0);
  const int c1 = grid.columnAt(box.x1), r1 = grid.rowAt(box.y1);
  const bool traced = (c1 - c0 + 1) * (r1 - r0 + 1) > boxCells;
  for (int c = c0; c <= c1; ++c) {
    int first = r0, last = r1;
    double low, high;
    if (traced) {
      if (!rowRange(s, grid.x0 + c * grid.h, grid.x0 + (c + 1) * grid.h, low, high)) continue;
      first = grid.rowAt(low);
      last = grid.rowAt(high);
    }
    for (int r = first; r <= last; ++r) f(grid.cell(c, r));
  }
}

// A grid of about `cells` cells, at least `h` wide, over `region`: the top
// grid, or one that divides a crowded cell of another. Its cells are
// numbered block by block.
Grid gridOver(const Rect& region, double cells, double h, double pad);

// The grid of a crowded cell, `cell` at `depth` grids below the top one,
// whose segments are `items` at the positions stack[from, to): over the
// part of the cell where they lie, cells as wide as a typical one of them
// reaches, about one cell for every two. False when that does not thin them
// out: they all lie in one of its cells (a cluster below the float
// spacing), or its cells hold as many pairs, counted with their repeats, as
// the cell whole (many segments through one point, long lines crossing
// it); also when `interrupted()` says so. Otherwise each cell's segments go
// onto the stack, cell c's from stack position start[c] on.
bool divideCell(const Unfilled<Item>& items, const Rect& cell, std::size_t depth, double pad,
                std::vector<std::uint32_t>& stack, std::size_t from, std::size_t to, Grid& sub,
                std::vector<std::uint32_t>& start, const std::function<bool()>& interrupted);

}  // namespace pair_index
