// Reading a large regular file with both cores: a first pass counts the
// tokens of each half, so that the array is made at its final size at once,
// and a second converts each half straight into its place in it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "input_halves.h"

#include "geometry/pages.h"
#include "geometry/two_threads.h"
#include "numbers.h"
#include "signals.h"

namespace {

constexpr std::uint64_t smallestFile = std::uint64_t(1) << 20;  // smaller ones gain nothing
constexpr std::size_t blockBytes = std::size_t(1) << 20;
// Longer tokens are left to the stream reader, which judges them.
constexpr std::size_t longestToken = 64;
constexpr std::size_t shownTokenLength = 40;

// A half of the file: the tokens that start in [from, to) are its own.
struct Part {
  int fd;
  std::uint64_t from, to;
  std::uint64_t tokens = 0;  // counted by the first pass
  std::uint64_t first = 0;   // the number of its first token in the file
  std::int64_t bad = -1;     // the number of its first token that is no number
  std::string badToken{};
  bool failed = false;  // a read failed, a token was too long, the file changed
  bool stopped = false;
};

// Where the first token of the part may start: past a byte-order mark at the
// start of the file, or past the end of a token that runs into the part.
bool startOf(Part& p, std::uint64_t& at) {
  at = p.from;
  char before[3];
  if (p.from == 0) {
    if (pread(p.fd, before, 3, 0) == 3) at = byteOrderMark(before, 3);
    return true;
  }
  if (pread(p.fd, before, 1, off_t(p.from - 1)) != 1) return false;
  if (isBlank(before[0])) return true;
  // The token that runs across `from` belongs to the part before.
  char block[4096];
  for (;;) {
    const ssize_t n = pread(p.fd, block, sizeof block, off_t(at));
    if (n <= 0) return n == 0;
    const char* blank = std::find_if(block, block + n, [](char c) { return isBlank(c); });
    at += std::uint64_t(blank - block);
    if (blank != block + n) return true;
  }
}

// The first pass: how many tokens start in the part.
void countTokens(Part& p) {
  std::uint64_t at;
  if (!startOf(p, at)) {
    p.failed = true;
    return;
  }
  std::vector<unsigned char> block(blockBytes + 1);
  block[0] = ' ';  // the byte before `at` is a blank, or part of no token of this part
  while (at < p.to) {
    if (stopSignal()) {
      p.stopped = true;
      return;
    }
    const ssize_t n =
        pread(p.fd, &block[1], std::min<std::uint64_t>(blockBytes, p.to - at), off_t(at));
    if (n <= 0) {
      p.failed = n < 0;
      break;
    }
    std::uint64_t starts = 0;
    for (ssize_t k = 1; k <= n; ++k) starts += isBlank(block[k - 1]) & !isBlank(block[k]);
    p.tokens += starts;
    block[0] = block[std::size_t(n)];
    at += std::uint64_t(n);
  }
}

void store(Segment* segments, std::uint64_t token, float value) {
  Segment& s = segments[token / 4];
  switch (token % 4) {
    case 0:
      s.A.x = value;
      break;
    case 1:
      s.A.y = value;
      s.A.colour = Black;
      break;
    case 2:
      s.B.x = value;
      break;
    default:
      s.B.y = value;
      s.B.colour = Black;
      s.colour = Black;
  }
}

// The second pass: every token of the part, converted into its place.
void convertTokens(Part& p, Segment* segments, std::atomic<std::uint64_t>& bytesDone,
                   Progress* progress) {
  std::uint64_t at;
  if (!startOf(p, at)) {
    p.failed = true;
    return;
  }
  std::vector<char> buffer(longestToken + blockBytes + 1);
  std::size_t carried = 0;  // the start of a token cut off by the last block
  std::uint64_t token = p.first;
  const std::uint64_t end = p.first + p.tokens;
  for (;;) {
    if (stopSignal()) {
      p.stopped = true;
      return;
    }
    const ssize_t n = pread(p.fd, &buffer[carried], blockBytes, off_t(at));
    if (n < 0) {
      p.failed = true;
      return;
    }
    const std::uint64_t done = bytesDone += std::uint64_t(n);
    if (progress) showProgress(*progress, done);
    char* data = buffer.data();
    const std::size_t size = carried + std::size_t(n);
    const std::uint64_t dataStart = at - carried;  // where data[0] lies in the file
    at += std::uint64_t(n);
    std::size_t i = 0;
    carried = 0;
    for (;;) {
      while (i < size && isBlank(static_cast<unsigned char>(data[i]))) ++i;
      if (i == size || dataStart + i >= p.to) break;
      std::size_t j = i;
      while (j < size && !isBlank(static_cast<unsigned char>(data[j]))) ++j;
      if (j - i > longestToken || token >= end) {
        p.failed = true;
        return;
      }
      if (j == size && n > 0) {  // it may go on in the next block
        std::memmove(data, data + i, j - i);
        carried = j - i;
        break;
      }
      float value;
      if (!readFloat(data + i, data + j, value)) {
        p.bad = std::int64_t(token);
        p.badToken.assign(data + i, std::min(j - i, shownTokenLength));
        return;
      }
      store(segments, token++, value);
      i = j;
    }
    if (n == 0 || (carried == 0 && dataStart + i >= p.to)) break;
  }
  if (token != end) p.failed = true;  // the file changed between the passes
}

bool readHalves(int fd, std::uint64_t size, std::uint64_t budget, Progress* progress,
                Input& input) {
  Part parts[2] = {{.fd = fd, .from = 0, .to = size / 2}, {.fd = fd, .from = size / 2, .to = size}};
  onTwoThreads([&](int half) { countTokens(parts[half]); });
  input = Input{};
  if (parts[0].stopped || parts[1].stopped) {
    input.outcome = ReadOutcome::Stopped;
    return true;
  }
  if (parts[0].failed || parts[1].failed) return false;
  const std::uint64_t tokens = parts[0].tokens + parts[1].tokens;
  parts[1].first = parts[0].tokens;
  if (tokens == 0) return false;  // all blanks: the stream reader says so
  // The capacity the array would have had, grown by 1000 records whenever
  // the count reached it.
  const std::uint64_t count = (tokens + 3) / 4;
  const std::uint64_t capacity = 1001 + 1000 * ((count - 1) / 1000);
  const std::uint64_t bytes = capacity * sizeof(Segment);
  if (capacity > std::uint64_t(INT32_MAX) || bytes > budget) return false;
  SegmentArray& array = input.segments;
  array.mapped = wholeBlocks(bytes);
  array.items = static_cast<Segment*>(allocatePages(bytes));
  if (!array.items) {
    array = SegmentArray{};
    return false;
  }
  array.count = int(count);
  array.capacity = int(capacity);

  std::atomic<std::uint64_t> bytesDone{0};
  onTwoThreads([&](int half) {
    convertTokens(parts[half], array.items, bytesDone, half == 0 ? progress : nullptr);
  });
  if (parts[0].stopped || parts[1].stopped) {
    array.release();
    input.outcome = ReadOutcome::Stopped;
    return true;
  }
  // What comes first in the file is what is reported: a token that is no
  // number, or one that the stream reader has to judge.
  for (const Part& p : parts) {
    if (p.failed) {
      array.release();
      input = Input{};
      return false;
    }
    if (p.bad < 0) continue;
    array.release();
    input.outcome = ReadOutcome::Malformed;
    input.badSegment = int(p.bad / 4);
    input.badToken = p.badToken;
    input.segmentsRead = int(p.bad / 4);
    return true;
  }
  Segment& last = array.items[count - 1];
  last.A.colour = last.B.colour = last.colour = Black;
  if (tokens % 4 != 0) {
    input.incompleteSegment = int(count - 1);
    input.incompleteNumbers = int(tokens % 4);
  }
  input.outcome = ReadOutcome::Segments;
  input.segmentsRead = int(count);
  return true;
}

}  // namespace

bool readInHalves(int fd, std::uint64_t size, std::uint64_t budget, Progress* progress,
                  Input& input) {
  if (size < smallestFile) return false;
  try {
    return readHalves(fd, size, budget, progress, input);
  } catch (const std::bad_alloc&) {
    input.segments.release();
    input = Input{};
    return false;  // the stream reader needs less, and says what did not fit
  }
}
