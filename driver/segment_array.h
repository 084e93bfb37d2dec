// The input segments as any reading gives them: the array that owns them,
// and how the reading went.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "geometry/figures.h"

// The input segments, in file order. The capacity starts at one record and
// grows by 1000 whenever the count reaches it. The array frees itself: on
// the C heap while small, in a mapping of its own once large.
struct SegmentArray {
  Segment* items = nullptr;
  int count = 0;
  int capacity = 0;
  std::size_t mapped = 0;  // bytes of the array's own mapping, 0 on the C heap

  SegmentArray() = default;
  SegmentArray(SegmentArray&& other) noexcept { *this = static_cast<SegmentArray&&>(other); }
  SegmentArray& operator=(SegmentArray&& other) noexcept;
  SegmentArray(const SegmentArray&) = delete;
  SegmentArray& operator=(const SegmentArray&) = delete;
  ~SegmentArray() { release(); }

  std::span<const Segment> view() const { return {items, std::size_t(count)}; }
  // Back to empty, the memory handed back.
  void release();
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
  int error = 0;               // CannotRead: errno of the read that failed
};
