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
};

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
