#include "pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

std::size_t wholePages(std::size_t bytes) {
  return (bytes + hugePageBytes - 1) & ~(hugePageBytes - 1);
}

}  // namespace

void* allocatePages(std::size_t bytes) {
  // Map one huge page more and trim both ends, so the block starts on a
  // huge-page boundary and can be backed by huge pages.
  const std::size_t size = wholePages(bytes);
  const std::size_t mapped = size + hugePageBytes;
  void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + hugePageBytes - 1) & ~(std::uintptr_t(hugePageBytes) - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = start + mapped;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* pages = reinterpret_cast<void*>(aligned);
  madvise(pages, size, MADV_HUGEPAGE);  // a hint; plain pages work as well
  return pages;
}

void releasePages(void* pages, std::size_t bytes) {
  munmap(pages, wholePages(bytes));
}
