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

#include "intersect.h"
#include "two_threads.h"

using namespace pair_index;

namespace {

// What the search costs, counted in pairs looked at in a cell: a test that
// finds the pair apart costs about eight times that.
constexpr std::uint64_t testWeight = 8;
// Crowded cells, and parts of them, with more segments than this are
// divided by whichever thread is free.
constexpr std::size_t sharedTask = std::size_t(1) << 14;
// Candidates are screened this many at a time before the test.
constexpr int batch = 256;

// A segment as the search of one cell looks at it.
struct Near {
  Rect box;  // widened
  const Item* item;
  int c0, r0;  // the top cell of the box's lower left corner
  bool traced;
};

// A cell the pairs are tested in, as a path: the top cell, then the cell of
// the grid that divides it where it is crowded, and so on down.
struct Level {
  Grid g;
  int c, r;
};

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

// Candidate pairs waiting for the screening, side by side for it.
struct Batch {
  float coordinates[10][batch];  // ax, ay, bx, by, largest of the earlier, then of the later
  std::int32_t earlier[batch], later[batch];
  unsigned char mayMeet[batch];
  int size = 0;

  void add(const Item& e, const Item& l) {
    const Item* both[2] = {&e, &l};
    for (int side = 0; side < 2; ++side) {
      const Item& s = *both[side];
      float* c = &coordinates[5 * side][size];
      c[0] = s.ax, c[batch] = s.ay, c[2 * batch] = s.bx, c[3 * batch] = s.by;
      c[4 * batch] = std::max(std::max(std::fabs(s.ax), std::fabs(s.ay)),
                              std::max(std::fabs(s.bx), std::fabs(s.by)));
    }
    earlier[size] = e.index();
    later[size] = l.index();
    ++size;
  }
  EndPoints side(int k) const {
    const float(*c)[batch] = &coordinates[5 * k];
    return {c[0], c[1], c[2], c[3], c[4]};
  }
  Segment segment(int side, int k) const {
    const float(*c)[batch] = &coordinates[5 * side];
    return Segment(Point(c[0][k], c[1][k]), Point(c[2][k], c[3][k]));
  }
};

class Worker {
 public:
  Worker(PairIndex& x, Shared& shared, int lower, bool reports)
      : x_(x), shared_(shared), lower_(lower), upper_(shared.upper), reports_(reports) {
    // Room taken only as it is filled: growing would copy, into fresh memory.
    keys.reserve(std::min<std::size_t>(std::size_t(x.count), x.options.pairsAtOnce) / 2 + 1024);
  }

  // Takes pieces of work until there are none; never throws.
  void run() noexcept {
    try {
      for (;;) {
        Task task;
        std::size_t chunk = 0;
        const int kind = next(task, chunk);
        if (kind == 0) break;
        if (kind == 1) {
          searchChunk(chunk);
          shared_.chunksDone.fetch_add(1, std::memory_order_relaxed);
        } else {
          stack_ = std::move(task.positions);
          path_ = std::move(task.path);
          divide(0, stack_.size());
        }
        testBatch();
        settle();
        finished();
        if (reports_ && x_.options.progress) {
          x_.options.progress(shared_.chunksDone.load(std::memory_order_relaxed),
                              x_.chunks.size() - 1);
        }
      }
    } catch (const std::bad_alloc&) {
      fail(PairSearch::OutOfMemory);
      finished();
    }
  }

  PairKeys keys;

 private:
  // 0: nothing left; 1: a chunk of top cells; 2: a task.
  int next(Task& task, std::size_t& chunk) {
    std::unique_lock<std::mutex> held(shared_.lock);
    for (;;) {
      if (shared_.outcome.load() != int(PairSearch::Found)) return 0;
      if (!shared_.tasks.empty()) {
        task = std::move(shared_.tasks.back());
        shared_.tasks.pop_back();
        ++shared_.active;
        return 2;
      }
      if (shared_.nextChunk + 1 < x_.chunks.size()) {
        chunk = shared_.nextChunk++;
        ++shared_.active;
        return 1;
      }
      if (shared_.active == 0) return 0;
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
    if (!x_.stopped()) return false;
    fail(PairSearch::Stopped);
    return true;
  }

  void searchChunk(std::size_t chunk) {
    for (std::size_t cell = x_.chunks[chunk]; cell < x_.chunks[chunk + 1]; ++cell) {
      const std::uint32_t first = x_.start[cell], end = x_.start[cell + 1];
      if (end - first < 2) continue;
      path_.assign(1, {x_.g, x_.g.columnOf(std::uint32_t(cell)), x_.g.rowOf(std::uint32_t(cell))});
      if (end - first <= std::uint32_t(leafSize)) {
        gather(&x_.members[first], end - first);
        searchLeaf();
        continue;
      }
      stack_.assign(x_.members.begin() + first, x_.members.begin() + end);
      divide(0, stack_.size());
      if (interrupted()) return;
    }
  }

  // The cell's segments, the traced ones last, where pairs of two of them
  // are found apart.
  void gather(const std::uint32_t* positions, std::size_t count) {
    here_.clear();
    for (std::size_t k = 0; k < count; ++k) {
      const Item& item = x_.items[positions[k]];
      const Rect box = widenedBox(item);
      here_.push_back({box, &item, x_.g.columnAt(box.x0), x_.g.rowAt(box.y0), item.traced()});
    }
    untraced_ = count;
    if (!x_.tracedApart) return;
    const auto last =
        std::stable_partition(here_.begin(), here_.end(), [](const Near& n) { return !n.traced; });
    untraced_ = std::size_t(last - here_.begin());
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
      gather(&stack_[from], to - from);
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
  // to): over the part of the cell where they lie, cells as wide as a
  // typical one of them reaches, about one cell for every two. False when
  // that does not thin them out: they all lie in one of its cells (a
  // cluster below the float spacing), or its cells hold as many pairs,
  // counted with their repeats, as the cell whole (many segments through
  // one point, long lines crossing it). Otherwise each cell's segments go
  // onto the stack, from start[cell].
  bool subdivide(std::size_t from, std::size_t to, Grid& sub, std::vector<std::uint32_t>& start) {
    const std::size_t k = to - from;
    if (k <= std::size_t(leafSize) || path_.size() > deepestGrid) return false;
    const Level& parent = path_.back();
    const Rect cell = parent.g.cellRect(parent.c, parent.r);
    Rect around{INFINITY, INFINITY, -INFINITY, -INFINITY};
    float extents[64];
    std::size_t sampled = 0;
    const std::size_t every = std::max<std::size_t>(1, k / 64);
    for (std::size_t m = from; m < to; ++m) {
      if (((m - from) & 0xFFFF) == 0xFFFF && interrupted()) return false;
      const Rect box = widenedBox(x_.items[stack_[m]]);
      around = {std::min(around.x0, box.x0), std::min(around.y0, box.y0),
                std::max(around.x1, box.x1), std::max(around.y1, box.y1)};
      if ((m - from) % every == 0 && sampled < 64) {
        extents[sampled++] = float(std::max(box.x1 - box.x0, box.y1 - box.y0));
      }
    }
    std::nth_element(extents, extents + sampled / 2, extents + sampled);
    const Rect region{std::max(around.x0, cell.x0), std::max(around.y0, cell.y0),
                      std::min(around.x1, cell.x1), std::min(around.y1, cell.y1)};
    sub = gridOver(region, 0.5 * double(k) + 4, extents[sampled / 2], x_.g.pad);
    if (sub.cellCount() < 2) return false;
    start.assign(sub.cellCount() + 1, 0);
    for (std::size_t m = from; m < to; ++m) {
      if (((m - from) & 0xFFFF) == 0xFFFF && interrupted()) return false;
      forEachCell(x_.items[stack_[m]], sub, [&](std::uint32_t c) { ++start[c + 1]; });
    }
    double pairs = 0;
    for (const std::uint32_t n : start) pairs += double(n) * double(n);
    if (pairs > thinning * double(k) * double(k)) return false;
    for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    const std::size_t top = stack_.size();
    stack_.resize(top + start.back());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::size_t m = from; m < to; ++m) {
      const std::uint32_t position = stack_[m];
      forEachCell(x_.items[position], sub,
                  [&](std::uint32_t c) { stack_[top + next[c]++] = position; });
    }
    return true;
  }

  void share(Task task) {
    std::lock_guard<std::mutex> held(shared_.lock);
    shared_.tasks.push_back(std::move(task));
    shared_.changed.notify_all();
  }

  // Every pair of here_ whose rule names the cell path_ leads to.
  void searchLeaf() {
    const std::size_t k = here_.size();
    // A crowded top cell, divided or not, tests only by the meeting point.
    const Level& cell = path_.front();
    const bool crowded = x_.crowded(x_.g.cell(cell.c, cell.r));
    for (std::size_t q = 1; q < k; ++q) {
      const Near& b = here_[q];
      const std::size_t partners = q < untraced_ ? q : untraced_;
      for (std::size_t p = 0; p < partners; ++p) {
        const Near& a = here_[p];
        const bool touch = a.box.x0 <= b.box.x1 && b.box.x0 <= a.box.x1 && a.box.y0 <= b.box.y1 &&
                           b.box.y0 <= a.box.y1;
        if (!touch) continue;
        if (!a.traced && !b.traced) {
          const int cc = std::max(a.c0, b.c0), cr = std::max(a.r0, b.r0);
          if (cc == cell.c && cr == cell.r && !crowded) {
            candidate(*a.item, *b.item);
            continue;
          }
          if (!x_.crowded(x_.g.cell(cc, cr))) continue;  // tested at the corner
        }
        if (x_.options.rules.exact) {
          placeExactly(*a.item, *b.item);
          continue;
        }
        double zx, zy;
        if (!meetingPoint(*a.item, *b.item, zx, zy) || !onPath(zx, zy)) continue;
        candidate(*a.item, *b.item);
      }
      lookedAt_ += partners;
      if (lookedAt_ >= 65536) {
        settle();
        if (interrupted()) return;
      }
    }
  }

  // Whether (x, y) lies in the cell path_ leads to.
  bool onPath(double x, double y) const {
    for (const Level& level : path_) {
      if (level.g.columnAt(x) != level.c || level.g.rowAt(y) != level.r) return false;
    }
    return true;
  }

  // Judged exactly, two segments meet only where they touch, and the reach
  // of the items is no more than rounding: the pair is kept in the cell
  // where a point they share lies, computed from the exact test.
  void placeExactly(const Item& a, const Item& b) {
    const int j = std::min(a.index(), b.index()), i = std::max(a.index(), b.index());
    if (i < lower_ || i >= upper_) return;
    int kind;
    double x, y;
    if (!exactMeetingPlace(x_.options.rules, x_.segments, j, i, kind, x, y)) {
      ++settled_;
    } else if (onPath(x, y)) {
      keys.push_back(pairKey(j, i, kind));
    }
  }

  void candidate(const Item& a, const Item& b) {
    const bool aFirst = a.index() < b.index();
    const Item& later = aFirst ? b : a;
    if (later.index() < lower_ || later.index() >= upper_) return;
    batch_.add(aFirst ? a : b, later);
    if (batch_.size == batch) testBatch();
  }

  // The screening settles most candidates that do not meet, many at a time;
  // the rest go through the test. Exact rules test each pair, most of them
  // apart at the first look, their boxes.
  void testBatch() {
    Batch& b = batch_;
    if (x_.options.rules.exact) {
      for (int k = 0; k < b.size; ++k) {
        const int kind = meetingKind(x_.options.rules, x_.segments, b.earlier[k], b.later[k]);
        if (kind == NoIntersection) {
          ++settled_;
        } else {
          keys.push_back(pairKey(b.earlier[k], b.later[k], kind));
        }
      }
      b.size = 0;
      return;
    }
    screenPairList(b.side(0), b.side(1), b.size, b.mayMeet);
    for (int k = 0; k < b.size; ++k) {
      if (!b.mayMeet[k]) {
        ++settled_;
        continue;
      }
      Point crossing;
      const int kind = intersectSegments(b.segment(0, k), b.segment(1, k), &crossing);
      if (kind == NoIntersection) {
        ++wasted_;
        continue;
      }
      keys.push_back(pairKey(b.earlier[k], b.later[k], kind));
    }
    b.size = 0;
  }

  // Counts the cost and the pairs held so far with the other thread's.
  void settle() {
    const std::uint64_t cost = lookedAt_ + testWeight * wasted_ + settled_;
    lookedAt_ = wasted_ = settled_ = 0;
    if (shared_.cost.fetch_add(cost, std::memory_order_relaxed) + cost > shared_.costLimit) {
      fail(PairSearch::Dense);
    }
    const std::size_t added = keys.size() - counted_;
    counted_ = keys.size();
    if (shared_.held.fetch_add(added) + added > x_.options.pairsAtOnce) shrink();
    const int upper = shared_.upper.load();
    if (upper < upper_) {
      upper_ = upper;
      drop();
    }
  }

  // Too many pairs held: the later half of this thread's rows waits for a
  // round of its own, and so do the same rows of the other thread.
  void shrink() {
    std::lock_guard<std::mutex> held(shared_.shrinking);
    if (shared_.held.load() <= x_.options.pairsAtOnce || keys.empty()) return;
    auto middle = keys.begin() + std::ptrdiff_t(keys.size() / 2);
    std::nth_element(keys.begin(), middle, keys.end(),
                     [](PairKey a, PairKey b) { return laterOf(a) < laterOf(b); });
    const int upper = std::max(lower_ + 1, laterOf(*middle));
    if (upper < shared_.upper.load()) shared_.upper.store(upper);
    upper_ = shared_.upper.load();
    drop();
  }

  void drop() {
    const int upper = upper_;
    const auto kept = std::remove_if(keys.begin(), keys.end(),
                                     [upper](PairKey key) { return laterOf(key) >= upper; });
    shared_.held.fetch_sub(std::size_t(keys.end() - kept));
    keys.erase(kept, keys.end());
    counted_ = keys.size();
  }

  PairIndex& x_;
  Shared& shared_;
  const int lower_;
  int upper_;
  const bool reports_;
  std::vector<std::uint32_t> stack_;
  std::vector<Level> path_;
  std::size_t untraced_ = 0;  // here_[0, untraced_) are not traced
  std::vector<Near> here_;
  Batch batch_;
  std::uint64_t lookedAt_ = 0, wasted_ = 0, settled_ = 0;
  std::size_t counted_ = 0;
};

}  // namespace

PairSearch searchCells(PairIndex& x, int lower, std::uint64_t costLimit, int& upper,
                       PairKeys (&pairs)[2], std::uint64_t& cost) {
  Shared shared;
  shared.upper = x.count;
  shared.costLimit = costLimit;
  Worker first(x, shared, lower, true), second(x, shared, lower, false);
  {
    std::jthread helper;
    try {
      if (x.items.size() >= worthTwoThreads) helper = std::jthread([&] { second.run(); });
    } catch (const std::system_error&) {
      // No second thread to be had (a process or memory limit): all of it here.
    }
    first.run();
  }
  cost = shared.cost;
  if (shared.outcome != int(PairSearch::Found)) return PairSearch(shared.outcome.load());
  upper = shared.upper;
  pairs[0] = std::move(first.keys);
  pairs[1] = std::move(second.keys);
  for (PairKeys& p : pairs) {
    std::erase_if(p, [upper](PairKey key) { return laterOf(key) >= upper; });
  }
  return PairSearch::Found;
}
