// The console report: one line per pair, formatted into one large buffer and
// written with as few system calls as possible.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "geometry/figure_list.h"

struct ReportBuffer {
  // The buffer is one huge-page chunk: one page fault instead of hundreds.
  static constexpr std::size_t slack = 128;  // room for fixed-size copies past the end
  static constexpr std::size_t capacity = chunkBytes - slack;

  // `data` is null if memory ran out.
  explicit ReportBuffer(int target) : fd(target), data(static_cast<char*>(allocateChunk())) {}
  ReportBuffer(const ReportBuffer&) = delete;
  ReportBuffer& operator=(const ReportBuffer&) = delete;
  ~ReportBuffer() {
    if (data) releaseChunk(data);
  }

  int fd;  // where the report goes
  std::size_t used = 0;
  int error = 0;  // errno of the first failed write; nothing is written after it

  // The text of a line is made from pieces kept between lines: "Duzi j" for
  // every j seen so far, made once each, and " i <i> <verdict>\n" for the
  // current row i.
  static constexpr int namedLimit = 1 << 16;  // j beyond this is formatted in place
  int named = 0;                              // names[0 .. named-1] are filled
  int row = -1;
  std::size_t suffixLength[3] = {};
  char suffix[3][48] = {};  // the longest is " i 2147483647 nemaju presecnih tacaka\n"

  // "Duzi j" in the first bytes of names[j], its length in the last byte.
  char names[namedLimit][16];
  char* data;
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

inline void nameUpTo(ReportBuffer& out, int count) {
  if (count > out.namedLimit) count = out.namedLimit;
  for (; out.named < count; ++out.named) {
    char* name = out.names[out.named];
    std::memcpy(name, "Duzi ", 5);
    name[15] = char(std::to_chars(name + 5, name + 15, out.named).ptr - name);
  }
}

}  // namespace report_detail

// "Duzi j i i <verdict>\n" for the pair (j, i) and the test's result.
inline void writeReportLine(ReportBuffer& out, int j, int i, int kind) {
  using namespace report_detail;
  if (out.capacity - out.used < sizeof out.names[0] + sizeof out.suffix[0]) flushReport(out);
  if (i != out.row) {
    startRow(out, i);
    nameUpTo(out, i);  // the names of this row's pairs
  }
  // Whole fixed-size blocks are cheaper to copy than exact lengths; the
  // bytes past each piece are overwritten by the next one or lie in slack.
  char* at = out.data + out.used;
  if (j >= 0 && j < out.named) {
    std::memcpy(at, out.names[j], sizeof out.names[j]);
    at += out.names[j][15];
  } else {
    std::memcpy(at, "Duzi ", 5);
    at = std::to_chars(at + 5, at + 16, j).ptr;
  }
  std::memcpy(at, out.suffix[kind], sizeof out.suffix[kind]);
  out.used = std::size_t(at - out.data) + out.suffixLength[kind];
}
