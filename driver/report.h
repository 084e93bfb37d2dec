// The console report: one line per pair, formatted into one large buffer and
// written with as few system calls as possible.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>

struct ReportBuffer {
  static constexpr std::size_t capacity = 1 << 20;

  explicit ReportBuffer(int target) : fd(target) {}

  int fd;  // where the report goes
  std::size_t used = 0;
  int error = 0;  // errno of the first failed write; nothing is written after it
  char data[capacity];
};

// Writes out everything buffered. Returns false if any write has failed.
bool flushReport(ReportBuffer& out);

inline void appendText(ReportBuffer& out, const char* text, std::size_t length) {
  std::memcpy(out.data + out.used, text, length);
  out.used += length;
}

// "Duzi j i i <verdict>\n" for the pair (j, i) and the test's result.
inline void writeReportLine(ReportBuffer& out, int j, int i, int kind) {
  // Indexed by IntersectionKind.
  static constexpr std::string_view verdicts[] = {
      " nemaju presecnih tacaka\n",
      " imaju presecnu tacku\n",
      " se poklapaju\n",
  };
  constexpr std::size_t longestLine = 5 + 11 + 3 + 11 + verdicts[0].size();
  if (out.capacity - out.used < longestLine) flushReport(out);

  appendText(out, "Duzi ", 5);
  out.used = std::to_chars(out.data + out.used, out.data + out.capacity, j).ptr - out.data;
  appendText(out, " i ", 3);
  out.used = std::to_chars(out.data + out.used, out.data + out.capacity, i).ptr - out.data;
  appendText(out, verdicts[kind].data(), verdicts[kind].size());
}
