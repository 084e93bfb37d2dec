// What the preparations of the scene's drawing and of a map's share: large
// runs stored cell by cell, and a stop asked for on the way.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "drawing.h"
#include "geometry/buckets.h"
#include "geometry/stopping.h"

namespace prepare_detail {

// Thrown when the preparation is asked to stop.
struct Interrupted {};

inline void widen(Box& box, double x, double y) {
  box = {std::min(box.minX, x), std::min(box.minY, y), std::max(box.maxX, x),
         std::max(box.maxY, y)};
}

// The drawing's bounds: those of every vertex.
inline void boundAllVertices(Drawing& drawing) {
  for (std::size_t k = 0; k + 1 < drawing.vertices.size(); k += 2) {
    widen(drawing.bounds, drawing.vertices[k], drawing.vertices[k + 1]);
  }
}

// Appends the vertices of `figures` figures to the drawing cell by cell of
// a grid over them, about four figures a cell, and returns the number of
// the cells in drawing.cells. `forEach(f)` calls f with each figure's
// vertices, a std::array of x, y pairs, in the same order each time.
template <std::size_t Count, class ForEach>
int storeInCells(Drawing& drawing, std::size_t figures, ForEach forEach, bool (*stopped)()) {
  using Vertices = std::array<float, Count>;
  const auto figureBox = [](const Vertices& v) {
    Box box{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (std::size_t k = 0; k < Count; k += 2) widen(box, v[k], v[k + 1]);
    return box;
  };
  Box all{INFINITY, INFINITY, -INFINITY, -INFINITY};
  forEach([&](const Vertices& v) {
    const Box b = figureBox(v);
    widen(all, b.minX, b.minY);
    widen(all, b.maxX, b.maxY);
  });
  RunCells cells = RunCells::over(all, figures, 4);
  std::size_t done = 0;
  const auto step = [&] {
    if (stopDue(++done, [&] { return stopped && stopped(); })) throw Interrupted{};
  };
  const std::size_t first = drawing.vertices.size();
  drawing.vertices.resize(first + figures * Count);
  sortIntoBuckets(
      cells.start.data(), cells.start.size() - 1,
      [&](auto countIn) {
        forEach([&](const Vertices& v) {
          step();
          countIn(cells.cellOf(figureBox(v)));
        });
      },
      [&](auto place) {
        forEach([&](const Vertices& v) {
          step();
          std::copy(v.begin(), v.end(),
                    &drawing.vertices[first + Count * place(cells.cellOf(figureBox(v)))]);
        });
      });
  drawing.cells.push_back(std::move(cells));
  return int(drawing.cells.size() - 1);
}

}  // namespace prepare_detail
