#pragma once

#include "geometry/pair_finder.h"
#include "input.h"
#include "progress.h"
#include "report.h"

enum class LoopOutcome { Done, OutOfMemory, WriteFailed, Stopped };

struct LoopOptions {
  bool fillScene = true;     // put what the report shows into the scene
  bool meetingOnly = false;  // write only the lines of pairs that meet
  Progress* progress = nullptr;
  PairKeys* meetings = nullptr;  // if given, gets every pair that meets, in report order
  // A map's segments (see map_layer.h): the pairs that meet only at an end
  // point are left out, or with `touches` only the joints of a part; with
  // `origins`, each CSV row ends with where its two segments come from.
  bool map = false;
  bool touches = false;
  bool origins = false;
};

// Whether a map's pair that meets is left out of its report.
bool leftOut(const Segment* segments, const LoopOptions& options, int j, int i, int kind);

// The pairs of `pairs` from `from` on that the report leaves out, removed.
void dropLeftOut(const Segment* segments, const LoopOptions& options, PairKeys& pairs,
                 std::size_t from = 0);

// Tests every pair (j, i), j < i, in the order (0,1), (0,2), (1,2), (0,3), ...,
// writes its report line and, with `fillScene`, puts what it shows into the
// scene. Updates the progress, if given, and stops after a row when a stop
// signal came.
//
// With `meetingOnly`, the pairs that may meet are proposed by a grid instead
// of testing every pair, wherever that pays; the lines written, and the
// scene, are those of the full loop with the lines of the pairs that do not
// meet left out.
LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out, LoopOptions options = {});
