// The real program, run in a temporary directory on a real test.txt.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace {

using namespace std::string_literals;

struct Case {
  const char* name;
  std::string input;
  std::string out;
  int status;
  std::string errContains = "";
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class Report : public testing::TestWithParam<Case> {};

TEST_P(Report, IsExact) {
  const Case& c = GetParam();
  const RunResult r = runOnInput(c.input, headless);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(c.errContains), std::string::npos) << r.err;
}

const std::string crossing01 = "Duzi 0 i 1 imaju presecnu tacku\n";
const std::string noData = "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n";

std::string repeat(const std::string& text, int times) {
  std::string result;
  while (times-- > 0) result += text;
  return result;
}

std::string malformed(int segment, const std::string& token) {
  return "Greska! Neispravan podatak za duz " + std::to_string(segment) +
         " u ulaznom fajlu: " + token + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Report,
    testing::Values(
        Case{"empty", "", noData, 0}, Case{"only_whitespace", " \n\t\r\n\f\v ", noData, 0},
        Case{"only_a_byte_order_mark", "\xEF\xBB\xBF\n", noData, 0},
        Case{"one_segment", "1 2 3 4\n", "", windowCannotOpen},
        Case{"worked_example_on_one_line", "0 0 4 4 0 4 4 0", crossing01, windowCannotOpen},
        Case{"three_segments_in_pair_order", "0 0 4 4\n0 4 4 0\n1 1 3 3\n",
             crossing01 + "Duzi 0 i 2 se poklapaju\nDuzi 1 i 2 imaju presecnu tacku\n",
             windowCannotOpen},
        Case{"disjoint", "0 0 1 0\n0 5 1 5\n", "Duzi 0 i 1 nemaju presecnih tacaka\n",
             windowCannotOpen},
        // Consecutive pieces of a straight polyline touch; the ends given either way.
        Case{"straight_polyline", "0 0 2 0\n3 0 2 0\n3 0 5 0\n",
             "Duzi 0 i 1 se poklapaju\nDuzi 0 i 2 nemaju presecnih tacaka\n"
             "Duzi 1 i 2 se poklapaju\n",
             windowCannotOpen},
        Case{"crlf_line_endings", "0 0 4 4\r\n0 4 4 0\r\n", crossing01, windowCannotOpen},
        Case{"lone_cr_line_endings", "0 0 4 4\r0 4 4 0\r", crossing01, windowCannotOpen},
        Case{"tabs_and_form_feeds", "0\t0\f4\v4\n\n\n  0 4\t\t4 0", crossing01, windowCannotOpen},
        Case{"byte_order_mark",
             "\xEF\xBB\xBF"
             "0 0 4 4\n0 4 4 0\n",
             crossing01, windowCannotOpen},
        Case{"hexadecimal_and_plus_signs", "0x0 +0 0x1p2 +4e0\n0 4 4 0", crossing01,
             windowCannotOpen},
        Case{"short_last_record_padded_with_zeros", "0 0 4 4\n1 2\n", crossing01, windowCannotOpen,
             "Duz 1"},
        Case{"word", "abc", malformed(0, "abc"), 2},
        Case{"word_in_second_record", "0 0 4 4\n0 4 x 0\n", malformed(1, "x"), 2},
        Case{"number_with_trailing_letters", "0 0 4 4 1.5abc 0 0 0", malformed(1, "1.5abc"), 2},
        Case{"comma_decimal", "0 0 4 4 0 4 4 1,5", malformed(1, "1,5"), 2},
        Case{"nan", "0 0 4 4 0 nan 4 0", malformed(1, "nan"), 2},
        Case{"infinity", "-inf 0 4 4", malformed(0, "-inf"), 2},
        Case{"beyond_float_range", "0 0 4 4 0 4 1e39 0", malformed(1, "1e39"), 2},
        Case{"lone_sign", "0 0 4 - 0 4 4 0", malformed(0, "-"), 2},
        Case{"ends_in_the_middle_of_a_number", "0 0 4 4 0 4 4 1e", malformed(1, "1e"), 2},
        Case{"long_token_cut_to_40", "0 0 4 4 " + std::string(60, 'z'),
             malformed(1, std::string(40, 'z')), 2},
        Case{"nul_byte",
             "0 0 4 4 0\0"
             "4 4 0"s,
             malformed(1, "0\\x004"), 2},
        Case{"control_bytes_are_escaped", "\x1b[31m", malformed(0, "\\x1B[31m"), 2},
        Case{"only_the_three_bytes_of_a_byte_order_mark", "\xEF\xBB\xBF", noData, 0},
        Case{"delete_byte_is_escaped",
             "0 0 4 4 a\x7F"
             "b",
             malformed(1, "a\\x7Fb"), 2},
        Case{"c1_control_is_escaped",
             "\xC2\x9B"
             "2J",
             malformed(0, "\\xC2\\x9B2J"), 2},
        Case{"bidirectional_control_is_escaped",
             "x\xE2\x80\xAE"
             "y",
             malformed(0, "x\\xE2\\x80\\xAEy"), 2},
        Case{"byte_outside_utf8_is_escaped",
             "x\x9B"
             "y\xFF",
             malformed(0, "x\\x9By\\xFF"), 2},
        // Nothing beyond ASCII is shown as it is: a zero-width space would
        // make "1<U+200B>2" look like the good number 12.
        Case{"letters_beyond_ascii_are_escaped",
             "\xC4\x91"
             "x",
             malformed(0, "\\xC4\\x91x"), 2},
        Case{"invisible_characters_are_escaped",
             "0 0 4 1\xE2\x80\x8B"
             "2 \xEF\xBB\xBF 1",
             malformed(0, "1\\xE2\\x80\\x8B2"), 2},
        Case{"no_break_space_is_escaped", "0 0 4 4 \xC2\xA0", malformed(1, "\\xC2\\xA0"), 2},
        Case{"cut_at_40_bytes", "a" + repeat("\xC3\xA9", 30),
             malformed(0, "a" + repeat("\\xC3\\xA9", 19) + "\\xC3"), 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The open failure waits for two characters: after one it still waits,
// blocked reading standard input.
TEST(Failures, MissingFileAwaitsTwoCharacters) {
  TempDir dir;
  RunningProgram program = startProgram(dir.path, {.stdinOpen = true});
  ASSERT_EQ(write(program.inFd, "a", 1), 1);
  const std::string proc = "/proc/" + std::to_string(program.pid);
  bool waiting = false;
  for (bool ended = false; !waiting && !ended;) {
    int unread = 1;
    ioctl(program.inFd, FIONREAD, &unread);
    std::ifstream stat(proc + "/stat"), call(proc + "/syscall");
    std::string pid, name, state, syscall, fd;
    stat >> pid >> name >> state;
    call >> syscall >> fd;
    ended = state.empty() || state == "Z";
    waiting = unread == 0 && state == "S" && syscall == "0" && fd == "0x0";  // read(0, ...)
  }
  EXPECT_TRUE(waiting) << "still waiting after one character";
  ASSERT_EQ(write(program.inFd, "b", 1), 1);
  const RunResult r = finishProgram(program);
  EXPECT_EQ(r.out, "Greska! Ne mogu da otvorim ulazni fajl.\n");
  EXPECT_EQ(r.status, 1);
}

// --meeting-only writes what the full report writes for the pairs that
// meet, in its order, and ends as it ends, whatever the input: families the
// index handles (short segments spread out, touching pieces, map
// coordinates, huge and tiny units, drawings crowded in places), families
// where testing every pair pays (long near-collinear segments stacked up),
// and bad inputs.
std::string family(const std::string& name) {
  std::mt19937 random(5);
  auto uniform = [&](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  std::string text;
  auto add = [&](double x1, double y1, double x2, double y2) {
    char line[128];
    std::snprintf(line, sizeof line, "%.9g %.9g %.9g %.9g\n", x1, y1, x2, y2);
    text += line;
  };
  for (int k = 0; k < 1200; ++k) {
    const double x = uniform(0, 200), y = uniform(0, 200), a = uniform(0, 6.2832);
    if (name == "sparse" || name == "huge" || name == "tiny" || name == "map") {
      const double unit = name == "huge" ? 1e30 : name == "tiny" ? 1e-30 : 1;
      const double base = name == "map" ? 7456000 : 0;
      add(base + x * unit, base + y * unit, base + (x + 8 * std::cos(a)) * unit,
          base + (y + 8 * std::sin(a)) * unit);
    } else if (name == "polyline") {  // consecutive pieces of one bent line
      const double t = k * 0.5, u = (k + 1) * 0.5;
      add(t, std::floor(t / 20) * 3, u, std::floor(u / 20) * 3);
    } else if (name == "lattice pieces") {  // unit pieces on integer lines, crossing and touching
      const int c = int(x / 5), r = int(y / 5);
      k % 2 ? add(c, r, c + 1, r) : add(c, r, c, r + 1);
    } else if (name == "stack") {  // long, nearly collinear, overlapping
      add(x, y * 1e-3, x + 300, y * 1e-3 + uniform(-0.5, 0.5));
    } else if (name == "points") {  // points, many of them repeated, on segments
      const int c = int(x / 20), r = int(y / 20);
      k % 3 ? add(c, r, c, r) : add(c, r, c + 3, r + 3);
    } else if (name == "dense core") {  // half in a unit square, half over a million
      const double scale = k % 2 ? 1.0 / 200 : 5000, length = k % 2 ? 0.06 : 50;
      add(x * scale, y * scale, x * scale + length * std::cos(a), y * scale + length * std::sin(a));
    } else if (name == "long over short") {  // lines across the square over unit pieces
      k % 40 ? add(x, y, x + std::cos(a), y + std::sin(a)) : add(0, y, 200, uniform(0, 200));
    } else if (name == "fan") {  // long lines converging near one point, over a lattice
      k % 12 ? add(k % 40 * 5, k / 40 * 5, k % 40 * 5 + 0.4, k / 40 * 5 + 0.3)
             : add(0, 10 + 180.0 * k / 1200, 200, 0.001 * k);
    } else if (name == "towns") {  // streets of towns from 2 to 2000 across
      const double radius = std::pow(10.0, k % 4), cx = (k % 4) * 3000.0;
      const double length = 2 * radius / std::sqrt(300.0);
      add(cx + x / 200 * radius, y / 200 * radius, cx + x / 200 * radius + length * std::cos(a),
          y / 200 * radius + length * std::sin(a));
    }
  }
  return text;
}

TEST(MeetingOnly, WritesTheMeetingLinesOfTheFullReport) {
  for (const std::string name : {"sparse", "polyline", "lattice pieces", "stack", "points", "huge",
                                 "tiny", "map", "dense core", "long over short", "fan", "towns"}) {
    const std::string input = family(name);
    const RunResult full = runOnInput(input, {.args = {"--no-window"}});
    const RunResult meeting = runOnInput(input, {.args = {"--no-window", "-m"}});
    std::string expected;
    std::istringstream lines(full.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("nemaju presecnih tacaka") == std::string::npos) expected += line + "\n";
    }
    EXPECT_EQ(full.status, 0) << name;
    EXPECT_EQ(meeting.status, 0) << name;
    EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 100) << name;
    EXPECT_TRUE(meeting.out == expected)
        << name << ": " << meeting.out.size() << " and " << expected.size() << " bytes";
  }
  for (const std::string& input : {std::string(""), std::string("0 0 4 x"),
                                   std::string("0 0 4 4 1 2"), std::string("7 7 7 7")}) {
    const RunResult full = runOnInput(input, {.args = {"--no-window"}});
    const RunResult meeting = runOnInput(input, {.args = {"--no-window", "-m"}});
    EXPECT_EQ(meeting.out, full.out) << input;
    EXPECT_EQ(meeting.err, full.err) << input;
    EXPECT_EQ(meeting.status, full.status) << input;
  }
}

TEST(Failures, DirectoryNamedTestTxtIsAnOpenFailure) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir.path + "/test.txt").c_str(), 0755), 0);
  const RunResult r = runProgram(dir.path, {.stdinText = "\n\n"});
  EXPECT_EQ(r.out, "Greska! Ne mogu da otvorim ulazni fajl.\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, MalformedInputLeavesNoPartialReport) {
  // Many good segments before the bad token: reading ends before any pair.
  std::string input;
  for (int k = 0; k < 500; ++k) input += "0 0 4 4\n";
  input += "0 0 4 oops\n";
  const RunResult r = runOnInput(input, headless);
  EXPECT_EQ(r.out, malformed(500, "oops"));
  EXPECT_EQ(r.status, 2);
}

}  // namespace
