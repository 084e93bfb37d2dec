// Arbitrary bytes as the content of test.txt, through the reader and the
// pair loop (at most a few dozen segments, so each input runs fast): the
// meeting-only report is the full one without its lines of pairs apart, the
// scene the same; the index finds what testing every pair finds, also with
// most of the segments packed into a tiny region of the drawing; and every
// token reads as the C library's strtof reads it.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/input.h"
#include "driver/numbers.h"
#include "driver/pairs.h"
#include "geometry/intersect.h"
#include "geometry/pair_finder.h"
#include "geometry/scene.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The report written into memory, taken back out.
struct Captured {
  int fd = memfd_create("report", 0);
  std::unique_ptr<ReportBuffer> out = std::make_unique<ReportBuffer>(fd);

  std::string take() {
    check(flushReport(*out));
    std::string text(std::size_t(lseek(fd, 0, SEEK_END)), '\0');
    check(pread(fd, text.data(), text.size(), 0) == ssize_t(text.size()));
    check(ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0);
    return text;
  }
};

std::string withoutApartLines(const std::string& report) {
  std::string kept;
  for (std::size_t at = 0, end; at < report.size(); at = end + 1) {
    end = report.find('\n', at);
    const std::string line = report.substr(at, end - at + 1);
    if (line.find("nemaju") == std::string::npos) kept += line;
  }
  return kept;
}

template <class T>
std::vector<std::pair<T, std::uint32_t>> runsOf(const FigureList<T>& list) {
  std::vector<std::pair<T, std::uint32_t>> runs;
  list.forEachRun([&](const T& item, std::uint32_t count) { runs.emplace_back(item, count); });
  return runs;
}

template <class T>
bool sameRuns(const std::vector<std::pair<T, std::uint32_t>>& a,
              const std::vector<std::pair<T, std::uint32_t>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (std::memcmp(&a[k].first, &b[k].first, sizeof(T)) != 0 || a[k].second != b[k].second)
      return false;
  }
  return true;
}

// readFloat against strtof alone, on every token of the bytes.
void checkTokens(const char* data, std::size_t size) {
  std::string token;
  for (std::size_t k = 0; k <= size; ++k) {
    const char c = k < size ? data[k] : ' ';
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') {
      token += c;
      continue;
    }
    if (token.empty() || token.find('\0') != std::string::npos) {
      token.clear();
      continue;
    }
    std::string copy = token + ' ';
    float fast = 0;
    const bool accepted = readFloat(copy.data(), copy.data() + token.size(), fast);
    char* end = nullptr;
    const float slow = std::strtof(token.c_str(), &end);
    check(accepted == (end == token.c_str() + token.size() && std::isfinite(slow)));
    check(!accepted || std::memcmp(&fast, &slow, sizeof fast) == 0);
    check(copy == token + ' ');
    token.clear();
  }
}

// The meeting-only report against the full one, and the index against
// testing every pair.
void checkMeetingOnly(const SegmentArray& segments) {
  static Captured full, meeting;
  const int n = segments.count;

  scene.minCorner = Point(1024, 700);
  scene.maxCorner = Point(0, 0);
  check(reportPairs(segments.view(), *full.out) == LoopOutcome::Done);
  const std::string fullReport = full.take();
  // Every pair stores one segment at least, two when the segments meet.
  const std::size_t pairs = std::size_t(n) * std::size_t(n - 1) / 2;
  check(scene.segments.size() >= pairs && scene.segments.size() <= 2 * pairs);
  check(scene.points.size() <= pairs);
  const auto fullSegments = runsOf(scene.segments);
  const auto fullPoints = runsOf(scene.points);
  const Point fullMin = scene.minCorner, fullMax = scene.maxCorner;
  scene.points.clear();
  scene.segments.clear();
  scene.minCorner = Point(1024, 700);
  scene.maxCorner = Point(0, 0);

  check(reportPairs(segments.view(), *meeting.out, {.meetingOnly = true}) == LoopOutcome::Done);
  check(meeting.take() == withoutApartLines(fullReport));
  check(sameRuns(runsOf(scene.segments), fullSegments) &&
        sameRuns(runsOf(scene.points), fullPoints));
  check(std::memcmp(&scene.minCorner, &fullMin, sizeof fullMin) == 0 &&
        std::memcmp(&scene.maxCorner, &fullMax, sizeof fullMax) == 0);
  scene.points.clear();
  scene.segments.clear();

  // The index, used even where testing every pair would pay.
  PairKeys found, expected;
  check(findMeetingPairs(segments.items, n, found, {.evenIfDense = true}) == PairSearch::Found);
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      Point crossing;
      const int kind = intersectSegments(segments.items[j], segments.items[i], &crossing);
      if (kind != NoIntersection) expected.push_back(pairKey(j, i, kind));
    }
  }
  check(found == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkTokens(reinterpret_cast<const char*>(data), size);

  Input input = parseSegments(reinterpret_cast<const char*>(data), size);
  switch (input.outcome) {
    case ReadOutcome::Malformed:
      check(input.badSegment >= 0 && input.badToken.size() <= 40 && !input.badToken.empty());
      check(input.segments.items == nullptr);
      return 0;
    case ReadOutcome::NoData:
      check(input.segments.items == nullptr);
      return 0;
    case ReadOutcome::Segments:
      break;
    default:
      std::abort();  // nothing else can happen on bytes in memory
  }
  check(input.segments.count >= 1 && input.segments.count < input.segments.capacity);
  for (int k = 0; k < input.segments.count; ++k) {
    const Segment& s = input.segments.items[k];
    check(std::isfinite(s.A.x) && std::isfinite(s.A.y) && std::isfinite(s.B.x) &&
          std::isfinite(s.B.y));
  }
  if (input.segments.count > 40) input.segments.count = 40;
  checkMeetingOnly(input.segments);
  // Three in four segments moved into a region 2^-16 as large, about the
  // origin: a dense core in an otherwise sparse drawing.
  for (int k = 0; k < input.segments.count; ++k) {
    if (k % 4 == 0) continue;
    Segment& s = input.segments.items[k];
    for (float* v : {&s.A.x, &s.A.y, &s.B.x, &s.B.y}) *v = std::ldexp(*v, -16);
  }
  checkMeetingOnly(input.segments);
  return 0;
}
