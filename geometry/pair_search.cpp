// The search in the cells of the index: two threads take the top cells in
// pieces, divide the crowded ones by grids of their own, and test each pair
// in the one cell its rule names.
#include "pair_search.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "pair_leaf.h"
#include "stopping.h"
#include "two_threads.h"

using namespace pair_index;

namespace {

// What the search costs, counted in pairs looked at in a cell: a test that
// finds the pair apart costs about eight times that.
constexpr std::uint64_t testWeight = 8;
// Crowded cells, and parts of them, with more segments than this are
// divided by whichever thread is free.
constexpr std::size_t sharedTask = std::size_t(1) << 14;

// What a thread takes next: nothing (all is done), a chunk of top cells, or
// a crowded cell another thread shared.
enum class Work { None, Chunk, Task };

// A crowded cell waiting to be divided.
struct Task {
  std::vector<Level> path;
  std::vector<std::uint32_t> positions;
};

// What the threads of one round share.
struct Shared {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Task> tasks;
  std::size_t nextChunk = 0;
  int active = 0;  // threads working on a chunk or a task
  std::atomic<int> outcome{int(PairSearch::Found)};
  std::atomic<int> upper{0};  // pairs whose later segment lies at or above this wait
  std::atomic<std::size_t> held{0};
  std::atomic<std::uint64_t> cost{0};
  std::uint64_t costLimit = UINT64_MAX;
  std::mutex shrinking;
  std::atomic<std::size_t> chunksDone{0};
};

class Worker {
 public:
  Worker(PairIndex& index, Shared& shared, int lower, bool reports)
      : index_(index),
        shared_(shared),
        lower_(lower),
        reports_(reports),
        leaf_(index, lower, shared.upper) {}

  // Takes pieces of work until there are none; never throws.
  void run() noexcept {
    try {
      for (;;) {
        Task task;
        std::size_t chunk = 0;
        const Work work = next(task, chunk);
        if (work == Work::None) break;
        if (work == Work::Chunk) {
          searchChunk(chunk);
          shared_.chunksDone.fetch_add(1, std::memory_order_relaxed);
        } else {
          stack_ = std::move(task.positions);
          path_ = std::move(task.path);
          divide(0, stack_.size());
        }
        leaf_.testWaiting();
        settle();
        finished();
        if (reports_ && index_.options.progress) {
          index_.options.progress(shared_.chunksDone.load(std::memory_order_relaxed),
                                  index_.chunks.size() - 1);
        }
      }
    } catch (const std::bad_alloc&) {
      fail(PairSearch::OutOfMemory);
      finished();
    }
  }

  PairKeys& keys() { return leaf_.keys; }

 private:
  // The next piece of work, waiting while the other thread may still share
  // one.
  Work next(Task& task, std::size_t& chunk) {
    std::unique_lock<std::mutex> held(shared_.lock);
    for (;;) {
      if (shared_.outcome.load() != int(PairSearch::Found)) return Work::None;
      if (!shared_.tasks.empty()) {
        task = std::move(shared_.tasks.back());
        shared_.tasks.pop_back();
        ++shared_.active;
        return Work::Task;
      }
      if (shared_.nextChunk + 1 < index_.chunks.size()) {
        chunk = shared_.nextChunk++;
        ++shared_.active;
        return Work::Chunk;
      }
      if (shared_.active == 0) return Work::None;
      shared_.changed.wait(held);
    }
  }

  void finished() {
    std::lock_guard<std::mutex> held(shared_.lock);
    if (shared_.active > 0) --shared_.active;
    shared_.changed.notify_all();
  }

  void fail(PairSearch outcome) {
    int expected = int(PairSearch::Found);
    shared_.outcome.compare_exchange_strong(expected, int(outcome));
    std::lock_guard<std::mutex> held(shared_.lock);
    shared_.changed.notify_all();
  }

  bool interrupted() {
    if (shared_.outcome.load(std::memory_order_relaxed) != int(PairSearch::Found)) return true;
    if (!index_.stopped()) return false;
    fail(PairSearch::Stopped);
    return true;
  }

  void searchChunk(std::size_t chunk) {
    for (std::size_t cell = index_.chunks[chunk]; cell < index_.chunks[chunk + 1]; ++cell) {
      const std::uint32_t first = index_.start[cell], end = index_.start[cell + 1];
      if (end - first < 2) continue;
      path_.assign(1, {index_.grid, index_.grid.columnOf(std::uint32_t(cell)),
                       index_.grid.rowOf(std::uint32_t(cell))});
      if (end - first <= std::uint32_t(leafSize)) {
        leaf_.gather(&index_.members[first], end - first);
        searchLeaf();
        continue;
      }
      stack_.assign(index_.members.begin() + first, index_.members.begin() + end);
      divide(0, stack_.size());
      if (interrupted()) return;
    }
  }

  // Divides a crowded cell by a grid of its own, again where its cells are
  // crowded, as long as that thins its segments out, and searches the cells
  // left whole. The segments are stack_[from, to); the cells' go above.
  void divide(std::size_t from, std::size_t to) {
    const std::size_t top = stack_.size();
    Grid sub;
    std::vector<std::uint32_t> start;
    if (!subdivide(from, to, sub, start)) {
      if (interrupted()) return;
      leaf_.gather(&stack_[from], to - from);
      searchLeaf();
      return;
    }
    for (std::size_t cell = 0; cell + 1 < start.size() && !interrupted(); ++cell) {
      const std::size_t first = top + start[cell], end = top + start[cell + 1];
      if (end - first < 2) continue;
      path_.push_back({sub, sub.columnOf(std::uint32_t(cell)), sub.rowOf(std::uint32_t(cell))});
      if (end - first > sharedTask) {
        share({path_, std::vector<std::uint32_t>(stack_.begin() + std::ptrdiff_t(first),
                                                 stack_.begin() + std::ptrdiff_t(end))});
      } else {
        divide(first, end);
      }
      path_.pop_back();
    }
    stack_.resize(top);
  }

  // The grid of the crowded cell path_.back() with segments stack_[from,
  // to), and its cells' segments above them; false where it would not thin
  // them out.
  bool subdivide(std::size_t from, std::size_t to, Grid& sub, std::vector<std::uint32_t>& start) {
    const Level& parent = path_.back();
    return divideCell(index_.items, parent.grid.cellRect(parent.c, parent.r), path_.size(),
                      index_.grid.pad, stack_, from, to, sub, start,
                      [this] { return interrupted(); });
  }

  void share(Task task) {
    std::lock_guard<std::mutex> held(shared_.lock);
    shared_.tasks.push_back(std::move(task));
    shared_.changed.notify_all();
  }

  // The pairs of the gathered segments the cell path_ leads to tests.
  void searchLeaf() {
    leaf_.search(path_, [this] {
      settle();
      return !interrupted();
    });
  }

  // Counts the cost and the pairs held so far with the other thread's.
  void settle() {
    const std::uint64_t cost = leaf_.lookedAt + testWeight * leaf_.wasted + leaf_.settled;
    leaf_.lookedAt = leaf_.wasted = leaf_.settled = 0;
    if (shared_.cost.fetch_add(cost, std::memory_order_relaxed) + cost > shared_.costLimit) {
      fail(PairSearch::Dense);
    }
    const std::size_t added = keys().size() - counted_;
    counted_ = keys().size();
    if (shared_.held.fetch_add(added) + added > index_.options.pairsAtOnce) shrink();
    const int upper = shared_.upper.load();
    if (upper < leaf_.upper) {
      leaf_.upper = upper;
      drop();
    }
  }

  // Too many pairs held: the later half of this thread's rows waits for a
  // round of its own, and so do the same rows of the other thread.
  void shrink() {
    std::lock_guard<std::mutex> held(shared_.shrinking);
    PairKeys& k = keys();
    if (shared_.held.load() <= index_.options.pairsAtOnce || k.empty()) return;
    auto middle = k.begin() + std::ptrdiff_t(k.size() / 2);
    std::nth_element(k.begin(), middle, k.end(),
                     [](PairKey a, PairKey b) { return laterOf(a) < laterOf(b); });
    const int upper = std::max(lower_ + 1, laterOf(*middle));
    if (upper < shared_.upper.load()) shared_.upper.store(upper);
    leaf_.upper = shared_.upper.load();
    drop();
  }

  void drop() {
    PairKeys& k = keys();
    const int upper = leaf_.upper;
    const auto kept =
        std::remove_if(k.begin(), k.end(), [upper](PairKey key) { return laterOf(key) >= upper; });
    shared_.held.fetch_sub(std::size_t(k.end() - kept));
    k.erase(kept, k.end());
    counted_ = k.size();
  }

  PairIndex& index_;
  Shared& shared_;
  const int lower_;
  const bool reports_;
  std::vector<std::uint32_t> stack_;
  std::vector<Level> path_;
  LeafTest leaf_;
  std::size_t counted_ = 0;  // of leaf_.keys, counted in shared_.held
};

}  // namespace

PairSearch searchCells(PairIndex& index, int lower, std::uint64_t costLimit, int& upper,
                       PairKeys (&pairs)[2], std::uint64_t& cost) {
  Shared shared;
  shared.upper = index.count;
  shared.costLimit = costLimit;
  Worker first(index, shared, lower, true), second(index, shared, lower, false);
  {
    std::jthread helper;
    try {
      if (index.items.size() >= worthTwoThreads) helper = std::jthread([&] { second.run(); });
    } catch (const std::system_error&) {
      // No second thread to be had (a process or memory limit): all of it here.
    }
    first.run();
  }
  cost = shared.cost;
  if (shared.outcome != int(PairSearch::Found)) return PairSearch(shared.outcome.load());
  upper = shared.upper;
  pairs[0] = std::move(first.keys());
  pairs[1] = std::move(second.keys());
  for (PairKeys& p : pairs) {
    std::erase_if(p, [upper](PairKey key) { return laterOf(key) >= upper; });
  }
  return PairSearch::Found;
}
