#include "raster.h"

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "geometry/two_threads.h"
#include "palette.h"
#include "view.h"

namespace {

// A pixel as one word while painting (red, green, blue, and a mark in the
// top byte where the canvas painted it): a dot writes whole words.
constexpr std::uint32_t painted = 0xFF000000u;

// floor and ceil of a value no less than -8, without the library's calls:
// truncation is the floor where the value is not negative.
int floorOf(double v) {
  return int(v + 8) - 8;
}
int ceilOf(double v) {
  const int f = floorOf(v);
  return f + (f < v);
}

std::uint32_t pixelOf(int code) {
  const auto part = [&](int k) { return std::uint32_t(std::lround(palette[code][k] * 255)); };
  return painted | part(0) | part(1) << 8 | part(2) << 16;
}

struct Canvas {
  int width, height;
  std::uint32_t* pixels;  // rows from the bottom
  std::uint32_t colour;

  void set(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = colour;
  }

  // A point of size 4: the pixels whose centres lie in the square of side 4
  // about it.
  void dot(double x, double y) {
    if (!(x > -3 && y > -3 && x < width + 3 && y < height + 3)) return;
    const int left = ceilOf(x - 2.5), bottom = ceilOf(y - 2.5);
    if (left < 0 || bottom < 0 || left + 4 > width || bottom + 4 > height) {
      for (int row = bottom; row < bottom + 4; ++row) {
        for (int column = left; column < left + 4; ++column) set(column, row);
      }
      return;
    }
    for (int row = bottom; row < bottom + 4; ++row) {
      std::fill_n(pixels + std::size_t(row) * std::size_t(width) + std::size_t(left), 4, colour);
    }
  }

  // A line a pixel wide, one pixel per step along its longer axis.
  void line(double ax, double ay, double bx, double by) {
    if ((ax < -2 && bx < -2) || (ay < -2 && by < -2) || (ax > width + 2 && bx > width + 2) ||
        (ay > height + 2 && by > height + 2)) {
      return;
    }
    // Shorter than a pixel, as most are in a view of a huge drawing: one
    // pixel, or two.
    const double dx = bx - ax, dy = by - ay;
    if (std::fabs(dx) < 1 && std::fabs(dy) < 1) {  // within the window and a little more
      set(floorOf(ax), floorOf(ay));
      set(floorOf(bx), floorOf(by));
      return;
    }
    const bool inside = ax >= -2 && ay >= -2 && bx >= -2 && by >= -2 && ax <= width + 2 &&
                        bx <= width + 2 && ay <= height + 2 && by <= height + 2;
    if (inside) {
      steps(ax, ay, bx, by);
      return;
    }
    // Clipped to a little more than the window first: a long line far
    // outside costs nothing.
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax + 2, width + 2 - ax, ay + 2, height + 2 - ay};
    for (int k = 0; k < 4; ++k) {
      if (p[k] == 0) {
        if (q[k] < 0) return;
      } else if (p[k] < 0) {
        t0 = std::max(t0, q[k] / p[k]);
      } else {
        t1 = std::min(t1, q[k] / p[k]);
      }
    }
    if (t0 > t1) return;
    steps(ax + t0 * dx, ay + t0 * dy, ax + t1 * dx, ay + t1 * dy);
  }

  // The pixels of a line within the window and a little more.
  void steps(double x0, double y0, double x1, double y1) {
    const int count = ceilOf(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
    const double sx = count ? (x1 - x0) / count : 0, sy = count ? (y1 - y0) / count : 0;
    double x = x0, y = y0;
    for (int s = 0; s <= count; ++s, x += sx, y += sy) set(floorOf(x), floorOf(y));
  }
};

// The vertices [from, to) of the drawing, a whole number of figures, in the
// order and colours of its runs: where `from` is inside the drawing, the
// colour in force there is that of the last run before it with a colour of
// its own.
void paintVertices(const Placement& p, Canvas& canvas, std::size_t from, std::size_t to) {
  const double halfWidth = canvas.width / 2.0, halfHeight = canvas.height / 2.0;
  const auto px = [&](double x) { return halfWidth + (x - p.cx) * p.pixelsPerUnit; };
  const auto py = [&](double y) { return halfHeight + (y - p.cy) * p.pixelsPerUnit; };
  const float* v = drawing.vertices.data();
  // What the canvas shows of the drawing plane, with the room a dot takes.
  const double margin = 3 / p.pixelsPerUnit;
  const Box visible{
      p.cx - halfWidth / p.pixelsPerUnit - margin, p.cy - halfHeight / p.pixelsPerUnit - margin,
      p.cx + halfWidth / p.pixelsPerUnit + margin, p.cy + halfHeight / p.pixelsPerUnit + margin};
  const auto paint = [&](const Run& run, std::size_t first, std::size_t end) {
    switch (run.shape) {
      case Shape::Circles:
        for (std::size_t k = first; k < end; k += 2) {
          const std::size_t next = k + 2 == end ? first : k + 2;
          canvas.line(px(v[k]), py(v[k + 1]), px(v[next]), py(v[next + 1]));
        }
        break;
      case Shape::Lines:
      case Shape::Segments:
        for (std::size_t k = first; k < end; k += 4) {
          canvas.line(px(v[k]), py(v[k + 1]), px(v[k + 2]), py(v[k + 3]));
        }
        if (run.shape == Shape::Lines) break;
        [[fallthrough]];
      case Shape::Points:
        for (std::size_t k = first; k < end; k += 2) canvas.dot(px(v[k]), py(v[k + 1]));
        break;
    }
  };
  for (const Run& run : drawing.runs) {
    const std::size_t runFirst = std::size_t(run.firstVertex);
    const std::size_t runEnd = runFirst + std::size_t(run.vertexCount);
    if (runFirst >= to) break;
    if (isPaletteCode(run.colour)) canvas.colour = pixelOf(run.colour);
    if (runEnd <= from) continue;
    // Figures in [first, end) of the run's vertices, within [from, to).
    const auto part = [&](std::size_t first, std::size_t end) {
      first = std::max(first, from);
      end = std::min(end, to);
      if (first < end) paint(run, 2 * first, 2 * end);
    };
    if (run.cells < 0) {
      part(runFirst, runEnd);
      continue;
    }
    // Only the cells in view, a row of them at a time; a figure in a cell
    // reaches into the next cells up and to the right, no further.
    const RunCells& cells = drawing.cells[std::size_t(run.cells)];
    const std::size_t perFigure = run.shape == Shape::Points ? 1 : 2;
    const auto cellAt = [&](double v, double origin, int limit) {
      const double c = (v - origin) * cells.inverse;
      return c < 0 ? 0 : c >= limit ? limit - 1 : int(c);
    };
    const int c0 = cellAt(visible.minX - cells.width, cells.x0, cells.columns);
    const int c1 = cellAt(visible.maxX, cells.x0, cells.columns);
    const int r0 = cellAt(visible.minY - cells.width, cells.y0, cells.rows);
    const int r1 = cellAt(visible.maxY, cells.y0, cells.rows);
    for (int r = r0; r <= r1; ++r) {
      const std::size_t row = std::size_t(r) * std::size_t(cells.columns);
      part(runFirst + perFigure * cells.start[row + std::size_t(c0)],
           runFirst + perFigure * cells.start[row + std::size_t(c1) + 1]);
    }
    const std::size_t cellCount = std::size_t(cells.columns) * std::size_t(cells.rows);
    part(runFirst + perFigure * cells.start[cellCount], runEnd);
  }
}

// Where the drawing splits in two halves of about as many vertices, between
// two figures; without the crossings, where the points begin.
void halves(bool crossings, std::size_t& middle, std::size_t& end) {
  end = drawing.vertices.size() / 2;
  for (const Run& run : drawing.runs) {
    if (run.shape == Shape::Points && !crossings) {
      end = std::size_t(run.firstVertex);
      break;
    }
  }
  middle = end / 2;
  for (const Run& run : drawing.runs) {
    const std::size_t first = std::size_t(run.firstVertex),
                      last = first + std::size_t(run.vertexCount);
    if (middle < first || middle >= last) continue;
    if (run.shape == Shape::Circles) middle = first;  // an outline is one figure
    if (run.shape == Shape::Lines || run.shape == Shape::Segments) middle -= (middle - first) % 2;
    break;
  }
}

std::vector<std::uint32_t> canvases[2];

}  // namespace

void rasterDrawing(const Placement& p, int width, int height, std::vector<std::uint8_t>& pixels,
                   bool crossings) {
  // The two halves of the figures, each on a canvas of its own, on two
  // threads; the later half lies over the earlier where it painted.
  std::size_t middle, end;
  halves(crossings, middle, end);
  const std::size_t size = std::size_t(width) * std::size_t(height);
  const std::uint32_t clear = 230 | 230 << 8 | 204 << 16;  // 0.9 0.9 0.8, unpainted
  onTwoThreads(
      [&](int half) {
        std::vector<std::uint32_t>& canvas = canvases[half];
        canvas.assign(size, half == 0 ? clear : 0);
        Canvas c{width, height, canvas.data(), pixelOf(White)};
        paintVertices(p, c, half == 0 ? 0 : middle, half == 0 ? middle : end);
      },
      end > 4096);
  pixels.resize(size * 3);
  const std::uint32_t* under = canvases[0].data();
  const std::uint32_t* over = canvases[1].data();
  for (std::size_t k = 0; k < size; ++k) {
    const std::uint32_t pixel = over[k] & painted ? over[k] : under[k];
    pixels[3 * k] = std::uint8_t(pixel);
    pixels[3 * k + 1] = std::uint8_t(pixel >> 8);
    pixels[3 * k + 2] = std::uint8_t(pixel >> 16);
  }
}
