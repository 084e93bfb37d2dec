#include "display/view.h"

#include <gtest/gtest.h>

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
    EXPECT_FLOAT_EQ(v.cx, c.cx);
    EXPECT_FLOAT_EQ(v.cy, c.cy);
    EXPECT_FLOAT_EQ(float(v.dist), float(c.dist));
    EXPECT_FLOAT_EQ(float(v.nearPlane), float(c.nearPlane));
    EXPECT_FLOAT_EQ(float(v.farPlane), float(c.farPlane));
    EXPECT_LE(v.nearPlane, v.dist);
    EXPECT_GE(v.farPlane, v.dist);
  }
}

}  // namespace
