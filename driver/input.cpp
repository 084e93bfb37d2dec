#include "input.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t shownTokenLength = 40;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

Input failure(ReadOutcome outcome) {
  Input input;
  input.outcome = outcome;
  return input;
}

bool growSegments(SegmentArray& array, int by) {
  void* grown = std::realloc(array.items, sizeof(Segment) * std::size_t(array.capacity + by));
  if (!grown) return false;
  array.items = static_cast<Segment*>(grown);
  array.capacity += by;
  return true;
}

// Walks whitespace-separated tokens. Tokens are converted in place: the byte
// after each token is a blank or the spare byte past the end, and is
// temporarily replaced by a terminator for strtof.
struct Tokens {
  char* at;
  char* end;

  bool next(char*& begin, char*& stop) {
    while (at != end && isBlank(*at)) ++at;
    if (at == end) return false;
    begin = at;
    while (at != end && !isBlank(*at)) ++at;
    stop = at;
    return true;
  }
};

bool toFloat(char* begin, char* stop, float& value) {
  const char saved = *stop;
  *stop = '\0';
  char* converted = nullptr;
  errno = 0;
  value = std::strtof(begin, &converted);
  *stop = saved;
  // Overflow yields infinity; underflow yields a finite value, which is kept.
  return converted == stop && std::isfinite(value);
}

Input parseMutable(char* text, std::size_t size) {
  Input input;
  Tokens tokens{text, text + size};
  if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) tokens.at += 3;

  SegmentArray& array = input.segments;
  if (!growSegments(array, 1)) {
    input.outcome = ReadOutcome::OutOfMemory;
    return input;
  }
  // Reads one record into the slot with index count; returns how many numbers
  // it converted (0 at end of input, -1 on a bad token).
  auto readRecord = [&]() -> int {
    float values[4] = {0, 0, 0, 0};
    int read = 0;
    char *begin, *stop;
    while (read < 4 && tokens.next(begin, stop)) {
      if (!toFloat(begin, stop, values[read])) {
        input.badSegment = array.count;
        input.badToken.assign(begin, std::min<std::size_t>(stop - begin, shownTokenLength));
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
  if (read == 0) {
    releaseSegments(array);
    input.outcome = ReadOutcome::NoData;
    return input;
  }
  while (read > 0) {
    ++array.count;
    if (array.count == array.capacity && !growSegments(array, 1000)) {
      releaseSegments(array);
      input.outcome = ReadOutcome::OutOfMemory;
      return input;
    }
    read = readRecord();
  }
  if (read < 0) {
    releaseSegments(array);
    input.outcome = ReadOutcome::Malformed;
    return input;
  }
  input.outcome = ReadOutcome::Segments;
  return input;
}

}  // namespace

Input parseSegments(const char* text, std::size_t size) {
  // One spare byte, so the last token can be terminated in place.
  char* copy = static_cast<char*>(std::malloc(size + 1));
  if (!copy) return failure(ReadOutcome::OutOfMemory);
  if (size) std::memcpy(copy, text, size);
  Input input = parseMutable(copy, size);
  std::free(copy);
  return input;
}

Input readSegments(std::FILE* file) {
  std::size_t size = 0, capacity = 1 << 16;
  char* text = static_cast<char*>(std::malloc(capacity + 1));
  if (!text) return failure(ReadOutcome::OutOfMemory);
  for (;;) {
    size += std::fread(text + size, 1, capacity - size, file);
    if (size < capacity) break;
    capacity *= 2;
    char* grown = static_cast<char*>(std::realloc(text, capacity + 1));
    if (!grown) {
      std::free(text);
      return failure(ReadOutcome::OutOfMemory);
    }
    text = grown;
  }
  Input input = std::ferror(file) ? failure(ReadOutcome::CannotRead) : parseMutable(text, size);
  std::free(text);
  return input;
}

void releaseSegments(SegmentArray& segments) {
  std::free(segments.items);
  segments = SegmentArray{};
}
