// Painting the prepared drawing with OpenGL, from vertex arrays, one call
// per run of equal shape and colour.
#include "draw.h"

#define GL_GLEXT_PROTOTYPES  // glWindowPos, OpenGL 1.4
#include <GL/freeglut.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "palette.h"
#include "raster.h"

namespace {

constexpr float pointSize = 4;

// The part of segment (a, b) inside `box`, by Liang and Barsky's clipping;
// false if none.
bool clipToBox(double& ax, double& ay, double& bx, double& by, const Box& box) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - box.minX, box.maxX - ax, ay - box.minY, box.maxY - ay};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;  // parallel to this edge and outside it
    } else {
      const double t = q[k] / p[k];
      if (p[k] < 0) t0 = std::max(t0, t);
      if (p[k] > 0) t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  const double x0 = ax + t0 * dx, y0 = ay + t0 * dy;
  bx = ax + t1 * dx;
  by = ay + t1 * dy;
  ax = x0;
  ay = y0;
  return true;
}

// The drawing's vertices moved by a placement, for views where float
// arithmetic on scene coordinates would lose the picture: computed in double
// and clipped to the placement's region, so that every coordinate sent to
// OpenGL is small. What lies outside is sent far away, where nothing shows;
// a clipped end gets its dot on the region's edge, out of sight.
struct MovedDrawing {
  Placement placement;
  unsigned generation = 0;  // of the drawing moved
  LargeVector<float> vertices;
};
MovedDrawing moved;

constexpr float farAway = 1e4f;  // in units of the view: far outside it

const LargeVector<float>& movedVertices(const Placement& p) {
  if (moved.placement == p && moved.generation == drawing.generation) return moved.vertices;
  moved.placement = p;
  moved.generation = drawing.generation;
  moved.vertices.resize(drawing.vertices.size());
  const float* in = drawing.vertices.data();
  float* out = moved.vertices.data();
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
  return moved.vertices;
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

// The pixels painted on the processor, kept between frames.
std::vector<std::uint8_t> rasterPixels;

}  // namespace

const float* crossingPoints(std::size_t& count, const RunCells** cells) {
  // Points are prepared last: their vertices end the drawing's.
  std::size_t first = drawing.vertices.size() / 2;
  int runs = 0;
  const Run* last = nullptr;
  for (auto run = drawing.runs.rbegin(); run != drawing.runs.rend() && run->shape == Shape::Points;
       ++run) {
    first = std::size_t(run->firstVertex);
    last = &*run;
    ++runs;
  }
  count = drawing.vertices.size() / 2 - first;
  if (cells) {
    *cells = runs == 1 && last->cells >= 0 ? &drawing.cells[std::size_t(last->cells)] : nullptr;
  }
  return drawing.vertices.data() + 2 * first;
}

bool drawingBounds(Box& box) {
  box = drawing.bounds;
  return box.minX <= box.maxX;
}

bool anyFigureIn(const Box& box) {
  const LargeVector<float>& v = drawing.vertices;
  for (const Run& run : drawing.runs) {
    const std::size_t first = 2 * std::size_t(run.firstVertex);
    const std::size_t end = first + 2 * std::size_t(run.vertexCount);
    if (run.shape == Shape::Points) {
      for (std::size_t k = first; k < end; k += 2) {
        if (v[k] >= box.minX && v[k] <= box.maxX && v[k + 1] >= box.minY && v[k + 1] <= box.maxY)
          return true;
      }
      continue;
    }
    // Segments and lines come in pairs of vertices; a circle's outline joins
    // each vertex to the next and the last to the first.
    const bool outline = run.shape == Shape::Circles;
    for (std::size_t k = first; k < end; k += outline ? 2 : 4) {
      const std::size_t next = outline ? (k + 2 == end ? first : k + 2) : k + 2;
      double ax = v[k], ay = v[k + 1], bx = v[next], by = v[next + 1];
      if (clipToBox(ax, ay, bx, by, box)) return true;
    }
  }
  return false;
}

void copyPixels(const std::vector<std::uint8_t>& pixels, int width, int height) {
  glWindowPos2i(0, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
}

void paintScene(const Placement& placement, bool crossings) {
  if (paintedOnProcessor()) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    rasterDrawing(placement, viewport[2], viewport[3], rasterPixels, crossings);
    copyPixels(rasterPixels, viewport[2], viewport[3]);
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  glPointSize(pointSize);
  const LargeVector<float>& vertices =
      placement.moved ? movedVertices(placement) : drawing.vertices;
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
    }
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}
