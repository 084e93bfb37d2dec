#include "progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr double firstLook = 0.25;       // seconds before the pace is judged
constexpr double worthShowing = 1.0;     // expected loop time that earns a line
constexpr double refreshInterval = 0.2;  // seconds between updates

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Whether the report goes to the very terminal the progress line would use:
// then the report's own lines show the progress, and a progress line would
// land among them.
bool reportOnSameTerminal() {
  struct stat out {
  }, err{};
  return isatty(STDOUT_FILENO) && fstat(STDOUT_FILENO, &out) == 0 &&
         fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

}  // namespace

Progress startProgress(std::uint64_t totalPairs) {
  Progress progress;
  progress.enabled = totalPairs > 0 && isatty(STDERR_FILENO) && !reportOnSameTerminal();
  progress.totalPairs = totalPairs;
  progress.started = progress.lastShown = now();
  return progress;
}

Progress startPhase(const char* phase, std::uint64_t total) {
  Progress progress = startProgress(total);
  progress.phase = phase;
  return progress;
}

void showProgress(Progress& progress, std::uint64_t done) {
  if (!progress.enabled || done == 0 || done > progress.totalPairs) return;
  const double t = now();
  const double elapsed = t - progress.started;
  if (elapsed < firstLook || t - progress.lastShown < refreshInterval) return;
  const double pace = double(done) / elapsed;  // units per second
  const double left = double(progress.totalPairs - done) / pace;
  if (progress.shownWidth == 0 && elapsed + left < worthShowing) {
    progress.enabled = false;  // a short loop: never show anything
    return;
  }
  const int share = int(100.0 * double(done) / double(progress.totalPairs));
  const int width =
      progress.phase
          ? std::fprintf(stderr, "\r%s %3d%%  jos oko %.0f s ", progress.phase, share, left)
          : std::fprintf(stderr, "\r%3d%%  %.1f miliona parova/s  jos oko %.0f s ", share,
                         pace / 1e6, left);
  if (width > progress.shownWidth) progress.shownWidth = width;
  progress.lastShown = t;
}

void endProgress(Progress& progress) {
  if (progress.shownWidth == 0) return;
  std::fprintf(stderr, "\r%*s\r", progress.shownWidth, "");
  progress.shownWidth = 0;
}
