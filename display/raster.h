// Painting a drawing too large for the graphics driver to draw at a useful
// pace: on the processor, by both threads, into the window's pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "drawing.h"
#include "placement.h"

// The pixels of the drawing in a window of this size, placed as
// `placement` places it (with its pixels per scene unit), rows from the
// bottom, three bytes a pixel: each point a square of four pixels a side,
// each line a pixel wide, in the drawing's colours and order. Close to what
// OpenGL draws, not equal to it: where many figures share a pixel, as in a
// view of a huge drawing, no one can tell.
// The two threads' canvases, kept from frame to frame: fresh memory is costly.
struct RasterCanvases {
  std::vector<std::uint32_t> canvas[2];
  std::unique_ptr<bool[]> marks[2];  // dots marked, all false between frames
  std::size_t marksSize[2] = {};
};

void rasterDrawing(const Drawing& drawing, const Placement& placement, int width, int height,
                   std::vector<std::uint8_t>& pixels, RasterCanvases& canvases,
                   bool crossings = true);
