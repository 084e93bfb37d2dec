// Runs the real program in a directory of its own and collects what it did.
#pragma once

#include <map>
#include <string>
#include <vector>

struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Writes `content` to `name` inside the directory.
  void write(const std::string& name, const std::string& content) const;
  std::string path;
};

struct RunOptions {
  std::vector<std::string> args{};           // the command line after the program's name
  std::string stdinText{};                   // fed to standard input, then closed
  bool stdinOpen = false;                    // ... or kept open: RunningProgram::inFd
  std::map<std::string, std::string> env{};  // set in the child ("" value: unset)
  bool ignoreHangup = false;                 // SIGHUP ignored, as under nohup
  std::string stdoutPath{};                  // if set, standard output goes to this file
  bool closeStdout = false;                  // start with standard output closed
  bool nonBlockingStdout = false;            // the pipe to standard output is non-blocking
  double stdoutPace = 0;                     // if set, bytes per second read, like a slow reader
  bool stderrTerminal = false;               // standard error is a pseudo-terminal
  bool terminal = false;  // standard output and error share one pseudo-terminal, read as `out`
  unsigned long long dataLimit = 0;      // RLIMIT_DATA in bytes, if not 0
  unsigned long long addressLimit = 0;   // RLIMIT_AS in bytes, if not 0 (ulimit -v)
  unsigned long long fileSizeLimit = 0;  // RLIMIT_FSIZE in bytes, if not 0
  int signalAfter = 0;                   // a signal sent once `signalAfterBytes` are read
  std::size_t signalAfterBytes = 0;
  double timeoutSeconds = 20;  // killed after this; `timedOut` tells
};

struct RunResult {
  int status = -1;  // exit status, or -1 when killed by a signal
  int signal = 0;   // the signal that ended it, if any
  bool timedOut = false;
  std::string out;
  std::string err;
};

// Without a display the run ends right after the report, when the window
// cannot open (the toolkit's status 1); the whole report is out by then.
inline const RunOptions headless{.env = {{"DISPLAY", ""}}};
constexpr int windowCannotOpen = 1;

// Path of the program under test, build/segments.
const char* programPath();

// A program started in the background; finish() collects its result.
struct RunningProgram {
  int pid = -1;
  int inFd = -1;  // with stdinOpen
  int outFd = -1;
  int errFd = -1;
  double timeoutSeconds = 20;
  double stdoutPace = 0;
  int signalAfter = 0;
  std::size_t signalAfterBytes = 0;
};

RunningProgram startProgram(const std::string& workDir, const RunOptions& options = {});
RunResult finishProgram(RunningProgram& program);

RunResult runProgram(const std::string& workDir, const RunOptions& options = {});

// Shorthand: a fresh directory with test.txt holding `input`.
RunResult runOnInput(const std::string& input, const RunOptions& options = {});
