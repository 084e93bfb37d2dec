// Seconds from the end of the report to the first frame drawn in the window,
// under a private Xvfb:
//   first_frame <directory with test.txt> <report lines> [program options...]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/read_report.h"
#include "support/program_runner.h"
#include "support/x_display.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <directory with test.txt> <report lines> [options...]\n",
                 argv[0]);
    return 2;
  }
  const long long lines = std::atoll(argv[2]);
  XvfbServer server;
  XClient x;
  RunningProgram program =
      startProgram(argv[1], {.args = {argv + 3, argv + argc}, .timeoutSeconds = 3600});
  const long long seen = readReport(program.outFd, lines);
  const auto reportEnd = std::chrono::steady_clock::now();
  const Window window = x.findWindow("Geometrija - prikaz zadatka", 600);
  const Rgb clearColour{230, 230, 204};
  while (window && x.capture(window).count(clearColour) == 0) {
  }
  const auto frame = std::chrono::steady_clock::now();
  if (window) x.requestClose(window);
  finishProgram(program);
  if (seen != lines || !window) {
    std::fprintf(stderr, "report of %lld lines, window %s\n", seen, window ? "shown" : "missing");
    return 1;
  }
  std::printf("%.3f\n", std::chrono::duration<double>(frame - reportEnd).count());
  return 0;
}
