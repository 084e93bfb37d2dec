// Preparing the drawing from the scene.
//
// The scene holds every figure as often as the pair loop added it: with n
// segments, about n^2/2 entries that are mostly repeats, stored as runs of
// figures stored once. Without depth test or blending, the last figure to
// touch a pixel decides its colour, so an entry that is drawn again later in
// the same colour can be dropped without changing a single pixel. What
// remains is drawn from vertex arrays, one call per run of equal colour, in
// the order circles, lines, segments, points.
#include "prepare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "drawing.h"
#include "geometry/buckets.h"
#include "geometry/scene.h"
#include "geometry/stopping.h"
#include "palette.h"
#include "prepare_cells.h"

using namespace prepare_detail;

namespace {

constexpr int circleVertices = 100;
constexpr double circleStep = 0.06283185307179587;  // 2 pi / 100
constexpr float lineReach = 100;                    // a line is drawn this many directions each way

// The vertices of one figure, x and y, exactly as they are sent to OpenGL.
template <std::size_t Count>
using Vertices = std::array<float, Count>;

Vertices<2 * circleVertices> verticesOf(const Circle& c) {
  Vertices<2 * circleVertices> v;
  for (int k = 0; k < circleVertices; ++k) {
    const double angle = k * circleStep;
    v[2 * k] = float(c.centre.x + c.radius * std::cos(angle));
    v[2 * k + 1] = float(c.centre.y + c.radius * std::sin(angle));
  }
  return v;
}

Vertices<4> verticesOf(const Line& l) {
  return {l.point.x + lineReach * l.direction.x, l.point.y + lineReach * l.direction.y,
          l.point.x - lineReach * l.direction.x, l.point.y - lineReach * l.direction.y};
}

Vertices<4> verticesOf(const Segment& s) {
  return {s.A.x, s.A.y, s.B.x, s.B.y};
}

Vertices<2> verticesOf(const Point& p) {
  return {p.x, p.y};
}

// Appends the vertices of the list's figures to the drawing cell by cell.
template <class Figure>
int storeListInCells(Drawing& drawing, const FigureList<Figure>& list, bool (*stopped)()) {
  constexpr std::size_t count = std::tuple_size_v<decltype(verticesOf(Figure{}))>;
  return storeInCells<count>(
      drawing, list.figureCount(),
      [&](auto f) { list.forEachFigure([&](const Figure& figure) { f(verticesOf(figure)); }); },
      stopped);
}

// Adds one list to the drawing. `current` is the colour in force before the
// list and after it. Each figure is drawn where its last run is: an earlier
// run of it, drawn again later in the same colour, changes no pixel. A
// figure whose colour code is not in the palette takes the colour in force
// at each of its runs, and each of them is drawn.
template <class Figure>
void prepareList(Drawing& drawing, const FigureList<Figure>& list, Shape shape, int& current,
                 bool huge, bool (*stopped)()) {
  constexpr std::size_t count = std::tuple_size_v<decltype(verticesOf(Figure{}))>;
  // Figures all in one colour of the palette, such as the pair loop's: in
  // whatever order they are drawn, the same pixels take that colour, so
  // each is drawn once, where it was stored or, in a huge drawing, where its
  // cell is.
  std::int32_t colour;
  if (list.oneColour(colour) && isPaletteCode(colour) && shape != Shape::Circles) {
    const int cells = huge ? storeListInCells(drawing, list, stopped) : -1;
    const std::size_t first =
        drawing.vertices.size() - (cells < 0 ? 0 : list.figureCount() * count);
    if (cells < 0) {
      drawing.vertices.resize(first + list.figureCount() * count);
      float* at = drawing.vertices.data() + first;
      std::size_t done = 0;
      list.forEachFigure([&](const Figure& f) {
        if (stopDue(++done, [&] { return stopped && stopped(); })) throw Interrupted{};
        const Vertices<count> v = verticesOf(f);
        at = std::copy(v.begin(), v.end(), at);
      });
    }
    drawing.runs.push_back(
        Run{shape, colour, int(first / 2), int(list.figureCount() * count / 2), cells});
    current = colour;
    return;
  }
  // The last run of each figure, counted from 1: needed only where some
  // figure comes back after other runs, and runs can be counted in 32 bits.
  LargeVector<std::uint32_t> lastRun;
  if (list.repeats() && list.runCount() < UINT32_MAX) {
    lastRun.resize(list.figureCount());
    std::uint32_t run = 0;
    list.forEachRunOfFigures([&](const auto& r) { lastRun[r.figure] = ++run; });
  }
  drawing.vertices.reserve(drawing.vertices.size() + list.figureCount() * count);
  std::uint32_t run = 0;
  list.forEachRunOfFigures([&](const auto& r) {
    if (stopDue(++run, [&] { return stopped && stopped(); })) throw Interrupted{};
    const Figure& f = list.figure(r.figure);
    const bool ownColour = isPaletteCode(f.colour);
    if (ownColour) current = f.colour;
    if (ownColour && !lastRun.empty() && lastRun[r.figure] != run) return;  // drawn later
    const Vertices<count> v = verticesOf(f);
    const int first = int(drawing.vertices.size() / 2);
    drawing.vertices.insert(drawing.vertices.end(), v.begin(), v.end());
    Run* last = drawing.runs.empty() ? nullptr : &drawing.runs.back();
    if (last && last->shape == shape && last->colour == current && shape != Shape::Circles) {
      last->vertexCount += int(count / 2);
    } else {
      drawing.runs.push_back(Run{shape, current, first, int(count / 2)});
    }
  });
}

}  // namespace

bool prepareScene(Drawing& drawing, bool (*stopped)()) {
  drawing = Drawing{};
  try {
    // Room for every vertex at once: growing would copy, into fresh memory.
    drawing.vertices.reserve(2 *
                             (100 * scene.circles.figureCount() + 2 * scene.lines.figureCount() +
                              2 * scene.segments.figureCount() + scene.points.figureCount()));
    const bool huge = drawing.vertices.capacity() / 2 > hugeDrawing;
    int current = inheritedColour;
    prepareList(drawing, scene.circles, Shape::Circles, current, huge, stopped);
    prepareList(drawing, scene.lines, Shape::Lines, current, huge, stopped);
    prepareList(drawing, scene.segments, Shape::Segments, current, huge, stopped);
    prepareList(drawing, scene.points, Shape::Points, current, huge, stopped);
    boundAllVertices(drawing);
    for (Run& run : drawing.runs) {
      if (run.shape != Shape::Segments) continue;
      const float* v = drawing.vertices.data() + 2 * std::size_t(run.firstVertex);
      for (std::size_t k = 4; k < 2 * std::size_t(run.vertexCount); k += 4) {
        run.joints += v[k] == v[k - 2] && v[k + 1] == v[k - 1];
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const Interrupted&) {
  }
  drawing = Drawing{};
  return false;
}
