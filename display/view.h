#pragma once

#include "geometry/figures.h"

// Where the eye looks from, fixed once from the scene's corners.
struct View {
  float cx, cy;      // centre of the corners, on the view axis
  double dist;       // eye distance from the drawing plane z = 0
  double nearPlane;  // clipping planes of the perspective, bracketing dist
  double farPlane;
};

View frameView(Point minCorner, Point maxCorner);
