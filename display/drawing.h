// The drawing prepared from the scene: what the window paints, figure by
// figure, as vertices and runs of one shape and colour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/pages.h"
#include "view.h"

// A figure whose colour code is not in the palette keeps the colour that is
// current when it is drawn; until the first valid code of a frame that is the
// colour the previous frame ended with.
inline constexpr int inheritedColour = -1;

enum class Shape { Circles, Lines, Segments, Points };

// Vectors that grow to megabytes for large scenes.
template <class T>
using LargeVector = std::vector<T, PageAllocator<T>>;

// Consecutive figures of one shape, drawn in one colour.
struct Run {
  Shape shape;
  int colour;  // palette code, or inheritedColour
  int firstVertex;
  int vertexCount;
  int cells = -1;  // where its figures lie in cells, in Drawing::cells, if they do
};

// The figures of a large run of one colour, which may be drawn in any order,
// stored cell by cell of a grid over them, so that a view visits only the
// cells it shows: those within a cell's width across by the cell of their
// lower left corner, cell by cell and row by row, then the longer ones.
// The numbers 0 .. n - 1 grouped by bucket, bucketOf(k) being k's: `start`
// (one entry more than there are buckets, all 0 on entry) gets where each
// bucket's numbers begin in `order`, and `order` the numbers, bucket by
// bucket, each bucket's in increasing order.
template <class BucketOf>
void groupByBucket(std::size_t n, BucketOf bucketOf, LargeVector<std::uint32_t>& start,
                   LargeVector<std::uint32_t>& order) {
  for (std::size_t k = 0; k < n; ++k) ++start[bucketOf(k) + 1];
  for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  order.resize(n);
  LargeVector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (std::size_t k = 0; k < n; ++k) order[next[bucketOf(k)]++] = std::uint32_t(k);
}

struct RunCells {
  double x0, y0, width, inverse;  // cell (c, r) holds corners in [x0 + c width, ...) and so in y
  int columns, rows;
  LargeVector<std::uint32_t>
      start;  // the figures of cell k: [start[k], start[k + 1]); then the long

  // A grid of about `figures / perCell` square cells over `all`, at most
  // 4096 a side, with nothing in it yet.
  static RunCells over(const Box& all, std::size_t figures, double perCell);

  // The cell of a figure with this box, or the count of cells for a long one.
  std::size_t cellOf(const Box& box) const {
    if (box.maxX - box.minX > width || box.maxY - box.minY > width) {
      return std::size_t(columns) * std::size_t(rows);
    }
    const int c = std::min(columns - 1, int((box.minX - x0) * inverse));
    const int r = std::min(rows - 1, int((box.minY - y0) * inverse));
    return std::size_t(r) * std::size_t(columns) + std::size_t(c);
  }

  // Calls `range(first, end)` for the figures that may reach into `box`:
  // a row of cells at a time, then the long ones.
  template <class F>
  void forFiguresNear(const Box& box, F range) const {
    const auto cellAt = [&](double v, double origin, int limit) {
      const double c = (v - origin) * inverse;
      return c < 0 ? 0 : c >= limit ? limit - 1 : int(c);
    };
    // A figure in a cell reaches into the next cells up and to the right;
    // one more cell each way leaves rounding no room to lose one.
    const int c0 = std::max(0, cellAt(box.minX - width, x0, columns) - 1);
    const int c1 = std::min(columns - 1, cellAt(box.maxX, x0, columns) + 1);
    const int r0 = std::max(0, cellAt(box.minY - width, y0, rows) - 1);
    const int r1 = std::min(rows - 1, cellAt(box.maxY, y0, rows) + 1);
    for (int r = r0; r <= r1; ++r) {
      const std::size_t row = std::size_t(r) * std::size_t(columns);
      range(start[row + std::size_t(c0)], start[row + std::size_t(c1) + 1]);
    }
    const std::size_t cellCount = std::size_t(columns) * std::size_t(rows);
    range(start[cellCount], start[cellCount + 1]);
  }
};

struct Drawing {
  LargeVector<float> vertices;  // x, y pairs
  std::vector<Run> runs;        // circles, lines, segments, then points
  std::vector<RunCells> cells;
  Box bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};  // of every vertex
  unsigned generation = 0;                               // counts the drawings made
};

extern Drawing drawing;
