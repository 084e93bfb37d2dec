#pragma once

#include "input.h"
#include "progress.h"
#include "report.h"

enum class LoopOutcome { Done, OutOfMemory, WriteFailed };

// Tests every pair (j, i), j < i, in the order (0,1), (0,2), (1,2), (0,3), ...,
// writes its report line and puts what it shows into the scene. Updates
// `progress` between rows, if given.
LoopOutcome reportPairs(const SegmentArray& segments, ReportBuffer& out,
                        Progress* progress = nullptr);
