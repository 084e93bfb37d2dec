#pragma once

#include <span>

#include "geometry/pair_finder.h"
#include "judge.h"
#include "progress.h"
#include "report.h"

enum class LoopOutcome { Done, OutOfMemory, WriteFailed, Stopped };

struct LoopOptions {
  bool fillScene = true;     // put what the report shows into the scene
  bool meetingOnly = false;  // write only the lines of pairs that meet
  Progress* progress = nullptr;
  PairKeys* meetings = nullptr;  // if given, gets every pair reported as meeting, in report order
  // The rules, and for a map's segments (see map_layer.h) how its lines
  // meet; with `origins`, each CSV row ends with where its two segments
  // come from and whether they meet at a vertex of both.
  Judging judging{};
  bool origins = false;
};

// The pairs of `pairs` from `from` on as the report names them: those it
// leaves out removed, the others of the kind it gives them (a map's lines
// that touch end to end meet at a point).
void keepReported(const Segment* segments, const LoopOptions& options, PairKeys& pairs,
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
LoopOutcome reportPairs(std::span<const Segment> segments, ReportBuffer& out,
                        LoopOptions options = {});
