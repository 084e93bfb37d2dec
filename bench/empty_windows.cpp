// Launches the program many times on one input, under a private Xvfb, and
// captures its window every 0.1 s from the moment it appears: counts the
// launches whose window showed the background alone a second after it
// appeared, or never appeared.
//   empty_windows <directory with test.txt> <launches> [program options...]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/program_runner.h"
#include "support/x_display.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <directory with test.txt> <launches> [options...]\n", argv[0]);
    return 2;
  }
  const int launches = std::atoi(argv[2]);
  XvfbServer server;
  XClient x;
  const Rgb red{255, 0, 0};
  int empty = 0, missing = 0;
  for (int k = 0; k < launches; ++k) {
    RunningProgram program = startProgram(argv[1], {.args = {argv + 3, argv + argc}});
    const Window window = x.findWindow("Geometrija - prikaz zadatka", 30);
    bool drawn = false;
    for (int capture = 0; window && capture < 10 && !drawn; ++capture) {
      usleep(100000);
      drawn = x.capture(window).count(red) > 0;
    }
    missing += !window;
    empty += window && !drawn;
    if (window) x.requestClose(window);
    finishProgram(program);
  }
  std::printf("%d launches: %d empty windows, %d without a window\n", launches, empty, missing);
  return empty + missing > 0;
}
