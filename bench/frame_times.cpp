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
#include "support/program_runner.h"
#include "support/x_display.h"

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
  // Times one action until the picture changes; an action that changes
  // nothing within 10 s (a click on what is already selected) is left out.
  auto timed = [&](std::vector<double>& times, auto act) {
    const Image before = now;
    const auto start = Clock::now();
    act();
    // Looked at every millisecond: capturing without a pause would take a
    // core from the program measured, which paints on both.
    while ((now = x.capture(window)) == before) {
      if (Clock::now() - start > std::chrono::seconds(10)) return;
      usleep(1000);
    }
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    now = x.captureSettled(window, 60);
  };
  // The drawn pixel nearest to (x0, y0), above the caption band: a click
  // there selects something, even in a sparse drawing.
  const Rgb clear{230, 230, 204};
  auto drawnNear = [&](int x0, int y0, int& cx, int& cy) {
    long best = -1;
    for (int y = 0; y < 680; ++y) {
      for (int x1 = 0; x1 < now.width; ++x1) {
        if (now.at(x1, y) == clear) continue;
        const long d = long(x1 - x0) * (x1 - x0) + long(y - y0) * (y - y0);
        if (best < 0 || d < best) best = d, cx = x1, cy = y;
      }
    }
  };
  std::vector<double> clicks, zooms, pans;
  for (int k = 0; k < 5; ++k) {
    int cx = 300 + 37 * k, cy = 200 + 23 * k;
    drawnNear(cx, cy, cx, cy);
    timed(clicks, [&] { x.click(window, cx, cy); });
    timed(zooms, [&] { x.turnWheel(window, 400 + 20 * k, 300, k % 2 == 0); });
    timed(pans, [&] { x.drag(window, 500, 300, 540 + 10 * k, 330); });
  }
  x.requestClose(window);
  finishProgram(program);
  std::printf("click %.0f ms, zoom %.0f ms, pan %.0f ms\n", median(clicks), median(zooms),
              median(pans));
  return 0;
}
