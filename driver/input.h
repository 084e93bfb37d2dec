// Reading "test.txt": whitespace-separated numbers, four per segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "geometry/figures.h"
#include "progress.h"

// The input segments, in file order. The capacity starts at one record and
// grows by 1000 whenever the count reaches it.
struct SegmentArray {
  Segment* items = nullptr;
  int count = 0;
  int capacity = 0;
  std::size_t mapped = 0;  // bytes of the array's own mapping, 0 on the C heap
};

enum class ReadOutcome {
  Segments,     // at least one segment was read
  NoData,       // the file holds nothing but whitespace
  CannotRead,   // the file could not be read (a directory, an I/O error)
  Malformed,    // a token that is not a finite float
  OutOfMemory,  // the segments read so far already fill the memory allowed
  Stopped,      // a stop signal came
};

struct Input {
  ReadOutcome outcome = ReadOutcome::NoData;
  SegmentArray segments;
  int badSegment = -1;         // the segment whose record holds badToken or longToken
  std::string badToken;        // Malformed: the token as written, cut to 40 bytes
  std::size_t longToken = 0;   // OutOfMemory: bytes of the token that alone filled it
  int incompleteSegment = -1;  // a last record of one to three numbers
  int incompleteNumbers = 0;   // how many numbers that record had
  int segmentsRead = 0;        // whole segments read, also when reading failed
};

// Parses the bytes of the file. A UTF-8 byte-order mark at the start is
// skipped; numbers use the C library's float syntax (signs, exponents,
// hexadecimal). The coordinates a short last record lacks are 0.
Input parseSegments(const char* text, std::size_t size);

// Reads and parses the file as it goes. The array of segments and the
// longest token together stay within `budget` bytes: a file that is larger
// (or endless, like /dev/zero) ends with OutOfMemory once it reaches it.
// Shows the bytes read so far on `progress`, if given. A stop signal ends
// the reading (Stopped), also while a pipe brings nothing.
Input readSegments(std::FILE* file, std::uint64_t budget = UINT64_MAX,
                   Progress* progress = nullptr);

// The same for a large regular file of `size` bytes, read and converted by
// two threads, half each, straight into an array of the size it needs.
// False, with nothing read, where the file does not suit that (small, a
// token longer than a number needs, changed while read, more than the
// budget): readSegments then reads it as a stream.
bool readInHalves(int fd, std::uint64_t size, std::uint64_t budget, Progress* progress,
                  Input& input);

void releaseSegments(SegmentArray& segments);

// The number in [begin, stop), as the C library's strtof reads it: false if
// the token is not all one finite float. The byte at `stop` must be
// writable; it is restored.
bool readFloat(char* begin, char* stop, float& value);

// A token as it may be shown on a terminal: every byte that is not printable
// ASCII is written as \xHH, so that a stray byte can neither drive the
// terminal nor hide in the line (a zero-width space inside "12" would show
// as a good number). A malformed number needs no other script.
std::string printableToken(const std::string& token);
