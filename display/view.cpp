#include "view.h"

#include <cmath>

View frameView(Point minCorner, Point maxCorner) {
  View view;
  view.cx = (maxCorner.x + minCorner.x) * 0.5f;
  view.cy = (maxCorner.y + minCorner.y) * 0.5f;
  // Only the minimum corner's magnitude is taken: the extents measure from
  // the origin side, which the start corners always include.
  const double wx = std::fabs(double{minCorner.x}) + maxCorner.x;
  const double wy = std::fabs(double{minCorner.y}) + maxCorner.y;
  view.dist = 2 * wx > wy ? wx : wy;

  // The drawing plane must lie between the clipping planes, or nothing shows.
  // The usual planes 1 and 1000 hold for most scenes; very large or very small
  // ones get planes that bracket the eye distance instead.
  if (view.dist <= 0) view.dist = 1e-3;  // every figure at the origin
  if (view.dist >= 1 && view.dist <= 1000) {
    view.nearPlane = 1;
    view.farPlane = 1000;
  } else {
    view.nearPlane = view.dist / 10;
    view.farPlane = view.dist * 10;
  }
  return view;
}
