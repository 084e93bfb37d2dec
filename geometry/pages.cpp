#include "pages.h"

#include <sys/mman.h>

#include <cstdint>

void* allocatePages(std::size_t bytes) {
  // Map one block more and trim both ends, so the mapping starts on a block
  // boundary.
  const std::size_t size = wholeBlocks(bytes);
  const std::size_t mapped = size + blockBytes;
  void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + blockBytes - 1) & ~(std::uintptr_t(blockBytes) - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = start + mapped;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* pages = reinterpret_cast<void*>(aligned);
  return pages;
}

void releasePages(void* pages, std::size_t bytes) {
  munmap(pages, wholeBlocks(bytes));
}

void* growPages(void* pages, std::size_t mapped, std::size_t bytes) {
  const std::size_t size = wholeBlocks(bytes);
  void* grown = mapped ? mremap(pages, mapped, size, MREMAP_MAYMOVE) : allocatePages(size);
  return grown == MAP_FAILED ? nullptr : grown;
}
