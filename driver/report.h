// The console report: one line per pair, formatted into large buffers that a
// second thread writes out while the next one fills.
#pragma once

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#include "geometry/figure_list.h"
#include "geometry/figures.h"

struct ReportBuffer {
  // Each buffer is one 2 MiB chunk, reused: few hand-overs to the writer
  // (each wakes the other core).
  static constexpr std::size_t bufferBytes = chunkBytes;
  static constexpr std::size_t slack = 128;  // room for fixed-size copies past the end
  static constexpr std::size_t capacity = bufferBytes - slack;
  static constexpr std::size_t prefetchAhead = 4096;
  static constexpr std::size_t coordinates = 32;  // "x,y\n" of a CSV crossing, at most 31

  // `data` is null if memory ran out.
  explicit ReportBuffer(int target);
  ReportBuffer(const ReportBuffer&) = delete;
  ReportBuffer& operator=(const ReportBuffer&) = delete;
  ~ReportBuffer();  // waits until the writer has finished

  int fd;            // where the report goes
  bool csv = false;  // rows "j,i,result,x,y" instead of the lines in words; set before any
  char* data;        // the buffer being filled, whole lines only
  std::size_t used = 0;
  // errno of the first failed write; nothing is written after it.
  std::atomic<int> error = 0;

  // The text of a line is made from pieces kept between lines: "Duzi j" for
  // every j seen so far, made once each, and " i <i> <verdict>\n" for the
  // current row i; in CSV, "j" and ",<i>,<result>,,\n" (",<i>,cross," before
  // the crossing's coordinates).
  static constexpr int namedLimit = 1 << 16;  // j beyond this is formatted in place
  int named = 0;                              // names[0 .. named-1] are filled
  int row = -1;
  std::size_t suffixLength[4] = {};
  char suffix[4][48] = {};  // the longest is " i 2147483647 nemaju presecnih tacaka\n"

  // "Duzi j" in the first bytes of names[j], its length in the last byte.
  char names[namedLimit][16];

  // The writer thread and the buffer it writes. Started with the first
  // buffer handed over; the main thread never waits for it except to reuse
  // that buffer and at the end.
  char* spare;
  std::size_t spareUsed = 0;  // bytes of `spare` still to write, 0 when it is free
  bool closing = false;
  std::mutex lock;
  std::condition_variable changed;
  std::thread writer;
};

// The CSV header line.
inline constexpr const char* csvHeader = "first,second,result,x,y\n";
// A map's, with where each segment comes from, and whether the meeting
// point is a vertex of both lines.
inline constexpr const char* mapCsvHeader =
    "first,second,result,x,y,first_layer,first_fid,first_part,first_vertex,second_layer,"
    "second_fid,second_part,second_vertex,shared_vertex\n";
void writeCsvHeader(ReportBuffer& out, std::string_view header = csvHeader);

// Hands the buffered lines to the writer and goes on with an empty buffer.
void passOnReport(ReportBuffer& out);

// Writes out everything buffered and waits until it is written. Returns false
// if any write has failed. A write that fails part-way into a regular file
// (a full disk) leaves the file cut back to its last whole line.
bool flushReport(ReportBuffer& out);

// Waits for the write under way, if any, leaving the lines still buffered
// unwritten.
void finishWriting(ReportBuffer& out);

inline bool reportFailed(const ReportBuffer& out) {
  return out.error.load(std::memory_order_relaxed) != 0;
}

namespace report_detail {

// Indexed by IntersectionKind.
inline constexpr std::string_view verdicts[] = {
    " nemaju presecnih tacaka\n",
    " imaju presecnu tacku\n",
    " se poklapaju\n",
    " se dodiruju\n",
};
inline constexpr std::string_view results[] = {",none,,\n", ",cross,", ",overlap,,\n", ",touch,"};

// Whether a CSV row of this kind gives a point.
inline bool hasPoint(int kind) {
  return kind == PointIntersection || kind == Touch;
}

inline std::string_view prefixOf(const ReportBuffer& out) {
  return out.csv ? std::string_view("") : std::string_view("Duzi ");
}

inline void startRow(ReportBuffer& out, int i) {
  char number[16];
  const std::size_t length =
      std::size_t(std::to_chars(number, number + sizeof number, i).ptr - number);
  const std::string_view between = out.csv ? "," : " i ";
  for (int kind = 0; kind < 4; ++kind) {
    const std::string_view end = out.csv ? results[kind] : verdicts[kind];
    char* at = out.suffix[kind];
    std::memcpy(at, between.data(), between.size());
    std::memcpy(at + between.size(), number, length);
    std::memcpy(at + between.size() + length, end.data(), end.size());
    out.suffixLength[kind] = between.size() + length + end.size();
  }
  out.row = i;
}

inline void nameUpTo(ReportBuffer& out, int count) {
  if (count > out.namedLimit) count = out.namedLimit;
  const std::string_view prefix = prefixOf(out);
  for (; out.named < count; ++out.named) {
    char* name = out.names[out.named];
    std::memcpy(name, prefix.data(), prefix.size());
    name[15] = char(std::to_chars(name + prefix.size(), name + 15, out.named).ptr - name);
  }
}

// "x,y\n", each the shortest decimal that reads back as the same float.
inline char* writeCoordinates(char* at, Point p) {
  at = std::to_chars(at, at + 16, p.x).ptr;
  *at++ = ',';
  at = std::to_chars(at, at + 16, p.y).ptr;
  *at++ = '\n';
  return at;
}

}  // namespace report_detail

// The line of the pair (j, i) up to its point: "Duzi j i i <verdict>\n",
// or the CSV row "j,i,<result>," where the result gives a point, else the
// whole row. Returns where the line ends so far. The buffer must have room.
inline char* startLine(ReportBuffer& out, int j, int i, int kind) {
  using namespace report_detail;
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
    const std::string_view prefix = prefixOf(out);
    std::memcpy(at, prefix.data(), prefix.size());
    at = std::to_chars(at + prefix.size(), at + 16, j).ptr;
  }
  std::memcpy(at, out.suffix[kind], sizeof out.suffix[kind]);
  return at + out.suffixLength[kind];
}

// "Duzi j i i <verdict>\n" for the pair (j, i) and the test's result, or its
// CSV row, which gives the crossing's coordinates.
inline void writeReportLine(ReportBuffer& out, int j, int i, int kind, Point crossing = {}) {
  constexpr std::size_t longest =
      sizeof out.names[0] + sizeof out.suffix[0] + ReportBuffer::coordinates;
  if (out.capacity - out.used < longest) passOnReport(out);
  char* at = startLine(out, j, i, kind);
  if (out.csv && report_detail::hasPoint(kind)) at = report_detail::writeCoordinates(at, crossing);
  out.used = std::size_t(at - out.data);
}

// The line of a judged pair: its CSV row gives the point as `point`
// ("x,y"), and `extra` (a map's columns) before the line end.
inline void writeJudgedLine(ReportBuffer& out, int j, int i, int kind, std::string_view point,
                            std::string_view extra) {
  constexpr std::size_t longest = sizeof out.names[0] + sizeof out.suffix[0] + 2;
  if (out.capacity - out.used < longest + point.size() + extra.size()) passOnReport(out);
  char* at = startLine(out, j, i, kind);
  if (out.csv && report_detail::hasPoint(kind)) {
    std::memcpy(at, point.data(), point.size());
    at += point.size();
    *at++ = '\n';
  }
  --at;  // over the line end
  std::memcpy(at, extra.data(), extra.size());
  at += extra.size();
  *at++ = '\n';
  out.used = std::size_t(at - out.data);
}

// The lines of the pairs (j, i) for every j in [from, to), none of which
// meet: the bulk of any large report, written in one tight loop.
inline void writeApartLines(ReportBuffer& out, int from, int to, int i) {
  using namespace report_detail;
  constexpr std::size_t longest = sizeof out.names[0] + sizeof out.suffix[0];
  if (i != out.row) {
    startRow(out, i);
    nameUpTo(out, i);
  }
  // A copy the compiler can keep in registers: no line overwrites it.
  char suffix[sizeof out.suffix[0]];
  std::memcpy(suffix, out.suffix[NoIntersection], sizeof suffix);
  const std::size_t suffixLength = out.suffixLength[NoIntersection];
  for (int j = from; j < to;) {
    if (out.capacity - out.used < longest) passOnReport(out);
    const int stop = std::min({to, out.named, j + int((out.capacity - out.used) / longest)});
    char* at = out.data + out.used;
    for (; j < stop; ++j) {
      // The writer thread has read these bytes of the buffer last time
      // round; claiming them for writing well ahead keeps the copies below
      // from waiting on the other core.
      __builtin_prefetch(reinterpret_cast<const void*>(std::uintptr_t(at) + out.prefetchAhead), 1);
      std::memcpy(at, out.names[j], sizeof out.names[j]);
      at += out.names[j][15];
      std::memcpy(at, suffix, sizeof suffix);
      at += suffixLength;
    }
    out.used = std::size_t(at - out.data);
    if (j < to && j >= out.named) writeReportLine(out, j++, i, NoIntersection);
  }
}
