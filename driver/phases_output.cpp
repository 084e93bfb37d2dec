// The last phases: the report, a map's crossings layer, and the picture or
// the window.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "crossings.h"
#include "display/picture.h"
#include "display/prepare.h"
#include "display/prepare_map.h"
#include "display/window.h"
#include "geometry/scene.h"
#include "memory.h"
#include "phases.h"
#include "progress.h"
#include "signals.h"

namespace {

int writePicture(const RunState& run, PngFile& file) {
  const Options& o = run.options;
  const PictureResult result = writeFirstFrame(run.drawing, file, o.pictureWidth, o.pictureHeight);
  switch (result.outcome) {
    case PictureOutcome::Written:
      return 0;
    case PictureOutcome::NoGraphics:
      std::fprintf(stderr, "Greska! Nema OpenGL-a za crtanje PNG slike.\n");
      return noGraphics;
    case PictureOutcome::TooLarge:
      return failPictureTooLarge(o, result.largestWidth, result.largestHeight);
    case PictureOutcome::OutOfMemory:
      return failOutOfMemory();
    case PictureOutcome::CannotWrite:
      return failToWritePicture(run.options.png, result.error);
  }
  return 0;
}

// What the window's clicks look up: the pairs that meet, as the report
// judged them, and for a map where each segment comes from.
void inspect(RunState& run) {
  run.inspection = inspectReport(run.segments.view(), std::move(run.meetings));
  const LoopOptions& loop = run.loop;
  if (run.isMap) {
    run.inspection.origin = [&origins = run.origins](int k) { return describeOrigin(origins, k); };
    if (run.origins.geographic || !run.origins.units.empty()) {
      run.inspection.coordinates = [&origins = run.origins](double x, double y) {
        return describeCoordinates(origins, x, y);
      };
    }
  }
  if (loop.judging.map || loop.judging.rules.exact) {
    run.inspection.crossing = [judging = loop.judging, segments = run.segments.items](int j, int i,
                                                                                      Point& at) {
      const Verdict v = judgePair(judging, segments, j, i);
      at = Point(float(v.x), float(v.y));
      return segmentKind(v.kind) == PointIntersection;
    };
  }
}

// The drawing: the scene's, or a map's, of its lines and of the records of
// its crossings layer.
bool prepareDrawing(RunState& run) {
  if (!run.isMap) return prepareScene(run.drawing, stopAsked);
  MapMarkers markers;
  return collectMarkers(run.segments.items, run.loop, run.meetings, markers) &&
         prepareMap(run.drawing, run.segments.view(), markers, stopAsked);
}

}  // namespace

Ending writeTheReport(RunState& run) {
  const Options& options = run.options;
  const std::uint64_t n = std::uint64_t(run.segments.count);
  run.progress = startProgress(n * (n - 1) / 2);
  run.report = std::make_unique<ReportBuffer>(STDOUT_FILENO);
  ReportBuffer& report = *run.report;
  report.csv = options.csv;
  // A map reports the pairs that meet, unless every pair is asked for.
  const bool meetingOnly = options.meetingOnly || (run.isMap && !options.allPairs);
  if (options.csv) writeCsvHeader(report, run.isMap ? mapCsvHeader : csvHeader);
  // What the window's selection lists: the pairs that meet, kept as the
  // report goes where a display answers now. Where none does, nothing is
  // kept; should one answer after the report all the same, they are found
  // then.
  run.toolkitArgc = int(options.toolkitArgs.size()) - 1;
  run.window = options.window && options.png.empty();
  run.inspected = run.window && displayAnswers(run.toolkitArgc, run.options.toolkitArgs.data());
  const bool crossings = !options.crossings.empty();
  // A map is judged exactly, on its coordinates as read, unless the
  // tolerance is asked for; text by the exercise's rules, unless exactly.
  const bool exact = run.isMap ? !options.tolerance : options.exact;
  const PairRules rules{.exact = exact,
                        .precise = exact && run.isMap ? run.origins.precise.items : nullptr};
  // A map's drawing is made of its lines and where they meet, not of the
  // scene.
  const bool mapDrawn = run.isMap && options.window;
  run.loop =
      LoopOptions{.fillScene = options.window && !run.isMap,
                  .meetingOnly = meetingOnly,
                  .progress = &run.progress,
                  .meetings = run.inspected || crossings || mapDrawn ? &run.meetings : nullptr,
                  .judging = {.rules = rules,
                              .map = run.isMap ? &run.origins : nullptr,
                              .touches = options.touches},
                  .origins = run.isMap && options.csv};
  const LoopOutcome outcome = reportPairs(run.segments.view(), report, run.loop);
  endProgress(run.progress);
  if (outcome == LoopOutcome::Stopped) {
    finishWriting(report);  // the lines written so far are whole
    return stoppedBySignal;
  }
  // All of it, before the window opens. A stop signal still ends the writing
  // at a line end until the last byte is out.
  const bool written = flushReport(report);
  if (stopSignal()) return stoppedBySignal;
  if (outcome == LoopOutcome::OutOfMemory) return failOutOfMemory();
  if (!written) return failToWrite(report.error);
  return {};
}

Ending writeTheCrossings(RunState& run) {
  const Options& options = run.options;
  if (options.crossings.empty()) return {};
  const std::string error =
      writeCrossings(options.crossings, run.segments.items, run.loop, run.meetings);
  if (stopSignal()) return stoppedBySignal;
  if (!error.empty()) {
    std::fprintf(stderr, "Greska! Sloj %s nije moguce ispisati: %s\n", options.crossings.c_str(),
                 error.c_str());
    return cannotWrite;
  }
  return {};
}

int showTheResult(RunState& run) {
  const Options& options = run.options;
  if (!options.window) return 0;
  // A window opens only with its drawing: the toolkit reaches the display
  // first, or ends the run for want of one, with nothing drawn for it. The
  // drawing is made before any graphics start, and the graphics start only
  // with room for them: short of memory, the driver crashes instead of
  // failing.
  if (run.window) startToolkit(run.toolkitArgc, run.options.toolkitArgs.data());
  if (run.window && !run.inspected && options.crossings.empty() && !run.isMap) {
    if (findMeetingPairs(
            run.segments.items, run.segments.count, run.meetings,
            {.stopped = stopAsked, .evenIfDense = true, .rules = run.loop.judging.rules}) !=
        PairSearch::Found) {
      return stopSignal() ? stoppedBySignal : failOutOfMemory();
    }
    keepReported(run.segments.items, run.loop, run.meetings);
  }
  if (!prepareDrawing(run) ||
      !graphicsFit(drawingVertexBytes(run.drawing), options.png.empty() ? 0 : options.pictureWidth,
                   options.png.empty() ? 0 : options.pictureHeight)) {
    return stopSignal() ? stoppedBySignal : failOutOfMemory();
  }
  // Once the graphics start, the signals end the program as usual.
  releaseStopSignals();
  // The drawing holds all the window shows: the lists it was made from go,
  // and the graphics driver has their room.
  scene.segments.clear();
  scene.points.clear();
  if (!options.png.empty()) return writePicture(run, run.picture);

  // The toolkit ends the process when the window closes.
  inspect(run);
  showScene(run.toolkitArgc, run.options.toolkitArgs.data(), run.drawing, run.inspection);
  // Should the toolkit's loop ever return, two characters are awaited.
  awaitTwoCharacters();
  return 0;
}
