// An append-only list of figures that stores each run of equal consecutive
// entries once, with its length.
//
// The pair loop adds the later segment of every pair, so with n segments the
// scene holds about n^2/2 entries, nearly all of them the same segment again
// and again along a row. Stored as runs, the list costs what differs: about
// one run per row and two per meeting pair. Reading it entry by entry gives
// back every entry in insertion order, repeats included.
//
// Runs live in chunks of one huge page each, never moved or copied when the
// list grows, so its peak memory stays at its payload instead of the
// doubling-and-copying peak of one growing array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "pages.h"

inline constexpr std::size_t chunkBytes = hugePageBytes;

template <class T>
class FigureList {
  // Equal means equal bytes (the figure records have no padding): a repeat
  // draws exactly what its first did.
  static_assert(std::is_trivially_copyable_v<T>);
  static_assert(sizeof(T) % sizeof(std::uint32_t) == 0);

  // memcmp(...) == 0 in a form the compiler inlines: the pair loop compares
  // every figure it adds with the list's last.
  static bool sameBytes(const T& a, const T& b) {
    std::uint32_t x[sizeof(T) / 4], y[sizeof(T) / 4];
    std::memcpy(x, &a, sizeof(T));
    std::memcpy(y, &b, sizeof(T));
    std::uint32_t differ = 0;
    for (std::size_t k = 0; k < sizeof(T) / 4; ++k) differ |= x[k] ^ y[k];
    return differ == 0;
  }

 public:
  struct Run {
    T item;
    std::uint32_t count;  // how many equal entries in a row, at least 1
  };
  static constexpr std::size_t chunkLength = chunkBytes / sizeof(Run);

  FigureList() = default;
  FigureList(const FigureList&) = delete;
  FigureList& operator=(const FigureList&) = delete;
  ~FigureList() { clear(); }

  // Adds `times` entries equal to `item`. Returns false, leaving the list as
  // it was, when memory runs out.
  bool append(const T& item, std::uint32_t times = 1) {
    if (times == 0) return true;
    if (last_ && sameBytes(last_->item, item) && last_->count <= UINT32_MAX - times) {
      last_->count += times;
    } else {
      if (next_ == chunkEnd_ && !addChunk()) return false;
      last_ = next_++;
      *last_ = Run{item, times};
      ++runCount_;
    }
    entriesIn_[chunkCount_ - 1] += times;
    count_ += times;
    return true;
  }

  // Entries, repeats included.
  std::size_t size() const { return count_; }
  std::size_t runCount() const { return runCount_; }

  // Entry i, walking one chunk's runs: for occasional lookups, not loops.
  const T& operator[](std::size_t i) const {
    std::size_t c = 0;
    while (i >= entriesIn_[c]) i -= entriesIn_[c++];
    const Run* run = chunks_[c];
    while (i >= run->count) i -= run++->count;
    return run->item;
  }

  // Calls f(item, count) for every run, first added first.
  template <class F>
  void forEachRun(F&& f) const {
    std::size_t left = runCount_;
    for (std::size_t c = 0; left > 0; ++c) {
      const std::size_t n = left < chunkLength ? left : chunkLength;
      for (const Run* r = chunks_[c]; r != chunks_[c] + n; ++r) f(r->item, r->count);
      left -= n;
    }
  }

  // Calls f(item) for every entry, first added first, repeats included.
  template <class F>
  void forEach(F&& f) const {
    forEachRun([&](const T& item, std::uint32_t count) {
      for (std::uint32_t k = 0; k < count; ++k) f(item);
    });
  }

  void clear() {
    for (std::size_t c = 0; c < chunkCount_; ++c) releasePages(chunks_[c], chunkBytes);
    std::free(chunks_);
    std::free(entriesIn_);
    chunks_ = nullptr;
    entriesIn_ = nullptr;
    last_ = next_ = chunkEnd_ = nullptr;
    chunkCount_ = chunkCapacity_ = runCount_ = count_ = 0;
  }

 private:
  bool addChunk() {
    if (chunkCount_ == chunkCapacity_) {
      const std::size_t capacity = chunkCapacity_ ? 2 * chunkCapacity_ : 16;
      void* grown = std::realloc(chunks_, capacity * sizeof(Run*));
      if (!grown) return false;
      chunks_ = static_cast<Run**>(grown);
      grown = std::realloc(entriesIn_, capacity * sizeof(std::size_t));
      if (!grown) return false;
      entriesIn_ = static_cast<std::size_t*>(grown);
      chunkCapacity_ = capacity;
    }
    Run* chunk = static_cast<Run*>(allocatePages(chunkBytes));
    if (!chunk) return false;
    entriesIn_[chunkCount_] = 0;
    chunks_[chunkCount_++] = chunk;
    next_ = chunk;
    chunkEnd_ = chunk + chunkLength;
    return true;
  }

  Run** chunks_ = nullptr;
  std::size_t* entriesIn_ = nullptr;  // entries (not runs) stored in each chunk
  Run* last_ = nullptr;               // the run added last
  Run* next_ = nullptr;               // where the next run goes, in the last chunk
  Run* chunkEnd_ = nullptr;
  std::size_t chunkCount_ = 0;
  std::size_t chunkCapacity_ = 0;
  std::size_t runCount_ = 0;
  std::size_t count_ = 0;
};
