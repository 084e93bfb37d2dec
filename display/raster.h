// Painting a drawing too large for the graphics driver to draw at a useful
// pace: on the processor, by both threads, into the window's pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "draw.h"

// Drawings of more than this many vertices are painted on the processor:
// the software driver takes about 0.3 microseconds a figure, and ten times
// the vertices' bytes of memory, so a million figures take the better part
// of a second and hundreds of megabytes.
inline constexpr std::size_t hugeDrawing = 300000;

// The pixels of the prepared drawing in a window of this size, placed as
// `placement` places it (with its pixels per scene unit), rows from the
// bottom, three bytes a pixel: each point a square of four pixels a side,
// each line a pixel wide, in the drawing's colours and order. Close to what
// OpenGL draws, not equal to it: where many figures share a pixel, as in a
// view of a huge drawing, no one can tell.
void rasterDrawing(const Placement& placement, int width, int height,
                   std::vector<std::uint8_t>& pixels, bool crossings = true);
