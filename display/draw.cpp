#include "draw.h"

#define GL_GLEXT_PROTOTYPES  // glWindowPos, OpenGL 1.4
#include <GL/freeglut.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "legend.h"
#include "palette.h"
#include "raster.h"

namespace {

constexpr float pointSize = 4;

// The drawing's vertices moved by a placement, for views where float
// arithmetic on scene coordinates would lose the picture: computed in double
// and clipped to the placement's region, so that every coordinate sent to
// OpenGL is small. What lies outside is sent far away, where nothing shows;
// a clipped end gets its dot on the region's edge, out of sight.
constexpr float farAway = 1e4f;  // in units of the view: far outside it

const LargeVector<float>& movedVertices(const Drawing& drawing, const Placement& p,
                                        PaintCache& cache) {
  if (cache.movedValid && cache.movedFor == p) return cache.moved;
  cache.movedValid = true;
  cache.movedFor = p;
  cache.moved.resize(drawing.vertices.size());
  const float* in = drawing.vertices.data();
  float* out = cache.moved.data();
  auto place = [&](double x, double y, float* at) {
    at[0] = float(std::clamp((x - p.cx) * p.scale, -1e30, 1e30));
    at[1] = float(std::clamp((y - p.cy) * p.scale, -1e30, 1e30));
  };
  for (const Run& run : drawing.runs) {
    const std::size_t first = 2 * std::size_t(run.firstVertex);
    const std::size_t end = first + 2 * std::size_t(run.vertexCount);
    for (std::size_t k = first; k < end;) {
      if (run.shape == Shape::Circles) {  // a closed outline: moved, never clipped
        place(in[k], in[k + 1], out + k);
        k += 2;
      } else if (run.shape == Shape::Points) {
        const bool inside = in[k] >= p.keep.minX && in[k] <= p.keep.maxX &&
                            in[k + 1] >= p.keep.minY && in[k + 1] <= p.keep.maxY;
        if (inside) place(in[k], in[k + 1], out + k);
        if (!inside) out[k] = out[k + 1] = farAway;
        k += 2;
      } else {
        double ax = in[k], ay = in[k + 1], bx = in[k + 2], by = in[k + 3];
        if (clipToBox(ax, ay, bx, by, p.keep)) {
          place(ax, ay, out + k);
          place(bx, by, out + k + 2);
        } else {
          std::fill(out + k, out + k + 4, farAway);
        }
        k += 4;
      }
    }
  }
  return cache.moved;
}

// One call per 65536 vertices, in order, each drawn before the next: the
// driver copies the vertices of a call and sorts what it draws into tiles
// before drawing, and for a million segments at once it would need hundreds
// of megabytes. An even count keeps the lines' pairs of vertices together.
void drawInPieces(GLenum mode, int first, int count) {
  constexpr int piece = 1 << 16;
  for (int at = first; at < first + count; at += piece) {
    glDrawArrays(mode, at, std::min(piece, first + count - at));
    if (count > piece) glFlush();
  }
}

}  // namespace

void copyPixels(const std::vector<std::uint8_t>& pixels, int width, int height) {
  glWindowPos2i(0, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
}

void paintOnProcessor(const Drawing& drawing, const Placement& placement, int width, int height,
                      PaintCache& cache, bool crossings) {
  rasterDrawing(drawing, placement, width, height, cache.pixels, cache.canvases, crossings);
  if (drawing.mapStyle) paintLegend(drawing.legend, cache.pixels, width, height);
}

void paintScene(const Drawing& drawing, const Placement& placement, PaintCache& cache,
                bool crossings) {
  if (paintedOnProcessor(drawing)) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    paintOnProcessor(drawing, placement, viewport[2], viewport[3], cache, crossings);
    copyPixels(cache.pixels, viewport[2], viewport[3]);
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  glPointSize(pointSize);
  const LargeVector<float>& vertices =
      placement.moved ? movedVertices(drawing, placement, cache) : drawing.vertices;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, vertices.data());
  for (const Run& run : drawing.runs) {
    if (run.shape == Shape::Points && !crossings) break;  // they come last
    setColour(run.colour);
    switch (run.shape) {
      case Shape::Circles:
        glDrawArrays(GL_LINE_LOOP, run.firstVertex, run.vertexCount);
        break;
      case Shape::Lines:
        drawInPieces(GL_LINES, run.firstVertex, run.vertexCount);
        break;
      case Shape::Segments:
        drawInPieces(GL_LINES, run.firstVertex, run.vertexCount);
        drawInPieces(GL_POINTS, run.firstVertex, run.vertexCount);
        break;
      case Shape::Points:
        drawInPieces(GL_POINTS, run.firstVertex, run.vertexCount);
        break;
      case Shape::Stretches:
      case Shape::Spots:
      case Shape::Rings:
        break;  // a map's, painted on the processor
    }
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}
