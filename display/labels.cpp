#include "labels.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <string>
#include <vector>

#include "palette.h"

namespace {

constexpr float offsetPixels = 4;  // up and to the right of the midpoint

struct Midpoint {
  double x, y;
  int segment;
};

}  // namespace

bool paintLabels(std::span<const Segment> segments, const Placement& placement,
                 const Box& visible) {
  // Only the numbers in view, and only a few hundred: more would cover the
  // drawing and cost the driver memory for every character.
  std::vector<Midpoint> shown;
  for (int k = 0; k < int(segments.size()); ++k) {
    const Segment& s = segments[std::size_t(k)];
    const double x = s.A.x / 2.0 + s.B.x / 2.0, y = s.A.y / 2.0 + s.B.y / 2.0;
    if (x < visible.minX || x > visible.maxX || y < visible.minY || y > visible.maxY) continue;
    if (shown.size() == labelLimit) return false;
    shown.push_back({x, y, k});
  }
  // Segments that share a midpoint (the two diagonals of a square, a segment
  // given twice) share a label, "0, 1, 3", instead of printing over each
  // other.
  std::stable_sort(shown.begin(), shown.end(), [](const Midpoint& a, const Midpoint& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });
  glPushAttrib(GL_CURRENT_BIT);  // the colour later figures may inherit stays
  setColour(Black);
  for (std::size_t k = 0; k < shown.size();) {
    const Midpoint& m = shown[k];
    std::string text = std::to_string(m.segment);
    for (++k; k < shown.size() && shown[k].x == m.x && shown[k].y == m.y; ++k) {
      text += ", " + std::to_string(shown[k].segment);
    }
    if (placement.moved) {
      glRasterPos2d((m.x - placement.cx) * placement.scale, (m.y - placement.cy) * placement.scale);
    } else {
      glRasterPos2d(m.x, m.y);
    }
    glBitmap(0, 0, 0, 0, offsetPixels, offsetPixels, nullptr);
    glutBitmapString(GLUT_BITMAP_HELVETICA_12,
                     reinterpret_cast<const unsigned char*>(text.c_str()));
  }
  glPopAttrib();
  return true;
}
