// Memory in whole huge pages, for the large blocks of the scene, the report
// and the drawing. A fresh 4 KiB page costs a fault when first touched, and
// on some virtual machines that fault costs tens of microseconds; a huge page
// brings 2 MiB at once.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

inline constexpr std::size_t hugePageBytes = std::size_t(2) << 20;

// `bytes` rounded up to whole huge pages, zeroed and aligned to a huge page,
// or nullptr.
void* allocatePages(std::size_t bytes);
void releasePages(void* pages, std::size_t bytes);

// For std::vector: small blocks from the C heap, large ones in huge pages.
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
