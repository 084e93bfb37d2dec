#include "pair_leaf.h"

#include <algorithm>

#include "intersect.h"

using namespace pair_index;

LeafTest::LeafTest(const PairIndex& index, int lower, int upper)
    : upper(upper), index_(index), lower_(lower) {
  // Room taken only as it is filled: growing would copy, into fresh memory.
  keys.reserve(std::min<std::size_t>(std::size_t(index.count), index.options.pairsAtOnce) / 2 +
               1024);
}

void LeafTest::gather(const std::uint32_t* positions, std::size_t count) {
  here_.clear();
  for (std::size_t k = 0; k < count; ++k) {
    const Item& item = index_.items[positions[k]];
    const Rect box = widenedBox(item);
    here_.push_back(
        {box, &item, index_.grid.columnAt(box.x0), index_.grid.rowAt(box.y0), item.traced()});
  }
  untraced_ = count;
  if (!index_.tracedApart) return;
  const auto last =
      std::stable_partition(here_.begin(), here_.end(), [](const Near& n) { return !n.traced; });
  untraced_ = std::size_t(last - here_.begin());
}

void LeafTest::search(const std::vector<Level>& path, const std::function<bool()>& keepGoing) {
  path_ = &path;
  const std::size_t k = here_.size();
  // A crowded top cell, divided or not, tests only by the meeting point.
  const Level& cell = path.front();
  const bool crowded = index_.crowded(index_.grid.cell(cell.c, cell.r));
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
        if (!index_.crowded(index_.grid.cell(cc, cr))) continue;  // tested at the corner
      }
      if (index_.options.rules.exact) {
        placeExactly(*a.item, *b.item);
        continue;
      }
      double zx, zy;
      if (!meetingPoint(*a.item, *b.item, zx, zy) || !onPath(zx, zy)) continue;
      candidate(*a.item, *b.item);
    }
    lookedAt += partners;
    if (lookedAt >= 65536 && !keepGoing()) return;
  }
}

// Whether (x, y) lies in the cell path_ leads to.
bool LeafTest::onPath(double x, double y) const {
  for (const Level& level : *path_) {
    if (level.grid.columnAt(x) != level.c || level.grid.rowAt(y) != level.r) return false;
  }
  return true;
}

// Judged exactly, two segments meet only where they touch, and the reach
// of the items is no more than rounding: the pair is kept in the cell
// where a point they share lies, computed from the exact test.
void LeafTest::placeExactly(const Item& a, const Item& b) {
  const int j = std::min(a.index(), b.index()), i = std::max(a.index(), b.index());
  if (i < lower_ || i >= upper) return;
  int kind;
  double x, y;
  if (!exactMeetingPlace(index_.options.rules, index_.segments, j, i, kind, x, y)) {
    ++settled;
  } else if (onPath(x, y)) {
    keys.push_back(pairKey(j, i, kind));
  }
}

void LeafTest::candidate(const Item& a, const Item& b) {
  const bool aFirst = a.index() < b.index();
  const Item& later = aFirst ? b : a;
  if (later.index() < lower_ || later.index() >= upper) return;
  batch_.add(aFirst ? a : b, later);
  if (batch_.size == batchSize) testWaiting();
}

// The screening settles most candidates that do not meet, many at a time;
// the rest go through the test. Exact rules test each pair, most of them
// apart at the first look, their boxes.
void LeafTest::testWaiting() {
  Batch& b = batch_;
  if (index_.options.rules.exact) {
    for (int k = 0; k < b.size; ++k) {
      const int kind = meetingKind(index_.options.rules, index_.segments, b.earlier[k], b.later[k]);
      if (kind == NoIntersection) {
        ++settled;
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
      ++settled;
      continue;
    }
    Point crossing;
    const int kind = intersectSegments(b.segment(0, k), b.segment(1, k), &crossing);
    if (kind == NoIntersection) {
      ++wasted;
      continue;
    }
    keys.push_back(pairKey(b.earlier[k], b.later[k], kind));
  }
  b.size = 0;
}
