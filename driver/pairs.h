#pragma once

#include "input.h"
#include "progress.h"
#include "report.h"

enum class LoopOutcome { Done, OutOfMemory, WriteFailed, Stopped };

// Tests every pair (j, i), j < i, in the order (0,1), (0,2), (1,2), (0,3), ...,
// writes its report line and, unless `fillScene` is false, puts what it shows
// into the scene. Updates `progress` between rows, if given, and stops after
// a row when a stop signal came.
LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out,
                        Progress* progress = nullptr, bool fillScene = true);
