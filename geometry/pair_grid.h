// The uniform grid that proposes the pairs of segments that may meet: cells
// about as wide as a typical segment, each holding the segments that come
// close enough to it to meet a segment in it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "figures.h"
#include "pages.h"

namespace pair_grid {

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
// other in both coordinates: each segment, widened by 0.0125 of its own
// length, touches the other widened one. The bound is relative, so it holds
// at any scale, as long as no product sinks into subnormals even at the top
// scale of intersectSegments, which needs coordinates within 2^101 of each
// other (nonzero ones): a segment with a coordinate smaller than that is
// tested against every other segment instead.
constexpr double reachPerLength = 0.0125;
constexpr double tinyCoordinate = 0x1p-101;  // of the largest one

// Cell width against the median of how far a segment reaches in x or y.
constexpr double cellPerExtent = 1.0;

// Arrays of a size with the input: whole huge pages, where a fresh page
// costs one fault per 2 MiB instead of one per 4 KiB.
template <class T>
using Large = std::vector<T, PageAllocator<T>>;

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
};

// A segment as the grid sees it: its ends, how far around it a partner may
// lie and still meet it, its number in the input, and the cells of its
// widened bounding box. A segment whose box covers only a few cells is
// placed in all of them; a longer one only in those its widened self
// touches.
struct Item {
  float ax, ay, bx, by;
  float reach;  // rounded up
  std::int32_t index;
  std::uint16_t c0, r0, c1, r1;  // the box's first and last column and row

  bool thin() const { return (c1 - c0 + 1) * (r1 - r0 + 1) > 16; }
};

inline float roundedUp(double v) {
  const float f = float(v);
  return double{f} < v ? std::nextafter(f, INFINITY) : f;
}

inline double lengthOf(const Segment& s) {
  const double dx = double{s.B.x} - s.A.x, dy = double{s.B.y} - s.A.y;
  return std::sqrt(dx * dx + dy * dy);
}

inline int cellOf(double v, double origin, const Grid& g, int limit) {
  const double c = std::floor((v - origin) * g.inverse);
  return c < 0 ? 0 : c >= limit ? limit - 1 : int(c);
}

inline Item itemOf(const Segment& s, int index, const Grid& g) {
  Item item{s.A.x, s.A.y, s.B.x, s.B.y, roundedUp(reachPerLength * lengthOf(s) + g.pad),
            index, 0,     0,     0,     0};
  item.c0 = std::uint16_t(cellOf(double{std::min(s.A.x, s.B.x)} - item.reach, g.x0, g, g.columns));
  item.c1 = std::uint16_t(cellOf(double{std::max(s.A.x, s.B.x)} + item.reach, g.x0, g, g.columns));
  item.r0 = std::uint16_t(cellOf(double{std::min(s.A.y, s.B.y)} - item.reach, g.y0, g, g.rows));
  item.r1 = std::uint16_t(cellOf(double{std::max(s.A.y, s.B.y)} + item.reach, g.y0, g, g.rows));
  return item;
}

struct Span {
  int first, last;
};

// The rows of column c that the segment, widened by its reach, touches: the
// part of it within the column's x-range widened by the reach, widened again
// in y. The same arithmetic on placing and on asking, so the answers agree
// exactly.
inline Span rowsOf(const Item& s, int c, const Grid& g) {
  if (!s.thin()) return {s.r0, s.r1};
  double low = std::min(s.ay, s.by), high = std::max(s.ay, s.by);
  if (s.ax != s.bx) {
    const double left = g.x0 + c * g.h - s.reach, right = g.x0 + (c + 1) * g.h + s.reach;
    const double dx = double{s.bx} - s.ax, dy = double{s.by} - s.ay;
    const double t0 = std::clamp((left - s.ax) / dx, 0.0, 1.0);
    const double t1 = std::clamp((right - s.ax) / dx, 0.0, 1.0);
    const double y0 = s.ay + t0 * dy, y1 = s.ay + t1 * dy;
    low = std::min(y0, y1);
    high = std::max(y0, y1);
  }
  return {cellOf(low - s.reach, g.y0, g, g.rows), cellOf(high + s.reach, g.y0, g, g.rows)};
}

// Calls f(cell) for every cell the widened segment touches.
template <class F>
void forEachCell(const Item& s, const Grid& g, F&& f) {
  for (int c = s.c0; c <= s.c1; ++c) {
    const Span rows = rowsOf(s, c, g);
    for (int r = rows.first; r <= rows.last; ++r) f(g.cell(c, r));
  }
}

// A pair found in several cells is kept in the first one both touch, by
// column and then by row. For two boxes that is the corner of where they
// overlap.
inline bool firstSharedCell(const Item& a, const Item& b, int c, int r, const Grid& g) {
  if (!a.thin() && !b.thin()) return std::max(a.c0, b.c0) == c && std::max(a.r0, b.r0) == r;
  for (int column = std::max(a.c0, b.c0); column <= c; ++column) {
    const Span ra = rowsOf(a, column, g), rb = rowsOf(b, column, g);
    const int low = std::max(ra.first, rb.first);
    if (low <= std::min(ra.last, rb.last)) return column == c && low == r;
  }
  return false;
}

// Whether the widened bounding boxes touch: a cheap test that most pairs of
// a cell cannot meet. Differences of floats are exact in double.
inline bool boxesTouch(const Item& a, const Item& b) {
  const double reach = double{a.reach} + b.reach;
  return double{std::min(a.ax, a.bx)} - std::max(b.ax, b.bx) <= reach &&
         double{std::min(b.ax, b.bx)} - std::max(a.ax, a.bx) <= reach &&
         double{std::min(a.ay, a.by)} - std::max(b.ay, b.by) <= reach &&
         double{std::min(b.ay, b.by)} - std::max(a.ay, a.by) <= reach;
}

}  // namespace pair_grid
