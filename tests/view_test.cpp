#include "display/view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Case {
  Point min, max;
  float cx, cy;
  double dist, nearPlane, farPlane;
};

TEST(FrameView, FromTheCorners) {
  const Case cases[] = {
      {Point(0, 0), Point(4, 4), 2, 2, 4, 1, 1000},
      {Point(0, 0), Point(100, 10), 50, 5, 100, 1, 1000},
      {Point(0, 0), Point(10, 100), 5, 50, 100, 1, 1000},  // 2 * 10 <= 100: from wy
      {Point(0, 0), Point(10, 15), 5, 7.5f, 10, 1, 1000},  // wx < wy < 2 wx: from wx
      {Point(-10, -10), Point(10, 10), 0, 0, 20, 1, 1000},
      {Point(0, 0), Point(1000, 0), 500, 0, 1000, 1, 1000},  // the far plane itself
      {Point(0, 0), Point(0.5f, 1), 0.25f, 0.5f, 1, 1, 1000},
      // Beyond the usual planes: planes that bracket the eye distance.
      {Point(1024, 700), Point(0, 0), 512, 350, 1024, 102.4, 10240},  // nothing added
      {Point(1000, 700), Point(3000, 3000), 2000, 1850, 4000, 400, 40000},
      {Point(0, 0), Point(0.4f, 0.4f), 0.2f, 0.2f, 0.4f, 0.04f, 4.0f},
      // Every figure at the origin: no extent at all, a small distance instead.
      {Point(0, 0), Point(0, 0), 0, 0, 1e-3, 1e-4, 1e-2},
  };
  for (const Case& c : cases) {
    const View v = frameView(c.min, c.max);
    SCOPED_TRACE(testing::Message() << "max " << c.max.x << ", " << c.max.y);
    EXPECT_FLOAT_EQ(float(v.cx), c.cx);
    EXPECT_FLOAT_EQ(float(v.cy), c.cy);
    EXPECT_FLOAT_EQ(float(v.dist), float(c.dist));
    EXPECT_FLOAT_EQ(float(nearPlane(v)), float(c.nearPlane));
    EXPECT_FLOAT_EQ(float(farPlane(v)), float(c.farPlane));
  }
}

// Window position of a scene point, from the field of view alone.
void windowPosition(const View& v, double x, double y, double& px, double& py) {
  const double scale = 350 / (v.dist * std::tan(M_PI / 8));  // 700 pixels high
  px = 512 + (x - v.cx) * scale;
  py = 350 - (y - v.cy) * scale;
}

// Zoom keeps the point it is about in place; a drag moves every point by the
// drag; the window position and the scene point under it agree. At ordinary,
// huge and tiny scales alike.
TEST(ViewMoves, KeepWhatTheUserPointsAt) {
  for (const double unit : {1.0, 1e30, 1e-30}) {
    SCOPED_TRACE(testing::Message() << "unit " << unit);
    const View v{2 * unit, 3 * unit, 4 * unit};
    double sx, sy, px, py, qx, qy;
    scenePointAt(v, 1024, 700, 700.5, 100.5, sx, sy);
    windowPosition(v, sx, sy, px, py);
    EXPECT_NEAR(px, 700.5, 1e-9);
    EXPECT_NEAR(py, 100.5, 1e-9);

    const View closer = zoomAbout(v, 1.25, sx, sy);
    EXPECT_DOUBLE_EQ(closer.dist, v.dist / 1.25);
    windowPosition(closer, sx, sy, qx, qy);
    EXPECT_NEAR(qx, px, 1e-9);
    EXPECT_NEAR(qy, py, 1e-9);
    windowPosition(closer, v.cx, v.cy, qx, qy);  // the old centre moved away from the pointer
    EXPECT_NEAR(qx - px, (512 - px) * 1.25, 1e-6);

    const View panned = panByPixels(v, 100, -40, 700);
    windowPosition(panned, sx, sy, qx, qy);
    EXPECT_NEAR(qx, px + 100, 1e-9);
    EXPECT_NEAR(qy, py - 40, 1e-9);
  }
}

// Fitting frames the data with a margin, whichever side limits it.
TEST(ViewMoves, FitFramesTheData) {
  const Box boxes[] = {{0, 0, 4, 4},
                       {-100, 5, 900, 6},
                       {7456000, 4512000, 7456010, 4512400},
                       {1e30, 1e30, 3e30, 2e30},
                       {5, 5, 5, 5}};
  for (const Box& data : boxes) {
    SCOPED_TRACE(testing::Message() << data.minX << " " << data.maxY);
    const View v = fitView(data, 1024, 700);
    const Box shown = visibleBox(v, 1024, 700);
    EXPECT_LT(shown.minX, data.minX);
    EXPECT_LT(shown.minY, data.minY);
    EXPECT_GT(shown.maxX, data.maxX);
    EXPECT_GT(shown.maxY, data.maxY);
    const double fillX = (data.maxX - data.minX) / (shown.maxX - shown.minX);
    const double fillY = (data.maxY - data.minY) / (shown.maxY - shown.minY);
    if (data.maxX > data.minX) {
      EXPECT_NEAR(std::max(fillX, fillY), 1 / 1.1, 1e-9);
    }
  }
}

}  // namespace
