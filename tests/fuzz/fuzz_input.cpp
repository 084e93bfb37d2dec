// Arbitrary bytes as the content of test.txt, through the reader and the
// pair loop (at most a few dozen segments, so each input runs fast).
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "driver/input.h"
#include "driver/pairs.h"
#include "geometry/scene.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int devNull = open("/dev/null", O_WRONLY);
  static auto out = std::make_unique<ReportBuffer>(devNull);

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
  const std::size_t n = std::size_t(input.segments.count);
  check(reportPairs(input.segments, *out) == LoopOutcome::Done);
  check(flushReport(*out));
  // Every pair stores one segment at least, two when the segments meet.
  check(scene.segments.size() >= n * (n - 1) / 2 && scene.segments.size() <= n * (n - 1));
  check(scene.points.size() <= n * (n - 1) / 2);
  scene.points.clear();
  scene.segments.clear();
  releaseSegments(input.segments);
  return 0;
}
