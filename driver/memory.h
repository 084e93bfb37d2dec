#pragma once

#include <cstdint>

// Bytes this process can still expect to get: the machine's available memory,
// narrowed by what the address-space and data limits and the cgroup's limit
// leave beside what is already in use.
std::uint64_t availableMemory();

// What the pair loop needs for n segments at the very least, beside the
// input itself: the report's buffers, the row screening, and one run of the
// scene per row (when no pair meets, a row stores its later segment once).
std::uint64_t minimumLoopBytes(std::uint64_t segmentCount);

// Roughly the largest segment count whose input and minimum loop fit in
// `bytes`.
std::uint64_t segmentsThatFit(std::uint64_t bytes);

// How much of `bytes` the input may take while reading, so that the
// minimum loop for what has been read still fits beside it.
std::uint64_t inputBudget(std::uint64_t bytes);

// Whether the graphics driver has room to start and to draw `vertexBytes`
// of vertices, and a picture of this size beyond the window's: the address
// space, data and memory it was measured to take beside what this process
// already uses. Short of that the software driver crashes inside its own
// code instead of failing, so it must not be started.
bool graphicsFit(std::uint64_t vertexBytes, std::uint64_t pictureWidth = 0,
                 std::uint64_t pictureHeight = 0);
