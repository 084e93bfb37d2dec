// Milliseconds the window takes to answer, under a private Xvfb, measured
// from the event sent to the changed picture read back:
//   frame_times <directory with test.txt> <report lines> [program options...]
// prints the medians for a click that selects, a zoom by the wheel, and a
// pan by a drag, each repeated a few times.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/read_report.h"
#include "tests/program_runner.h"
#include "tests/x_display.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

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
  readReport(program.outFd, lines);
  const Window window = x.findWindow("Geometrija - prikaz zadatka", 600);
  if (!window) return 1;
  Image now = x.captureSettled(window, 60);
  // Times one action until the picture changes.
  auto timed = [&](auto act) {
    const Image before = now;
    const auto start = Clock::now();
    act();
    while ((now = x.capture(window)) == before) {
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    now = x.captureSettled(window, 60);
    return ms;
  };
  std::vector<double> clicks, zooms, pans;
  for (int k = 0; k < 5; ++k) {
    clicks.push_back(timed([&] { x.click(window, 300 + 37 * k, 200 + 23 * k); }));
    zooms.push_back(timed([&] { x.turnWheel(window, 400 + 20 * k, 300, k % 2 == 0); }));
    pans.push_back(timed([&] { x.drag(window, 500, 300, 540 + 10 * k, 330); }));
  }
  x.requestClose(window);
  finishProgram(program);
  std::printf("click %.0f ms, zoom %.0f ms, pan %.0f ms\n", median(clicks), median(zooms),
              median(pans));
  return 0;
}
