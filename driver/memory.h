#pragma once

#include <cstdint>

// Bytes this process can still expect to get: the machine's available memory,
// narrowed by the address-space and data limits and the cgroup's limit.
std::uint64_t availableMemory();

// The scene stores at least one segment per pair, so n segments need at
// least this many bytes before the pair loop starts.
std::uint64_t minimumSceneBytes(std::uint64_t segmentCount);

// Roughly the largest segment count whose minimum scene fits in `bytes`.
std::uint64_t segmentsThatFit(std::uint64_t bytes);
