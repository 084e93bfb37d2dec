// The real program's window under a private Xvfb: the picture of its first
// frame, its framing of any scene, and how it ends.
#include "window_fixture.h"

using namespace window_testing;

namespace {

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
