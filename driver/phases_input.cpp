// The first phases: the command line, and the input read, with what went
// wrong said.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "display/picture.h"
#include "input.h"
#include "memory.h"
#include "numbers.h"
#include "phases.h"
#include "progress.h"
#include "signals.h"

namespace {

// The exercise's message, then which file and why on standard error; two
// characters are awaited, as the exercise has it, unless no window was
// asked for.
int failToOpen(const RunState& run, int error) {
  std::fprintf(run.messages, "Greska! Ne mogu da otvorim ulazni fajl.\n");
  const int status = afterMessage(cannotOpen);
  std::fprintf(stderr, "Ulazni fajl %s: %s\n", run.options.file.c_str(), std::strerror(error));
  if (run.options.window) awaitTwoCharacters();
  return status;
}

// Whether `picture` names the input file itself, by whatever name.
bool isInputFile(const std::string& picture, const std::string& input) {
  struct stat p {
  }, i{};
  if (stat(picture.c_str(), &p) != 0) return false;
  const int found = input == "-" ? fstat(STDIN_FILENO, &i) : stat(input.c_str(), &i);
  return found == 0 && p.st_dev == i.st_dev && p.st_ino == i.st_ino;
}

// The end of an input without a segment: nothing to report, nor to draw.
int noSegments(const RunState& run) {
  const int status = afterMessage(0);
  if (run.picture.isOpen()) {
    std::fprintf(stderr, "Upozorenje! PNG slika %s nije napravljena: nema nijedne duzi.\n",
                 run.options.png.c_str());
  }
  return status;
}

// Reads the text of numbers; on any outcome but Segments, says what went
// wrong and ends the run.
Ending readText(RunState& run) {
  const Options& options = run.options;
  std::FILE* file = options.file == "-" ? stdin : std::fopen(options.file.c_str(), "r");
  if (!file) return failToOpen(run, errno);
  // From here on a stop signal ends the run with its status, whatever phase
  // it comes in.
  catchStopSignals();
  const std::uint64_t available = availableMemory();
  // A file's size is known: reading a large one shows its progress.
  struct stat info {};
  const bool sized = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
  Progress reading = startPhase("citanje", sized ? std::uint64_t(info.st_size) : 0);
  Input input = readSegments(file, inputBudget(available), &reading);
  endProgress(reading);
  if (file != stdin) std::fclose(file);
  // A signal that came as the input ended stops the run all the same.
  if (stopSignal()) return stoppedBySignal;
  switch (input.outcome) {
    case ReadOutcome::Stopped:
      return stoppedBySignal;
    case ReadOutcome::CannotRead:
      releaseStopSignals();  // two characters are awaited
      return failToOpen(run, input.error);
    case ReadOutcome::NoData:
      if (options.csv) std::fputs(csvHeader, stdout);  // an empty table
      std::fprintf(run.messages, "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n");
      return noSegments(run);
    case ReadOutcome::Malformed: {
      std::fprintf(run.messages, "Greska! Neispravan podatak za duz %d u ulaznom fajlu: %s\n",
                   input.badSegment, printableToken(input.badToken).c_str());
      const int status = afterMessage(malformedInput);
      // A map given on standard input starts as no text of numbers does.
      if (options.file == "-" && input.badSegment == 0 && input.badToken.find_first_of("{<") == 0) {
        std::fprintf(stderr,
                     "Mapa (GeoJSON, GML, KML, ...) se cita samo iz fajla: navedite ime fajla "
                     "umesto -.\n");
      }
      return status;
    }
    case ReadOutcome::OutOfMemory:
      if (input.longToken > 0) {
        std::fprintf(stderr,
                     "Greska! Nema dovoljno memorije za ulazni fajl: podatak za duz %d je "
                     "predugacak (vise od %llu MB bez razmaka).\n",
                     input.badSegment, (unsigned long long)(input.longToken >> 20));
        return outOfMemory;
      }
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
  run.segments = std::move(input.segments);
  return {};
}

// Reads a map layer, where the file is one; `isMap` false where it is not.
// On any outcome but Segments and NotAMap, says what went wrong and ends the
// run.
Ending readMap(RunState& run, bool& isMap) {
  const Options& options = run.options;
  catchStopSignals();
  const std::uint64_t available = availableMemory();
  MapInput read = readMapLayers(options.file, options.layer, !options.tolerance);
  isMap = read.outcome != MapOutcome::NotAMap;
  if (stopSignal()) return stoppedBySignal;
  switch (read.outcome) {
    case MapOutcome::NotAMap:
      releaseStopSignals();  // the text is read as ever: caught once it opens
      return {};
    case MapOutcome::Segments:
      run.segments = std::move(read.segments);
      run.origins = std::move(read.origins);
      return {};
    case MapOutcome::NoData: {
      if (options.csv) std::fputs(mapCsvHeader, stdout);
      std::fprintf(run.messages, "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n");
      const int status = noSegments(run);
      // Nothing crosses in a map of no lines: its crossings layer is empty.
      const std::string error =
          options.crossings.empty()
              ? ""
              : writeCrossingsLayer(options.crossings,
                                    {[](void*, CrossingRecord&) { return 0; }, nullptr},
                                    read.origins);
      if (!error.empty()) {
        std::fprintf(stderr, "Greska! Sloj %s nije moguce ispisati: %s\n",
                     options.crossings.c_str(), error.c_str());
        return cannotWrite;
      }
      return status;
    }
    case MapOutcome::CannotOpen:
      std::fprintf(stderr, "Greska! Ne mogu da otvorim mapu %s: %s\n", options.file.c_str(),
                   read.message.c_str());
      return cannotOpen;
    case MapOutcome::Bad:
      std::fprintf(stderr, "Greska! Neispravna mapa %s: %s\n", options.file.c_str(),
                   read.message.c_str());
      return malformedInput;
    case MapOutcome::OutOfMemory:
      std::fprintf(stderr,
                   "Greska! Nema dovoljno memorije za mapu: slobodno je bilo oko %llu MB.\n",
                   (unsigned long long)(available >> 20));
      return outOfMemory;
    case MapOutcome::Stopped:
      break;
  }
  return stoppedBySignal;
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

}  // namespace

void awaitTwoCharacters() {
  if (isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "Za kraj unesite dva znaka (na primer, dva puta Enter).\n");
  }
  std::getchar();
  std::getchar();
}

int failToWrite(int error) {
  std::fprintf(stderr, "Greska! Izvestaj nije moguce ispisati: %s\n", std::strerror(error));
  return cannotWrite;
}

int afterMessage(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failToWrite(errno ? errno : EIO);
  return status;
}

int failOutOfMemory() {
  std::fprintf(stderr, "Greska! Nema dovoljno memorije.\n");
  return outOfMemory;
}

int failToWritePicture(const std::string& path, int error) {
  std::fprintf(stderr, "Greska! PNG sliku %s nije moguce ispisati: %s\n", path.c_str(),
               std::strerror(error));
  return cannotWrite;
}

int failPictureTooLarge(const Options& options, int largestWidth, int largestHeight) {
  std::fprintf(stderr,
               "Greska! Slika %dx%d je veca od najvece koju graficki drajver crta (%dx%d); "
               "pogledajte segments --help\n",
               options.pictureWidth, options.pictureHeight, largestWidth, largestHeight);
  return usageError;
}

Ending takeOptions(int argc, char** argv, RunState& run) {
  run.options = parseOptions(argc, argv);
  const Options& options = run.options;
  if (!options.error.empty()) {
    std::fprintf(stderr, "Greska! %s; pogledajte segments --help\n", options.error.c_str());
    return usageError;
  }
  if (options.csv) run.messages = stderr;
  if (options.help || options.version) {
    std::fputs(options.help ? usageText : "segments " SEGMENTS_VERSION "\n", stdout);
    return afterMessage(0);
  }
  // The crossings layer's format and folder are tried before anything is
  // read.
  if (!options.crossings.empty()) {
    if (const std::string problem = crossingsPathProblem(options.crossings); !problem.empty()) {
      std::fprintf(stderr, "Greska! Sloj %s nije moguce ispisati: %s\n", options.crossings.c_str(),
                   problem.c_str());
      return cannotWrite;
    }
  }
  // The picture's folder is tried before anything is read, and the input is
  // never written over.
  if (!options.png.empty()) {
    if (isInputFile(options.png, options.file)) {
      std::fprintf(stderr,
                   "Greska! PNG slika %s bi prepisala ulazni fajl; pogledajte segments --help\n",
                   options.png.c_str());
      return usageError;
    }
    // A size that memory does not hold is refused at once.
    if (!options.size.empty() && !graphicsFit(0, options.pictureWidth, options.pictureHeight)) {
      std::fprintf(stderr, "Greska! Za sliku %dx%d nema dovoljno memorije.\n", options.pictureWidth,
                   options.pictureHeight);
      return outOfMemory;
    }
    if (const int error = run.picture.open(options.png)) {
      return failToWritePicture(options.png, error);
    }
  }
  return {};
}

Ending readTheInput(RunState& run) {
  if (const Ending end = readMap(run, run.isMap)) return end;
  if (!run.isMap) {
    // The options for maps alone are refused for a text of numbers.
    const Options& o = run.options;
    const char* mapOption = !o.crossings.empty() ? "--crossings pise sloj mape"
                            : o.touches          ? "--touches vazi samo za mapu"
                            : o.allPairs         ? "--all-pairs vazi samo za mapu"
                                                 : nullptr;
    if (mapOption) {
      std::fprintf(stderr, "Greska! %s, a %s nije mapa; pogledajte segments --help\n", mapOption,
                   o.file.c_str());
      return usageError;
    }
    if (const Ending end = readText(run)) return end;
    // So is one the graphics driver does not draw, before the report: a
    // map's picture needs no driver.
    int largestWidth, largestHeight;
    if (!o.size.empty() &&
        !pictureSizeDrawn(o.pictureWidth, o.pictureHeight, largestWidth, largestHeight)) {
      return failPictureTooLarge(o, largestWidth, largestHeight);
    }
  }
  if (!loopFits(run.segments.count)) return outOfMemory;
  return {};
}
