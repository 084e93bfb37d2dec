// Huge and crowded drawings painted on the processor against the scene
// drawn by OpenGL, in a real OpenGL context on a private X server.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <random>
#include <vector>

#include "display/palette.h"
#include "display/pick.h"
#include "display/prepare.h"
#include "display/raster.h"
#include "draw_fixture.h"
#include "driver/pairs.h"
#include "support/reference_draw.h"

namespace draw_testing {

// The pixels of `a` whose colour `b` has nowhere within two pixels of them
// (lines are stepped a little differently), but for those at the edges,
// whose match may lie just outside.
int farPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  const auto at = [](const std::vector<unsigned char>& frame, int x, int y) {
    const std::size_t k = (std::size_t(y) * width + std::size_t(x)) * 3;
    return frame[k] << 16 | frame[k + 1] << 8 | frame[k + 2];
  };
  int far = 0;
  for (int y = 2; y < height - 2; ++y) {
    for (int x = 2; x < width - 2; ++x) {
      bool near = false;
      for (int dy = -2; dy <= 2 && !near; ++dy) {
        for (int dx = -2; dx <= 2 && !near; ++dx) {
          near = at(b, x + dx, y + dy) == at(a, x, y);
        }
      }
      far += !near;
    }
  }
  return far;
}

// The prepared scene painted on the processor, as the window paints huge
// drawings, in the view the window's projection shows, against the scene
// drawn by OpenGL: no pixel further than two pixels from where the other puts
// its colour.
void expectPaintedAsOpenGlDraws(const char* name, void (*paint)()) {
  glColor3f(1, 1, 1);
  paint();
  const auto drawn = readFrame();
  Placement view;
  view.moved = true;
  view.cx = 5;
  view.cy = 3.5;
  view.pixelsPerUnit = height / 9.0;
  std::vector<std::uint8_t> painted;
  RasterCanvases canvases;
  rasterDrawing(drawing, view, width, height, painted, canvases);
  EXPECT_EQ(farPixels(painted, drawn), 0) << name << ": painted where nothing is drawn";
  EXPECT_EQ(farPixels(drawn, painted), 0) << name << ": drawn where nothing is painted";
}

}  // namespace draw_testing

using namespace draw_testing;

namespace {

// The scene as paintSceneImmediate draws it where every segment has one
// colour, with a few calls instead of one per figure, and each stored
// figure once, not once for every pair that repeats it.
void paintOneColourScene() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPointSize(4);
  for (const GLenum mode : {GL_LINES, GL_POINTS}) {
    glBegin(mode);
    scene.segments.forEachFigure([](const Segment& s) {
      setColour(s.colour);
      glVertex2f(s.A.x, s.A.y);
      glVertex2f(s.B.x, s.B.y);
    });
    glEnd();
  }
  glBegin(GL_POINTS);
  scene.points.forEachFigure([](const Point& p) {
    setColour(p.colour);
    glVertex2f(p.x, p.y);
  });
  glEnd();
}

// Many dots of one colour are marked and filled at once, not stamped one by
// one; a huge drawing keeps its figures in cells, and a view paints only
// the cells it shows, with the figures that reach into it from the cells
// beside it, and the long ones.
TEST(Raster, CrowdedAndHugeScenesWithinTwoPixels) {
  struct Row {
    const char* name;
    int segments;
    float from, to, length;  // where they start, in x and y, and how long they are
    bool turned;             // in every direction, or all one way
    int longOnes;            // across the whole scene
  };
  for (const Row& row : {Row{"many, most beyond the view", 8000, -30, 40, 0.3f, true, 0},
                         Row{"huge, beyond the view", 151000, -8, 18, 0.02f, true, 20}}) {
    clearScene();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(row.from, row.to), turn(0, 6.2831853f);
    std::vector<Segment> segments;
    for (int k = 0; k < row.segments; ++k) {
      const float x = coordinate(random), y = coordinate(random);
      const float a = row.turned ? turn(random) : 0.7f;
      segments.push_back(seg(x, y, x + row.length * std::cos(a), y + row.length * std::sin(a)));
    }
    for (int k = 0; k < row.longOnes; ++k) {
      segments.push_back(seg(row.from, coordinate(random), row.to, coordinate(random)));
    }
    static const int devNull = open("/dev/null", O_WRONLY);
    auto out = std::make_unique<ReportBuffer>(devNull);
    ASSERT_EQ(reportPairs(segments, *out, {.meetingOnly = true}), LoopOutcome::Done);
    ASSERT_TRUE(prepareScene(drawing));
    EXPECT_EQ(paintedOnProcessor(drawing), row.segments > 100000) << row.name;
    expectPaintedAsOpenGlDraws(row.name, paintOneColourScene);
    // A click looks in the cells around it, and picks what a scan of
    // every figure picks.
    std::size_t pointCount = 0;
    const RunCells* pointCells = nullptr;
    const float* points = crossingPoints(drawing, pointCount, &pointCells);
    const SegmentCells segmentIndex = segmentCells(segments.data(), int(segments.size()));
    int crossingsPicked = 0;
    for (int k = 0; k < 300; ++k) {
      // Half the clicks on a crossing point, the others anywhere.
      double x = coordinate(random), y = coordinate(random);
      if (k % 2 == 0 && pointCount > 0) {
        const std::size_t at = std::size_t(random() % pointCount);
        x = points[2 * at] + 0.01;
        y = points[2 * at + 1];
      }
      const Picked scanned =
          pickFigure(x, y, 0.05, segments.data(), int(segments.size()), true, points, pointCount);
      const Picked found = pickFigure(x, y, 0.05, segments.data(), int(segments.size()), true,
                                      points, pointCount, &segmentIndex, pointCells);
      EXPECT_EQ(found.kind, scanned.kind) << row.name << " at " << x << ", " << y;
      EXPECT_EQ(found.segment, scanned.segment) << row.name << " at " << x << ", " << y;
      EXPECT_EQ(found.point.x, scanned.point.x);
      EXPECT_EQ(found.point.y, scanned.point.y);
      crossingsPicked += scanned.kind == Picked::Crossing;
    }
    EXPECT_GT(crossingsPicked, 100) << row.name;
  }
  clearScene();
}

}  // namespace
