// Whatever a file or the environment throws at the program, it ends with the
// right report or a clear error: no hang, no crash, nothing lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "program_runner.h"

namespace {

int lineCount(const std::string& text) {
  return int(std::count(text.begin(), text.end(), '\n'));
}

// n segments, all pairwise distinct, in a few thousand bytes per hundred.
std::string randomSegments(int n, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> coordinate(0, 1000);
  std::string text;
  for (int k = 0; k < 4 * n; ++k) text += std::to_string(coordinate(random)) + " ";
  return text;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

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

// Output that cannot be written is a failure, with no window opened.
TEST(Output, WriteFailuresAreReported) {
  struct Row {
    const char* name;
    std::string input;
    RunOptions options;
  };
  const std::string worked = "0 0 4 4 0 4 4 0";
  const Row rows[] = {
      {"report to a full device", worked, {.stdoutPath = "/dev/full"}},
      {"report to a closed output", worked, {.closeStdout = true}},
      {"message to a full device", "", {.stdoutPath = "/dev/full"}},
      {"malformed-input message to a full device", "abc", {.stdoutPath = "/dev/full"}},
      {"long report to a full device", randomSegments(300), {.stdoutPath = "/dev/full"}},
  };
  for (const Row& row : rows) {
    RunOptions options = row.options;
    options.env["DISPLAY"] = ":31999";  // would fail differently if it got that far
    const RunResult r = runOnInput(row.input, options);
    EXPECT_EQ(r.status, 3) << row.name << ": " << r.err;
    EXPECT_TRUE(startsWith(r.err, "Greska! Izvestaj nije moguce ispisati: ")) << row.name;
  }
}

TEST(Output, ReaderThatGoesAwayEndsTheRunQuietly) {
  TempDir dir;
  dir.write("test.txt", randomSegments(1000));
  dir.write("run.sh", "DISPLAY= '" + std::string(programPath()) +
                          "' 2>err.txt | head -1 >/dev/null\n"
                          "echo ${PIPESTATUS[0]} >status.txt\n");
  ASSERT_EQ(std::system(("cd '" + dir.path + "' && bash run.sh").c_str()), 0);
  std::FILE* f = std::fopen((dir.path + "/status.txt").c_str(), "r");
  ASSERT_TRUE(f);
  int code = 0;
  ASSERT_EQ(std::fscanf(f, "%d", &code), 1);
  std::fclose(f);
  EXPECT_EQ(code, 128 + SIGPIPE);
  struct stat errors {};
  ASSERT_EQ(stat((dir.path + "/err.txt").c_str(), &errors), 0);
  EXPECT_EQ(errors.st_size, 0) << "nothing on standard error";
}

// Every line of a report is one of the three, whole.
bool wholeReportLines(const std::string& text) {
  static const std::regex line(
      "Duzi [0-9]+ i [0-9]+ (nemaju presecnih tacaka|imaju presecnu "
      "tacku|se poklapaju)");
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    if (!std::regex_match(text.begin() + long(start), text.begin() + long(end), line)) return false;
  }
  return start == text.size();
}

// A full disk in the middle of a write (here a file-size limit) leaves the
// report file ending with its last whole line.
TEST(Output, PartWrittenFileIsCutToWholeLines) {
  TempDir dir;
  dir.write("test.txt", randomSegments(300));
  const std::string report = dir.path + "/report.txt";
  const RunResult r = runProgram(
      dir.path, {.args = {"--no-window"}, .stdoutPath = report, .fileSizeLimit = 100000});
  EXPECT_EQ(r.status, 3) << r.err;
  std::ifstream file(report);
  const std::string written((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  EXPECT_GT(written.size(), 90000u);
  EXPECT_LE(written.size(), 100000u);
  EXPECT_TRUE(wholeReportLines(written));
}

// A parent that made the pipe non-blocking still gets the whole report.
TEST(Output, NonBlockingPipeIsWaitedFor) {
  const RunResult r =
      runOnInput(randomSegments(1000),
                 {.args = {"--no-window"}, .nonBlockingStdout = true, .stdoutPace = 30e6});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lineCount(r.out), 1000 * 999 / 2);
}

// SIGTERM in the middle of the report: the write under way finishes, the
// report ends with a whole line, and the status tells the signal.
TEST(Output, SignalEndsTheReportWithAWholeLine) {
  const RunResult r = runOnInput(randomSegments(3000), {.args = {"--no-window"},
                                                        .stdoutPace = 50e6,
                                                        .signalAfter = SIGTERM,
                                                        .signalAfterBytes = 4 << 20});
  EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
  EXPECT_GT(r.out.size(), std::size_t(4) << 20);
  EXPECT_LT(lineCount(r.out), 3000 * 2999 / 2);
  EXPECT_TRUE(wholeReportLines(r.out));
}

// A report that cannot be written ends the pair loop at once: 100,000
// segments would take minutes to report in full.
TEST(Output, WriteErrorStopsThePairLoopAtOnce) {
  std::string input;
  for (int k = 0; k < 100000; ++k) input += std::to_string(k) + " 0 " + std::to_string(k) + " 1\n";
  const RunResult r = runOnInput(input, {.env = {{"DISPLAY", ""}}, .stdoutPath = "/dev/full"});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 3) << r.err;
}

// A file of NUL bytes without end is malformed from its first byte on.
TEST(HostileFiles, EndlessZerosAreMalformed) {
  TempDir zeros;
  ASSERT_EQ(symlink("/dev/zero", (zeros.path + "/test.txt").c_str()), 0);
  const RunResult r = runProgram(zeros.path, headless);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(startsWith(r.out, "Greska! Neispravan podatak za duz 0 u ulaznom fajlu: \\x00"));
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
      runOnInput(randomSegments(1000), {.env = {{"DISPLAY", ""}}, .dataLimit = limit});
  EXPECT_EQ(fits.status, windowCannotOpen) << fits.err;
  EXPECT_EQ(lineCount(fits.out), 1000 * 999 / 2);
}

// A fan of segments through one point: every pair crosses and stores two
// runs and a point. Memory runs out inside the loop; the lines written so far
// stay written, whole.
TEST(Memory, ExhaustionInsideTheLoopKeepsTheLinesWritten) {
  std::string fan;
  const int n = 880;
  for (int k = 0; k < n; ++k) {
    const double angle = k * 0.2 * M_PI / 180;  // 0.2 degrees apart: never parallel
    fan += std::to_string(-100 * std::cos(angle)) + " " + std::to_string(-100 * std::sin(angle)) +
           " " + std::to_string(100 * std::cos(angle)) + " " +
           std::to_string(100 * std::sin(angle)) + "\n";
  }
  const RunResult r = runOnInput(fan, {.env = {{"DISPLAY", ""}}, .dataLimit = 24ull << 20});
  EXPECT_EQ(r.status, 255) << r.err;
  EXPECT_EQ(r.err, "Greska! Nema dovoljno memorije.\n");
  EXPECT_GT(lineCount(r.out), 1000);
  EXPECT_LT(lineCount(r.out), n * (n - 1) / 2);
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_TRUE(startsWith(r.out, "Duzi 0 i 1 imaju presecnu tacku\n"));
}

#endif

// A long loop shows its progress on a terminal, and only there; standard
// output holds the report alone either way.
TEST(Progress, ShownOnATerminalOnly) {
  TempDir dir;
  dir.write("test.txt", randomSegments(2000));
  // A reader taking about 40 MB a second holds the 76 MB report, and with it
  // the pair loop, for about two seconds: long enough to earn a progress line.
  RunOptions options{.env = {{"DISPLAY", ""}}, .stdoutPace = 40e6, .stderrTerminal = true};
  const RunResult onTerminal = runProgram(dir.path, options);
  EXPECT_NE(onTerminal.err.find("% "), std::string::npos) << onTerminal.err;
  EXPECT_NE(onTerminal.err.find("parova/s"), std::string::npos);
  EXPECT_EQ(lineCount(onTerminal.out), 2000 * 1999 / 2) << "the report alone on standard output";
  EXPECT_EQ(onTerminal.out.find("parova/s"), std::string::npos);

  options.stderrTerminal = false;
  const RunResult onPipe = runProgram(dir.path, options);
  EXPECT_EQ(onPipe.err.find("parova/s"), std::string::npos) << onPipe.err;

  // The report on the same terminal shows the progress itself: no progress
  // line lands among its lines.
  const RunResult shared =
      runProgram(dir.path, {.args = {"--no-window"}, .stdoutPace = 40e6, .terminal = true});
  EXPECT_EQ(shared.status, 0);
  EXPECT_EQ(lineCount(shared.out), 2000 * 1999 / 2);
  EXPECT_TRUE(wholeReportLines(shared.out));
}

}  // namespace
