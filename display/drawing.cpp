#include "drawing.h"

#include <algorithm>
#include <cmath>
#include <limits>

RunCells RunCells::over(const Box& all, std::size_t figures, double perCell) {
  RunCells cells;
  const double spanX = all.maxX - all.minX, spanY = all.maxY - all.minY;
  const double target = std::max(1.0, double(figures) / perCell);
  cells.width = std::max({std::sqrt(spanX * spanY / target), spanX / 4096, spanY / 4096,
                          std::numeric_limits<double>::min()});
  cells.inverse = 1 / cells.width;
  cells.x0 = all.minX;
  cells.y0 = all.minY;
  cells.columns = int(std::min(4096.0, std::floor(spanX * cells.inverse) + 1));
  cells.rows = int(std::min(4096.0, std::floor(spanY * cells.inverse) + 1));
  cells.start.assign(std::size_t(cells.columns) * std::size_t(cells.rows) + 2, 0);
  return cells;
}

const float* crossingPoints(const Drawing& drawing, std::size_t& count, const RunCells** cells) {
  // A map's rings are one run; the scene's points are prepared last, their
  // vertices ending the drawing's.
  std::size_t first = drawing.vertices.size() / 2, end = first;
  int runs = 0;
  const Run* last = nullptr;
  if (drawing.mapStyle) {
    for (const Run& run : drawing.runs) {
      if (run.shape != Shape::Rings) continue;
      first = std::size_t(run.firstVertex);
      end = first + std::size_t(run.vertexCount);
      last = &run;
      runs = 1;
    }
  } else {
    for (auto run = drawing.runs.rbegin();
         run != drawing.runs.rend() && run->shape == Shape::Points; ++run) {
      first = std::size_t(run->firstVertex);
      last = &*run;
      ++runs;
    }
  }
  count = end - first;
  if (cells) {
    *cells = runs == 1 && last->cells >= 0 ? &drawing.cells[std::size_t(last->cells)] : nullptr;
  }
  return drawing.vertices.data() + 2 * first;
}

bool drawingBounds(const Drawing& drawing, Box& box) {
  box = drawing.bounds;
  return box.minX <= box.maxX;
}

bool anyFigureIn(const Drawing& drawing, const Box& box) {
  const LargeVector<float>& v = drawing.vertices;
  for (const Run& run : drawing.runs) {
    const std::size_t first = 2 * std::size_t(run.firstVertex);
    const std::size_t end = first + 2 * std::size_t(run.vertexCount);
    if (verticesPerFigure(run.shape) == 1) {
      for (std::size_t k = first; k < end; k += 2) {
        if (v[k] >= box.minX && v[k] <= box.maxX && v[k + 1] >= box.minY && v[k + 1] <= box.maxY)
          return true;
      }
      continue;
    }
    // Segments, lines and stretches come in pairs of vertices; a circle's outline joins
    // each vertex to the next and the last to the first.
    const bool outline = run.shape == Shape::Circles;
    for (std::size_t k = first; k < end; k += outline ? 2 : 4) {
      const std::size_t next = outline ? (k + 2 == end ? first : k + 2) : k + 2;
      double ax = v[k], ay = v[k + 1], bx = v[next], by = v[next + 1];
      if (clipToBox(ax, ay, bx, by, box)) return true;
    }
  }
  return false;
}
