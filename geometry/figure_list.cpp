#include "figure_list.h"

#include <sys/mman.h>

#include <cstdint>

void* allocateChunk() {
  // Map twice the size and trim both ends, so the block starts on a huge-page
  // boundary and can be backed by one huge page.
  const std::size_t mapped = 2 * chunkBytes;
  void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + chunkBytes - 1) & ~(std::uintptr_t(chunkBytes) - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = start + mapped;
  if (end > aligned + chunkBytes)
    munmap(reinterpret_cast<void*>(aligned + chunkBytes), end - (aligned + chunkBytes));
  void* chunk = reinterpret_cast<void*>(aligned);
  madvise(chunk, chunkBytes, MADV_HUGEPAGE);  // a hint; plain pages work as well
  return chunk;
}

void releaseChunk(void* chunk) {
  munmap(chunk, chunkBytes);
}
