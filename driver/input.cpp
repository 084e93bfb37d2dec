#include "input.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "geometry/pages.h"
#include "input_halves.h"
#include "numbers.h"
#include "signals.h"

namespace {

constexpr std::size_t shownTokenLength = 40;
constexpr std::size_t readSize = std::size_t(1) << 16;
// A token this long that does not read as the start of a number is rejected
// without reading the rest of it (a file of NUL bytes has no blank at all).
constexpr std::size_t judgedLength = 64;

// The bytes of the input, a buffer at a time. Tokens are converted in place:
// the byte after each token is a blank or the spare byte past the buffer, and
// is replaced by a terminator for strtof for a moment.
struct Stream {
  int fd = -1;             // -1 when all the bytes are in the buffer
  char* buffer = nullptr;  // `capacity` bytes and one spare
  std::size_t capacity = 0;
  char* at = nullptr;  // unread bytes are [at, end)
  char* end = nullptr;
  bool ended = false;  // nothing more to read
  bool failed = false;
  int error = 0;  // errno of the read that failed
  bool tooLarge = false;
  bool stopped = false;               // by a stop signal
  std::uint64_t budget = UINT64_MAX;  // for the buffer and the array together
  Progress* progress = nullptr;
  std::uint64_t bytesRead = 0;

  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  ~Stream() { std::free(buffer); }
};

bool allocate(Stream& s, std::size_t capacity) {
  char* grown = static_cast<char*>(std::realloc(s.buffer, capacity + 1));
  if (!grown) return false;
  s.at = grown + (s.at - s.buffer);
  s.end = grown + (s.end - s.buffer);
  s.buffer = grown;
  s.capacity = capacity;
  return true;
}

// Reads up to `size` bytes, less only at the end of the file. A pipe or a
// terminal is waited on a tenth of a second at a time, so that a stop
// signal ends the reading even while nothing comes.
std::size_t readAll(Stream& s, char* at, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    if (stopSignal()) {
      s.ended = s.stopped = true;
      break;
    }
    pollfd readable{s.fd, POLLIN, 0};
    if (poll(&readable, 1, 100) <= 0) continue;  // nothing yet, or a signal: looked at above
    const ssize_t n = read(s.fd, at + done, size - done);
    if (n > 0) {
      done += std::size_t(n);
    } else if (n == 0) {
      s.ended = true;
      break;
    } else if (errno != EINTR && errno != EAGAIN) {
      s.ended = s.failed = true;
      s.error = errno;
      break;
    }
  }
  return done;
}

// Keeps the unread bytes, moved to the start of the buffer, and reads more
// after them, growing the buffer when what is kept fills it. Returns false
// when no byte was added.
bool refill(Stream& s, std::uint64_t arrayBytes) {
  if (s.ended) return false;
  const std::size_t kept = std::size_t(s.end - s.at);
  std::memmove(s.buffer, s.at, kept);
  s.at = s.buffer;
  s.end = s.buffer + kept;
  if (kept == s.capacity) {
    const std::size_t capacity = s.capacity * 2;
    if (capacity + arrayBytes > s.budget || !allocate(s, capacity)) {
      s.tooLarge = true;
      return false;
    }
  }
  const std::size_t read = readAll(s, s.end, s.capacity - kept);
  s.end += read;
  s.bytesRead += read;
  if (s.progress) showProgress(*s.progress, s.bytesRead);
  return read > 0;
}

// Whether the first `length` bytes of a token can begin a number: the
// longest number at their start may leave out only an unfinished exponent
// ("1e+", "0x1p-"), never more.
bool mayBeNumber(char* begin, std::size_t length) {
  const char saved = begin[length];
  begin[length] = '\0';
  char* converted = nullptr;
  std::strtof(begin, &converted);
  begin[length] = saved;
  return std::size_t(converted - begin) + 2 >= length;
}

enum class Token { Found, End, Rejected };

// The next whitespace-separated token, read whole unless it is rejected by
// its start. At Token::End the stream may have failed or grown too large.
Token nextToken(Stream& s, std::uint64_t arrayBytes, char*& begin, char*& stop) {
  for (;;) {
    while (s.at != s.end && isBlank(*s.at)) ++s.at;
    if (s.at != s.end) break;
    if (!refill(s, arrayBytes)) return Token::End;
  }
  bool judged = false;
  for (std::size_t length = 0;;) {
    char* p = s.at + length;
    while (p != s.end && !isBlank(*p)) ++p;
    length = std::size_t(p - s.at);
    begin = s.at;
    stop = p;
    if (p != s.end || s.ended) break;
    // The token goes on past what has been read.
    if (!judged && length >= judgedLength) {
      judged = true;
      if (!mayBeNumber(s.at, judgedLength)) return Token::Rejected;
    }
    if (!refill(s, arrayBytes) && (s.tooLarge || s.failed || s.stopped)) return Token::End;
  }
  s.at = stop;
  return Token::Found;
}

}  // namespace

namespace {

// A small array lives on the C heap. From 2 MiB on it has a mapping of its
// own, grown where it lies or moved by the kernel without copying: reading
// ten million segments never copies them, nor holds the old and the new
// array at once.
bool growSegments(SegmentArray& array, int by, std::uint64_t budget) {
  const std::size_t bytes = sizeof(Segment) * (std::size_t(array.capacity) + std::size_t(by));
  if (bytes > budget || array.capacity > INT32_MAX - by) return false;
  if (array.mapped == 0 && bytes <= blockBytes) {
    void* grown = std::realloc(array.items, bytes);
    if (!grown) return false;
    array.items = static_cast<Segment*>(grown);
  } else if (bytes > array.mapped) {
    const std::size_t size = wholeBlocks(bytes);
    void* grown = nullptr;
    if (array.mapped == 0) {
      grown = allocatePages(size);
      if (!grown) return false;
      std::memcpy(grown, array.items, sizeof(Segment) * std::size_t(array.capacity));
      std::free(array.items);
    } else {
      grown = mremap(array.items, array.mapped, size, MREMAP_MAYMOVE);
      if (grown == MAP_FAILED) return false;
    }
    array.items = static_cast<Segment*>(grown);
    array.mapped = size;
  }
  array.capacity += by;
  return true;
}

Input finish(Input& input, ReadOutcome outcome) {
  input.segmentsRead = input.segments.count;
  if (outcome != ReadOutcome::Segments) input.segments.release();
  input.outcome = outcome;
  return std::move(input);
}

// Shown in messages: the first 40 bytes of the token as written.
std::string shownToken(const char* begin, const char* stop) {
  return std::string(begin, std::min<std::size_t>(std::size_t(stop - begin), shownTokenLength));
}

Input parse(Stream& s) {
  Input input;
  SegmentArray& array = input.segments;
  auto arrayBytes = [&] { return std::uint64_t(array.capacity) * sizeof(Segment); };
  // A UTF-8 byte-order mark at the very start is not part of any token.
  while (std::size_t(s.end - s.at) < 3 && refill(s, 0)) {
  }
  s.at += byteOrderMark(s.at, std::size_t(s.end - s.at));

  if (!growSegments(array, 1, s.budget)) return finish(input, ReadOutcome::OutOfMemory);
  // Reads one record into the slot with index count; returns how many numbers
  // it converted (0 at end of input, -1 on a bad token).
  auto readRecord = [&]() -> int {
    float values[4] = {0, 0, 0, 0};
    int read = 0;
    char *begin, *stop;
    while (read < 4) {
      const Token token = nextToken(s, arrayBytes(), begin, stop);
      if (token == Token::End) break;
      if (token == Token::Rejected || !readFloat(begin, stop, values[read])) {
        input.badSegment = array.count;
        input.badToken = shownToken(begin, stop);
        return -1;
      }
      ++read;
    }
    Segment& slot = array.items[array.count];
    slot = Segment(Point(values[0], values[1]), Point(values[2], values[3]));
    if (read > 0 && read < 4) {
      input.incompleteSegment = array.count;
      input.incompleteNumbers = read;
    }
    return read;
  };

  int read = readRecord();
  while (read > 0) {
    ++array.count;
    if (array.count == array.capacity &&
        !growSegments(array, 1000, s.budget - std::min<std::uint64_t>(s.budget, s.capacity))) {
      return finish(input, ReadOutcome::OutOfMemory);
    }
    read = readRecord();
  }
  if (s.stopped) return finish(input, ReadOutcome::Stopped);
  if (s.failed) {
    input.error = s.error;
    return finish(input, ReadOutcome::CannotRead);
  }
  if (s.tooLarge) {
    // One token filled the memory allowed.
    input.badSegment = array.count;
    input.longToken = s.capacity;
    return finish(input, ReadOutcome::OutOfMemory);
  }
  if (read < 0) return finish(input, ReadOutcome::Malformed);
  if (array.count == 0) return finish(input, ReadOutcome::NoData);
  return finish(input, ReadOutcome::Segments);
}

}  // namespace

Input parseSegments(const char* text, std::size_t size) {
  Stream s;
  if (!allocate(s, size)) {
    Input input;
    return finish(input, ReadOutcome::OutOfMemory);
  }
  if (size) std::memcpy(s.buffer, text, size);
  s.at = s.buffer;
  s.end = s.buffer + size;
  s.ended = true;
  return parse(s);
}

Input readSegments(std::FILE* file, std::uint64_t budget, Progress* progress) {
  // A large file is read by both cores, half each.
  struct stat info {};
  Input halves;
  if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
      readInHalves(fileno(file), std::uint64_t(info.st_size), budget, progress, halves)) {
    return halves;
  }
  Stream s;
  s.fd = fileno(file);
  s.budget = budget;
  s.progress = progress;
  if (!allocate(s, readSize)) {
    Input input;
    return finish(input, ReadOutcome::OutOfMemory);
  }
  s.at = s.end = s.buffer;
  return parse(s);
}
