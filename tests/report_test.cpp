#include "driver/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/pairs.h"
#include "geometry/scene.h"

namespace {

// Lines across digit boundaries of both numbers (9 -> 10, 99 -> 100, ...),
// across the buffers' ends, written one by one and in stretches of pairs
// that do not meet, including rows entered out of order and numbers past the
// prepared names, against plainly formatted text.
TEST(ReportLines, MatchPlainFormatting) {
  std::FILE* file = std::tmpfile();
  ASSERT_TRUE(file);
  auto out = std::make_unique<ReportBuffer>(fileno(file));
  std::string expected;
  const char* verdicts[] = {" nemaju presecnih tacaka\n", " imaju presecnu tacku\n",
                            " se poklapaju\n"};
  auto line = [&](int j, int i) {
    const int kind = int(((long long)i * 7 + j) % 3);
    writeReportLine(*out, j, i, kind);
    expected += "Duzi " + std::to_string(j) + " i " + std::to_string(i) + verdicts[kind];
  };
  auto apart = [&](int from, int to, int i) {
    writeApartLines(*out, from, to, i);
    for (int j = from; j < to; ++j) {
      expected += "Duzi " + std::to_string(j) + " i " + std::to_string(i) + verdicts[0];
    }
  };
  for (int i = 1; i <= 1002; ++i) {
    for (int j = 0; j < i; ++j) line(j, i);
  }
  for (int i = 1003; i <= 1400; ++i) {
    apart(0, i / 3, i);
    for (int j = i / 3; j < i / 2; ++j) line(j, i);
    apart(i / 2, i, i);
  }
  line(65535, 70000);  // the last prepared name, and the first formatted in place
  line(65536, 70000);
  apart(65530, 65540, 70001);
  line(99999, 100000);  // a row of its own, not following on
  line(5, 7);
  line(6, 7);
  line(1999999999, 2147483647);
  ASSERT_TRUE(flushReport(*out));

  std::string written(expected.size() + 1, '\0');
  std::rewind(file);
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::fclose(file);
  EXPECT_TRUE(written == expected) << "sizes " << written.size() << " and " << expected.size();
}

// The corners bound every entry the pair loop stored, the later segment of
// every pair included, just as adding the entries one by one would.
TEST(PairLoop, CornersBoundEveryStoredEntry) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> coordinate(0, 900);
  std::vector<Segment> segments;
  segments.emplace_back(Point(-50, -60), Point(-40, -70));  // meets nothing: never stored
  for (int k = 0; k < 40; ++k) {
    segments.emplace_back(Point(coordinate(random), coordinate(random)),
                          Point(coordinate(random), coordinate(random)));
  }
  segments.emplace_back(Point(5000, 4000), Point(5100, 4100));  // meets nothing, stored
  SegmentArray array;
  array.items = segments.data();
  array.count = int(segments.size());
  auto out = std::make_unique<ReportBuffer>(-1);
  ASSERT_EQ(reportPairs(array, *out), LoopOutcome::Done);

  const Point min = scene.minCorner, max = scene.maxCorner;
  scene.minCorner = Point(1024, 700);
  scene.maxCorner = Point(0, 0);
  std::size_t entries = 0;
  scene.segments.forEach([&](const Segment& s) {
    widenCorners(s.A.x, s.A.y);
    widenCorners(s.B.x, s.B.y);
    ++entries;
  });
  scene.points.forEach([](const Point& p) { widenCorners(p.x, p.y); });
  EXPECT_GE(entries, segments.size() * (segments.size() - 1) / 2) << "one entry per pair at least";
  EXPECT_EQ(min.x, scene.minCorner.x);
  EXPECT_EQ(min.y, scene.minCorner.y);
  EXPECT_EQ(max.x, 5100);
  EXPECT_EQ(max.y, scene.maxCorner.y);
  scene.segments.clear();
  scene.points.clear();
}

TEST(ReportLines, FailedWriteIsRemembered) {
  auto out = std::make_unique<ReportBuffer>(-1);
  writeReportLine(*out, 0, 1, 0);
  EXPECT_FALSE(flushReport(*out));
  EXPECT_NE(out->error, 0);
}

}  // namespace
