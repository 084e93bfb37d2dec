// An append-only list of figures that stores each figure once, and the list
// as runs of equal consecutive entries: a figure's number and a count.
//
// The pair loop adds the later segment of every pair, so with n segments the
// scene holds about n^2/2 entries, nearly all of them the same segment again
// and again along a row, and each segment comes back in every row where it
// meets another. Stored as runs of figure numbers, the list costs eight bytes
// a run and each figure once: about one run per row and two per meeting pair.
// Reading it entry by entry gives back every entry in insertion order, as
// values, repeats included.
//
// A caller that knows which of its figures are equal names them with a key,
// the same for equal figures (the pair loop names a segment by its input
// number): a figure added again under its key is found, not stored again,
// and entries with the same key make one run. Without a key, a run that
// does not repeat the last entry is a figure of its own.
//
// Runs and figures live in chunks of 2 MiB each, never moved or
// copied when the list grows, so its peak memory stays at its payload
// instead of the doubling-and-copying peak of one growing array.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "pages.h"

inline constexpr std::size_t chunkBytes = blockBytes;

// Values in chunks of 2 MiB each: appended, never moved.
template <class T>
class Chunks {
 public:
  // A power of two, for indexing.
  static constexpr std::size_t perChunk = std::bit_floor(chunkBytes / sizeof(T));

  Chunks() = default;
  Chunks(const Chunks&) = delete;
  Chunks& operator=(const Chunks&) = delete;
  ~Chunks() { clear(); }

  // Room for one more element; false when memory runs out.
  bool makeRoom() { return size_ < chunkCount_ * perChunk || addChunk(); }

  // The new element's place, or nullptr when memory runs out.
  T* add() {
    if (!makeRoom()) return nullptr;
    T* at = &chunks_[size_ / perChunk][size_ % perChunk];
    ++size_;
    return at;
  }
  T& operator[](std::size_t k) { return chunks_[k / perChunk][k % perChunk]; }
  const T& operator[](std::size_t k) const { return chunks_[k / perChunk][k % perChunk]; }
  std::size_t size() const { return size_; }

  // Calls f(element) for every element, in order.
  template <class F>
  void forEach(F&& f) const {
    for (std::size_t c = 0, left = size_; left > 0; ++c) {
      const std::size_t n = left < perChunk ? left : perChunk;
      for (const T* at = chunks_[c]; at != chunks_[c] + n; ++at) f(*at);
      left -= n;
    }
  }

  void clear() {
    for (std::size_t c = 0; c < chunkCount_; ++c) releasePages(chunks_[c], perChunk * sizeof(T));
    std::free(chunks_);
    chunks_ = nullptr;
    chunkCount_ = chunkCapacity_ = size_ = 0;
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
    T* chunk = static_cast<T*>(allocatePages(perChunk * sizeof(T)));
    if (!chunk) return false;
    chunks_[chunkCount_++] = chunk;
    return true;
  }

  T** chunks_ = nullptr;
  std::size_t chunkCount_ = 0;
  std::size_t chunkCapacity_ = 0;
  std::size_t size_ = 0;
};

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
    std::uint32_t figure;
    std::uint32_t count;  // how many equal entries in a row, at least 1
  };
  static constexpr std::uint32_t noKey = UINT32_MAX;

  FigureList() = default;
  FigureList(const FigureList&) = delete;
  FigureList& operator=(const FigureList&) = delete;
  ~FigureList() { clear(); }

  // Room for keys below `count` (a hint: keys beyond it grow the room).
  // False when memory runs out.
  bool expectKeys(std::uint32_t count) { return count <= keyRoom_ || growKeys(count); }

  // Asks for the place of a key about to be added: the keys come in any
  // order, and the places of a large list are far apart.
  void expect(std::uint32_t key) const {
    if (key < keyRoom_) __builtin_prefetch(&keyed_[key]);
  }

  // Adds `times` entries equal to `item`, which `key`, if given, names.
  // Returns false, leaving the list as it was, when memory runs out.
  bool append(const T& item, std::uint32_t times = 1, std::uint32_t key = noKey) {
    if (times == 0) return true;
    Run* last = runs_.size() ? &runs_[runs_.size() - 1] : nullptr;
    // Named entries are compared by name: their bytes lie anywhere in a
    // large list.
    const bool same = key != noKey && lastKey_ != noKey
                          ? key == lastKey_
                          : last && sameBytes(figures_[last->figure], item);
    if (same && last->count <= UINT32_MAX - times) {
      last->count += times;
      count_ += times;
      return true;
    }
    std::uint32_t figure = key == noKey || key >= keyRoom_ ? 0 : keyed_[key];
    if (key != noKey && key >= keyRoom_ && !growKeys(key + 1)) return false;
    if (!runs_.makeRoom()) return false;
    if (figure != 0) {
      --figure;  // stored under its key before
      repeats_ = true;
    } else {
      T* stored = figures_.size() < UINT32_MAX - 1 ? figures_.add() : nullptr;
      if (!stored) return false;
      *stored = item;
      figure = std::uint32_t(figures_.size() - 1);
      if (key != noKey) keyed_[key] = figure + 1;
      if (figure == 0) colour_ = item.colour;
      oneColour_ = oneColour_ && item.colour == colour_;
    }
    *runs_.add() = Run{figure, times};  // room was made
    lastKey_ = key;
    count_ += times;
    return true;
  }

  // Entries, repeats included.
  std::size_t size() const { return count_; }
  std::size_t runCount() const { return runs_.size(); }
  std::size_t figureCount() const { return figures_.size(); }
  const T& figure(std::uint32_t number) const { return figures_[number]; }
  // Whether some figure has runs apart from each other: where not, every
  // run is its figure's last.
  bool repeats() const { return repeats_; }
  // Whether every figure has the same colour code, `colour`.
  bool oneColour(std::int32_t& colour) const {
    colour = colour_;
    return oneColour_ && figures_.size() > 0;
  }

  // Entry i, walking the runs: for occasional lookups, not loops.
  const T& operator[](std::size_t i) const {
    std::size_t k = 0;
    while (i >= runs_[k].count) i -= runs_[k++].count;
    return figures_[runs_[k].figure];
  }

  // Calls f(figure) for every figure, first stored first.
  template <class F>
  void forEachFigure(F&& f) const {
    figures_.forEach(f);
  }

  // Calls f(run) for every run, first added first.
  template <class F>
  void forEachRunOfFigures(F&& f) const {
    runs_.forEach(f);
  }

  // Calls f(item, count) for every run, first added first.
  template <class F>
  void forEachRun(F&& f) const {
    runs_.forEach([&](const Run& run) { f(figures_[run.figure], run.count); });
  }

  // Calls f(item) for every entry, first added first, repeats included.
  template <class F>
  void forEach(F&& f) const {
    forEachRun([&](const T& item, std::uint32_t count) {
      for (std::uint32_t k = 0; k < count; ++k) f(item);
    });
  }

  void clear() {
    runs_.clear();
    figures_.clear();
    if (keyed_) releasePages(keyed_, keyRoom_ * sizeof(std::uint32_t));
    keyed_ = nullptr;
    keyRoom_ = 0;
    lastKey_ = noKey;
    count_ = 0;
    repeats_ = false;
    oneColour_ = true;
  }

 private:
  bool growKeys(std::uint32_t count) {
    const std::size_t room = std::max<std::size_t>(count, 2 * std::size_t(keyRoom_));
    void* grown = allocatePages(room * sizeof(std::uint32_t));
    if (!grown) return false;
    if (keyed_) {
      std::memcpy(grown, keyed_, keyRoom_ * sizeof(std::uint32_t));
      releasePages(keyed_, keyRoom_ * sizeof(std::uint32_t));
    }
    keyed_ = static_cast<std::uint32_t*>(grown);
    keyRoom_ = std::uint32_t(std::min<std::size_t>(room, UINT32_MAX));
    return true;
  }

  Chunks<Run> runs_;
  Chunks<T> figures_;
  std::uint32_t* keyed_ = nullptr;  // figure + 1 for each key, 0 for none yet
  std::uint32_t keyRoom_ = 0;
  std::uint32_t lastKey_ = noKey;  // of the last run
  std::size_t count_ = 0;
  bool repeats_ = false;
  bool oneColour_ = true;
  std::int32_t colour_ = 0;  // of the first figure
};
