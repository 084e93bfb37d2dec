// An append-only list of figures kept in fixed-size chunks.
//
// The scene grows to millions of entries. Chunks are never moved or copied
// when the list grows, so its peak memory stays at its payload instead of the
// doubling-and-copying peak of one growing array. Each chunk is one huge page
// where the system offers them, which saves most of the page faults of
// filling hundreds of megabytes.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>

// One zeroed, huge-page-aligned block of chunkBytes, or nullptr.
void* allocateChunk();
void releaseChunk(void* chunk);

inline constexpr std::size_t chunkBytes = std::size_t(2) << 20;

template <class T>
class FigureList {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  static constexpr std::size_t chunkLength = chunkBytes / sizeof(T);

  FigureList() = default;
  FigureList(const FigureList&) = delete;
  FigureList& operator=(const FigureList&) = delete;
  ~FigureList() { clear(); }

  // Returns false, leaving the list as it was, when memory runs out.
  bool append(const T& item) {
    if (next_ == chunkEnd_ && !addChunk()) return false;
    new (next_++) T(item);
    ++count_;
    return true;
  }

  std::size_t size() const { return count_; }
  const T& operator[](std::size_t i) const { return chunks_[i / chunkLength][i % chunkLength]; }

  // Calls f(item) for every entry, first added first.
  template <class F>
  void forEach(F&& f) const {
    std::size_t left = count_;
    for (std::size_t c = 0; left > 0; ++c) {
      const std::size_t n = left < chunkLength ? left : chunkLength;
      for (const T* p = chunks_[c]; p != chunks_[c] + n; ++p) f(*p);
      left -= n;
    }
  }

  void clear() {
    for (std::size_t c = 0; c < chunkCount_; ++c) releaseChunk(chunks_[c]);
    std::free(chunks_);
    chunks_ = nullptr;
    next_ = chunkEnd_ = nullptr;
    chunkCount_ = chunkCapacity_ = count_ = 0;
  }

 private:
  bool addChunk() {
    if (chunkCount_ == chunkCapacity_) {
      const std::size_t capacity = chunkCapacity_ ? 2 * chunkCapacity_ : 16;
      void* grown = std::realloc(chunks_, capacity * sizeof(T*));
      if (!grown) return false;
      chunks_ = static_cast<T**>(grown);
      chunkCapacity_ = capacity;
    }
    T* chunk = static_cast<T*>(allocateChunk());
    if (!chunk) return false;
    chunks_[chunkCount_++] = chunk;
    next_ = chunk;
    chunkEnd_ = chunk + chunkLength;
    return true;
  }

  T** chunks_ = nullptr;
  T* next_ = nullptr;  // where the next entry goes, in the last chunk
  T* chunkEnd_ = nullptr;
  std::size_t chunkCount_ = 0;
  std::size_t chunkCapacity_ = 0;
  std::size_t count_ = 0;
};
