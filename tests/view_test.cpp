#include "display/view.h"
#include "display/inspect.h"
#include "display/pick.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

// What a click picks, as plain arithmetic: a crossing point before a
// segment, the nearest segment within the radius, the lower number of two
// as near, nothing beyond the radius, segment 0 only when it is drawn.
TEST(Picking, NearestFigureWithinTheRadius) {
  const Segment segments[] = {Segment(Point(0, 0), Point(4, 0)), Segment(Point(0, 2), Point(4, 2)),
                              Segment(Point(4, 0), Point(4, 4)), Segment(Point(0, 1), Point(4, 1))};
  const float points[] = {1, 0, 3, 2};
  struct Row {
    const char* name;
    double x, y, radius;
    bool zeroDrawn;
    Picked::Kind kind;
    int segment;
  };
  for (const Row& row :
       {Row{"a crossing point before the segment under it", 1.1, 0.1, 0.3, true, Picked::Crossing,
            -1},
        Row{"the nearest segment", 2, 1.8, 0.5, true, Picked::Segment, 1},
        Row{"a segment's very end", 4.05, 4.05, 0.1, true, Picked::Segment, 2},
        Row{"two as near: the lower number", 2, 0.5, 0.6, true, Picked::Segment, 0},
        Row{"segment 0 not drawn", 2, 0.5, 0.6, false, Picked::Segment, 3},
        Row{"beyond the radius", 2, 3, 0.5, true, Picked::Nothing, -1}}) {
    const Picked picked =
        pickFigure(row.x, row.y, row.radius, segments, 4, row.zeroDrawn, points, 2);
    EXPECT_EQ(picked.kind, row.kind) << row.name;
    EXPECT_EQ(picked.segment, row.segment) << row.name;
    if (row.kind == Picked::Crossing) {
      EXPECT_EQ(picked.point.x, 1);
      EXPECT_EQ(picked.point.y, 0);
    }
  }
}

// A caption too long for the band keeps what fits and counts the rest.
TEST(Picking, CaptionsFitTheBand) {
  Selection s;
  s.head = "Duz 5: (1, 0.5) - (1, 3.5)";
  s.pieces = {"; sece: 0", ", 1", ", 3", "; poklapa se sa: 7"};
  const auto length = [](const std::string& text) { return int(text.size()); };
  EXPECT_EQ(fittedCaption(s, 100, length),
            "Duz 5: (1, 0.5) - (1, 3.5); sece: 0, 1, 3; poklapa se sa: 7");
  EXPECT_EQ(fittedCaption(s, 50, length), "Duz 5: (1, 0.5) - (1, 3.5); sece: 0, 1, 3 ... (+1)");
  EXPECT_EQ(fittedCaption(s, 49, length), "Duz 5: (1, 0.5) - (1, 3.5); sece: 0, 1 ... (+2)");
  EXPECT_EQ(fittedCaption(s, 20, length), "Duz 5: (1, 0.5) - (1, 3.5) ... (+4)");
  EXPECT_EQ(shortest(0.1f), "0.1");
  EXPECT_EQ(shortest(0.0100000035f), "0.0100000035");
}

// Zooming in stops where a pixel would be finer than a sixteenth of the
// float spacing at the view's centre; zooming out where the whole float
// range is in view.
TEST(ViewMoves, ZoomStopsWhereTheDataEnd) {
  struct Row {
    View next, now;
    bool allowed;
  };
  const double unit = 2 * std::tan(M_PI / 8) / 700;  // pixel size per eye distance, 700 high
  const double spacingAt100 = std::nextafter(100.0f, 200.0f) - 100.0f;
  for (const Row& row :
       {Row{{100, 0, spacingAt100 / 8 / unit}, {100, 0, 1}, true},
        Row{{100, 0, spacingAt100 / 32 / unit}, {100, 0, 1}, false},
        Row{{0, 0, 1e-30}, {0, 0, 1e-29}, true}, Row{{0, 0, 2e38}, {0, 0, 1e38}, true},
        Row{{0, 0, 2e39}, {0, 0, 1e39}, false}}) {
    EXPECT_EQ(zoomWithinLimits(row.next, row.now, 1024, 700), row.allowed)
        << row.next.cx << " " << row.next.dist;
  }
}
