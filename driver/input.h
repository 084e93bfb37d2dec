// Reading "test.txt": whitespace-separated numbers, four per segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "progress.h"
#include "segment_array.h"

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
