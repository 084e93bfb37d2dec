#include "labels.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include "palette.h"

namespace {

// One label per distinct midpoint: segments that share a midpoint (the two
// diagonals of a square, a segment given twice) share a label, "0, 1, 3",
// instead of printing over each other.
struct Label {
  double x, y;
  std::string text;
};

std::vector<Label> labels;

// The input, kept until the numbers are first shown: most runs never show
// them, and a large input takes milliseconds to number.
const Segment* pending = nullptr;
int pendingCount = 0;

constexpr float offsetPixels = 4;  // up and to the right of the midpoint

void makeLabels(const Segment* segments, int count) {
  std::vector<Label> midpoints(std::size_t(std::max(count, 0)));
  for (int k = 0; k < count; ++k) {
    const Segment& s = segments[k];
    midpoints[k] = {s.A.x / 2.0 + s.B.x / 2.0, s.A.y / 2.0 + s.B.y / 2.0, std::to_string(k)};
  }
  std::vector<int> order(midpoints.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return midpoints[a].x < midpoints[b].x ||
           (midpoints[a].x == midpoints[b].x && midpoints[a].y < midpoints[b].y);
  });
  labels.clear();
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Label& m = midpoints[order[k]];
    if (k > 0 && labels.back().x == m.x && labels.back().y == m.y) {
      labels.back().text += ", " + m.text;
    } else {
      labels.push_back(m);
    }
  }
}

}  // namespace

void labelSegments(const Segment* segments, int count) {
  labels.clear();
  pending = segments;
  pendingCount = count;
}

void paintLabels(const Placement& placement, const Box& visible) {
  if (pending) {
    try {
      makeLabels(pending, pendingCount);
    } catch (const std::bad_alloc&) {
      // The window stays; only the numbers are missing.
      labels = {};
      std::fprintf(stderr, "Greska! Nema dovoljno memorije.\n");
    }
    pending = nullptr;
  }
  glPushAttrib(GL_CURRENT_BIT);  // the colour later figures may inherit stays
  setColour(Black);
  for (const Label& label : labels) {
    if (label.x < visible.minX || label.x > visible.maxX || label.y < visible.minY ||
        label.y > visible.maxY) {
      continue;
    }
    if (placement.moved) {
      glRasterPos2d((label.x - placement.cx) * placement.scale,
                    (label.y - placement.cy) * placement.scale);
    } else {
      glRasterPos2d(label.x, label.y);
    }
    glBitmap(0, 0, 0, 0, offsetPixels, offsetPixels, nullptr);
    glutBitmapString(GLUT_BITMAP_HELVETICA_12,
                     reinterpret_cast<const unsigned char*>(label.text.c_str()));
  }
  glPopAttrib();
}
