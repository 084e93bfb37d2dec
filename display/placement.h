// How the drawing's vertices reach OpenGL, for the painter, the raster and
// the overlays alike.
#pragma once

#include "view.h"

// As they are, for the current matrices to place; or moved, computed in
// double as ((x - cx) * scale, (y - cy) * scale) and clipped beforehand to
// `keep`, a region of the drawing plane around the view.
struct Placement {
  bool moved = false;
  double cx = 0, cy = 0, scale = 1;
  Box keep{};
  double pixelsPerUnit = 0;  // window pixels per scene unit, for moved views
  bool operator==(const Placement&) const = default;
};
