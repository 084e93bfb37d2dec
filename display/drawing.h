// The drawing prepared from the scene: what the window paints, figure by
// figure, as vertices and runs of one shape and colour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/buckets.h"
#include "geometry/pages.h"
#include "view.h"

// A figure whose colour code is not in the palette keeps the colour that is
// current when it is drawn; until the first valid code of a frame that is the
// colour the previous frame ended with.
inline constexpr int inheritedColour = -1;

// Lines are drawn between two vertices without end dots (the scene's lines,
// a map's segments); segments with them. A map's markers, painted on the
// processor only: Stretches (overlaps, 3 pixels wide, two vertices), Spots
// (touches) and Rings (crossings), one vertex each.
enum class Shape { Circles, Lines, Segments, Points, Stretches, Spots, Rings };

// The vertices of one figure; a circle's outline is its whole run.
inline std::size_t verticesPerFigure(Shape shape) {
  return shape == Shape::Points || shape == Shape::Spots || shape == Shape::Rings ? 1 : 2;
}

// What t hides: the crossing points, and a map's markers.
inline bool isMarker(Shape shape) {
  return shape == Shape::Points || shape == Shape::Stretches || shape == Shape::Spots ||
         shape == Shape::Rings;
}

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
  // Segments: how many start where the one before ends (a line's joints),
  // whose shared end the painter places once.
  int joints = 0;
};

// The figures of a large run of one colour, which may be drawn in any order,
// stored cell by cell of a grid over them, so that a view visits only the
// cells it shows: those within a cell's width across by the cell of their
// lower left corner, cell by cell and row by row, then the longer ones.
// The numbers 0 .. n - 1 grouped by bucket, bucketOf(k) being k's: `start`
// (one entry more than there are buckets) gets where each bucket's numbers
// begin in `order`, and `order` the numbers, bucket by bucket, each
// bucket's in increasing order.
template <class BucketOf>
void groupByBucket(std::size_t n, BucketOf bucketOf, LargeVector<std::uint32_t>& start,
                   LargeVector<std::uint32_t>& order) {
  order.resize(n);
  sortIntoBuckets(
      start.data(), start.size() - 1,
      [&](auto count) {
        for (std::size_t k = 0; k < n; ++k) count(bucketOf(k));
      },
      [&](auto place) {
        for (std::size_t k = 0; k < n; ++k) order[place(bucketOf(k))] = std::uint32_t(k);
      });
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

// What a map's legend counts: its crossings, overlaps and, where they were
// sought, touches.
struct MapLegend {
  std::size_t crossings = 0, overlaps = 0, touches = 0;
  bool touchesSought = false;
};

// The drawing made from the scene (see prepare.h), or a map's (see
// prepare_map.h): what the window and the picture paint.
struct Drawing {
  LargeVector<float> vertices;  // x, y pairs
  // The scene's: circles, lines, segments, then points. A map's: its lines,
  // then rings, stretches and spots.
  std::vector<Run> runs;
  std::vector<RunCells> cells;
  Box bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};  // of every vertex
  // A map's drawing: quiet lines, markers for where they meet, a legend
  // along the bottom, the first view fitted to the layer, every view
  // painted on the processor.
  bool mapStyle = false;
  MapLegend legend{};
};

// Drawings of more than this many vertices are painted on the processor:
// the software driver takes about 0.3 microseconds a figure, and ten times
// the vertices' bytes of memory, so a million figures take the better part
// of a second and hundreds of megabytes.
inline constexpr std::size_t hugeDrawing = 300000;

// Whether the drawing is too large for the graphics driver to draw at a
// useful pace, or a map's, whose markers OpenGL has no shape for: then every
// view of it is painted on the processor.
inline bool paintedOnProcessor(const Drawing& drawing) {
  return drawing.mapStyle || drawing.vertices.size() / 2 > hugeDrawing;
}

// The bytes of vertices of the drawing that OpenGL draws: none for a
// drawing painted on the processor.
inline std::uint64_t drawingVertexBytes(const Drawing& drawing) {
  return paintedOnProcessor(drawing) ? 0 : drawing.vertices.size() * sizeof(float);
}

// The crossing points drawn (a map's rings): `count` x, y pairs; and, where
// they are kept in cells, the cells.
const float* crossingPoints(const Drawing& drawing, std::size_t& count,
                            const RunCells** cells = nullptr);

// The bounds of every figure drawn (end points, crossing points); false for
// an empty drawing.
bool drawingBounds(const Drawing& drawing, Box& box);

// Whether any figure drawn passes through `box`.
bool anyFigureIn(const Drawing& drawing, const Box& box);
