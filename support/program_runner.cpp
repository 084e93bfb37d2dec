#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

TempDir::TempDir() {
  std::string pattern = std::filesystem::temp_directory_path() / "segments-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream(path + "/" + name, std::ios::binary) << content;
}

const char* programPath() {
  return SEGMENTS_PROGRAM;
}

RunningProgram startProgram(const std::string& workDir, const RunOptions& options) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  if (options.stderrTerminal || options.terminal) {
    // The terminal's master side replaces the pipe's read end; raw, so that
    // the bytes read are the bytes written.
    int* pair = options.terminal ? out : err;
    close(pair[0]);
    close(pair[1]);
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&pair[0], &pair[1], nullptr, &raw, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    fcntl(pair[0], F_SETFD, FD_CLOEXEC);
    fcntl(pair[1], F_SETFD, FD_CLOEXEC);
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    if (options.closeStdout) {
      close(1);
    } else if (!options.stdoutPath.empty()) {
      const int fd = open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      close(fd);
    } else {
      dup2(out[1], 1);
      if (options.nonBlockingStdout) fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
    }
    dup2(options.terminal ? out[1] : err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    for (const auto& [name, value] : options.env) {
      if (value.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    if (options.dataLimit) {
      const rlimit limit{options.dataLimit, options.dataLimit};
      setrlimit(RLIMIT_DATA, &limit);
    }
    if (options.addressLimit) {
      const rlimit limit{options.addressLimit, options.addressLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (options.ignoreHangup) signal(SIGHUP, SIG_IGN);
    if (options.fileSizeLimit) {
      const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (chdir(workDir.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(programPath())};
    for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(programPath(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (options.terminal) {
    close(err[0]);
    err[0] = -1;
  }
  // Standard input is small; a closed pipe after it reads as end of input.
  signal(SIGPIPE, SIG_IGN);
  if (!options.stdinText.empty()) {
    [[maybe_unused]] ssize_t ignored =
        ::write(in[1], options.stdinText.data(), options.stdinText.size());
  }
  if (!options.stdinOpen) {
    close(in[1]);
    in[1] = -1;
  }
  return RunningProgram{pid,
                        in[1],
                        out[0],
                        err[0],
                        options.timeoutSeconds,
                        options.stdoutPace,
                        options.signalAfter,
                        options.signalAfterBytes};
}

RunResult finishProgram(RunningProgram& program) {
  const pid_t pid = program.pid;
  RunResult result;
  const auto started = std::chrono::steady_clock::now();
  const std::chrono::steady_clock::time_point deadline =
      started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(program.timeoutSeconds));
  if (program.inFd >= 0) close(program.inFd);
  pollfd fds[2] = {{program.outFd, POLLIN, 0}, {program.errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = (program.outFd >= 0) + (program.errFd >= 0);
  bool signalled = false;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, int(left.count())) <= 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);  // EIO: terminal hung up
      if (n > 0) {
        sinks[k]->append(buffer, std::size_t(n));
        if (k == 0 && program.signalAfter && !signalled &&
            result.out.size() >= program.signalAfterBytes) {
          kill(pid, program.signalAfter);
          signalled = true;
        }
        if (k == 0 && program.stdoutPace > 0) {  // hold back until the pace allows this much
          const auto due =
              started +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                  std::chrono::duration<double>(double(result.out.size()) / program.stdoutPace));
          std::this_thread::sleep_until(std::min(due, deadline));
        }
      } else {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      }
    }
  }
  for (auto& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(10000);
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  program = RunningProgram{};
  return result;
}

RunResult runProgram(const std::string& workDir, const RunOptions& options) {
  RunningProgram program = startProgram(workDir, options);
  return finishProgram(program);
}

RunResult runOnInput(const std::string& input, const RunOptions& options) {
  TempDir dir;
  dir.write("test.txt", input);
  return runProgram(dir.path, options);
}
