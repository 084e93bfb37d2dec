// Reading a large regular file of segments with both cores.
#pragma once

#include <cstdint>

#include "progress.h"
#include "segment_array.h"

// Reads a regular file of `size` bytes by two threads, half each, straight
// into an array of the size it needs. False, with nothing read, where the
// file does not suit that (small, a token longer than a number needs,
// changed while read, more than the `budget` bytes): it is then read as a
// stream.
bool readInHalves(int fd, std::uint64_t size, std::uint64_t budget, Progress* progress,
                  Input& input);
