// Preparing the drawing from the scene.
//
// The scene holds every figure as often as the pair loop added it: with n
// segments, about n^2/2 entries that are mostly repeats, stored as runs.
// Without depth test or blending, the last figure to touch a pixel decides
// its colour, so an entry that is drawn again later in the same colour can be
// dropped without changing a single pixel. What remains is drawn from vertex
// arrays, one call per run of equal colour, in the order circles, lines,
// segments, points.
#include "draw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "drawing.h"
#include "geometry/scene.h"
#include "palette.h"

Drawing drawing;

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

// The distinct figures of one list (equal vertices, drawn in the same
// colour), numbered as they are first found. Open addressing over those
// numbers, kept at most half full.
template <std::size_t Count>
class DistinctFigures {
 public:
  // Room for `figures` without growing: the table is then never rebuilt.
  explicit DistinctFigures(std::size_t figures) {
    slots_.assign(std::bit_ceil(2 * figures + 16), empty);
    vertices.reserve(figures);
    colours.reserve(figures);
  }

  static std::size_t hash(const Vertices<Count>& v, int colour) {
    std::uint64_t h = 1469598103934665603ull ^ std::uint32_t(colour);
    for (float f : v) h = (h ^ std::bit_cast<std::uint32_t>(f)) * 1099511628211ull;
    // Lattice coordinates differ only in a few high bits of each float: mix
    // them into the low bits that pick the slot.
    h = (h ^ (h >> 33)) * 0xff51afd7ed558ccdull;
    return std::size_t(h ^ (h >> 33));
  }

  // Asks for the slot of a figure about to be looked up: the table is far
  // larger than the caches.
  void prefetch(std::size_t hash) const { __builtin_prefetch(&slots_[hash & mask()]); }

  // The number of the figure with these vertices and colour, adding it if it
  // is new.
  std::uint32_t find(const Vertices<Count>& v, int colour, std::size_t hash) {
    if (2 * (colours.size() + 1) > slots_.size()) grow();
    for (std::size_t slot = hash & mask();; slot = (slot + 1) & mask()) {
      const std::uint32_t index = slots_[slot];
      if (index == empty) {
        slots_[slot] = std::uint32_t(colours.size());
        vertices.push_back(v);
        colours.push_back(colour);
        return slots_[slot];
      }
      if (colours[index] == colour && std::memcmp(&vertices[index], &v, sizeof v) == 0) {
        return index;
      }
    }
  }

  LargeVector<Vertices<Count>> vertices;
  LargeVector<int> colours;

 private:
  static constexpr std::uint32_t empty = UINT32_MAX;

  std::size_t mask() const { return slots_.size() - 1; }

  void grow() {
    slots_.assign(slots_.empty() ? 16 : 2 * slots_.size(), empty);
    for (std::uint32_t index = 0; index < colours.size(); ++index) {
      std::size_t slot = hash(vertices[index], colours[index]) & mask();
      while (slots_[slot] != empty) slot = (slot + 1) & mask();
      slots_[slot] = index;
    }
  }

  LargeVector<std::uint32_t> slots_;
};

// Thrown when the preparation is asked to stop.
struct Interrupted {};

// Adds one list to the drawing. `current` is the colour in force before the
// list and after it. Works on the list's runs: the entries of a run are one
// figure repeated, drawn once. Figures drawn in the colour that is inherited
// from the previous frame are never merged with figures of a set colour.
template <class Figure>
void prepareList(const FigureList<Figure>& list, Shape shape, int& current, bool (*stopped)()) {
  constexpr std::size_t count = std::tuple_size_v<decltype(verticesOf(Figure{}))>;
  // Which figure each run shows, and the last run that shows each figure.
  DistinctFigures<count> figures(list.runCount());
  LargeVector<std::uint32_t> figureOfRun;
  figureOfRun.reserve(list.runCount());
  LargeVector<std::size_t> lastRun;
  lastRun.reserve(list.runCount());
  // Runs are looked up a few behind the one read, whose slot is asked for
  // meanwhile.
  struct Pending {
    Vertices<count> v;
    int colour;
    std::size_t hash;
  };
  constexpr std::size_t ahead = 8;
  std::array<Pending, ahead> pending;
  std::size_t read = 0;
  auto lookUp = [&](const Pending& p) {
    const std::uint32_t figure = figures.find(p.v, p.colour, p.hash);
    if (figure == lastRun.size()) lastRun.push_back(0);
    lastRun[figure] = figureOfRun.size();
    figureOfRun.push_back(figure);
  };
  list.forEachRun([&](const Figure& f, std::uint32_t) {
    if ((read & 0xFFFF) == 0 && stopped && stopped()) throw Interrupted{};
    if (isPaletteCode(f.colour)) current = f.colour;
    Pending& slot = pending[read++ % ahead];
    if (read > ahead) lookUp(slot);
    slot.v = verticesOf(f);
    slot.colour = current;
    slot.hash = DistinctFigures<count>::hash(slot.v, current);
    figures.prefetch(slot.hash);
  });
  for (std::size_t k = read > ahead ? read - ahead : 0; k < read; ++k) lookUp(pending[k % ahead]);

  drawing.vertices.reserve(drawing.vertices.size() + figures.vertices.size() * count);
  for (std::size_t run = 0; run < figureOfRun.size(); ++run) {
    const std::uint32_t figure = figureOfRun[run];
    if (lastRun[figure] != run) continue;
    const Vertices<count>& v = figures.vertices[figure];
    const int colour = figures.colours[figure];
    const int first = int(drawing.vertices.size() / 2);
    drawing.vertices.insert(drawing.vertices.end(), v.begin(), v.end());
    Run* last = drawing.runs.empty() ? nullptr : &drawing.runs.back();
    if (last && last->shape == shape && last->colour == colour && shape != Shape::Circles) {
      last->vertexCount += int(count / 2);
    } else {
      drawing.runs.push_back(Run{shape, colour, first, int(count / 2)});
    }
  }
}

void widen(Box& box, double x, double y) {
  box = {std::min(box.minX, x), std::min(box.minY, y), std::max(box.maxX, x),
         std::max(box.maxY, y)};
}

}  // namespace

bool prepareScene(bool (*stopped)()) {
  try {
    const unsigned generation = drawing.generation + 1;
    drawing = Drawing{};
    drawing.generation = generation;
    int current = inheritedColour;
    prepareList(scene.circles, Shape::Circles, current, stopped);
    prepareList(scene.lines, Shape::Lines, current, stopped);
    prepareList(scene.segments, Shape::Segments, current, stopped);
    prepareList(scene.points, Shape::Points, current, stopped);
    for (std::size_t k = 0; k + 1 < drawing.vertices.size(); k += 2) {
      widen(drawing.bounds, drawing.vertices[k], drawing.vertices[k + 1]);
    }
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const Interrupted&) {
  }
  const unsigned generation = drawing.generation;
  drawing = Drawing{};
  drawing.generation = generation;
  return false;
}

std::uint64_t drawingVertexBytes() {
  return drawing.vertices.size() * sizeof(float);
}
