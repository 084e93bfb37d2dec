// The segment numbers of the report, shown in the window beside each input
// segment's midpoint.
#pragma once

#include "draw.h"
#include "geometry/figures.h"

// The input segments, numbered from 0. The numbers are made when first
// shown, so `segments` has to stay as it is while the window is open.
void labelSegments(const Segment* segments, int count);

// Paints, in black, the number of every input segment whose midpoint lies
// in `visible`, placed as `placement` places the drawing. Leaves the
// current colour as it was.
void paintLabels(const Placement& placement, const Box& visible);
