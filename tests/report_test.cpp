#include "driver/report.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
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
  auto out = std::make_unique<ReportBuffer>(-1);
  ASSERT_EQ(reportPairs(segments, *out), LoopOutcome::Done);

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

#ifndef SEGMENTS_SANITIZED  // the sanitizers map memory of their own at any time
// The value of a "Name:  <n> kB" line of /proc/self/status.
unsigned long long statusValue(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1));
  }
  return 0;
}

// Writes 500 rows of lines with no address space left for a thread's stack
// and ends the process: 0 if the file then holds each line once, written
// without a writer thread.
void writeWithoutAThread() {
  std::FILE* file = std::tmpfile();
  auto out = std::make_unique<ReportBuffer>(fileno(file));
  std::string expected;
  expected.reserve(std::size_t(5) << 20);
  for (int i = 1; i < 500; ++i) {
    for (int j = 0; j < i; ++j) {
      expected +=
          "Duzi " + std::to_string(j) + " i " + std::to_string(i) + " nemaju presecnih tacaka\n";
    }
  }
  rlimit before{};
  getrlimit(RLIMIT_AS, &before);
  const rlimit tight{(statusValue("VmSize") + 1024) * 1024, before.rlim_max};
  setrlimit(RLIMIT_AS, &tight);
  for (int i = 1; i < 500; ++i) writeApartLines(*out, 0, i, i);
  const bool flushed = flushReport(*out);
  const unsigned long long threads = statusValue("Threads");
  setrlimit(RLIMIT_AS, &before);
  std::string written(expected.size() + 1, '\0');
  std::rewind(file);
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::exit(flushed && threads == 1 && written == expected ? 0 : 1);
}

// Where no thread can be had, the buffers are written on the main thread,
// each line once. In a process of its own, where no thread ran before.
TEST(ReportLines, WrittenOnceWithoutAWriterThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(writeWithoutAThread(), testing::ExitedWithCode(0), "");
}
#endif

TEST(ReportLines, FailedWriteIsRemembered) {
  auto out = std::make_unique<ReportBuffer>(-1);
  writeReportLine(*out, 0, 1, 0);
  EXPECT_FALSE(flushReport(*out));
  EXPECT_NE(out->error, 0);
}

}  // namespace
