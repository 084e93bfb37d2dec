// Memory in mappings of whole 2 MiB blocks, for the large arrays of the
// scene, the report and the drawing: each can grow in place (mremap) and goes
// back to the kernel whole when released. The pages are plain 4 KiB ones,
// not transparent huge pages: on virtual machines that hand free memory back
// to the host, every fresh huge page is one the host must supply again, and
// a run took twice as long with them.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

inline constexpr std::size_t blockBytes = std::size_t(2) << 20;

inline std::size_t wholeBlocks(std::size_t bytes) {
  return (bytes + blockBytes - 1) & ~(blockBytes - 1);
}

// `bytes` rounded up to whole blocks, zeroed and aligned to a block, or
// nullptr.
void* allocatePages(std::size_t bytes);
void releasePages(void* pages, std::size_t bytes);

// For std::vector: small blocks from the C heap, large ones mapped.
template <class T>
struct PageAllocator {
  using value_type = T;
  static constexpr std::size_t smallBytes = std::size_t(256) << 10;

  PageAllocator() = default;
  template <class U>
  PageAllocator(const PageAllocator<U>&) {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    void* block = bytes < smallBytes ? std::malloc(bytes) : allocatePages(bytes);
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < smallBytes) {
      std::free(block);
    } else {
      releasePages(block, bytes);
    }
  }
  bool operator==(const PageAllocator&) const { return true; }
};
