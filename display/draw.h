// Painting the drawing with OpenGL, from vertex arrays, one call per run of
// equal shape and colour; or, where it is huge, on the processor.
#pragma once

#include <cstdint>
#include <vector>

#include "drawing.h"
#include "placement.h"
#include "raster.h"

// What painting one drawing keeps from frame to frame: its vertices moved
// for the last placement, and the last pixels painted on the processor.
struct PaintCache {
  bool movedValid = false;
  Placement movedFor{};
  LargeVector<float> moved;
  std::vector<std::uint8_t> pixels;
  RasterCanvases canvases;
};

// Clears and paints the drawing into the current buffer, placed as
// `placement` places it; without `crossings`, all but the crossing points.
// `cache` serves this drawing only.
void paintScene(const Drawing& drawing, const Placement& placement, PaintCache& cache,
                bool crossings = true);

// The pixels of a drawing painted on the processor (see paintedOnProcessor),
// in cache.pixels, with a map's legend: rows from the bottom, RGB.
void paintOnProcessor(const Drawing& drawing, const Placement& placement, int width, int height,
                      PaintCache& cache, bool crossings = true);

// Puts rows of RGB pixels, bottom row first, into the whole window.
void copyPixels(const std::vector<std::uint8_t>& pixels, int width, int height);
