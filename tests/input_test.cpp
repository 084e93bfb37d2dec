#include "driver/input.h"
#include "driver/input_halves.h"
#include "driver/numbers.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/memory.h"

namespace {

Input parse(const std::string& text) {
  return parseSegments(text.data(), text.size());
}

std::string records(int count) {
  std::string text;
  for (int k = 0; k < count; ++k) text += std::to_string(k) + " 1 2 3\n";
  return text;
}

// The array grows as soon as the count reaches the capacity, before the read
// that finds the end of input.
TEST(SegmentArray, GrowsInSteps) {
  struct Row {
    int segments, capacity;
  };
  for (const Row row : {Row{1, 1001}, Row{999, 1001}, Row{1000, 1001}, Row{1001, 2001},
                        Row{2000, 2001}, Row{2001, 3001}}) {
    Input input = parse(records(row.segments));
    ASSERT_EQ(input.outcome, ReadOutcome::Segments);
    EXPECT_EQ(input.segments.count, row.segments);
    EXPECT_EQ(input.segments.capacity, row.capacity) << row.segments << " segments";
    EXPECT_EQ(input.segments.items[row.segments - 1].A.x, float(row.segments - 1));
  }
}

TEST(Records, ShortLastRecordIsPaddedWithZeros) {
  for (const auto& [text, numbers] :
       {std::pair{"1 2 3 4 5", 1}, std::pair{"1 2 3 4 5 6", 2}, std::pair{"1 2 3 4 5 6 7", 3}}) {
    Input input = parse(text);
    ASSERT_EQ(input.outcome, ReadOutcome::Segments);
    ASSERT_EQ(input.segments.count, 2);
    EXPECT_EQ(input.incompleteSegment, 1);
    EXPECT_EQ(input.incompleteNumbers, numbers);
    const Segment& last = input.segments.items[1];
    const float expected[4] = {5, 6, 7, 0};
    const float got[4] = {last.A.x, last.A.y, last.B.x, last.B.y};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], k < numbers ? expected[k] : 0.0f) << text;
  }
}

// The C library's float syntax: each token as strtof reads it, bit for bit
// (an underflow kept as its value, -0 with its sign), or refused where
// strtof does not take all of it; also at the edges of the plain decimals'
// own reading: 19 and 20 digits, 18 after the point, 2^53, a float halfway
// between two.
TEST(Records, TokensReadAsStrtofReadsThem) {
  std::istringstream tokens(
      "+1.5 -2e3 0x1p-2 .25 1e-50 3.4028234e38 00012 -0 -.5 . - 1.2.3 +1 9007199254740993 "
      "9999999999999999999 99999999999999999999 .000000000000000003 16777217 3.4028236e38");
  for (std::string token; tokens >> token;) {
    std::string copy = token + ' ';
    float read = -1;
    const bool taken = readFloat(copy.data(), copy.data() + token.size(), read);
    char* end = nullptr;
    const float expected = std::strtof(token.c_str(), &end);
    EXPECT_EQ(taken, end == token.c_str() + token.size() && std::isfinite(expected)) << token;
    EXPECT_TRUE(!taken || std::memcmp(&read, &expected, sizeof read) == 0) << token;
  }
}

TEST(Records, MalformedTokensNameTheirSegment) {
  struct Row {
    const char* text;
    int segment;
    const char* token;
  };
  for (const Row row :
       {Row{"x", 0, "x"}, Row{"1 2 3 4 5 6 7 8 9 nan", 2, "nan"}, Row{"1 2 3 1e39", 0, "1e39"},
        Row{"1 2 3 4 0x", 1, "0x"}, Row{"1 2 3 4 5 6 7 INF", 1, "INF"}}) {
    Input input = parse(row.text);
    EXPECT_EQ(input.outcome, ReadOutcome::Malformed) << row.text;
    EXPECT_EQ(input.badSegment, row.segment) << row.text;
    EXPECT_EQ(input.badToken, row.token);
    EXPECT_EQ(input.segments.items, nullptr) << "nothing is left allocated";
  }
}

// Reads `text` from a file in two halves; false where it leaves the file to
// the stream reader. `shrunk` bytes were cut off the file after its size
// was taken.
bool readHalvesOf(const std::string& text, Input& input, std::size_t shrunk = 0) {
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size() - shrunk, file);
  std::fflush(file);
  const bool taken = readInHalves(fileno(file), text.size(), UINT64_MAX, nullptr, input);
  std::fclose(file);
  return taken;
}

// A large file is read by two threads, half each, straight into its array;
// whatever it holds, the outcome is that of reading it as one stream: every
// coordinate, the first bad token and its segment, a short last record.
TEST(Records, HalvesReadAsOneStream) {
  std::string lines;
  for (int k = 0; lines.size() < (1u << 20); ++k) {
    lines += std::to_string(k) + ".25 -" + std::to_string(k % 977) + ".5\t7e-3 " +
             std::to_string(k * 31 % 1000) + "\r\n";
  }
  const std::size_t middle = lines.size() / 2;
  struct Row {
    const char* name;
    std::string text;
    bool halves;  // false: left to the stream reader
  };
  std::string across = lines;  // a number right across the middle of the file
  across.insert(lines.find(' ', middle) - 2, "123");
  ASSERT_NE(across[across.size() / 2 - 1], ' ');
  ASSERT_NE(across[across.size() / 2], ' ');
  std::string twoBad = lines;
  twoBad.replace(lines.find(' ', 1000), 1, " x ");
  twoBad.replace(twoBad.find(' ', twoBad.size() / 2 + 100), 1, " y ");
  std::string secondBad = lines;
  secondBad.replace(lines.find(' ', middle + 1000), 1, " 1.5.5 ");
  std::string longNumber = lines;  // left to the stream, which judges long tokens
  longNumber.replace(lines.find(' ', middle + 1000), 1, " 0." + std::string(100, '3') + " ");
  for (const Row& row :
       {Row{"whole records", lines, true}, Row{"number across the middle", across, true},
        Row{"byte-order mark", "\xEF\xBB\xBF" + lines, true},
        Row{"short last record", lines + "1 2 3", true},
        Row{"a bad token in each half", twoBad, true},
        Row{"a bad token in the second half", secondBad, true},
        Row{"a long number", longNumber, false},
        Row{"only blanks", std::string(1 << 20, ' ') + "\n\t", false}}) {
    Input stream = parse(row.text);
    Input halves;
    ASSERT_EQ(readHalvesOf(row.text, halves), row.halves) << row.name;
    if (!row.halves) continue;
    EXPECT_EQ(halves.outcome, stream.outcome) << row.name;
    EXPECT_EQ(halves.segments.count, stream.segments.count) << row.name;
    EXPECT_EQ(halves.segments.capacity, stream.segments.capacity) << row.name;
    EXPECT_EQ(halves.badSegment, stream.badSegment) << row.name;
    EXPECT_EQ(halves.badToken, stream.badToken) << row.name;
    EXPECT_EQ(halves.incompleteSegment, stream.incompleteSegment) << row.name;
    EXPECT_EQ(halves.incompleteNumbers, stream.incompleteNumbers) << row.name;
    if (halves.segments.count == stream.segments.count && stream.segments.items) {
      EXPECT_EQ(std::memcmp(halves.segments.items, stream.segments.items,
                            sizeof(Segment) * std::size_t(stream.segments.count)),
                0)
          << row.name;
    }
  }
  // A file that shrank after its size was taken is read as it is.
  const std::size_t cut = lines.size() / 4;
  Input shrunk, rest = parse(lines.substr(0, lines.size() - cut));
  ASSERT_TRUE(readHalvesOf(lines, shrunk, cut));
  EXPECT_EQ(shrunk.segments.count, rest.segments.count);
}

}  // namespace

// The segments read so far count against the budget together with the
// token being read: a long token after many segments does not fit where it
// would fit alone.
TEST(Budget, CountsTheSegmentsBesideTheToken) {
  std::string text = records(50000);        // an array of about 1.4 MB
  text += "0." + std::string(600000, '3');  // a token that needs a 1 MB buffer
  for (const auto& [budget, fits] :
       {std::pair{std::uint64_t(2) << 20, false}, std::pair{std::uint64_t(4) << 20, true}}) {
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    Input input = readSegments(file, budget);
    std::fclose(file);
    EXPECT_EQ(input.outcome, fits ? ReadOutcome::Segments : ReadOutcome::OutOfMemory) << budget;
    EXPECT_EQ(input.longToken > 0, !fits);
    EXPECT_EQ(input.badSegment, fits ? -1 : 50000);
  }
}

// What a limit leaves is the limit less what the process already uses.
TEST(Budget, LimitsLeaveWhatIsNotUsed) {
  EXPECT_EQ(segmentsThatFit(0), 0u);
  EXPECT_EQ(segmentsThatFit(minimumLoopBytes(0)), 0u);
  EXPECT_EQ(segmentsThatFit(minimumLoopBytes(1000) + 1000 * sizeof(Segment)), 1000u);
  EXPECT_EQ(inputBudget(minimumLoopBytes(1000) + 1000 * sizeof(Segment)), 1000 * sizeof(Segment));

  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_DATA, &before), 0);
  std::ifstream status("/proc/self/status");
  std::string line;
  unsigned long long usedKiB = 0;
  while (std::getline(status, line)) {
    if (line.rfind("VmData:", 0) == 0) usedKiB = std::stoull(line.substr(7));
  }
  ASSERT_GT(usedKiB, 0u);
  struct Row {
    unsigned long long spareMiB;
    bool graphics;
  };
  for (const Row row : {Row{64, false}, Row{400, true}}) {
    const rlimit limit{usedKiB * 1024 + (row.spareMiB << 20), before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_DATA, &limit), 0);
    const std::uint64_t available = availableMemory();
    const bool fit = graphicsFit(0);
    setrlimit(RLIMIT_DATA, &before);
    EXPECT_LE(available, row.spareMiB << 20);
    EXPECT_GT(available, (row.spareMiB << 20) / 2);
    EXPECT_EQ(fit, row.graphics) << row.spareMiB << " MB spare";
  }
}
