#include "prepare_map.h"

#include <new>

#include "palette.h"
#include "prepare_cells.h"

using namespace prepare_detail;

namespace {

// Lines beyond this many are stored in cells, so that a close view paints
// only those near it.
constexpr std::size_t linesInCells = 100000;

// Appends a run of figures, each given by `vertices(k)`, k < count.
template <std::size_t Count, class Vertices>
void appendRun(Drawing& drawing, Shape shape, int colour, std::size_t count, Vertices vertices) {
  const std::size_t first = drawing.vertices.size();
  for (std::size_t k = 0; k < count; ++k) {
    const std::array<float, Count> v = vertices(k);
    drawing.vertices.insert(drawing.vertices.end(), v.begin(), v.end());
  }
  if (count > 0) drawing.runs.push_back(Run{shape, colour, int(first / 2), int(count * Count / 2)});
}

std::array<float, 4> verticesOf(const Segment& s) {
  return {s.A.x, s.A.y, s.B.x, s.B.y};
}

}  // namespace

bool prepareMap(Drawing& drawing, std::span<const Segment> lines, const MapMarkers& markers,
                bool (*stopped)()) {
  drawing = Drawing{};
  try {
    drawing.vertices.reserve(4 * (lines.size() + markers.overlaps.size()) +
                             2 * (markers.crossings.size() + markers.touches.size()));
    // The lines first, under everything; then the crossings' rings, and
    // over them the overlaps, narrower, which often lie among crossings
    // (a border along a river), and the touches' spots.
    if (lines.size() > linesInCells) {
      const int cells = storeInCells<4>(
          drawing, lines.size(),
          [&](auto f) {
            for (const Segment& s : lines) f(verticesOf(s));
          },
          stopped);
      drawing.runs.push_back(Run{Shape::Lines, MapLine, 0, int(2 * lines.size()), cells});
    } else {
      appendRun<4>(drawing, Shape::Lines, MapLine, lines.size(),
                   [&](std::size_t k) { return verticesOf(lines[k]); });
    }
    const auto point = [](const std::vector<Point>& points) {
      return [&points](std::size_t k) { return std::array<float, 2>{points[k].x, points[k].y}; };
    };
    appendRun<2>(drawing, Shape::Rings, MapCrossing, markers.crossings.size(),
                 point(markers.crossings));
    appendRun<4>(drawing, Shape::Stretches, MapOverlap, markers.overlaps.size(),
                 [&](std::size_t k) { return verticesOf(markers.overlaps[k]); });
    appendRun<2>(drawing, Shape::Spots, MapTouch, markers.touches.size(), point(markers.touches));
    if (stopped && stopped()) throw Interrupted{};
    boundAllVertices(drawing);
    drawing.mapStyle = true;
    drawing.legend = {markers.crossings.size(), markers.overlaps.size(), markers.touches.size(),
                      markers.touchesSought};
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const Interrupted&) {
  }
  drawing = Drawing{};
  return false;
}
