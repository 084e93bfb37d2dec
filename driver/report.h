// The console report: one line per pair, formatted into one large buffer and
// written with as few system calls as possible.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>

struct ReportBuffer {
  static constexpr std::size_t capacity = 1 << 20;
  static constexpr std::size_t slack = 128;  // room for fixed-size copies past the end

  explicit ReportBuffer(int target) : fd(target) {}

  int fd;  // where the report goes
  std::size_t used = 0;
  int error = 0;  // errno of the first failed write; nothing is written after it

  // The loop writes pairs (0, i), (1, i), ... in turn, so the text of a line
  // is kept between lines: "Duzi j" counts up in place, and " i <i> <verdict>"
  // is made once per row.
  int row = -1;
  int nextJ = -1;
  std::size_t prefixLength = 0;
  char prefix[32] = {};
  std::size_t suffixLength[3] = {};
  char suffix[3][64] = {};

  char data[capacity + slack];
};

// Writes out everything buffered. Returns false if any write has failed.
bool flushReport(ReportBuffer& out);

namespace report_detail {

// Indexed by IntersectionKind.
inline constexpr std::string_view verdicts[] = {
    " nemaju presecnih tacaka\n",
    " imaju presecnu tacku\n",
    " se poklapaju\n",
};

inline void startRow(ReportBuffer& out, int i) {
  char number[16];
  const std::size_t length =
      std::size_t(std::to_chars(number, number + sizeof number, i).ptr - number);
  for (int kind = 0; kind < 3; ++kind) {
    char* at = out.suffix[kind];
    std::memcpy(at, " i ", 3);
    std::memcpy(at + 3, number, length);
    std::memcpy(at + 3 + length, verdicts[kind].data(), verdicts[kind].size());
    out.suffixLength[kind] = 3 + length + verdicts[kind].size();
  }
  out.row = i;
}

inline void setPrefix(ReportBuffer& out, int j) {
  std::memcpy(out.prefix, "Duzi ", 5);
  out.prefixLength = std::size_t(
      std::to_chars(out.prefix + 5, out.prefix + sizeof out.prefix, j).ptr - out.prefix);
}

// "Duzi 199" becomes "Duzi 200".
inline void incrementPrefix(ReportBuffer& out) {
  char* digit = out.prefix + out.prefixLength - 1;
  while (digit >= out.prefix + 5 && *digit == '9') *digit-- = '0';
  if (digit >= out.prefix + 5) {
    ++*digit;
  } else {  // all nines: one digit more
    out.prefix[5] = '1';
    out.prefix[out.prefixLength++] = '0';
  }
}

}  // namespace report_detail

// "Duzi j i i <verdict>\n" for the pair (j, i) and the test's result.
inline void writeReportLine(ReportBuffer& out, int j, int i, int kind) {
  using namespace report_detail;
  if (out.capacity - out.used < sizeof out.prefix + sizeof out.suffix[0]) flushReport(out);
  if (i != out.row) startRow(out, i);
  if (j == out.nextJ && j > 0) {
    incrementPrefix(out);
  } else {
    setPrefix(out, j);
  }
  out.nextJ = j + 1;
  // Whole fixed-size blocks are cheaper to copy than exact lengths; the
  // bytes past each piece are overwritten by the next one or lie in slack.
  char* at = out.data + out.used;
  std::memcpy(at, out.prefix, sizeof out.prefix);
  at += out.prefixLength;
  std::memcpy(at, out.suffix[kind], sizeof out.suffix[kind]);
  out.used = std::size_t(at - out.data) + out.suffixLength[kind];
}
