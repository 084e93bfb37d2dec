// Reads the segments from test.txt (or the file named on the command line),
// reports how every pair meets, and shows the result in a window.
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "display/draw.h"
#include "display/inspect.h"
#include "display/labels.h"
#include "display/picture.h"
#include "display/png_file.h"
#include "display/window.h"
#include "geometry/scene.h"
#include "input.h"
#include "map_layer.h"
#include "memory.h"
#include "options.h"
#include "pairs.h"
#include "progress.h"
#include "report.h"
#include "signals.h"

namespace {

// Exit statuses besides 0.
constexpr int cannotOpen = 1;
constexpr int noGraphics = 1;
constexpr int malformedInput = 2;
constexpr int cannotWrite = 3;
constexpr int usageError = 64;
constexpr int outOfMemory = 255;

// The exercise's messages (no file, no segment, a bad token) go to standard
// output among the report's lines; with --csv, standard output holds CSV
// alone, and they go to standard error.
std::FILE* messages = stdout;

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

// Ends a path that printed a message on standard output: a message that could
// not be written is a failure of its own.
int afterMessage(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failToWrite(errno ? errno : EIO);
  return status;
}

int failToOpen() {
  std::fprintf(messages, "Greska! Ne mogu da otvorim ulazni fajl.\n");
  const int status = afterMessage(cannotOpen);
  awaitTwoCharacters();
  return status;
}

int failOutOfMemory() {
  std::fprintf(stderr, "Greska! Nema dovoljno memorije.\n");
  return outOfMemory;
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

// Reads the input; on any outcome but Segments, prints what went wrong and
// sets the exit status.
Input readInput(const Options& options, int& status) {
  std::FILE* file = options.file == "-" ? stdin : std::fopen(options.file.c_str(), "r");
  if (!file) {
    status = failToOpen();
    Input none;
    none.outcome = ReadOutcome::CannotRead;
    return none;
  }
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
  if (stopSignal() && input.outcome != ReadOutcome::Stopped) {
    releaseSegments(input.segments);
    input.outcome = ReadOutcome::Stopped;
  }

  switch (input.outcome) {
    case ReadOutcome::Stopped:
      status = 128 + stopSignal();
      break;
    case ReadOutcome::CannotRead:
      releaseStopSignals();  // two characters are awaited
      status = failToOpen();
      break;
    case ReadOutcome::NoData:
      if (options.csv) std::fputs(csvHeader, stdout);  // an empty table
      std::fprintf(messages, "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n");
      status = afterMessage(0);
      break;
    case ReadOutcome::Malformed:
      std::fprintf(messages, "Greska! Neispravan podatak za duz %d u ulaznom fajlu: %s\n",
                   input.badSegment, printableToken(input.badToken).c_str());
      status = afterMessage(malformedInput);
      break;
    case ReadOutcome::OutOfMemory:
      if (input.longToken > 0) {
        std::fprintf(stderr,
                     "Greska! Nema dovoljno memorije za ulazni fajl: podatak za duz %d je "
                     "predugacak (vise od %llu MB bez razmaka).\n",
                     input.badSegment, (unsigned long long)(input.longToken >> 20));
        status = outOfMemory;
        break;
      }
      std::fprintf(stderr,
                   "Greska! Nema dovoljno memorije za ulazni fajl: procitano je %d duzi, a "
                   "slobodno je bilo oko %llu MB (staje oko %llu duzi).\n",
                   input.segmentsRead, (unsigned long long)(available >> 20),
                   (unsigned long long)segmentsThatFit(available));
      status = outOfMemory;
      break;
    case ReadOutcome::Segments:
      if (input.incompleteSegment >= 0) {
        std::fprintf(stderr,
                     "Upozorenje! Duz %d u ulaznom fajlu ima samo %d od 4 broja; nedostajuce "
                     "koordinate su 0.\n",
                     input.incompleteSegment, input.incompleteNumbers);
      }
      break;
  }
  return input;
}

// Reads a map layer, where the file is one; otherwise (NotAMap) leaves the
// reading to readInput. On any outcome but Segments and NotAMap, prints what
// went wrong and sets the exit status.
MapOutcome readMap(const Options& options, Input& input, int& status) {
  catchStopSignals();
  const std::uint64_t available = availableMemory();
  MapInput read = readMapLayers(options.file, options.layer, !options.tolerance);
  if (stopSignal() && read.outcome != MapOutcome::Stopped) {
    releaseSegments(read.segments);
    read.outcome = MapOutcome::Stopped;
  }
  switch (read.outcome) {
    case MapOutcome::NotAMap:
      releaseStopSignals();  // the text is read as ever: caught once it opens
      break;
    case MapOutcome::Segments:
      input.outcome = ReadOutcome::Segments;
      input.segments = read.segments;
      break;
    case MapOutcome::NoData:
      input.outcome = ReadOutcome::NoData;
      if (options.csv) std::fputs(mapCsvHeader, stdout);
      std::fprintf(messages, "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n");
      status = afterMessage(0);
      break;
    case MapOutcome::CannotOpen:
      std::fprintf(stderr, "Greska! Ne mogu da otvorim mapu %s: %s\n", options.file.c_str(),
                   read.message.c_str());
      status = cannotOpen;
      break;
    case MapOutcome::Bad:
      std::fprintf(stderr, "Greska! Neispravna mapa %s: %s\n", options.file.c_str(),
                   read.message.c_str());
      status = malformedInput;
      break;
    case MapOutcome::OutOfMemory:
      std::fprintf(stderr,
                   "Greska! Nema dovoljno memorije za mapu: slobodno je bilo oko %llu MB.\n",
                   (unsigned long long)(available >> 20));
      status = outOfMemory;
      break;
    case MapOutcome::Stopped:
      status = 128 + stopSignal();
      break;
  }
  return read.outcome;
}

int failToWritePicture(const std::string& path, int error) {
  std::fprintf(stderr, "Greska! PNG sliku %s nije moguce ispisati: %s\n", path.c_str(),
               std::strerror(error));
  return cannotWrite;
}

int writePicture(PngFile& file, const std::string& path) {
  const PictureResult result = writeFirstFrame(file);
  switch (result.outcome) {
    case PictureOutcome::Written:
      return 0;
    case PictureOutcome::NoGraphics:
      std::fprintf(stderr, "Greska! Nema OpenGL-a za crtanje PNG slike.\n");
      return noGraphics;
    case PictureOutcome::OutOfMemory:
      return failOutOfMemory();
    case PictureOutcome::CannotWrite:
      return failToWritePicture(path, result.error);
  }
  return 0;
}

// Whether `picture` names the input file itself, by whatever name.
bool isInputFile(const std::string& picture, const std::string& input) {
  struct stat p {
  }, i{};
  if (stat(picture.c_str(), &p) != 0) return false;
  const int found = input == "-" ? fstat(STDIN_FILENO, &i) : stat(input.c_str(), &i);
  return found == 0 && p.st_dev == i.st_dev && p.st_ino == i.st_ino;
}

ReportBuffer report{STDOUT_FILENO};

// What the window asks of the pairs, once the report is done: how they met.
Judging windowJudging;
const Segment* windowSegments = nullptr;

bool judgedCrossing(int j, int i, Point& at) {
  const Verdict v = judgePair(windowJudging, windowSegments, j, i);
  at = Point(float(v.x), float(v.y));
  return segmentKind(v.kind) == PointIntersection;
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

  Options options = parseOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "Greska! %s; pogledajte segments --help\n", options.error.c_str());
    return usageError;
  }
  if (options.csv) messages = stderr;
  if (options.help || options.version) {
    std::fputs(options.help ? usageText : "segments " SEGMENTS_VERSION "\n", stdout);
    return afterMessage(0);
  }

  // The picture's folder is tried before anything is read, and the input is
  // never written over.
  PngFile picture;
  if (!options.png.empty()) {
    if (isInputFile(options.png, options.file)) {
      std::fprintf(stderr,
                   "Greska! PNG slika %s bi prepisala ulazni fajl; pogledajte segments --help\n",
                   options.png.c_str());
      return usageError;
    }
    if (const int error = picture.open(options.png)) return failToWritePicture(options.png, error);
  }

  int status = 0;
  Input input;
  const MapOutcome mapRead = readMap(options, input, status);
  if (mapRead == MapOutcome::NotAMap) {
    if (!options.crossings.empty()) {
      std::fprintf(stderr, "Greska! --crossings pise sloj mape, a %s nije mapa\n",
                   options.file.c_str());
      return usageError;
    }
    input = readInput(options, status);
  }
  if (input.outcome == ReadOutcome::NoData && picture.isOpen()) {
    std::fprintf(stderr, "Upozorenje! PNG slika %s nije napravljena: nema nijedne duzi.\n",
                 options.png.c_str());
  }
  if (input.outcome != ReadOutcome::Segments) return status;
  if (!loopFits(input.segments.count)) {
    releaseSegments(input.segments);
    return outOfMemory;
  }

  const std::uint64_t n = std::uint64_t(input.segments.count);
  Progress progress = startProgress(n * (n - 1) / 2);
  report.csv = options.csv;
  // A map reports the pairs that meet, unless every pair is asked for.
  const bool isMap = mapRead == MapOutcome::Segments;
  const bool meetingOnly = options.meetingOnly || (isMap && !options.allPairs);
  if (options.csv) writeCsvHeader(report, isMap ? mapCsvHeader : csvHeader);
  // What the window's selection lists: the pairs that meet, kept as the
  // report goes where a display answers now. Where none does, nothing is
  // kept; should one answer after the report all the same, they are found
  // then.
  PairKeys meetings;
  const int toolkitArgc = int(options.toolkitArgs.size()) - 1;
  const bool window = options.window && options.png.empty();
  const bool inspected = window && displayAnswers(toolkitArgc, options.toolkitArgs.data());
  const bool crossings = !options.crossings.empty();
  // A map is judged exactly, on its coordinates as read, unless the
  // tolerance is asked for; text by the exercise's rules, unless exactly.
  const bool exact = isMap ? !options.tolerance : options.exact;
  const PairRules rules{.exact = exact, .precise = exact && isMap ? map.precise.items : nullptr};
  const LoopOptions loop{.fillScene = options.window,
                         .meetingOnly = meetingOnly,
                         .progress = &progress,
                         .meetings = inspected || crossings ? &meetings : nullptr,
                         .judging = {.rules = rules, .map = isMap, .touches = options.touches},
                         .origins = isMap && options.csv};
  const LoopOutcome outcome = reportPairs(input.segments, report, loop);
  endProgress(progress);
  if (outcome == LoopOutcome::Stopped) {
    finishWriting(report);  // the lines written so far are whole
    releaseSegments(input.segments);
    return 128 + stopSignal();
  }
  // All of it, before the window opens. A stop signal still ends the writing
  // at a line end until the last byte is out.
  const bool written = flushReport(report);
  if (stopSignal()) {
    releaseSegments(input.segments);
    return 128 + stopSignal();
  }
  if (outcome == LoopOutcome::OutOfMemory || !written) {
    releaseSegments(input.segments);
    return outcome == LoopOutcome::OutOfMemory ? failOutOfMemory() : failToWrite(report.error);
  }
  if (crossings) {
    const std::string error =
        writeCrossings(options.crossings, input.segments.items, loop, meetings);
    if (stopSignal()) {
      releaseSegments(input.segments);
      return 128 + stopSignal();
    }
    if (!error.empty()) {
      std::fprintf(stderr, "Greska! Sloj %s nije moguce ispisati: %s\n", options.crossings.c_str(),
                   error.c_str());
      releaseSegments(input.segments);
      return cannotWrite;
    }
  }
  if (!options.window) {
    releaseSegments(input.segments);
    return 0;
  }
  // A window opens only with its drawing: the toolkit reaches the display
  // first, or ends the run for want of one, with nothing drawn for it. The
  // drawing is made before any graphics start, and the graphics start only
  // with room for them: short of memory, the driver crashes instead of
  // failing.
  if (window) startToolkit(toolkitArgc, options.toolkitArgs.data());
  if (window && !inspected && !crossings) {
    if (findMeetingPairs(input.segments.items, input.segments.count, meetings,
                         {.stopped = stopAsked, .evenIfDense = true, .rules = rules}) !=
        PairSearch::Found) {
      releaseSegments(input.segments);
      return stopSignal() ? 128 + stopSignal() : failOutOfMemory();
    }
    keepReported(input.segments.items, loop, meetings);
  }
  if (!prepareScene(stopAsked) || !graphicsFit(drawingVertexBytes())) {
    releaseSegments(input.segments);
    return stopSignal() ? 128 + stopSignal() : failOutOfMemory();
  }
  // Once the graphics start, the signals end the program as usual.
  releaseStopSignals();
  // The drawing holds all the window shows: the lists it was made from go,
  // and the graphics driver has their room.
  scene.segments.clear();
  scene.points.clear();
  if (!options.png.empty()) {
    releaseSegments(input.segments);
    return writePicture(picture, options.png);
  }

  // The toolkit ends the process when the window closes.
  labelSegments(input.segments.items, input.segments.count);
  if (isMap) describeSegmentsBy(describeOrigin);
  if (loop.judging.map || loop.judging.rules.exact) {
    windowJudging = loop.judging;
    windowSegments = input.segments.items;
    findCrossingsBy(judgedCrossing);
  }
  inspectReport(input.segments.items, input.segments.count, std::move(meetings));
  showScene(toolkitArgc, options.toolkitArgs.data());

  releaseSegments(input.segments);
  awaitTwoCharacters();
  return 0;
}
