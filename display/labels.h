// The segment numbers of the report, shown in the window beside each input
// segment's midpoint.
#pragma once

#include <cstddef>
#include <span>

#include "geometry/figures.h"
#include "placement.h"

// The most numbers drawn at once.
inline constexpr std::size_t labelLimit = 300;

// Paints, in black, the number of every one of the input `segments`,
// numbered from 0, whose midpoint lies
// in `visible`, placed as `placement` places the drawing, and leaves the
// current colour as it was. With more than labelLimit of them in view,
// paints none and returns false.
bool paintLabels(std::span<const Segment> segments, const Placement& placement, const Box& visible);
