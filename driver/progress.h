// A progress line on standard error for long pair loops, only on a terminal
// that is not also showing the report.
#pragma once

#include <cstdint>

struct Progress {
  bool enabled = false;  // standard error is a terminal
  std::uint64_t totalPairs = 0;
  double started = 0;  // seconds, monotonic
  double lastShown = 0;
  int shownWidth = 0;  // length of the line on screen, 0 when none
};

Progress startProgress(std::uint64_t totalPairs);

// Called between rows of the loop: shows the share done, the pace and the
// time left once the whole loop looks like taking more than about a second.
void showProgress(Progress& progress, std::uint64_t pairsDone);

// Clears the line, if one was shown.
void endProgress(Progress& progress);
