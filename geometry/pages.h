// Memory in mappings of whole 2 MiB blocks, for the large arrays of the
// scene, the report and the drawing: each can grow in place (mremap) and goes
// back to the kernel whole when released. The pages are plain 4 KiB ones,
// not transparent huge pages: on virtual machines that hand free memory back
// to the host, every fresh huge page is one the host must supply again, and
// a run took twice as long with them.
#pragma once

#include <algorithm>
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

// The pages of `mapped` bytes grown, in place where the kernel can, to at
// least `bytes`: the new address, or nullptr with the old pages as they were.
void* growPages(void* pages, std::size_t mapped, std::size_t bytes);

// An array in a mapping of its own that grows without copying what it
// holds, nor needing room for it twice: for arrays as long as the input.
template <class T>
struct PagedArray {
  T* items = nullptr;
  std::size_t count = 0;
  std::size_t mapped = 0;  // bytes

  PagedArray() = default;
  PagedArray(PagedArray&& other) noexcept { *this = static_cast<PagedArray&&>(other); }
  PagedArray& operator=(PagedArray&& other) noexcept {
    if (this != &other) {
      release();
      items = other.items, count = other.count, mapped = other.mapped;
      other.items = nullptr, other.count = other.mapped = 0;
    }
    return *this;
  }
  ~PagedArray() { release(); }

  // False, holding what it held, where memory ran out.
  bool push(const T& value) {
    if ((count + 1) * sizeof(T) > mapped) {
      void* grown = growPages(items, mapped, std::max(2 * mapped, (count + 1) * sizeof(T)));
      if (!grown) return false;
      items = static_cast<T*>(grown);
      mapped = wholeBlocks(std::max(2 * mapped, (count + 1) * sizeof(T)));
    }
    items[count++] = value;
    return true;
  }
  void release() {
    if (mapped) releasePages(items, mapped);
    items = nullptr, count = mapped = 0;
  }
};

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
