// The drawing's bounds and boxes, the segment numbers, and the palette, in
// a real OpenGL context on a private X server.
#include <cmath>
#include <vector>

#include "display/labels.h"
#include "display/palette.h"
#include "display/prepare.h"
#include "draw_fixture.h"

using namespace draw_testing;

namespace {

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
