// Whatever a file or the memory limits throw at the program, it ends with
// the right report or a clear error: no hang, no crash, nothing lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "hostile.h"
#include "support/program_runner.h"

namespace {

using namespace hostile;

TEST(HostileFiles, BinaryGarbageIsMalformed) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 random(seed);
    std::string garbage(4096, '\0');
    for (char& c : garbage) c = char(random());
    const RunResult r = runOnInput(garbage, headless);
    ASSERT_FALSE(r.timedOut);
    // Either the first token is already not a number, or a later one is.
    EXPECT_EQ(r.status, 2) << "seed " << seed;
    EXPECT_TRUE(startsWith(r.out, "Greska! Neispravan podatak za duz ")) << r.out;
    EXPECT_EQ(lineCount(r.out), 1);
  }
}

TEST(HostileFiles, HugeTokensEndCleanly) {
  // 10 MB of digits: one number far beyond the float range.
  const RunResult huge = runOnInput(std::string(10 << 20, '7'), headless);
  EXPECT_EQ(huge.status, 2);
  EXPECT_EQ(huge.out,
            "Greska! Neispravan podatak za duz 0 u ulaznom fajlu: " + std::string(40, '7') + "\n");

  // 10,000 digits that make an ordinary number.
  const RunResult longNumber =
      runOnInput("0." + std::string(10000, '3') + " 0 1 1\n0 1 1 0\n", headless);
  EXPECT_EQ(longNumber.out, "Duzi 0 i 1 imaju presecnu tacku\n");
  EXPECT_EQ(longNumber.status, windowCannotOpen);
}

TEST(HostileFiles, FourThousandNumbersOnOneLine) {
  const RunResult r = runOnInput(randomSegments(1000), headless);
  EXPECT_EQ(r.status, windowCannotOpen);
  EXPECT_EQ(lineCount(r.out), 1000 * 999 / 2);
  EXPECT_TRUE(startsWith(r.out, "Duzi 0 i 1 "));
  EXPECT_NE(r.out.find("\nDuzi 998 i 999 "), std::string::npos);
}

TEST(HostileFiles, UnreadableFileIsAnOpenFailure) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  dir.write("test.txt", "0 0 4 4 0 4 4 0");
  chmod((dir.path + "/test.txt").c_str(), 0);
  const RunResult r = runProgram(dir.path, {.stdinText = "\n\n"});
  EXPECT_EQ(r.out, "Greska! Ne mogu da otvorim ulazni fajl.\n");
  EXPECT_EQ(r.status, 1);
}

// A file of NUL bytes without end is malformed from its first byte on.
TEST(HostileFiles, EndlessZerosAreMalformed) {
  TempDir zeros;
  ASSERT_EQ(symlink("/dev/zero", (zeros.path + "/test.txt").c_str()), 0);
  const RunResult r = runProgram(zeros.path, headless);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(startsWith(r.out, "Greska! Neispravan podatak za duz 0 u ulaznom fajlu: \\x00"));
}

// A pipe named as the input is read whole: whether it is a map is not
// asked of what it brings.
TEST(HostileFiles, PipeIsReadWhole) {
  TempDir dir;
  const std::string fifo = dir.path + "/test.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread feeder([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    const std::string text = "0 0 2 2\n0 2 2 0\n";
    if (fd >= 0 && write(fd, text.data(), text.size()) > 0) close(fd);
  });
  const RunResult r = runProgram(dir.path, {.args = {"--no-window"}});
  feeder.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Duzi 0 i 1 imaju presecnu tacku\n");
}

#ifndef SEGMENTS_SANITIZED  // the sanitizers' shadow memory does not fit such limits
// An endless stream of good numbers stops once the memory allowed is used,
// with a message naming how much was read.
TEST(Memory, EndlessInputStopsAtTheLimit) {
  TempDir dir;
  const std::string fifo = dir.path + "/test.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread feeder([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    std::string block;
    while (block.size() < 65536) block += "1 2 3 4\n";
    while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
    }
    if (fd >= 0) close(fd);
  });
  const RunResult r = runProgram(dir.path, {.env = {{"DISPLAY", ""}}, .dataLimit = 64ull << 20});
  close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));  // frees a feeder still waiting to open
  feeder.join();
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(startsWith(r.err, "Greska! Nema dovoljno memorije za ulazni fajl: procitano je "))
      << r.err;
}

// Memory for the pair loop is checked before the report starts against what
// it needs at the least (the segments and one run of the scene per row): an
// input that cannot fit even so is refused at once, and one that fits runs.
TEST(Memory, InputsTooLargeAreRefusedBeforeTheReport) {
  const unsigned long long limit = 32ull << 20;
  std::string many;
  for (int k = 0; k < 400000; ++k) many += "1 2 3 4\n";
  const RunResult tooLarge = runOnInput(many, {.env = {{"DISPLAY", ""}}, .dataLimit = limit});
  EXPECT_EQ(tooLarge.status, 255);
  EXPECT_EQ(tooLarge.out, "");
  EXPECT_TRUE(startsWith(tooLarge.err, "Greska! Nema dovoljno memorije za ")) << tooLarge.err;
  EXPECT_NE(tooLarge.err.find("staje oko "), std::string::npos) << tooLarge.err;

  const RunResult fits =
      runOnInput(randomSegments(1000), {.args = {"--no-window"}, .dataLimit = limit});
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(lineCount(fits.out), 1000 * 999 / 2);
}

// The graphics driver crashes when it runs short of address space: the
// program ends with the memory message instead, before starting it, and
// draws where there is room. (The window's case is among the window tests.)
TEST(Memory, GraphicsStartOnlyWithRoom) {
  struct Row {
    std::vector<std::string> args;
    unsigned long long addressLimit;
    int status;
  };
  for (const Row& row :
       {Row{{"--png", "x.png"}, 240ull << 20, 255}, Row{{"--png", "x.png"}, 280ull << 20, 255},
        Row{{"--png", "x.png"}, 1ull << 30, 0}}) {
    const RunResult r =
        runOnInput("0 0 4 4 0 4 4 0",
                   {.args = row.args, .env = {{"DISPLAY", ""}}, .addressLimit = row.addressLimit});
    EXPECT_EQ(r.signal, 0) << (row.addressLimit >> 20) << " MB";
    EXPECT_EQ(r.status, row.status) << (row.addressLimit >> 20) << " MB: " << r.err;
    EXPECT_EQ(r.out, "Duzi 0 i 1 imaju presecnu tacku\n");
    EXPECT_EQ(r.err, row.status ? "Greska! Nema dovoljno memorije.\n" : "");
  }
}

// A grid of long lines: every pair of a horizontal and a vertical one
// crosses and stores its runs and a point. Memory runs out inside the loop;
// the lines written so far stay written, whole.
TEST(Memory, ExhaustionInsideTheLoopKeepsTheLinesWritten) {
  std::string fan;
  const int n = 2000;
  for (int k = 0; k < n; ++k) {
    const std::string at = std::to_string(k), end = std::to_string(n);
    fan += k % 2 ? at + " -1 " + at + " " + end + "\n" : "-1 " + at + " " + end + " " + at + "\n";
  }
  const RunResult r = runOnInput(fan, {.env = {{"DISPLAY", ""}}, .dataLimit = 24ull << 20});
  EXPECT_EQ(r.status, 255) << r.err;
  EXPECT_EQ(r.err, "Greska! Nema dovoljno memorije.\n");
  EXPECT_GT(lineCount(r.out), 1000);
  EXPECT_LT(lineCount(r.out), n * (n - 1) / 2);
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_TRUE(startsWith(r.out, "Duzi 0 i 1 imaju presecnu tacku\n"));
}

// Memory running out in either thread of the search ends the run with the
// memory message, after whole lines, never with an abort: 1,400 unit
// segments through the origin and 4,600 spread out (few enough pairs meet
// that the search keeps its index and its lists of pairs), under limits
// from where the program cannot start to where it runs through.
TEST(Memory, ExhaustionInTheSearchEndsWithTheMessage) {
  std::string input;
  std::mt19937 random(4);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int k = 0; k < 6000; ++k) {
    const double a = unit(random) * 2 * M_PI, x = unit(random) * 1000, y = unit(random) * 1000;
    input += k < 1400
                 ? std::to_string(-0.5 * std::cos(a)) + " " + std::to_string(-0.5 * std::sin(a)) +
                       " " + std::to_string(0.5 * std::cos(a)) + " " +
                       std::to_string(0.5 * std::sin(a)) + "\n"
                 : std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + 1) + " " +
                       std::to_string(y) + "\n";
  }
  struct Row {
    unsigned long long dataLimit, addressLimit;
  };
  int ranOut = 0;
  for (const Row row :
       {Row{20ull << 20, 0}, Row{25ull << 20, 0}, Row{30ull << 20, 0}, Row{0, 30ull << 20},
        Row{0, 35ull << 20}, Row{0, 40ull << 20}, Row{0, 45ull << 20}, Row{0, 0}}) {
    const RunResult r = runOnInput(input, {.args = {"-m", "--no-window"},
                                           .dataLimit = row.dataLimit,
                                           .addressLimit = row.addressLimit});
    const std::string limit = std::to_string((row.dataLimit | row.addressLimit) >> 20) + " MB";
    EXPECT_EQ(r.signal, 0) << limit << ": " << r.err;
    EXPECT_TRUE(r.status == 0 || r.status == 255) << limit << ": " << r.status << " " << r.err;
    EXPECT_TRUE(wholeReportLines(r.out)) << limit;
    if (r.status == 255) {
      ++ranOut;
      EXPECT_TRUE(r.err.ends_with("Greska! Nema dovoljno memorije.\n") ||
                  startsWith(r.err, "Greska! Nema dovoljno memorije za "))
          << limit << ": " << r.err;
    } else {
      EXPECT_GT(lineCount(r.out), 900000) << limit;
    }
  }
  EXPECT_GT(ranOut, 0) << "no limit was tight enough";
}
#endif

}  // namespace
