// The real program's window under a private Xvfb: what a user sees and does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <X11/keysym.h>

#include "display/view.h"
#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

const char* const title = "Geometrija - prikaz zadatka";
const Rgb clearColour{230, 230, 204};  // 0.9, 0.9, 0.8
const Rgb red{255, 0, 0};
const Rgb black{0, 0, 0};

bool near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

// Whether `colour` appears within `radius` pixels of (x, y).
bool seenNear(const Image& image, double x, double y, Rgb colour, int radius = 2) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = int(std::lround(x)) + dx, py = int(std::lround(y)) + dy;
      if (px >= 0 && py >= 0 && px < image.width && py < image.height &&
          image.at(px, py) == colour) {
        return true;
      }
    }
  }
  return false;
}

// Whether two 1024 x 700 frames differ only in the caption band, the 20
// rows along the bottom.
bool sameAboveTheBand(const Image& a, const Image& b) {
  return std::equal(a.pixels.begin(), a.pixels.begin() + 1024 * 680, b.pixels.begin());
}

// Window pixel of a scene point, for a view centred on (cx, cy) from `dist`
// with the 45-degree field of view.
struct Projection {
  double cx, cy, dist;
  int width, height;
  double scale() const { return (height / 2.0) / (dist * std::tan(M_PI / 8)); }
  double x(double sx) const { return width / 2.0 + (sx - cx) * scale(); }
  double y(double sy) const { return height / 2.0 - (sy - cy) * scale(); }
};

class WindowTest : public testing::Test {
 protected:
  // Starts the program on `input` and waits for its window.
  Window open(const std::string& input, const std::vector<std::string>& args = {}) {
    dir.write("test.txt", input);
    program = startProgram(dir.path, {.args = args});
    const Window window = x.findWindow(title);
    if (!window) ADD_FAILURE() << "no window titled \"" << title << "\"";
    return window;
  }

  // Closes the window as a user would and collects the program's result.
  RunResult close(Window window) {
    x.requestClose(window);
    return finishProgram(program);
  }

  void TearDown() override {
    if (program.pid > 0) {
      kill(program.pid, SIGKILL);
      finishProgram(program);
    }
  }

  XvfbServer server;
  XClient x;
  TempDir dir;
  RunningProgram program;
};

TEST_F(WindowTest, ShowsTheWorkedExample) {
  const Window window = open("0 0 4 4 0 4 4 0\n");
  ASSERT_TRUE(window);
  EXPECT_EQ(x.title(window), title);
  const Geometry g = x.geometry(window);
  EXPECT_EQ(g.x, 100);
  EXPECT_EQ(g.y, 50);
  EXPECT_EQ(g.width, 1024);
  EXPECT_EQ(g.height, 700);

  const Image image = x.captureSettled(window);
  ASSERT_EQ(image.width, 1024);
  EXPECT_TRUE(near(image.at(0, 0), clearColour));
  EXPECT_TRUE(near(image.at(1023, 699), clearColour));
  // The crossing (2, 2) is the centre of the corners: a black dot in the
  // middle of the window, drawn over both red segments.
  EXPECT_EQ(image.at(511, 349), black);
  EXPECT_EQ(image.at(512, 350), black);
  const Projection view{2, 2, 4, 1024, 700};
  for (double t : {0.5, 1.0, 1.5, 3.0, 3.5}) {
    EXPECT_TRUE(seenNear(image, view.x(t), view.y(t), red)) << "on segment 0 at " << t;
    EXPECT_TRUE(seenNear(image, view.x(t), view.y(4 - t), red)) << "on segment 1 at " << t;
  }
  // The end dots at y = 0 and y = 4 fall just beyond the bottom and top.
  EXPECT_LT(view.y(4), 0);
  EXPECT_GT(view.y(0), 700);

  const RunResult result = close(window);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, "Duzi 0 i 1 imaju presecnu tacku\n");
}

// The display is first asked for before the report. One that answers only
// after it gets the window with its drawing all the same, never a window
// with nothing in it.
TEST_F(WindowTest, DisplayThatAnswersLateGetsTheDrawing) {
  const int late = XvfbServer::unusedNumber();
  std::string input;
  for (int k = 0; k < 400; ++k) input += "0 0 4 4 0 4 4 0\n";
  dir.write("test.txt", input);
  program = startProgram(dir.path, {.env = {{"DISPLAY", ":" + std::to_string(late)}}});
  // The report fills the pipe: the display was asked for, and did not answer.
  int unread = 0;
  for (int tries = 0; tries < 10000 && unread < fcntl(program.outFd, F_GETPIPE_SZ) - 8192;
       ++tries) {
    usleep(1000);
    ioctl(program.outFd, FIONREAD, &unread);
  }
  XvfbServer lateServer(late);
  std::size_t lines = 0;
  char buffer[65536];
  while (lines < 800 * 799 / 2) {
    const ssize_t n = read(program.outFd, buffer, sizeof buffer);
    ASSERT_GT(n, 0) << lines << " lines";
    lines += std::size_t(std::count(buffer, buffer + n, '\n'));
  }
  XClient client;
  const Window window = client.findWindow(title);
  ASSERT_TRUE(window);
  const Image image = client.captureSettled(window);
  EXPECT_EQ(image.at(511, 349), black);
  const Projection view{2, 2, 4, 1024, 700};
  for (double t : {0.5, 1.0, 3.0, 3.5}) {
    EXPECT_TRUE(seenNear(image, view.x(t), view.y(t), red)) << "on segment 0 at " << t;
    EXPECT_TRUE(seenNear(image, view.x(t), view.y(4 - t), red)) << "on segment 1 at " << t;
  }
  client.requestClose(window);
  const RunResult result = finishProgram(program);
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(WindowTest, ResizeKeepsTheCentreOnTheSameScenePoint) {
  const Window window = open("0 0 4 4 0 4 4 0\n");
  ASSERT_TRUE(window);
  x.captureSettled(window);
  for (const auto& [width, height] : {std::pair{600, 400}, std::pair{400, 600}}) {
    x.resize(window, width, height);
    Image image;
    for (int tries = 0; tries < 100 && image.width != width; ++tries) {
      image = x.captureSettled(window);
    }
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    EXPECT_EQ(image.at(width / 2, height / 2), black) << width << "x" << height;
    // The vertical scale follows the height and the horizontal the same
    // scale: the aspect follows the window, nothing is stretched.
    const Projection view{2, 2, 4, width, height};
    for (double t : {1.0, 1.5, 2.5, 3.0}) {
      EXPECT_TRUE(seenNear(image, view.x(t), view.y(t), red)) << width << "x" << height;
    }
  }
  EXPECT_EQ(close(window).status, 0);
}

TEST_F(WindowTest, OneSegmentShowsAnEmptyScene) {
  const Window window = open("1 2 3 4\n");
  ASSERT_TRUE(window);
  const Image image = x.captureSettled(window);
  int clear = 0;
  for (const Rgb& p : image.pixels) clear += near(p, clearColour);
  EXPECT_EQ(clear, 1024 * 700);
  EXPECT_EQ(close(window).status, 0);
}

// Scenes whose eye distance lies outside the planes 1..1000 still show.
TEST_F(WindowTest, ShowsScenesFarAndNear) {
  struct Row {
    const char* input;
    Projection view;
    double crossX, crossY;
  };
  // Thousands: corners (1000, 700) and (3000, 3000), dist 4000.
  // Tenths: corners (0, 0) and (0.4, 0.4), dist 0.4.
  for (const Row& row :
       {Row{"1000 1000 3000 3000 1000 3000 3000 1000", {2000, 1850, 4000, 1024, 700}, 2000, 2000},
        Row{"0 0 0.4 0.4 0 0.4 0.4 0", {0.2, 0.2, 0.4, 1024, 700}, 0.2, 0.2}}) {
    const Window window = open(row.input);
    ASSERT_TRUE(window);
    const Image image = x.captureSettled(window);
    EXPECT_GT(image.count(red), 200) << row.input;
    EXPECT_TRUE(seenNear(image, row.view.x(row.crossX), row.view.y(row.crossY), black))
        << row.input;
    EXPECT_EQ(close(window).status, 0);
  }
}

// The viewer, driven as a user drives it: every change of view shows what it
// promises, and r brings back the first frame exactly.
TEST_F(WindowTest, KeysAndMouseMoveTheView) {
  const Window window = open("0 0 4 4 0 4 4 0\n");
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);
  const Projection firstView{2, 2, 4, 1024, 700};
  auto backToFirst = [&](const Image& now, unsigned long key) {
    x.pressKey(window, key);
    EXPECT_TRUE(x.captureChanged(window, now) == first) << "the first frame, exactly";
  };

  // n shows the numbers beside the midpoints, both at the crossing here.
  x.pressKey(window, XK_n);
  const Image numbered = x.captureChanged(window, first);
  EXPECT_GT(numbered.count(black), first.count(black) + 10);
  x.pressKey(window, XK_n);
  EXPECT_TRUE(x.captureChanged(window, numbered) == first) << "hiding the numbers restores it";

  // f frames every end point: the dots at (0, 0) and (4, 4), cut off at
  // first, come into the window.
  x.pressKey(window, XK_f);
  const Image fitted = x.captureChanged(window, first);
  const View fit = fitView({0, 0, 4, 4}, 1024, 700);
  const Projection fitted2{fit.cx, fit.cy, fit.dist, 1024, 700};
  for (const auto& [px, py] : {std::pair{0, 0}, {4, 4}, {0, 4}, {4, 0}}) {
    EXPECT_GT(fitted2.y(py), 0);
    EXPECT_LT(fitted2.y(py), 700);
    EXPECT_TRUE(seenNear(fitted, fitted2.x(px), fitted2.y(py), red)) << px << ", " << py;
  }
  backToFirst(fitted, XK_r);

  // The wheel zooms about the pointer: the point of segment 0 under it stays,
  // the crossing moves away from it by the zoom factor.
  const double px = firstView.x(3), py = firstView.y(3);
  x.turnWheel(window, int(px), int(py), true);
  const Image zoomed = x.captureChanged(window, first);
  EXPECT_TRUE(seenNear(zoomed, px, py, red));
  EXPECT_TRUE(seenNear(zoomed, px + (512 - px) * 1.25, py + (350 - py) * 1.25, black));
  backToFirst(zoomed, XK_Home);

  // An arrow moves the view a tenth of the window that way: the crossing,
  // in the middle at first, moves the other way.
  // Straight that way: the crossing's black dot keeps its rows (or columns).
  struct Arrow {
    unsigned long key;
    int x, y;
  };
  auto blackRows = [](const Image& image, bool columns) {
    std::vector<bool> lines(columns ? image.width : image.height);
    for (int y = 0; y < image.height; ++y) {
      for (int column = 0; column < image.width; ++column) {
        if (image.at(column, y) == black) lines[columns ? column : y] = true;
      }
    }
    return lines;
  };
  for (const Arrow& arrow : {Arrow{XK_Left, 614, 350}, Arrow{XK_Right, 410, 350},
                             Arrow{XK_Up, 512, 420}, Arrow{XK_Down, 512, 280}}) {
    x.pressKey(window, arrow.key);
    const Image moved = x.captureChanged(window, first);
    EXPECT_TRUE(seenNear(moved, arrow.x, arrow.y, black, 1)) << "key " << arrow.key;
    EXPECT_NE(moved.at(512, 350), black) << "key " << arrow.key;
    const bool across = arrow.y == 350;
    EXPECT_EQ(blackRows(moved, !across), blackRows(first, !across)) << "key " << arrow.key;
    backToFirst(moved, XK_r);
  }

  // - zooms out about the middle: the crossing stays, the end dots at
  // (0, 0) and (4, 4), beyond the edges at first, come into the window.
  x.pressKey(window, XK_minus);
  const Image farther = x.captureChanged(window, first);
  const Projection fartherView{2, 2, 4 * 1.25, 1024, 700};
  EXPECT_EQ(farther.at(512, 350), black);
  EXPECT_TRUE(seenNear(farther, fartherView.x(4), fartherView.y(0), red));
  EXPECT_FALSE(seenNear(farther, fartherView.x(4.05), fartherView.y(-0.05), red, 1))
      << "segment 1 ends at (4, 0), where it went on at first";
  backToFirst(farther, XK_r);

  // A drag moves the drawing with the pointer, also straight across.
  x.drag(window, 512, 350, 612, 400);
  const Image dragged = x.captureChanged(window, first);
  EXPECT_EQ(dragged.at(612, 400), black);
  EXPECT_EQ(dragged.at(611, 399), black);
  EXPECT_NE(dragged.at(512, 350), black);
  backToFirst(dragged, XK_r);
  x.drag(window, 512, 350, 612, 350);
  const Image across = x.captureChanged(window, first);
  EXPECT_TRUE(seenNear(across, 612, 350, black, 1));
  EXPECT_NE(across.at(512, 350), black);
  backToFirst(across, XK_r);

  x.pressKey(window, XK_Escape);
  const RunResult result = finishProgram(program);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.signal, 0);
}

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

// A map: no crossing point on a line's own vertex, one where another line
// crosses it; a click on a segment names its feature, part and vertex.
TEST_F(WindowTest, MapShowsCrossingsNotJoints) {
  dir.write("map.geojson", R"({"type":"FeatureCollection","features":[
    {"type":"Feature","id":7,"properties":{},"geometry":{"type":"LineString",
     "coordinates":[[0,0],[500,600],[1000,0]]}},
    {"type":"Feature","id":8,"properties":{},"geometry":{"type":"LineString",
     "coordinates":[[0,300],[400,300]]}}]})");
  const Window window = open("", {"map.geojson"});
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);
  EXPECT_EQ(first.count(black), 16) << "one crossing point, 4 x 4";
  // A red pixel far right of it lies on segment 1, from (500, 600) to (1000, 0).
  int blackX = 0;
  for (int k = 0; k < 1024 * 700; ++k) {
    if (first.pixels[std::size_t(k)] == black) blackX = k % 1024;
  }
  int clickX = -1, clickY = -1;
  for (int k = 0; k < 1024 * 680 && clickX < 0; ++k) {
    if (first.pixels[std::size_t(k)] == red && k % 1024 > blackX + 300)
      clickX = k % 1024, clickY = k / 1024;
  }
  ASSERT_GE(clickX, 0);
  x.click(window, clickX, clickY + 2);
  x.captureChanged(window, first);
  const RunResult result = close(window);
  EXPECT_EQ(result.out, "Duzi 0 i 2 imaju presecnu tacku\n");
  EXPECT_EQ(result.err, "Duz 1: (500, 600) - (1000, 0) (sloj map, objekat 7, deo 0, teme 1)\n");

  // Judged exactly, a crossing lies where the report puts it, which the
  // rules' float arithmetic misses: a click on it names its pair.
  const Window exact = open("-1 0 1 0\n0.0100000035 -1 0.0100000035 1\n", {"--exact"});
  ASSERT_TRUE(exact);
  x.pressKey(exact, XK_f);
  const Image fitted = x.captureSettled(exact);
  long sumX = 0, sumY = 0, dots = 0;
  for (int k = 0; k < 1024 * 680; ++k) {
    if (fitted.pixels[std::size_t(k)] == black) sumX += k % 1024, sumY += k / 1024, ++dots;
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

// --png draws the window's first frame into a file, with no display at all:
// the very pixels of the window.
TEST_F(WindowTest, PictureIsTheFirstFrame) {
  for (const char* input : {"0 0 4 4\n0 4 4 0\n1 0.5 1 3.5\n0.5 2 3.5 2\n2.5 2.5 3.5 3.5\n",
                            "1000000 1000000 1000010 1000010 1000000 1000010 1000010 1000000"}) {
    dir.write("test.txt", input);
    const std::string path = dir.path + "/first.png";
    const RunResult drawn =
        runProgram(dir.path, {.args = {"--png", path}, .env = {{"DISPLAY", ""}}});
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    const Image picture = readPng(path);
    ASSERT_EQ(picture.width, 1024) << input;
    std::ifstream bytes(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(bytes)), {});
    EXPECT_TRUE(file.ends_with(std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12)))
        << "a complete PNG file ends with its IEND chunk";
    ASSERT_EQ(picture.height, 700);
    const Window window = open(input);
    ASSERT_TRUE(window);
    EXPECT_TRUE(x.captureSettled(window) == picture) << input;
    EXPECT_GT(picture.count(red), 100) << input;
    EXPECT_EQ(close(window).status, 0);
  }
}

// f frames the figures also when they all lie at one point: the point,
// moved aside, comes back to the middle of the window.
TEST_F(WindowTest, FitOnASinglePoint) {
  const Window window = open("300 200 300 200\n300 200 300 200\n");
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);
  EXPECT_TRUE(seenNear(first, 512, 350, red, 2));
  x.pressKey(window, XK_Left);
  const Image moved = x.captureChanged(window, first);
  EXPECT_FALSE(seenNear(moved, 512, 350, red, 2));
  x.pressKey(window, XK_f);
  EXPECT_TRUE(seenNear(x.captureChanged(window, moved), 512, 350, red, 2));
  EXPECT_EQ(close(window).status, 0);
}

// While the window is open, the stop signals end the program as they
// would any other: nothing catches them any more.
TEST_F(WindowTest, StopSignalsEndTheOpenWindow) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const Window window = open("0 0 4 4 0 4 4 0\n");
    ASSERT_TRUE(window);
    x.captureSettled(window);
    kill(program.pid, signal);
    const RunResult result = finishProgram(program);
    EXPECT_FALSE(result.timedOut) << signal;
    EXPECT_EQ(result.signal, signal);
  }
}

// Found by the grid, the meeting pairs make the same scene: the same first
// frame, pixel for pixel, as the full report's.
TEST_F(WindowTest, MeetingOnlyDrawsTheSameFirstFrame) {
  std::string input;
  for (int k = 0; k < 2000; ++k) {
    const double x = (k * 7919 % 1000) * 0.3, y = (k * 104729 % 997) * 0.3, a = k * 2.39996;
    input += std::to_string(x) + " " + std::to_string(y) + " " +
             std::to_string(x + 9 * std::cos(a)) + " " + std::to_string(y + 9 * std::sin(a)) + "\n";
  }
  dir.write("test.txt", input);
  std::string files[2];
  for (const bool meetingOnly : {false, true}) {
    const std::string path = dir.path + (meetingOnly ? "/meeting.png" : "/full.png");
    RunOptions options{.args = {"--png", path}, .env = {{"DISPLAY", ""}}};
    if (meetingOnly) options.args.push_back("-m");
    const RunResult drawn = runProgram(dir.path, options);
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    std::ifstream bytes(path, std::ios::binary);
    files[meetingOnly] = std::string((std::istreambuf_iterator<char>(bytes)), {});
  }
  EXPECT_GT(readPng(dir.path + "/full.png").count(black), 1000);
  EXPECT_TRUE(files[0] == files[1]) << "the same PNG file";
  const Window window = open(input, {"-m"});  // a full report would fill the pipe
  ASSERT_TRUE(window);
  EXPECT_TRUE(x.captureSettled(window) == readPng(dir.path + "/full.png"));
  EXPECT_EQ(close(window).status, 0);
}

// q closes like Esc; a window destroyed by another client ends the program
// as a closed one does.
TEST_F(WindowTest, QuitAndDestroyEndTheProgram) {
  for (const bool destroy : {false, true}) {
    const Window window = open("0 0 4 4 0 4 4 0\n");
    ASSERT_TRUE(window);
    x.captureSettled(window);
    if (destroy) {
      x.destroy(window);
    } else {
      x.pressKey(window, XK_q);
    }
    const RunResult result = finishProgram(program);
    EXPECT_FALSE(result.timedOut) << (destroy ? "destroyed" : "q");
    EXPECT_EQ(result.status, 0) << (destroy ? "destroyed" : "q");
  }
}

// Scenes far from the origin, and at huge and tiny scales, show their
// segments in the first frame.
TEST_F(WindowTest, ShowsScenesAtAnyPlaceAndScale) {
  for (const char* input : {
           "1000000 1000000 1000010 1000010 1000000 1000010 1000010 1000000",
           "4512000 7456000 4512300 7456200 4512000 7456200 4512300 7456000",
           "0 0 4e30 4e30 0 4e30 4e30 0",
           "1e30 1e30 1.5e30 1.5e30 1e30 1.5e30 1.5e30 1e30",
           "0 0 4e-30 4e-30 0 4e-30 4e-30 0",
           "1e-30 1e-30 2e-30 2e-30 1e-30 2e-30 2e-30 1e-30",
           "0 0 4e-44 4e-44 0 4e-44 4e-44 0",
           // Framed with the origin, these would shrink to one dot.
           "7456000 4512000 7456010 4512010 7456000 4512010 7456010 4512000",
       }) {
    const Window window = open(input);
    ASSERT_TRUE(window);
    const Image image = x.captureSettled(window);
    EXPECT_GT(image.count(red), 200) << input;
    EXPECT_GT(image.count(black), 8) << input;
    EXPECT_EQ(close(window).status, 0);
  }
}

#ifndef SEGMENTS_SANITIZED  // the sanitizers' shadow memory does not fit such limits
// A lattice whose every crossing is its own point: the drawing needs memory
// of its own after the report. At the smallest limit that lets the report
// finish, the drawing cannot be made, and the run ends with the message, not
// an abort, before any window shows.
TEST_F(WindowTest, DrawingWithoutMemoryEndsWithTheMessage) {
  std::string lattice;
  const int side = 700;
  for (int k = 0; k < side; ++k) {
    lattice += "0 " + std::to_string(k) + " 1000 " + std::to_string(k) + "\n";
    lattice += std::to_string(k) + " 0 " + std::to_string(k) + " 1000\n";
  }
  dir.write("test.txt", lattice);
  const std::string report = dir.path + "/report.txt";
  const std::size_t lines = std::size_t(side) * (2 * side - 1);
  auto runWith = [&](unsigned long long limit) {
    program = startProgram(dir.path, {.stdoutPath = report, .dataLimit = limit});
    for (bool ended = false; !ended;) {  // until the window shows or the program ends
      if (const Window window = x.findWindow(title, 0.1)) {
        x.requestClose(window);
        break;
      }
      std::ifstream stat("/proc/" + std::to_string(program.pid) + "/stat");
      std::string pid, name, state;
      ended = !(stat >> pid >> name >> state) || state == "Z";
    }
    const RunResult result = finishProgram(program);
    std::ifstream text(report);
    const std::size_t written = std::size_t(
        std::count(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>(), '\n'));
    return std::pair{result, written};
  };
  // The smallest limit, to a megabyte, at which the report is whole.
  unsigned long long low = 8ull << 20, high = 512ull << 20;
  ASSERT_EQ(runWith(high).second, lines);
  while (high - low > (1ull << 20)) {
    const unsigned long long middle = (low + high) / 2;
    (runWith(middle).second == lines ? high : low) = middle;
  }
  const auto [result, written] = runWith(high);
  EXPECT_EQ(written, lines);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.status, 255);
  // The graphics driver may have complained first; the last line is ours.
  const std::string message = "Greska! Nema dovoljno memorije.\n";
  EXPECT_TRUE(result.err.ends_with("\n" + message) || result.err == message) << result.err;

  // Short of the address space the graphics driver needs, no window opens.
  dir.write("test.txt", "0 0 4 4 0 4 4 0");
  const RunResult tight = runProgram(dir.path, {.addressLimit = 260ull << 20});
  EXPECT_EQ(tight.signal, 0);
  EXPECT_EQ(tight.status, 255);
  EXPECT_EQ(tight.err, message);
}
#endif

}  // namespace
