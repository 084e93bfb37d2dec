// The real program's window under a private Xvfb: what a click selects and
// tells, on a drawing and on a map, and the numbers of the segments.
#include "window_fixture.h"

using namespace window_testing;

namespace {

// A click selects what is under the pointer and tells what it meets: in the
// window, by highlights and a caption band, and on standard error.
TEST_F(WindowTest, ClickSelectsAndTells) {
  // Three segments through (2, 2).
  const Window window = open("0 0 4 4\n0 4 4 0\n0 2 4 2\n");
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);
  const Projection view{2, 2, 4, 1024, 700};
  const Rgb blue{0, 0, 255}, green{0, 255, 0}, white{255, 255, 255};

  // Segment 0, at (1, 1): blue, its partners green, a white caption band.
  x.click(window, int(view.x(1)), int(view.y(1)));
  const Image segment = x.captureChanged(window, first);
  for (double t : {0.6, 1.4, 3.0}) {
    EXPECT_TRUE(seenNear(segment, view.x(t), view.y(t), blue, 1)) << "on segment 0 at " << t;
    EXPECT_TRUE(seenNear(segment, view.x(t), view.y(4 - t), green, 1)) << "on segment 1 at " << t;
    EXPECT_TRUE(seenNear(segment, view.x(t), view.y(2), green, 1)) << "on segment 2 at " << t;
  }
  EXPECT_EQ(segment.at(512, 350), black) << "the crossing point stays on top";
  EXPECT_TRUE(seenNear(segment, view.x(0), view.y(2), green, 1)) << "a partner's end dot";
  EXPECT_FALSE(seenNear(segment, view.x(0), view.y(2), red, 3)) << "no red end dot left";
  EXPECT_EQ(segment.at(1000, 695), white);
  EXPECT_EQ(segment.at(1000, 675), first.at(1000, 675)) << "the band is 20 pixels high";

  // The shared crossing point: every pair through it.
  x.click(window, 512, 350);
  const Image point = x.captureChanged(window, segment);
  EXPECT_FALSE(seenNear(point, view.x(1), view.y(1), blue, 1));

  // Empty space clears the selection: the frame before the first click.
  x.click(window, 60, 60);
  EXPECT_TRUE(x.captureChanged(window, point) == first);

  // A drag of 20 pixels pans, and selects nothing.
  x.click(window, int(view.x(1)), int(view.y(1)));
  const Image again = x.captureChanged(window, first);
  x.drag(window, 300, 300, 320, 300);
  const Image panned = x.captureChanged(window, again);
  EXPECT_TRUE(seenNear(panned, 532, 350, black, 1));
  EXPECT_TRUE(seenNear(panned, view.x(1) + 20, view.y(1), blue, 1)) << "still selected";

  // c shows the point under the pointer at the right end of the band; p
  // writes the window, as it is, to segments-1.png.
  x.pressKey(window, XK_c);
  const Image readout = x.captureChanged(window, panned);
  x.pressKey(window, XK_p);
  const std::string saved = dir.path + "/segments-1.png";
  for (int tries = 0; tries < 500 && readPng(saved).width == 0; ++tries) usleep(10000);
  EXPECT_TRUE(readPng(saved) == readout) << "the PNG file is the window";

  // r: the first frame exactly, nothing selected, the readout gone.
  x.pressKey(window, XK_r);
  EXPECT_TRUE(x.captureChanged(window, readout) == first);

  // t hides the crossing points, which are then not picked either: a click
  // on the crossing selects the segment nearest to the pointer. r shows them
  // again, and so does t.
  x.pressKey(window, XK_t);
  const Image hidden = x.captureChanged(window, first);
  EXPECT_EQ(hidden.count(black), 0);
  EXPECT_TRUE(seenNear(hidden, 512, 350, red, 1));
  x.click(window, 512, 350);
  const Image pickedSegment = x.captureChanged(window, hidden);
  EXPECT_FALSE(seenNear(pickedSegment, 512, 350, black, 3)) << "nor on top of the selection";
  EXPECT_TRUE(seenNear(pickedSegment, view.x(1), view.y(3), blue, 1));
  x.pressKey(window, XK_r);
  EXPECT_TRUE(x.captureChanged(window, pickedSegment) == first);
  x.pressKey(window, XK_t);
  const Image hiddenAgain = x.captureChanged(window, first);
  x.pressKey(window, XK_t);
  EXPECT_TRUE(x.captureChanged(window, hiddenAgain) == first);

  const RunResult result = close(window);
  EXPECT_EQ(result.err,
            "Duz 0: (0, 0) - (4, 4); sece: 1, 2\n"
            "Tacka (2, 2): duzi 0 i 1, 0 i 2, 1 i 2\n"
            "Duz 0: (0, 0) - (4, 4); sece: 1, 2\n"
            "Slika prozora je u segments-1.png\n"
            "Presecne tacke su sakrivene (t ih vraca).\n"
            "Duz 1: (0, 4) - (4, 0); sece: 0, 2\n"
            "Presecne tacke su sakrivene (t ih vraca).\n"
            "Presecne tacke se vide.\n");
}

// Judged exactly, a crossing lies where the report puts it, which the
// rules' float arithmetic misses: a click on it names its pair, and not the
// pairs of a third segment around it, which meet elsewhere.
TEST_F(WindowTest, ExactCrossingIsWhereTheReportPutsIt) {
  const Window exact =
      open("-1 0 1 0\n0.0100000035 -1 0.0100000035 1\n-1 0.5 1 -0.3\n", {"--exact"});
  ASSERT_TRUE(exact);
  x.pressKey(exact, XK_f);
  const Image fitted = x.captureSettled(exact);
  // The crossing's dot, near the middle; the others lie 30 pixels and more away.
  long sumX = 0, sumY = 0, dots = 0;
  for (int k = 0; k < 1024 * 680; ++k) {
    const int px = k % 1024, py = k / 1024;
    if (std::abs(px - 512) > 15 || std::abs(py - 345) > 15) continue;
    if (fitted.pixels[std::size_t(k)] == black) sumX += px, sumY += py, ++dots;
  }
  ASSERT_GT(dots, 0);
  x.click(exact, int(sumX / dots), int(sumY / dots));
  x.captureChanged(exact, fitted);
  EXPECT_EQ(close(exact).err, "Tacka (0.0100000035, 0): duzi 0 i 1\n");
}

// Zooming in stops where the data hold nothing finer: a line stays a line.
// With more numbers in view than are drawn, the band says so and the
// drawing stays as it was.
TEST_F(WindowTest, ZoomAndNumbersHoldAtScale) {
  std::string input;  // 400 short pieces along y = 0
  for (int k = 0; k < 400; ++k) {
    input += std::to_string(k) + " 0 " + std::to_string(k + 0.5) + " 0\n";
  }
  const Window window = open(input, {"-m"});  // a short report: nothing waits on the pipe
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);
  x.pressKey(window, XK_n);
  const Image numbered = x.captureChanged(window, first);
  EXPECT_TRUE(sameAboveTheBand(numbered, first)) << "no numbers drawn";
  EXPECT_EQ(numbered.at(1000, 695), (Rgb{255, 255, 255})) << "the band says why";
  // Closer, with a few midpoints in view, the numbers show and the band goes.
  const View framed = frameView(Point(0, 0), Point(399.5, 0));
  const Projection view{framed.cx, framed.cy, framed.dist, 1024, 700};
  Image closer = numbered;
  for (int k = 0; k < 12; ++k) {
    x.turnWheel(window, int(view.x(100.25)), int(view.y(0)), true);
    closer = x.captureChanged(window, closer);
  }
  EXPECT_NE(closer.at(1000, 695), (Rgb{255, 255, 255})) << "no band";
  EXPECT_GT(closer.count(black), 50) << "numbers";
  EXPECT_EQ(close(window).status, 0);

  // + 80 times on the worked example, about the crossing in the middle:
  // a pixel is then 1.5e-8 across, a sixteenth of the float spacing at 2,
  // and the wheel on segment 0 zooms no further (c marks when it would have).
  const Window example = open("0 0 4 4 0 4 4 0\n");
  ASSERT_TRUE(example);
  const Image start = x.captureSettled(example);
  for (int k = 0; k < 80; ++k) x.pressKey(example, XK_plus);
  const Image closest = x.captureChanged(example, start);
  EXPECT_GT(closest.count(red), 1000) << "two lines across the window";
  EXPECT_EQ(closest.at(512, 350), black);
  x.turnWheel(example, 700, 162, true);
  x.pressKey(example, XK_c);
  const Image after = x.captureChanged(example, closest);
  EXPECT_TRUE(sameAboveTheBand(after, closest)) << "zoomed in no further";
  EXPECT_EQ(close(example).status, 0);
}

}  // namespace
