// The program's drawing against the straightforward one, frame for frame, in
// a real OpenGL context on a private X server.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "display/draw.h"
#include "display/labels.h"
#include "display/palette.h"
#include "display/pick.h"
#include "display/prepare.h"
#include "display/raster.h"
#include "driver/pairs.h"
#include "geometry/scene.h"
#include "support/reference_draw.h"
#include "support/x_display.h"

namespace {

// The drawing of the scene each test makes.
Drawing drawing;

constexpr int width = 320, height = 240;

class GlWindow : public testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>();
    int argc = 1;
    char name[] = "draw_tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutCreateWindow("draw test");
    // Let the window be mapped and sized before anything is drawn into it.
    glutDisplayFunc([] {});
    for (int k = 0; k < 20; ++k) {
      glutMainLoopEvent();
      usleep(10000);
    }
    glClearColor(0.9f, 0.9f, 0.8f, 0.0f);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 11, -1, 8, -1, 1);  // scenes below lie in [0, 10] x [0, 7]
  }

 private:
  std::unique_ptr<XvfbServer> server_;
};

std::vector<unsigned char> readFrame() {
  glFinish();
  std::vector<unsigned char> pixels(std::size_t(width) * height * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

int distinctColours(const std::vector<unsigned char>& frame) {
  std::vector<unsigned> seen;
  for (std::size_t k = 0; k < frame.size(); k += 3) {
    const unsigned c = frame[k] << 16 | frame[k + 1] << 8 | frame[k + 2];
    if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
  }
  return int(seen.size());
}

Segment seg(float x1, float y1, float x2, float y2) {
  return Segment(Point(x1, y1), Point(x2, y2));
}

void clearScene() {
  scene.points.clear();
  scene.segments.clear();
  scene.lines.clear();
  scene.circles.clear();
}

struct Scene {
  const char* name;
  void (*fill)();
  int coloursAtLeast;  // the picture is not trivial
};

void PrintTo(const Scene& s, std::ostream* os) {
  *os << s.name;
}

class SamePixels : public testing::TestWithParam<Scene> {};

// Two frames each way, both starting from OpenGL's initial white: figures
// with codes outside the palette take white in the first frame and the last
// colour of the previous frame in the second.
TEST_P(SamePixels, AsDrawingEveryFigure) {
  clearScene();
  GetParam().fill();

  glColor3f(1, 1, 1);
  paintSceneImmediate();
  const auto reference1 = readFrame();
  paintSceneImmediate();
  const auto reference2 = readFrame();

  glColor3f(1, 1, 1);
  ASSERT_TRUE(prepareScene(drawing));
  PaintCache cache;
  paintScene(drawing, Placement{}, cache);
  const auto prepared1 = readFrame();
  paintScene(drawing, Placement{}, cache);
  const auto prepared2 = readFrame();

  EXPECT_GE(distinctColours(reference1), GetParam().coloursAtLeast);
  EXPECT_TRUE(prepared1 == reference1) << "first frame differs";
  EXPECT_TRUE(prepared2 == reference2) << "second frame differs";
  clearScene();
}

void append(FigureList<Segment>& list, Segment s, int colour) {
  s.colour = colour;
  ASSERT_TRUE(list.append(s));
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, SamePixels,
    testing::Values(Scene{"empty", [] {}, 1},
                    // A point in the colour of the segment before it is a
                    // figure of its own shape all the same.
                    Scene{"a point in its segment's colour",
                          [] {
                            ASSERT_TRUE(addSegment(seg(1, 1, 9, 6), Red));
                            ASSERT_TRUE(addPoint(Point(2, 5), Red));
                            ASSERT_TRUE(addPoint(Point(8, 2), Red));
                          },
                          2},
                    Scene{"repeats",
                          [] {
                            for (int k = 0; k < 500; ++k) {
                              ASSERT_TRUE(addSegment(seg(0, 0, 10, 7), Red));
                              ASSERT_TRUE(addSegment(seg(0, 7, 10, 0), Red));
                              ASSERT_TRUE(addPoint(Point(5, 3.5f), Black));
                            }
                          },
                          3},
                    // A green segment over a red one, then the red one again: the last
                    // red must win where they overlap.
                    Scene{"overlapping colours",
                          [] {
                            append(scene.segments, seg(0, 0, 10, 0), Red);
                            append(scene.segments, seg(2, 0, 8, 0), Green);
                            append(scene.segments, seg(0, 0, 10, 0), Red);
                            append(scene.segments, seg(5, 0, 5, 7), Blue);
                            append(scene.segments, seg(2, 0, 8, 0), Green);
                            append(scene.segments, seg(5, 0, 5, 7), Yellow);
                            ASSERT_TRUE(addPoint(Point(5, 0), Black));
                            ASSERT_TRUE(addPoint(Point(5, 0), White));
                          },
                          5},
                    // Equal figures apart in the list: the last one decides
                    // what lies on top.
                    Scene{"last of equal figures on top",
                          [] {
                            append(scene.segments, seg(0, 3, 10, 3), Red);
                            append(scene.segments, seg(0, 3, 10, 3), Green);
                            append(scene.segments, seg(0, 3, 10, 3), Red);
                            ASSERT_TRUE(addPoint(Point(5, 3), Blue));
                            ASSERT_TRUE(addPoint(Point(5, 3), Yellow));
                            ASSERT_TRUE(addPoint(Point(5, 3), Blue));
                          },
                          3},
                    Scene{"codes outside the palette",
                          [] {
                            append(scene.segments, seg(0, 1, 10, 1), 10);  // first frame white
                            append(scene.segments, seg(0, 2, 10, 2), -1);
                            append(scene.segments, seg(0, 3, 10, 3), Magenta);
                            append(scene.segments, seg(0, 4, 10, 4), 12);  // magenta
                            append(scene.segments, seg(0, 1, 10, 1), 10);  // magenta now
                            append(scene.segments, seg(0, 5, 10, 5), Cyan);
                            append(scene.segments, seg(0, 2, 10, 2), -1);  // cyan
                            Point p(3, 6);
                            p.colour = 99;  // cyan, the colour the segments ended with
                            ASSERT_TRUE(scene.points.append(p));
                          },
                          3},
                    Scene{"circles and lines",
                          [] {
                            Circle c;
                            c.centre = Point(5, 3.5f);
                            c.radius = 3;
                            c.colour = Purple;
                            ASSERT_TRUE(scene.circles.append(c));
                            c.radius = 2;
                            c.colour = 77;  // purple
                            ASSERT_TRUE(scene.circles.append(c));
                            ASSERT_TRUE(scene.circles.append(scene.circles[0]));
                            Line l;
                            l.point = Point(5, 3.5f);
                            l.direction = Point(0.01f, 0.02f);
                            l.colour = Orange;
                            ASSERT_TRUE(scene.lines.append(l));
                            l.colour = -5;
                            l.direction = Point(0.02f, -0.01f);
                            ASSERT_TRUE(scene.lines.append(l));
                            ASSERT_TRUE(addSegment(seg(1, 1, 9, 6), Red));
                          },
                          4},
                    Scene{"random segments through the pair loop",
                          [] {
                            std::mt19937 random(7);
                            std::uniform_real_distribution<float> coordinate(0, 10);
                            std::vector<Segment> segments(60);
                            for (Segment& s : segments) {
                              s = seg(coordinate(random), coordinate(random) * 0.7f,
                                      coordinate(random), coordinate(random) * 0.7f);
                            }
                            auto out = std::make_unique<ReportBuffer>(-1);
                            ASSERT_EQ(reportPairs(segments, *out), LoopOutcome::Done);
                          },
                          3}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p) name += std::isalnum(*p) ? *p : '_';
      return name;
    });

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
void expectPaintedAsOpenGlDraws(const char* name, void (*paint)() = paintSceneImmediate) {
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

TEST_P(SamePixels, OnTheProcessorWithinTwoPixels) {
  clearScene();
  GetParam().fill();
  ASSERT_TRUE(prepareScene(drawing));
  expectPaintedAsOpenGlDraws(GetParam().name);
  clearScene();
}

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

// A drawing of these red segments and black crossing points alone.
void drawOnly(const std::vector<Segment>& segments, const std::vector<Point>& points) {
  clearScene();
  for (const Segment& s : segments) ASSERT_TRUE(addSegment(s, Red));
  for (const Point& p : points) ASSERT_TRUE(addPoint(p, Black));
  ASSERT_TRUE(prepareScene(drawing));
}

// What the bounds cover: every end point and crossing point drawn, also
// when they all share one x or lie at one point. And whether the box
// (0, 0)-(10, 10) shows anything, which decides the first view: a segment
// through it counts without an end inside, one beside it or past its
// corner does not, and a crossing point counts only inside.
TEST(Drawing, BoundsAndBoxesCoverEveryFigure) {
  struct Row {
    const char* name;
    std::vector<Segment> segments;
    std::vector<Point> points;
    bool any;
    Box bounds;
    bool inTheBox;
  };
  const Row rows[] = {
      {"nothing", {}, {}, false, {}, false},
      {"one x", {seg(5, 1, 5, 3), seg(5, 2, 5, 6)}, {}, true, {5, 1, 5, 6}, true},
      {"one point", {seg(3, 3, 3, 3)}, {Point(3, 3)}, true, {3, 3, 3, 3}, true},
      {"a crossing outside", {seg(0, 0, 4, 4)}, {Point(-1, 9)}, true, {-1, 0, 4, 9}, true},
      {"a segment across", {seg(-5, 5, 15, 5)}, {}, true, {-5, 5, 15, 5}, true},
      {"a segment beside", {seg(-5, 11, 15, 11)}, {}, true, {-5, 11, 15, 11}, false},
      {"a segment past the corner", {seg(-5, 6, 6, 17)}, {}, true, {-5, 6, 6, 17}, false},
      {"a segment along the edge", {seg(10, -5, 10, 15)}, {}, true, {10, -5, 10, 15}, true},
      {"a segment parallel outside", {seg(11, 0, 11, 10)}, {}, true, {11, 0, 11, 10}, false},
      {"a point inside", {seg(20, 20, 30, 30)}, {Point(5, 5)}, true, {5, 5, 30, 30}, true},
      {"a point outside", {seg(20, 20, 30, 30)}, {Point(11, 5)}, true, {11, 5, 30, 30}, false},
  };
  for (const Row& row : rows) {
    ASSERT_NO_FATAL_FAILURE(drawOnly(row.segments, row.points));
    Box bounds{};
    EXPECT_EQ(drawingBounds(drawing, bounds), row.any) << row.name;
    if (row.any) {
      EXPECT_EQ(bounds, row.bounds) << row.name;
    }
    EXPECT_EQ(anyFigureIn(drawing, {0, 0, 10, 10}), row.inTheBox) << row.name;
  }
  clearScene();
}

// The numbers read as the report numbers segments, from 0, one label per
// midpoint: the two diagonals share one, a segment with the same x but
// another midpoint has its own.
TEST(Labels, ReadAsTheReportNumbers) {
  const Segment segments[] = {seg(0, 0, 4, 4), seg(0, 4, 4, 0), seg(1, 5, 3, 5), seg(6, 1, 8, 1)};
  glClear(GL_COLOR_BUFFER_BIT);
  paintLabels(segments, Placement{}, Box{-1, -1, 11, 8});
  const auto labelled = readFrame();

  glClear(GL_COLOR_BUFFER_BIT);
  setColour(Black);
  for (const auto& [x, y, text] :
       {std::tuple{2.0, 2.0, "0, 1"}, {2.0, 5.0, "2"}, {7.0, 1.0, "3"}}) {
    glRasterPos2d(x, y);
    glBitmap(0, 0, 0, 0, 4, 4, nullptr);
    glutBitmapString(GLUT_BITMAP_HELVETICA_12, reinterpret_cast<const unsigned char*>(text));
  }
  EXPECT_TRUE(readFrame() == labelled);
  EXPECT_GE(distinctColours(labelled), 2);
}

// The palette's colours as the screen shows them; a code outside it keeps
// the colour before it.
TEST(Palette, PaintsTheTenColours) {
  const int rgb[10][3] = {{255, 0, 0},     {0, 255, 0},   {0, 0, 255},   {255, 255, 0},
                          {255, 128, 0},   {255, 0, 255}, {0, 255, 255}, {128, 0, 128},
                          {255, 255, 255}, {0, 0, 0}};
  for (int code = 0; code < 12; ++code) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0.2f, 0.4f, 0.6f);
    if (code >= 10) setColour(Blue);
    setColour(code == 11 ? -1 : code);
    glRectf(0, 0, 10, 7);
    const auto frame = readFrame();
    const std::size_t middle = (std::size_t(height / 2) * width + width / 2) * 3;
    const int* expected = rgb[code >= 10 ? Blue : code];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(frame[middle + k], expected[k], 1) << "code " << code;
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new GlWindow);
  return RUN_ALL_TESTS();
}
