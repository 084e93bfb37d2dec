// The run, phase by phase. main calls them in order; each goes on, or ends
// the run with its exit status.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "display/drawing.h"
#include "display/inspect.h"
#include "display/png_file.h"
#include "map_layer.h"
#include "options.h"
#include "pairs.h"
#include "progress.h"
#include "report.h"
#include "segment_array.h"

// Exit statuses besides 0.
inline constexpr int cannotOpen = 1;
inline constexpr int noGraphics = 1;
inline constexpr int malformedInput = 2;
inline constexpr int cannotWrite = 3;
inline constexpr int usageError = 64;
inline constexpr int outOfMemory = 255;

// What the phases hand on to one another.
struct RunState {
  Options options;
  // The exercise's messages (no file, no segment, a bad token) go to
  // standard output among the report's lines; with --csv, standard output
  // holds CSV alone, and they go to standard error.
  std::FILE* messages = stdout;
  PngFile picture;  // --png: opened before anything is read
  SegmentArray segments;
  MapLayers origins;  // of a map's segments
  bool isMap = false;
  std::unique_ptr<ReportBuffer> report;
  Progress progress;
  LoopOptions loop;
  // The pairs that meet, kept where a window answers now or the crossings
  // layer is asked for.
  PairKeys meetings;
  int toolkitArgc = 0;     // of options.toolkitArgs
  bool window = false;     // a window opens after the report
  bool inspected = false;  // a display answered before the report: the meetings are kept
  Drawing drawing;
  Inspection inspection;
};

// How a phase ends: nothing where the run goes on, else the exit status, or
// `stoppedBySignal` where a stop signal came (main gives it its status).
using Ending = std::optional<int>;
inline constexpr int stoppedBySignal = -1;

// The command line: --help, --version and usage errors end here; a picture's
// file is tried before anything is read.
Ending takeOptions(int argc, char** argv, RunState& run);

// The map layers or the text of numbers, with what went wrong said.
Ending readTheInput(RunState& run);

// The report of the pairs, every one or those that meet.
Ending writeTheReport(RunState& run);

// A map's crossings as a layer, where asked for.
Ending writeTheCrossings(RunState& run);

// The picture, or the window, or neither with --no-window: the status the
// run ends with.
int showTheResult(RunState& run);

// Shared by the phases: two characters awaited on standard input (on a
// terminal, a line says so); a report or message that could not be
// written; the end of a path that printed a message on standard output;
// memory that ran out; a picture that could not be written, or drawn so
// large.
void awaitTwoCharacters();
int failToWrite(int error);
int afterMessage(int status);
int failOutOfMemory();
int failToWritePicture(const std::string& path, int error);
int failPictureTooLarge(const Options& options, int largestWidth, int largestHeight);
