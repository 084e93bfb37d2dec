// The real program's window under a private Xvfb: what it shows first, and
// how the keys and the mouse move the view.
#include "window_fixture.h"

using namespace window_testing;

namespace {

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

}  // namespace
