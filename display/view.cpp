#include "view.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

const double halfFieldTan = std::tan(22.5 * M_PI / 180);  // of the 45-degree field of view
constexpr double fitMargin = 1.1;                         // a twentieth on each side

}  // namespace

View frameView(Point minCorner, Point maxCorner) {
  View view;
  view.cx = (maxCorner.x + minCorner.x) * 0.5f;
  view.cy = (maxCorner.y + minCorner.y) * 0.5f;
  // Only the minimum corner's magnitude is taken: the extents measure from
  // the origin side, which the start corners always include.
  const double wx = std::fabs(double{minCorner.x}) + maxCorner.x;
  const double wy = std::fabs(double{minCorner.y}) + maxCorner.y;
  view.dist = 2 * wx > wy ? wx : wy;
  if (view.dist <= 0) view.dist = 1e-3;  // every figure at the origin
  return view;
}

// The drawing plane must lie between the clipping planes, or nothing shows.
// The usual planes 1 and 1000 hold for most scenes; very large or very small
// ones get planes that bracket the eye distance instead.
double nearPlane(const View& view) {
  return view.dist >= 1 && view.dist <= 1000 ? 1 : view.dist / 10;
}

double farPlane(const View& view) {
  return view.dist >= 1 && view.dist <= 1000 ? 1000 : view.dist * 10;
}

double pixelsPerUnit(const View& view, int height) {
  return (std::max(height, 1) / 2.0) / (view.dist * halfFieldTan);
}

Box visibleBox(const View& view, int width, int height) {
  const double scale = pixelsPerUnit(view, height);
  const double halfWidth = width / 2.0 / scale, halfHeight = std::max(height, 1) / 2.0 / scale;
  return {view.cx - halfWidth, view.cy - halfHeight, view.cx + halfWidth, view.cy + halfHeight};
}

Box widened(const Box& box, double dx, double dy) {
  return {box.minX - dx, box.minY - dy, box.maxX + dx, box.maxY + dy};
}

void scenePointAt(const View& view, int width, int height, double x, double y, double& sx,
                  double& sy) {
  const double scale = pixelsPerUnit(view, height);
  sx = view.cx + (x - width / 2.0) / scale;
  sy = view.cy - (y - height / 2.0) / scale;
}

View zoomAbout(const View& view, double factor, double x, double y) {
  return {x + (view.cx - x) / factor, y + (view.cy - y) / factor, view.dist / factor};
}

View panByPixels(const View& view, double dx, double dy, int height) {
  const double scale = pixelsPerUnit(view, height);
  return {view.cx - dx / scale, view.cy + dy / scale, view.dist};
}

bool zoomWithinLimits(const View& next, const View& now, int width, int height) {
  if (next.dist < now.dist) {
    const double centre =
        std::min(std::max(std::fabs(next.cx), std::fabs(next.cy)), double(FLT_MAX));
    const float at = float(centre);
    const double spacing = double(std::nextafter(at, INFINITY)) - at;
    return 1 / pixelsPerUnit(next, height) >= spacing / 16;
  }
  const Box shown = visibleBox(now, width, height);
  return std::min(shown.maxX - shown.minX, shown.maxY - shown.minY) < 2.0 * FLT_MAX;
}

View fitView(Box data, int width, int height) {
  const double aspect = double(width) / std::max(height, 1);
  double halfHeight = std::max((data.maxY - data.minY) / 2, (data.maxX - data.minX) / 2 / aspect);
  if (!(halfHeight > 0)) {
    // A single point: a small region around it, in proportion to where it is.
    halfHeight = std::max(std::fabs(data.minX), std::fabs(data.minY)) / 1024;
    if (!(halfHeight > 0)) halfHeight = 1;
  }
  return {data.minX / 2 + data.maxX / 2, data.minY / 2 + data.maxY / 2,
          halfHeight * fitMargin / halfFieldTan};
}

bool clipToBox(double& ax, double& ay, double& bx, double& by, const Box& box) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - box.minX, box.maxX - ax, ay - box.minY, box.maxY - ay};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;  // parallel to this edge and outside it
    } else {
      const double t = q[k] / p[k];
      if (p[k] < 0) t0 = std::max(t0, t);
      if (p[k] > 0) t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  const double x0 = ax + t0 * dx, y0 = ay + t0 * dy;
  bx = ax + t1 * dx;
  by = ay + t1 * dy;
  ax = x0;
  ay = y0;
  return true;
}
