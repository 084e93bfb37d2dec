// The segment numbers of the report, shown in the window beside each input
// segment's midpoint.
#pragma once

#include <cstddef>

#include "draw.h"
#include "geometry/figures.h"

// The most numbers drawn at once.
inline constexpr std::size_t labelLimit = 300;

// The input segments, numbered from 0: `segments` has to stay as it is
// while the window is open.
void labelSegments(const Segment* segments, int count);

// Paints, in black, the number of every input segment whose midpoint lies
// in `visible`, placed as `placement` places the drawing, and leaves the
// current colour as it was. With more than labelLimit of them in view,
// paints none and returns false.
bool paintLabels(const Placement& placement, const Box& visible);
