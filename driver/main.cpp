// Reads the segments from test.txt (or the file named on the command line),
// reports how every pair meets, and shows the result in a window: the run's
// phases, in order (phases.h).
#include <malloc.h>

#include <csignal>

#include "phases.h"
#include "signals.h"

namespace {

// The status of a run that ended: a stop signal's is 128 + N.
int statusOf(int ending) {
  return ending == stoppedBySignal ? 128 + stopSignal() : ending;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away ends the run quietly, whatever the parent set; a
  // file-size limit fails a write like a full disk.
  std::signal(SIGPIPE, SIG_DFL);
  std::signal(SIGXFSZ, SIG_IGN);
  // One malloc arena for every thread: the graphics driver's threads would
  // each reserve 64 MB of address space for an arena of their own.
  mallopt(M_ARENA_MAX, 1);

  // Lives until the process ends, as the window needs its drawing: the
  // toolkit ends the process when the window closes.
  static RunState run;
  if (const Ending end = takeOptions(argc, argv, run)) return statusOf(*end);
  if (const Ending end = readTheInput(run)) return statusOf(*end);
  if (const Ending end = writeTheReport(run)) return statusOf(*end);
  if (const Ending end = writeTheCrossings(run)) return statusOf(*end);
  return statusOf(showTheResult(run));
}
