#include "frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "palette.h"

namespace {

// Figures within this many pixels of each other all lie in a dot.
constexpr double collapsedPixels = 8;

// Within this range of eye distances the first view's plain float
// transform neither overflows nor loses the figures.
bool plainDistance(double dist) {
  return dist >= 0x1p-30 && dist <= 0x1p40;
}

}  // namespace

Frame firstFrame(const Drawing& drawing, Point minCorner, Point maxCorner, int width, int height) {
  const View framed = frameView(minCorner, maxCorner);
  const double scale = pixelsPerUnit(framed, height);
  const double dot = 2 / scale;  // half a point's size
  Box data;
  const bool fitted =
      drawingBounds(drawing, data) &&
      (drawing.mapStyle ||
       !anyFigureIn(drawing, widened(visibleBox(framed, width, height), dot, dot)) ||
       ((data.maxX - data.minX) * scale < collapsedPixels &&
        (data.maxY - data.minY) * scale < collapsedPixels));
  Frame frame;
  frame.view = fitted ? fitView(data, width, height) : framed;
  frame.plain = !fitted && plainDistance(framed.dist);
  frame.width = width;
  frame.height = height;
  return frame;
}

Placement placementOf(const Drawing& drawing, const Frame& frame) {
  if (frame.firstView && frame.plain && !paintedOnProcessor(drawing)) return {};
  const View& v = frame.view;
  Placement p;
  p.moved = true;
  p.cx = v.cx;
  p.cy = v.cy;
  p.scale = std::ldexp(1.0, -std::ilogb(v.dist));  // the eye distance becomes 1 to 2
  // Twice the visible extent: clipped ends and their dots stay out of sight.
  const Box visible = visibleBox(v, frame.width, frame.height);
  p.keep = widened(visible, (visible.maxX - visible.minX) / 2, (visible.maxY - visible.minY) / 2);
  p.pixelsPerUnit = pixelsPerUnit(v, frame.height);
  return p;
}

void setMatrices(const Frame& frame, const Placement& placement) {
  const View& view = frame.view;
  glViewport(0, 0, frame.width, frame.height);
  // Moved, the eye is 1 to 2 units from the drawing plane, well inside the
  // clipping planes.
  const double eye = view.dist * placement.scale;
  const double aspect = double(frame.width) / frame.height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (placement.moved) {
    gluPerspective(45, aspect, eye / 10, eye * 10);
  } else {
    gluPerspective(45, aspect, nearPlane(view), farPlane(view));
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (placement.moved) {
    glTranslated(0, 0, -eye);
  } else {
    glTranslatef(-float(view.cx), -float(view.cy), float(-view.dist));
  }
  glMatrixMode(GL_PROJECTION);
}

void paintFirstFrame(const Drawing& drawing, const Frame& frame, PaintCache& cache) {
  glClearColor(background[0], background[1], background[2], 0.0f);
  const Placement placement = placementOf(drawing, frame);
  setMatrices(frame, placement);
  paintScene(drawing, placement, cache);
}

void flipRows(std::vector<std::uint8_t>& pixels, int width, int height) {
  const std::size_t stride = std::size_t(width) * 3;
  for (int row = 0; row < height / 2; ++row) {
    std::swap_ranges(&pixels[std::size_t(row) * stride], &pixels[std::size_t(row + 1) * stride],
                     &pixels[std::size_t(height - 1 - row) * stride]);
  }
}

std::vector<std::uint8_t> readPixels(int width, int height, bool topRowFirst) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * 3 * std::size_t(height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  if (topRowFirst) flipRows(pixels, width, height);
  return pixels;
}
