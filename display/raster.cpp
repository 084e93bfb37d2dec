#include "raster.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "geometry/two_threads.h"
#include "raster_canvas.h"

using namespace raster_detail;

namespace {

// The vertices [from, to) of the drawing, a whole number of figures, in the
// order and colours of its runs: where `from` is inside the drawing, the
// colour in force there is that of the last run before it with a colour of
// its own.
void paintVertices(const Drawing& drawing, Canvas& canvas, std::size_t from, std::size_t to) {
  const float* v = drawing.vertices.data();
  // What the canvas shows of the drawing plane, with the room a dot takes.
  const double halfWidth = double(canvas.width) / 2 / canvas.perUnit;
  const double halfHeight = double(canvas.height) / 2 / canvas.perUnit;
  const double margin = 3 / canvas.perUnit;
  const Box visible{canvas.cx - halfWidth - margin, canvas.cy - halfHeight - margin,
                    canvas.cx + halfWidth + margin, canvas.cy + halfHeight + margin};
  // Runs of more dots than this have them marked: stamping each costs 16
  // writes, filling the marked squares a pass over the canvas.
  const std::size_t markedDots = std::size_t(canvas.width * canvas.height / 8);
  for (const Run& run : drawing.runs) {
    const std::size_t runFirst = std::size_t(run.firstVertex);
    const std::size_t runEnd = runFirst + std::size_t(run.vertexCount);
    if (runFirst >= to) break;
    if (isRunColour(run.colour)) canvas.colour = pixelOf(run.colour);
    if (runEnd <= from) continue;
    canvas.marking = std::size_t(run.vertexCount) > markedDots;
    // Figures in [first, end) of the run's vertices, within [from, to).
    const auto part = [&](std::size_t first, std::size_t end) {
      first = std::max(first, from);
      end = std::min(end, to);
      if (first < end) canvas.paint(run.shape, v, 2 * first, 2 * end);
    };
    if (run.cells < 0) {
      part(runFirst, runEnd);
      canvas.fillMarks();
      continue;
    }
    // Only the cells in view.
    const std::size_t perFigure = verticesPerFigure(run.shape);
    drawing.cells[std::size_t(run.cells)].forFiguresNear(
        visible, [&](std::size_t first, std::size_t end) {
          part(runFirst + perFigure * first, runFirst + perFigure * end);
        });
    canvas.fillMarks();
  }
}

// Where the drawing splits in two halves of about as much work, between two
// figures; without the crossings, where the markers begin. The work is a
// vertex placed: a line's joint, the end of one segment and the start of
// the next, is placed once.
void halves(const Drawing& drawing, bool crossings, std::size_t& middle, std::size_t& end) {
  end = drawing.vertices.size() / 2;
  double work = 0;
  for (const Run& run : drawing.runs) {
    if (isMarker(run.shape) && !crossings) {
      end = std::size_t(run.firstVertex);
      break;
    }
    work += run.vertexCount - run.joints;
  }
  double half = work / 2;
  middle = end;
  for (const Run& run : drawing.runs) {
    const std::size_t first = std::size_t(run.firstVertex);
    const double runWork = run.vertexCount - run.joints;
    if (first >= end) break;
    if (half >= runWork) {
      half -= runWork;
      continue;
    }
    // The joints taken as spread evenly over the run.
    middle = first + std::size_t(half / runWork * run.vertexCount);
    if (run.shape == Shape::Circles) middle = first;  // an outline is one figure
    if (verticesPerFigure(run.shape) == 2) middle -= (middle - first) % 2;
    break;
  }
}

}  // namespace

void rasterDrawing(const Drawing& drawing, const Placement& p, int width, int height,
                   std::vector<std::uint8_t>& pixels, RasterCanvases& canvases, bool crossings) {
  // The two halves of the figures, each on a canvas of its own, on two
  // threads; the later half lies over the earlier where it painted.
  std::size_t middle, end;
  halves(drawing, crossings, middle, end);
  const std::size_t size = std::size_t(width) * std::size_t(height);
  const std::uint32_t clear = pixelOf(background);  // unpainted
  onTwoThreads(
      [&](int half) {
        std::vector<std::uint32_t>& canvas = canvases.canvas[half];
        canvas.assign(size, half == 0 ? clear : 0);
        const std::size_t marks = std::size_t(width + 3) * std::size_t(height + 3) + 1;
        if (canvases.marksSize[half] != marks) {
          canvases.marks[half] = std::make_unique<bool[]>(marks);  // all false
          canvases.marksSize[half] = marks;
        }
        Canvas c{width, height, canvas.data(),   pixelOf(White),
                 p.cx,  p.cy,   p.pixelsPerUnit, canvases.marks[half].get()};
        paintVertices(drawing, c, half == 0 ? 0 : middle, half == 0 ? middle : end);
      },
      end > 4096);
  pixels.resize(size * 3);
  const std::uint32_t* under = canvases.canvas[0].data();
  const std::uint32_t* over = canvases.canvas[1].data();
  for (std::size_t k = 0; k < size; ++k) {
    const std::uint32_t pixel = over[k] & painted ? over[k] : under[k];
    pixels[3 * k] = std::uint8_t(pixel);
    pixels[3 * k + 1] = std::uint8_t(pixel >> 8);
    pixels[3 * k + 2] = std::uint8_t(pixel >> 16);
  }
}
