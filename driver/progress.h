// A progress line on standard error for long pair loops, only on a terminal
// that is not also showing the report.
#pragma once

#include <cstdint>

struct Progress {
  bool enabled = false;          // standard error is a terminal
  const char* phase = nullptr;   // shown before the share; the pair loop has none
  std::uint64_t totalPairs = 0;  // or the total of the phase's own units
  double started = 0;            // seconds, monotonic
  double lastShown = 0;
  int shownWidth = 0;  // length of the line on screen, 0 when none
};

Progress startProgress(std::uint64_t totalPairs);

// Progress of a phase of some other work, counted in units of its own
// (bytes read, segments placed): "<phase> 40%  jos oko 3 s".
Progress startPhase(const char* phase, std::uint64_t total);

// Called between rows of the loop: shows the share done, the pace and the
// time left once the whole loop looks like taking more than about a second.
void showProgress(Progress& progress, std::uint64_t done);

// Clears the line, if one was shown.
void endProgress(Progress& progress);
