// The window's pixels as the processor paints a huge drawing on them: dots,
// lines, and many dots of one colour marked first and filled in one pass.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "drawing.h"
#include "palette.h"

namespace raster_detail {

// A pixel as one word while painting (red, green, blue, and a mark in the
// top byte where the canvas painted it): a dot writes whole words.
constexpr std::uint32_t painted = 0xFF000000u;

// floor and ceil of a value no less than -8, without the library's calls:
// truncation is the floor where the value is not negative.
inline int floorOf(double v) {
  return int(v + 8) - 8;
}
inline int ceilOf(double v) {
  const int f = floorOf(v);
  return f + (f < v);
}

// A colour as the canvas holds it, and as painted.
inline std::uint32_t pixelOf(const float (&rgb)[3]) {
  const auto part = [&](int k) { return std::uint32_t(std::lround(rgb[k] * 255)); };
  return part(0) | part(1) << 8 | part(2) << 16;
}
inline std::uint32_t pixelOf(int code) {
  return painted | pixelOf(colourOf(code));
}

// A map's markers as pixel offsets from the pixel of their point: a ring
// 7 pixels across, 2 wide, for a crossing (the pixels between 2 and 3.5
// from the centre), and a disc 5 across for a touch.
struct Offset {
  signed char dx, dy;
};
inline constexpr Offset ringPixels[] = {
    {2, 0},  {-2, 0},  {0, 2},  {0, -2},  {2, 1},  {2, -1},  {-2, 1}, {-2, -1}, {1, 2}, {-1, 2},
    {1, -2}, {-1, -2}, {2, 2},  {2, -2},  {-2, 2}, {-2, -2}, {3, 0},  {-3, 0},  {0, 3}, {0, -3},
    {3, 1},  {3, -1},  {-3, 1}, {-3, -1}, {1, 3},  {-1, 3},  {1, -3}, {-1, -3}};
inline constexpr Offset spotPixels[] = {{0, 0},  {1, 0},  {-1, 0}, {0, 1},   {0, -1},
                                        {1, 1},  {1, -1}, {-1, 1}, {-1, -1}, {2, 0},
                                        {-2, 0}, {0, 2},  {0, -2}};

// The window's pixels while painting, and where the drawing plane lies on
// them. Sizes are `long`, so that the compiler knows the pixel stores leave
// them be.
struct Canvas {
  long width, height;
  std::uint32_t* pixels;  // rows from the bottom
  std::uint32_t colour;
  double cx, cy, perUnit;  // the plane's point at the centre, pixels per unit
  // Many dots of one colour are marked first, at the lower left corner of
  // the square, 3 columns and rows beyond the canvas's lower left; the
  // squares are filled in one pass when the colour ends. Marks are bools:
  // stores of bytes might change anything else, for all the compiler knows.
  bool* marks;  // and one spare past them, for dots out of sight
  bool marking = false, marked = false;

  double x(float v) const { return double(width) / 2 + (v - cx) * perUnit; }
  double y(float v) const { return double(height) / 2 + (v - cy) * perUnit; }

  void set(long x, long y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    pixels[y * width + x] = colour;
  }

  // A point of size 4: the pixels whose centres lie in the square of side 4
  // about it, or its mark.
  void dot(double x, double y) {
    if (!(x > -3 && y > -3 && x < width + 3 && y < height + 3)) return;
    const long left = ceilOf(x - 2.5), bottom = ceilOf(y - 2.5);
    if (left < 0 || bottom < 0 || left + 4 > width || bottom + 4 > height) {
      for (long row = bottom; row < bottom + 4; ++row) {
        for (long column = left; column < left + 4; ++column) set(column, row);
      }
      return;
    }
    for (long row = bottom; row < bottom + 4; ++row) {
      std::fill_n(pixels + row * width + left, 4, colour);
    }
  }

  // x and y side by side, as the processor's vector registers hold them.
  using Pair = double __attribute__((vector_size(16)));

  Pair placed(const float* p) const {
    return Pair{double(width) / 2, double(height) / 2} +
           (Pair{p[0], p[1]} - Pair{cx, cy}) * perUnit;
  }

  // Where the mark of a dot at canvas position p goes: the square's corner,
  // 3 beyond the canvas, as dot() places it; out of sight, the spare mark.
  int markAt(Pair p) const {
    using Ints = int __attribute__((vector_size(8)));
    const int w = int(width), h = int(height);
    // Corners outside these are out of sight; clamped to them, they convert
    // to int without overflow.
    const Pair low = {-8, -8}, high = {double(w) + 8, double(h) + 8};
    Pair corner = p - 2.5;
    corner = corner < low ? low : corner;
    corner = corner > high ? high : corner;
    Ints c = __builtin_convertvector(corner + 8, Ints) - 8;
    c -= __builtin_convertvector(__builtin_convertvector(c, Pair) < corner, Ints);
    c += 3;
    const bool seen = (c[0] >= 0) & (c[1] >= 0) & (c[0] < w + 3) & (c[1] < h + 3);
    return seen ? c[1] * (w + 3) + c[0] : (w + 3) * (h + 3);
  }

  // The marks of the dots at vertices [first, end) of v, a block at a
  // time: where each goes is the same arithmetic for every vertex, and
  // only the marks are stored one by one.
  void markDots(const float* v, std::size_t first, std::size_t end) {
    constexpr std::size_t block = 256;
    int at[block];
    for (std::size_t k = first; k < end; k += 2 * block) {
      const std::size_t count = std::min(block, (end - k) / 2);
      for (std::size_t i = 0; i < count; ++i) at[i] = markAt(placed(v + k + 2 * i));
      for (std::size_t i = 0; i < count; ++i) marks[at[i]] = true;
    }
    marked = true;
  }

  // The segments at vertices [first, end) of v with their end dots marked,
  // each end placed once: the lines of those shorter than a pixel are left
  // out, as the squares of their end dots hold all their pixels, and a
  // line's joint, the end of one segment and the start of the next, is
  // placed and marked once.
  void markSegments(const float* v, std::size_t first, std::size_t end) {
    constexpr std::size_t block = 256;
    int at[2 * block];
    for (std::size_t k = first; k < end; k += 4 * block) {
      const std::size_t count = std::min(block, (end - k) / 4);
      std::size_t marking = 0;
      const float* u = v + k;
      Pair a = placed(u), b;
      for (std::size_t i = 0; i < count; ++i, u += 4) {
        const bool joint = i > 0 && u[0] == u[-2] && u[1] == u[-1];
        if (!joint) {
          a = placed(u);
          at[marking++] = markAt(a);
        } else {
          a = b;
        }
        b = placed(u + 2);
        at[marking++] = markAt(b);
        const Pair d = b - a;
        if ((d[0] >= 1) | (d[0] <= -1) | (d[1] >= 1) | (d[1] <= -1)) line(a[0], a[1], b[0], b[1]);
      }
      for (std::size_t i = 0; i < marking; ++i) marks[at[i]] = true;
    }
    marked = true;
  }

  // The squares of the marked dots, painted; the marks cleared. Pixel
  // (x, y) is in the square of the dot marked at (x..x + 3, y..y + 3).
  void fillMarks() {
    if (!marked) return;
    const long stride = width + 3;
    std::vector<std::uint8_t> column(static_cast<std::size_t>(stride));
    for (long y = 0; y < height; ++y) {
      const bool* rows = marks + y * stride;
      for (long x = 0; x < stride; ++x) {
        column[x] = rows[x] | rows[x + stride] | rows[x + 2 * stride] | rows[x + 3 * stride];
      }
      std::uint32_t* row = pixels + y * width;
      for (long x = 0; x < width; ++x) {
        if (column[x] | column[x + 1] | column[x + 2] | column[x + 3]) row[x] = colour;
      }
    }
    std::fill(marks, marks + stride * (height + 3) + 1, false);
    marked = false;
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

  // A marker's pixels about the pixel of (x, y).
  template <std::size_t N>
  void stamp(double x, double y, const Offset (&pixels)[N]) {
    if (!(x > -4 && y > -4 && x < width + 4 && y < height + 4)) return;
    const long cx = floorOf(x), cy = floorOf(y);
    for (const Offset& o : pixels) set(cx + o.dx, cy + o.dy);
  }

  // A line 3 pixels wide: each of its pixels with those around it.
  void thickLine(double ax, double ay, double bx, double by) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) line(ax + dx, ay + dy, bx + dx, by + dy);
    }
  }

  // The figures of `shape` at vertices [first, end) of v, all in the
  // current colour, so in any order: a segment's end dots come with it.
  void paint(Shape shape, const float* v, std::size_t first, std::size_t end) {
    switch (shape) {
      case Shape::Circles:
        for (std::size_t k = first; k < end; k += 2) {
          const std::size_t next = k + 2 == end ? first : k + 2;
          line(x(v[k]), y(v[k + 1]), x(v[next]), y(v[next + 1]));
        }
        break;
      case Shape::Lines:
        for (std::size_t k = first; k < end; k += 4) {
          line(x(v[k]), y(v[k + 1]), x(v[k + 2]), y(v[k + 3]));
        }
        break;
      case Shape::Segments:
        if (marking) {
          markSegments(v, first, end);
          break;
        }
        for (std::size_t k = first; k < end; k += 4) {
          const double ax = x(v[k]), ay = y(v[k + 1]), bx = x(v[k + 2]), by = y(v[k + 3]);
          line(ax, ay, bx, by);
          dot(ax, ay);
          dot(bx, by);
        }
        break;
      case Shape::Stretches:
        for (std::size_t k = first; k < end; k += 4) {
          thickLine(x(v[k]), y(v[k + 1]), x(v[k + 2]), y(v[k + 3]));
        }
        break;
      case Shape::Spots:
        for (std::size_t k = first; k < end; k += 2) stamp(x(v[k]), y(v[k + 1]), spotPixels);
        break;
      case Shape::Rings:
        for (std::size_t k = first; k < end; k += 2) stamp(x(v[k]), y(v[k + 1]), ringPixels);
        break;
      case Shape::Points:
        if (marking) {
          markDots(v, first, end);
        } else {
          for (std::size_t k = first; k < end; k += 2) dot(x(v[k]), y(v[k + 1]));
        }
        break;
    }
  }
};

}  // namespace raster_detail
