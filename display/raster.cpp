#include "raster.h"

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "palette.h"

namespace {

struct Canvas {
  int width, height;
  std::uint8_t* pixels;
  std::uint8_t colour[3];

  void set(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    std::copy_n(colour, 3, pixels + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3);
  }

  // A point of size 4: the pixels whose centres lie in the square of side 4
  // about it.
  void dot(double x, double y) {
    if (!(x > -3 && y > -3 && x < width + 3 && y < height + 3)) return;
    const int left = int(std::ceil(x - 2.5)), bottom = int(std::ceil(y - 2.5));
    if (left < 0 || bottom < 0 || left + 4 > width || bottom + 4 > height) {
      for (int row = bottom; row < bottom + 4; ++row) {
        for (int column = left; column < left + 4; ++column) set(column, row);
      }
      return;
    }
    for (int row = bottom; row < bottom + 4; ++row) {
      std::uint8_t* at = pixels + (std::size_t(row) * std::size_t(width) + std::size_t(left)) * 3;
      for (int k = 0; k < 4; ++k, at += 3) at[0] = colour[0], at[1] = colour[1], at[2] = colour[2];
    }
  }

  // A line a pixel wide, one pixel per step along its longer axis.
  void line(double ax, double ay, double bx, double by) {
    if ((ax < -2 && bx < -2) || (ay < -2 && by < -2) || (ax > width + 2 && bx > width + 2) ||
        (ay > height + 2 && by > height + 2)) {
      return;
    }
    // Clipped to a little more than the window first: a long line far
    // outside costs nothing.
    double t0 = 0, t1 = 1;
    const double dx = bx - ax, dy = by - ay;
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
    const double x0 = ax + t0 * dx, y0 = ay + t0 * dy, x1 = ax + t1 * dx, y1 = ay + t1 * dy;
    const int steps = int(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))));
    const double sx = steps ? (x1 - x0) / steps : 0, sy = steps ? (y1 - y0) / steps : 0;
    double x = x0, y = y0;
    for (int s = 0; s <= steps; ++s, x += sx, y += sy) set(int(std::floor(x)), int(std::floor(y)));
  }
};

}  // namespace

void rasterDrawing(const Placement& p, int width, int height, std::vector<std::uint8_t>& pixels) {
  pixels.resize(std::size_t(width) * std::size_t(height) * 3);
  const std::uint8_t clear[3] = {230, 230, 204};  // the clear colour, 0.9 0.9 0.8
  std::copy_n(clear, 3, pixels.data());
  for (std::size_t done = 3; done < pixels.size(); done *= 2) {
    std::copy_n(pixels.data(), std::min(done, pixels.size() - done), pixels.data() + done);
  }
  Canvas canvas{width, height, pixels.data(), {255, 255, 255}};
  const double halfWidth = width / 2.0, halfHeight = height / 2.0;
  const auto px = [&](double x) { return halfWidth + (x - p.cx) * p.pixelsPerUnit; };
  const auto py = [&](double y) { return halfHeight + (y - p.cy) * p.pixelsPerUnit; };
  const float* v = drawing.vertices.data();
  for (const Run& run : drawing.runs) {
    if (isPaletteCode(run.colour)) {
      for (int k = 0; k < 3; ++k)
        canvas.colour[k] = std::uint8_t(std::lround(palette[run.colour][k] * 255));
    }
    const std::size_t first = 2 * std::size_t(run.firstVertex);
    const std::size_t end = first + 2 * std::size_t(run.vertexCount);
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
  }
}
