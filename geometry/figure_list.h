// An append-only list of figures kept in fixed-size chunks.
//
// The scene grows to millions of entries; chunks are never moved or copied
// when the list grows, so its peak memory stays close to its payload instead
// of the doubling-and-copying peak of a single growing array.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>

template <class T>
class FigureList {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  static constexpr std::size_t chunkLength = 32768;

  FigureList() = default;
  FigureList(const FigureList&) = delete;
  FigureList& operator=(const FigureList&) = delete;
  ~FigureList() { clear(); }

  // Returns false, leaving the list as it was, when memory runs out.
  bool append(const T& item) {
    const std::size_t slot = count_ % chunkLength;
    if (slot == 0 && !addChunk()) return false;
    new (&chunks_[count_ / chunkLength][slot]) T(item);
    ++count_;
    return true;
  }

  std::size_t size() const { return count_; }
  const T& operator[](std::size_t i) const { return chunks_[i / chunkLength][i % chunkLength]; }

  // Calls f(item) for every entry, first added first.
  template <class F>
  void forEach(F&& f) const {
    for (std::size_t c = 0; c * chunkLength < count_; ++c) {
      const std::size_t n = count_ - c * chunkLength < chunkLength ? count_ - c * chunkLength
                                                                   : chunkLength;
      for (const T* p = chunks_[c]; p != chunks_[c] + n; ++p) f(*p);
    }
  }

  void clear() {
    for (std::size_t c = 0; c < chunkCount_; ++c) std::free(chunks_[c]);
    std::free(chunks_);
    chunks_ = nullptr;
    chunkCount_ = chunkCapacity_ = count_ = 0;
  }

 private:
  bool addChunk() {
    if (chunkCount_ == chunkCapacity_) {
      const std::size_t capacity = chunkCapacity_ ? 2 * chunkCapacity_ : 64;
      void* grown = std::realloc(chunks_, capacity * sizeof(T*));
      if (!grown) return false;
      chunks_ = static_cast<T**>(grown);
      chunkCapacity_ = capacity;
    }
    T* chunk = static_cast<T*>(std::malloc(chunkLength * sizeof(T)));
    if (!chunk) return false;
    chunks_[chunkCount_++] = chunk;
    return true;
  }

  T** chunks_ = nullptr;
  std::size_t chunkCount_ = 0;
  std::size_t chunkCapacity_ = 0;
  std::size_t count_ = 0;
};
