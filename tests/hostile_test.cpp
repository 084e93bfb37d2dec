// Whatever a file or the environment throws at the program, it ends with the
// right report or a clear error: no hang, no crash, nothing lost.
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

#include "support/program_runner.h"

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

// A picture that cannot be written whole leaves an earlier file of its name
// as it was, and nothing beside it.
TEST(Output, PictureOnAFullDiskKeepsTheOldFile) {
  TempDir dir;
  dir.write("test.txt", randomSegments(300));
  dir.write("old.png", "old");
  const RunResult r = runProgram(
      dir.path, {.args = {"--png", "old.png"}, .env = {{"DISPLAY", ""}}, .fileSizeLimit = 2000});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_TRUE(startsWith(r.err, "Greska! PNG sliku old.png nije moguce ispisati: ")) << r.err;
  std::ifstream old(dir.path + "/old.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) ++files;
  EXPECT_EQ(files, 2) << "test.txt and old.png only";
}

// A parent that made the pipe non-blocking still gets the whole report.
TEST(Output, NonBlockingPipeIsWaitedFor) {
  const RunResult r =
      runOnInput(randomSegments(1000),
                 {.args = {"--no-window"}, .nonBlockingStdout = true, .stdoutPace = 30e6});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lineCount(r.out), 1000 * 999 / 2);
}

// A stop signal in the middle of the report, or while its last buffers are
// written: the report ends with a whole line and the status tells the
// signal. Under nohup, SIGHUP is not the program's to catch.
TEST(Output, SignalEndsTheReportWithAWholeLine) {
  struct Row {
    const char* name;
    int segments;
    int signal;
    std::size_t after;
    bool ignoreHangup;
    int status;
  };
  // 450 segments make a 3.7 MB report: the loop is over long before the
  // slow reader has taken 2 MB of it.
  for (const Row& row : {Row{"during the loop", 3000, SIGTERM, 4 << 20, false, 128 + SIGTERM},
                         Row{"during the last writes", 450, SIGINT, 2 << 20, false, 128 + SIGINT},
                         Row{"hangup under nohup", 1000, SIGHUP, 4 << 20, true, 0}}) {
    const RunResult r = runOnInput(randomSegments(row.segments), {.args = {"--no-window"},
                                                                  .ignoreHangup = row.ignoreHangup,
                                                                  .stdoutPace = 20e6,
                                                                  .signalAfter = row.signal,
                                                                  .signalAfterBytes = row.after});
    const int all = row.segments * (row.segments - 1) / 2;
    EXPECT_EQ(r.status, row.status) << row.name << ": " << r.err;
    EXPECT_GT(r.out.size(), row.after) << row.name;
    EXPECT_EQ(lineCount(r.out) < all, row.status != 0) << row.name;
    EXPECT_TRUE(wholeReportLines(r.out)) << row.name;
  }
}

// A reader that never reads cannot hold the run: a stop signal ends it, and
// what reached the pipe ends with a whole line.
TEST(Output, SignalEndsTheRunWhileTheReaderStalls) {
  TempDir dir;
  dir.write("test.txt", randomSegments(1000));
  RunningProgram program = startProgram(dir.path, {.args = {"--no-window"}});
  // Until the pipe is full and the program waits on it.
  int unread = 0;
  for (int tries = 0; tries < 10000 && unread < fcntl(program.outFd, F_GETPIPE_SZ) - 8192;
       ++tries) {
    usleep(1000);
    ioctl(program.outFd, FIONREAD, &unread);
  }
  kill(program.pid, SIGTERM);
  siginfo_t ended{};
  for (int tries = 0; tries < 1000 && ended.si_pid == 0; ++tries) {
    waitid(P_PID, id_t(program.pid), &ended, WEXITED | WNOHANG | WNOWAIT);
    usleep(10000);  // ten seconds at the most
  }
  EXPECT_EQ(ended.si_pid, program.pid) << "still running after SIGTERM";
  const RunResult r = finishProgram(program);
  EXPECT_EQ(r.status, 128 + SIGTERM);
  EXPECT_TRUE(wholeReportLines(r.out));
  EXPECT_GT(lineCount(r.out), 1000);
}

// A line of /proc/PID/<file> that starts with `name`, its number after it
// (hexadecimal with base 16), or -1.
long long procNumber(int pid, const char* file, const std::string& name, int base = 10) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(in, line);) {
    if (startsWith(line, name)) return std::stoll(line.substr(name.size()), nullptr, base);
  }
  return -1;
}

// Waits until `ready` holds for the running program, or it has ended.
template <class F>
bool waitUntil(const RunningProgram& program, F ready) {
  for (int tries = 0; tries < 100000; ++tries) {
    siginfo_t ended{};
    waitid(P_PID, id_t(program.pid), &ended, WEXITED | WNOHANG | WNOWAIT);
    if (ended.si_pid == program.pid) return false;
    if (ready()) return true;
    usleep(200);
  }
  return false;
}

// A dense core in an empty map, whose index takes a while to build.
std::string crowdedSegments(int n) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> unit(0, 1);
  std::string text;
  char line[128];
  for (int k = 0; k < n; ++k) {
    const double scale = k % 2 ? 1 : 1e6, x = unit(random) * scale, y = unit(random) * scale;
    std::snprintf(line, sizeof line, "%.7g %.7g %.7g %.7g\n", x, y, x + scale * 1e-3, y);
    text += line;
  }
  return text;
}

// SIGTERM ends a run wherever it is, with 128 + 15 and nothing half
// written: while the input is read from a pipe that brings nothing, and
// while the meeting pairs are searched for, before any line is written.
TEST(Output, StopSignalsEndTheRunInEveryPhase) {
  TempDir dir;
  {
    RunningProgram program =
        startProgram(dir.path, {.args = {"-m", "--no-window", "-"}, .stdinOpen = true});
    const long long term = 1ll << (SIGTERM - 1);
    ASSERT_TRUE(waitUntil(
        program, [&] { return (procNumber(program.pid, "status", "SigCgt:", 16) & term) != 0; }));
    // Past one whole wait for input: the signal comes while nothing does.
    const char* const slept = "voluntary_ctxt_switches:";
    const long long before = procNumber(program.pid, "status", slept);
    ASSERT_TRUE(
        waitUntil(program, [&] { return procNumber(program.pid, "status", slept) >= before + 2; }));
    kill(program.pid, SIGTERM);
    const RunResult r = finishProgram(program);
    EXPECT_EQ(r.status, 128 + SIGTERM) << "reading";
    EXPECT_EQ(r.out, "");
  }
  const std::string input = crowdedSegments(400000);
  dir.write("test.txt", input);
  RunningProgram program = startProgram(dir.path, {.args = {"-m", "--no-window"}});
  // Both halves of the file read, counted and converted: the index is next.
  ASSERT_TRUE(waitUntil(program, [&] {
    return procNumber(program.pid, "io", "rchar: ") >= 2 * (long long)input.size();
  }));
  kill(program.pid, SIGTERM);
  const RunResult r = finishProgram(program);
  EXPECT_EQ(r.status, 128 + SIGTERM) << "searching";
  EXPECT_EQ(r.out, "");
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
// segments through the origin and 1,600 spread out, under limits from
// where the program cannot start to where it runs through.
TEST(Memory, ExhaustionInTheSearchEndsWithTheMessage) {
  std::string input;
  std::mt19937 random(4);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int k = 0; k < 3000; ++k) {
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
  // The last line is wiped when the loop ends: blanks over all of it, the
  // cursor back at its start.
  const std::string& err = onTerminal.err;
  const std::size_t lineStart = err.rfind('\r', err.rfind("parova/s"));
  const std::size_t wipe = err.find('\r', lineStart + 1);
  ASSERT_NE(wipe, std::string::npos) << err;
  const std::size_t blanksEnd = err.find_first_not_of(' ', wipe + 1);
  EXPECT_GE(blanksEnd - wipe - 1, wipe - lineStart - 1) << "as many blanks as the line";
  EXPECT_EQ(err.substr(blanksEnd, 1), "\r");
  // Its estimate of the time left is near the end too: at most a second.
  const std::size_t left = err.find("jos oko ", lineStart);
  ASSERT_LT(left, wipe) << err.substr(lineStart, wipe - lineStart);
  EXPECT_LE(std::atoi(err.c_str() + left + 8), 1) << err.substr(lineStart, wipe - lineStart);

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
