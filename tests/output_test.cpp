// Whatever the output and the signals do to the program, the report ends
// with a whole line and the status says what happened.
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
