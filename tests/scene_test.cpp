#include "geometry/scene.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "geometry/pages.h"

namespace {

// The scene is one global store; each test starts from the state a fresh
// process has.
class SceneTest : public testing::Test {
 protected:
  void SetUp() override {
    scene.points.clear();
    scene.segments.clear();
    scene.minCorner = Point(1024, 700);
    scene.maxCorner = Point(0, 0);
  }
  void TearDown() override { SetUp(); }
};

Segment seg(float x1, float y1, float x2, float y2) {
  return Segment(Point(x1, y1), Point(x2, y2));
}

struct CornerCase {
  const char* name;
  std::vector<Segment> segments;
  std::vector<Point> points;
  Point min, max;
};

void PrintTo(const CornerCase& c, std::ostream* os) {
  *os << c.name;
}

class Corners : public SceneTest, public testing::WithParamInterface<CornerCase> {};

TEST_P(Corners, BoundTheDataAndTheFixedStart) {
  for (const Segment& s : GetParam().segments) ASSERT_TRUE(addSegment(s, Red));
  for (const Point& p : GetParam().points) ASSERT_TRUE(addPoint(p, Black));
  EXPECT_EQ(scene.minCorner.x, GetParam().min.x);
  EXPECT_EQ(scene.minCorner.y, GetParam().min.y);
  EXPECT_EQ(scene.maxCorner.x, GetParam().max.x);
  EXPECT_EQ(scene.maxCorner.y, GetParam().max.y);
}

INSTANTIATE_TEST_SUITE_P(
    Scene, Corners,
    testing::Values(
        CornerCase{"nothing added", {}, {}, Point(1024, 700), Point(0, 0)},
        CornerCase{"worked example", {seg(0, 0, 4, 4)}, {}, Point(0, 0), Point(4, 4)},
        CornerCase{
            "far away", {seg(2000, 2000, 3000, 3000)}, {}, Point(1024, 700), Point(3000, 3000)},
        CornerCase{"negative point", {}, {Point(-5, -3)}, Point(-5, -3), Point(0, 0)},
        CornerCase{
            "end points in either order", {seg(10, -1, -2, 20)}, {}, Point(-2, -1), Point(10, 20)},
        CornerCase{
            "inside the start box", {seg(100, 100, 200, 50)}, {}, Point(100, 50), Point(200, 100)}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p) name += std::isalnum(*p) ? *p : '_';
      return name;
    });

TEST_F(SceneTest, StoresCopiesWithTheGivenColour) {
  Segment s = seg(1, 2, 3, 4);
  s.A.colour = Green;
  s.colour = Blue;
  ASSERT_TRUE(addSegment(s, Red));
  ASSERT_TRUE(addSegment(s, Red));
  s.A.x = 99;  // the caller's record changes afterwards
  Point p(7, 8);
  p.colour = Yellow;
  ASSERT_TRUE(addPoint(p, Black));

  ASSERT_EQ(scene.segments.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(scene.segments[k].colour, Red);
    EXPECT_EQ(scene.segments[k].A.colour, Green) << "end-point colours stay as they were";
    EXPECT_EQ(scene.segments[k].A.x, 1);
    EXPECT_EQ(scene.segments[k].B.y, 4);
  }
  ASSERT_EQ(scene.points.size(), 1u);
  EXPECT_EQ(scene.points[0].colour, Black);
  EXPECT_EQ(scene.points[0].x, 7);
}

// Repeats are stored as runs, yet every entry reads back in insertion order.
TEST_F(SceneTest, RepeatsInterruptedAndResumedKeepEveryEntry) {
  const Segment a = seg(0, 0, 1, 1), b = seg(5, 5, 6, 6);
  ASSERT_TRUE(addSegment(a, Red, 3));
  ASSERT_TRUE(addSegment(b, Red));
  ASSERT_TRUE(addSegment(a, Red));
  ASSERT_TRUE(addSegment(a, Red, 0));
  ASSERT_TRUE(addSegment(a, Red, 2));
  ASSERT_TRUE(addSegment(a, Green));  // same place, another colour: another entry

  const float expected[] = {0, 0, 0, 5, 0, 0, 0, 0};
  ASSERT_EQ(scene.segments.size(), 8u);
  std::size_t k = 0;
  scene.segments.forEach([&](const Segment& s) {
    ASSERT_LT(k, 8u);
    EXPECT_EQ(s.A.x, expected[k]) << "entry " << k;
    EXPECT_EQ(s.colour, k == 7 ? Green : Red) << "entry " << k;
    ++k;
  });
  EXPECT_EQ(k, 8u);
  for (k = 0; k < 8; ++k) EXPECT_EQ(scene.segments[k].A.x, expected[k]) << "entry " << k;
  EXPECT_EQ(scene.segments.runCount(), 4u) << "equal neighbours share a run";
}

// A segment named by a key is stored once, however often it comes back; the
// entries read back all the same, each run as it was added.
TEST_F(SceneTest, SegmentsNamedByKeyAreStoredOnce) {
  const Segment a = seg(0, 0, 1, 1), b = seg(5, 5, 6, 6);
  for (int row = 0; row < 50; ++row) {
    ASSERT_TRUE(addSegment(a, Red, 2, 7));
    ASSERT_TRUE(addSegment(b, Red, 1, 3000));
  }
  ASSERT_TRUE(addSegment(b, Red));  // the last run goes on, key or none
  ASSERT_TRUE(addSegment(a, Red, 1, 7));
  ASSERT_TRUE(addSegment(b, Red));  // without its key: a figure of its own
  EXPECT_EQ(scene.segments.figureCount(), 3u);
  EXPECT_EQ(scene.segments.runCount(), 102u);
  ASSERT_EQ(scene.segments.size(), 153u);
  std::size_t k = 0;
  scene.segments.forEach([&](const Segment& s) {
    const bool first = k < 150 ? k % 3 < 2 : k == 151;
    EXPECT_EQ(s.A.x, first ? 0 : 5) << "entry " << k;
    ++k;
  });
  EXPECT_TRUE(scene.segments.repeats());
}

// Enough entries to span several chunks; order and content must survive.
TEST_F(SceneTest, KeepsInsertionOrderAcrossChunks) {
  const std::size_t n = 3 * Chunks<FigureList<Segment>::Run>::perChunk + 17;
  ASSERT_TRUE(addSegment(seg(-1, 0, 0, 1), Red, 1u << 31));  // a long run before them
  for (std::size_t k = 0; k < n; ++k) ASSERT_TRUE(addSegment(seg(float(k), 0, 0, 1), Red));
  const std::size_t before = std::size_t(1) << 31;
  ASSERT_EQ(scene.segments.size(), before + n);
  std::size_t expected = 0;
  scene.segments.forEachRun([&](const Segment& s, std::uint32_t count) {
    if (s.A.x < 0) return;
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(s.A.x, float(expected++));
  });
  EXPECT_EQ(expected, n);
  EXPECT_EQ(scene.segments[before - 1].A.x, -1);
  EXPECT_EQ(scene.segments[before].A.x, 0);
  EXPECT_EQ(scene.segments[before + n - 1].A.x, float(n - 1));
  EXPECT_EQ(scene.maxCorner.x, float(n - 1));
}

}  // namespace

// Blocks from the small-block size up are whole mapped blocks; below it they
// come from the C heap. Each goes back where it came from (freeing a page
// block with free() would crash).
TEST(PageAllocator, SplitsAtTheSmallBlockSize) {
  PageAllocator<char> pages;
  const std::size_t small = PageAllocator<char>::smallBytes;
  for (const std::size_t bytes : {small - 1, small, small + 1, 3 * blockBytes}) {
    char* block = pages.allocate(bytes);
    ASSERT_NE(block, nullptr);
    const bool onAPage = reinterpret_cast<std::uintptr_t>(block) % blockBytes == 0;
    EXPECT_EQ(onAPage, bytes >= small) << bytes << " bytes";
    block[0] = block[bytes - 1] = 1;
    pages.deallocate(block, bytes);
  }
}
