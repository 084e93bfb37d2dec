// The drawing prepared from the scene: what the window paints, figure by
// figure, as vertices and runs of one shape and colour.
#pragma once

#include <cmath>
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
struct RunCells {
  double x0, y0, width, inverse;  // cell (c, r) holds corners in [x0 + c width, ...) and so in y
  int columns, rows;
  LargeVector<std::uint32_t>
      start;  // the figures of cell k: [start[k], start[k + 1]); then the long
};

struct Drawing {
  LargeVector<float> vertices;  // x, y pairs
  std::vector<Run> runs;        // circles, lines, segments, then points
  std::vector<RunCells> cells;
  Box bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};  // of every vertex
  unsigned generation = 0;                               // counts the drawings made
};

extern Drawing drawing;
