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

#include "draw_fixture.h"

using namespace draw_testing;

namespace {

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

TEST_P(SamePixels, OnTheProcessorWithinTwoPixels) {
  clearScene();
  GetParam().fill();
  ASSERT_TRUE(prepareScene(drawing));
  expectPaintedAsOpenGlDraws(GetParam().name);
  clearScene();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new GlWindow);
  return RUN_ALL_TESTS();
}
