// What the window and the picture share: the first view of a drawing, how a
// view's vertices reach OpenGL, the drawing painted, and the pixels read
// back.
#pragma once

#include <cstdint>
#include <vector>

#include "draw.h"
#include "geometry/figures.h"
#include "view.h"

inline constexpr int firstWidth = 1024, firstHeight = 700;

// Where a frame looks from, and how its window is.
struct Frame {
  View view{};
  bool firstView = true;  // the view the frame opened with, as it opened
  // The first view's own way of drawing: the scene's coordinates sent as
  // they are, through the view's translation in float. Any other view is
  // drawn from coordinates moved and clipped in double, which float
  // arithmetic on scene coordinates could not do at every scale.
  bool plain = false;
  int width = firstWidth, height = firstHeight;
};

// The first frame of a window this size: framed on the scene's corners, or
// fitted to the figures where those corners (which always take in (0, 0)
// and (1024, 700)) leave every figure outside the window or shrink them all
// into a dot; a map's, fitted to the layer.
Frame firstFrame(const Drawing& drawing, Point minCorner, Point maxCorner, int width, int height);

// How the drawing's vertices reach OpenGL in the frame.
Placement placementOf(const Drawing& drawing, const Frame& frame);

// The viewport, the perspective and the eye for the frame and its
// placement. The projection matrix stays current, as the first frame
// always had it.
void setMatrices(const Frame& frame, const Placement& placement);

// Clears to the background and paints the drawing in the frame, as the
// window's first frame shows it: the picture of --png.
void paintFirstFrame(const Drawing& drawing, const Frame& frame, PaintCache& cache);

// Three bytes a pixel, the rows turned upside down: OpenGL's order, from
// the bottom, into a picture file's, from the top, or back.
void flipRows(std::vector<std::uint8_t>& pixels, int width, int height);

// The current framebuffer's pixels, three bytes each: rows from the bottom,
// as OpenGL keeps them, or from the top, as picture files list them.
std::vector<std::uint8_t> readPixels(int width, int height, bool topRowFirst);
