#include "driver/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Lines across digit boundaries of both numbers (9 -> 10, 99 -> 100, ...),
// including rows entered out of order, against plainly formatted text.
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
  for (int i = 1; i <= 1002; ++i) {
    for (int j = 0; j < i; ++j) line(j, i);
  }
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

TEST(ReportLines, FailedWriteIsRemembered) {
  auto out = std::make_unique<ReportBuffer>(-1);
  writeReportLine(*out, 0, 1, 0);
  EXPECT_FALSE(flushReport(*out));
  EXPECT_NE(out->error, 0);
}

}  // namespace
