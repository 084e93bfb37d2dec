// Reads the segments from test.txt, reports how every pair meets, and shows
// the result in a window.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "display/labels.h"
#include "display/window.h"
#include "input.h"
#include "memory.h"
#include "pairs.h"
#include "progress.h"
#include "report.h"

namespace {

// Exit statuses besides 0.
constexpr int cannotOpen = 1;
constexpr int malformedInput = 2;
constexpr int cannotWrite = 3;
constexpr int outOfMemory = 255;

void awaitTwoCharacters() {
  std::getchar();
  std::getchar();
}

int failToWrite(int error) {
  std::fprintf(stderr, "Greska! Izvestaj nije moguce ispisati: %s\n", std::strerror(error));
  return cannotWrite;
}

// Ends a path that printed a message on standard output: a message that could
// not be written is a failure of its own.
int afterMessage(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failToWrite(errno ? errno : EIO);
  return status;
}

int failToOpen() {
  std::printf("Greska! Ne mogu da otvorim ulazni fajl.\n");
  const int status = afterMessage(cannotOpen);
  awaitTwoCharacters();
  return status;
}

int failOutOfMemory() {
  std::fprintf(stderr, "Greska! Nema dovoljno memorije.\n");
  return outOfMemory;
}

// Printable form of a token from the file: control bytes are shown as \xHH so
// that a stray byte cannot drive the terminal.
std::string printable(const std::string& token) {
  std::string shown;
  for (unsigned char c : token) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += char(c);
    }
  }
  return shown;
}

// Refuse at once an input whose pair loop cannot fit even when no pair
// meets, rather than fail part-way through the report.
bool loopFits(int segmentCount) {
  const std::uint64_t needed = minimumLoopBytes(segmentCount);
  const std::uint64_t available = availableMemory();
  if (needed <= available) return true;
  std::fprintf(stderr,
               "Greska! Nema dovoljno memorije za %d duzi: izvestaj i prikaz traze bar %llu MB, a "
               "slobodno je oko %llu MB (staje oko %llu duzi).\n",
               segmentCount, (unsigned long long)(needed >> 20),
               (unsigned long long)(available >> 20),
               (unsigned long long)segmentsThatFit(available));
  return false;
}

ReportBuffer report{STDOUT_FILENO};

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away ends the run quietly, whatever the parent set.
  std::signal(SIGPIPE, SIG_DFL);

  std::FILE* file = std::fopen("test.txt", "r");
  if (!file) return failToOpen();
  const std::uint64_t available = availableMemory();
  Input input = readSegments(file, inputBudget(available));
  std::fclose(file);

  switch (input.outcome) {
    case ReadOutcome::CannotRead:
      return failToOpen();
    case ReadOutcome::NoData:
      std::printf("Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n");
      return afterMessage(0);
    case ReadOutcome::Malformed:
      std::printf("Greska! Neispravan podatak za duz %d u ulaznom fajlu: %s\n", input.badSegment,
                  printable(input.badToken).c_str());
      return afterMessage(malformedInput);
    case ReadOutcome::OutOfMemory:
      std::fprintf(stderr,
                   "Greska! Nema dovoljno memorije za ulazni fajl: procitano je %d duzi, a "
                   "slobodno je bilo oko %llu MB (staje oko %llu duzi).\n",
                   input.segmentsRead, (unsigned long long)(available >> 20),
                   (unsigned long long)segmentsThatFit(available));
      return outOfMemory;
    case ReadOutcome::Segments:
      break;
  }
  if (input.incompleteSegment >= 0) {
    std::fprintf(stderr,
                 "Upozorenje! Duz %d u ulaznom fajlu ima samo %d od 4 broja; nedostajuce "
                 "koordinate su 0.\n",
                 input.incompleteSegment, input.incompleteNumbers);
  }
  if (!loopFits(input.segments.count)) {
    releaseSegments(input.segments);
    return outOfMemory;
  }

  const std::uint64_t n = std::uint64_t(input.segments.count);
  Progress progress = startProgress(n * (n - 1) / 2);
  const LoopOutcome outcome = reportPairs(input.segments, report, &progress);
  endProgress(progress);
  const bool written = flushReport(report);  // all of it, before the window opens
  if (outcome == LoopOutcome::OutOfMemory || !written) {
    releaseSegments(input.segments);
    return outcome == LoopOutcome::OutOfMemory ? failOutOfMemory() : failToWrite(report.error);
  }

  // The toolkit ends the process when the window closes.
  labelSegments(input.segments.items, input.segments.count);
  if (!showScene(argc, argv)) {
    releaseSegments(input.segments);
    return failOutOfMemory();
  }

  releaseSegments(input.segments);
  awaitTwoCharacters();
  return 0;
}
