#include "scene.h"

Scene scene;

namespace {

void widenCorners(float x, float y) {
  if (x < scene.minCorner.x) scene.minCorner.x = x;
  if (y < scene.minCorner.y) scene.minCorner.y = y;
  if (x > scene.maxCorner.x) scene.maxCorner.x = x;
  if (y > scene.maxCorner.y) scene.maxCorner.y = y;
}

}  // namespace

bool addPoint(Point p, int colour) {
  p.colour = colour;
  if (!scene.points.append(p)) return false;
  widenCorners(p.x, p.y);
  return true;
}

bool addSegment(Segment s, int colour) {
  s.colour = colour;
  if (!scene.segments.append(s)) return false;
  widenCorners(s.A.x, s.A.y);
  widenCorners(s.B.x, s.B.y);
  return true;
}
