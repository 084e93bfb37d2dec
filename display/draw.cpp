// Drawing the scene.
//
// The scene holds every figure as often as the pair loop added it: with n
// segments, about n^2/2 entries that are mostly repeats. Without depth test or
// blending, the last figure to touch a pixel decides its colour, so an entry
// that is drawn again later in the same colour can be dropped without changing
// a single pixel. What remains is drawn from vertex arrays, one call per run
// of equal colour, in the order circles, lines, segments, points.
#include "draw.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "geometry/scene.h"
#include "palette.h"

namespace {

constexpr float pointSize = 4;
constexpr int circleVertices = 100;
constexpr double circleStep = 0.06283185307179587;  // 2 pi / 100
constexpr float lineReach = 100;                    // a line is drawn this many directions each way

// A figure whose colour code is not in the palette keeps the colour that is
// current when it is drawn; until the first valid code of a frame that is the
// colour the previous frame ended with.
constexpr int inheritedColour = -1;

enum class Shape { Circles, Lines, Segments, Points };

// Consecutive figures of one shape, drawn in one colour.
struct Run {
  Shape shape;
  int colour;  // palette code, or inheritedColour
  int firstVertex;
  int vertexCount;
};

struct Drawing {
  std::vector<float> vertices;  // x, y pairs
  std::vector<Run> runs;
};

Drawing drawing;

// The vertices of one figure, exactly as they are sent to OpenGL, and the
// colour it is drawn in: two entries with equal keys paint the same pixels.
struct Key {
  std::vector<float> vertices;
  int colour;
  bool operator==(const Key& other) const {
    return colour == other.colour && vertices.size() == other.vertices.size() &&
           std::memcmp(vertices.data(), other.vertices.data(), vertices.size() * sizeof(float)) ==
               0;
  }
};

struct KeyHash {
  std::size_t operator()(const Key& key) const {
    std::uint64_t h = 1469598103934665603ull ^ std::uint32_t(key.colour);
    for (float v : key.vertices) {
      std::uint32_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      h = (h ^ bits) * 1099511628211ull;
    }
    return std::size_t(h);
  }
};

void circleVerticesOf(const Circle& c, std::vector<float>& out) {
  for (int k = 0; k < circleVertices; ++k) {
    const double angle = k * circleStep;
    out.push_back(float(c.centre.x + c.radius * std::cos(angle)));
    out.push_back(float(c.centre.y + c.radius * std::sin(angle)));
  }
}

void lineVerticesOf(const Line& l, std::vector<float>& out) {
  out.insert(out.end(),
             {l.point.x + lineReach * l.direction.x, l.point.y + lineReach * l.direction.y,
              l.point.x - lineReach * l.direction.x, l.point.y - lineReach * l.direction.y});
}

void segmentVerticesOf(const Segment& s, std::vector<float>& out) {
  out.insert(out.end(), {s.A.x, s.A.y, s.B.x, s.B.y});
}

void pointVerticesOf(const Point& p, std::vector<float>& out) {
  out.insert(out.end(), {p.x, p.y});
}

// Adds one list to the drawing. `current` is the colour in force before the
// list and after it. Figures drawn in the colour that is inherited from the
// previous frame are never merged with figures of a set colour.
template <class Figure, class Vertices>
void prepareList(const FigureList<Figure>& list, Shape shape, Vertices verticesOf, int& current) {
  std::vector<int> colours;
  colours.reserve(list.size());
  list.forEach([&](const Figure& f) {
    if (isPaletteCode(f.colour)) current = f.colour;
    colours.push_back(current);
  });

  // Walk backwards and keep only the last of equal entries.
  std::vector<std::size_t> kept;
  std::unordered_set<Key, KeyHash> seen;
  Key key;
  for (std::size_t i = list.size(); i-- > 0;) {
    key.vertices.clear();
    verticesOf(list[i], key.vertices);
    key.colour = colours[i];
    if (seen.insert(key).second) kept.push_back(i);
  }

  for (std::size_t k = kept.size(); k-- > 0;) {
    const std::size_t i = kept[k];
    const int first = int(drawing.vertices.size() / 2);
    verticesOf(list[i], drawing.vertices);
    const int count = int(drawing.vertices.size() / 2) - first;
    Run* last = drawing.runs.empty() ? nullptr : &drawing.runs.back();
    if (last && last->shape == shape && last->colour == colours[i] && shape != Shape::Circles) {
      last->vertexCount += count;
    } else {
      drawing.runs.push_back(Run{shape, colours[i], first, count});
    }
  }
}

}  // namespace

void prepareScene() {
  drawing = Drawing{};
  int current = inheritedColour;
  prepareList(scene.circles, Shape::Circles, circleVerticesOf, current);
  prepareList(scene.lines, Shape::Lines, lineVerticesOf, current);
  prepareList(scene.segments, Shape::Segments, segmentVerticesOf, current);
  prepareList(scene.points, Shape::Points, pointVerticesOf, current);
}

void paintScene() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  glPointSize(pointSize);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, drawing.vertices.data());
  for (const Run& run : drawing.runs) {
    setColour(run.colour);
    switch (run.shape) {
      case Shape::Circles:
        glDrawArrays(GL_LINE_LOOP, run.firstVertex, run.vertexCount);
        break;
      case Shape::Lines:
        glDrawArrays(GL_LINES, run.firstVertex, run.vertexCount);
        break;
      case Shape::Segments:
        glDrawArrays(GL_LINES, run.firstVertex, run.vertexCount);
        glDrawArrays(GL_POINTS, run.firstVertex, run.vertexCount);
        break;
      case Shape::Points:
        glDrawArrays(GL_POINTS, run.firstVertex, run.vertexCount);
        break;
    }
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}

void drawScene() {
  paintScene();
  glFlush();
  glutSwapBuffers();
}
