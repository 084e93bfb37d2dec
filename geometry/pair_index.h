// The index that proposes the pairs of segments that may meet: a grid whose
// crowded cells are divided by grids of their own, and the rule that picks,
// for each pair, the one cell where it is tested.
#pragma once

#include <cstdint>
#include <vector>

#include "pair_cells.h"
#include "pair_keys.h"

namespace pair_index {

// Where the pair is tested.
//
// A pair lies in every cell that holds both its segments, and is tested in
// one of them only. Two short segments are each in every top cell their
// box touches, so both are in the cell of the lower left corner of where
// their boxes overlap: that top cell tests them, unless it is crowded. Any
// other pair (a long one traced through its cells, or the corner in a
// crowded cell) is tested in the cell where a point that lies on both
// widened segments lies, in the top grid and in each grid below it: the points of the two segments
// closest to each other, p and q, are at most |r| + |s| apart when they meet (the bound above holds
// for the distance), so the point that divides pq in the ratio of the two reaches lies within each
// segment's reach of it, in a cell that holds both. Computed in double from the float ends, it is
// off by far less than the pad. No such point: the segments lie farther apart than they reach, and
// cannot meet. Under the exact rules the reach is no more than rounding, which the closest points
// of nearly parallel segments can miss: the point is then one the exact test finds on both.
inline bool meetingPoint(const Item& a, const Item& b, double& x, double& y) {
  // The closest points of two segments, p = a.A + s (a.B - a.A) and
  // q = b.A + t (b.B - b.A), by minimizing over s and t in [0, 1].
  const double ux = double{a.bx} - a.ax, uy = double{a.by} - a.ay;
  const double vx = double{b.bx} - b.ax, vy = double{b.by} - b.ay;
  const double wx = double{a.ax} - b.ax, wy = double{a.ay} - b.ay;
  const double uu = ux * ux + uy * uy, vv = vx * vx + vy * vy;
  const double uv = ux * vx + uy * vy, uw = ux * wx + uy * wy, vw = vx * wx + vy * wy;
  double s = 0, t = 0;
  if (uu == 0) {
    t = vv == 0 ? 0 : std::clamp(vw / vv, 0.0, 1.0);
  } else if (vv == 0) {
    s = std::clamp(-uw / uu, 0.0, 1.0);
  } else {
    const double denominator = uu * vv - uv * uv;
    s = denominator > 0 ? std::clamp((uv * vw - uw * vv) / denominator, 0.0, 1.0) : 0;
    t = (uv * s + vw) / vv;
    if (t < 0) {
      t = 0;
      s = std::clamp(-uw / uu, 0.0, 1.0);
    } else if (t > 1) {
      t = 1;
      s = std::clamp((uv - uw) / uu, 0.0, 1.0);
    }
  }
  const double px = a.ax + s * ux, py = a.ay + s * uy;
  const double qx = b.ax + t * vx, qy = b.ay + t * vy;
  const double reach = double{a.reach} + b.reach;
  const double dx = qx - px, dy = qy - py;
  if (dx * dx + dy * dy > reach * reach) return false;
  const double share = a.reach / reach;
  x = px + share * dx;
  y = py + share * dy;
  return true;
}

}  // namespace pair_index

// The index of one search: the top grid, and the segments in its cells.
struct PairIndex {
  const Segment* segments = nullptr;
  int count = 0;
  PairSearchOptions options;
  // Segments with a coordinate far below the largest one, whose pairs
  // could sink into subnormals: none in any ordinary drawing.
  pair_index::Unfilled<unsigned char> tiny;
  std::vector<int> tinyOnes;
  pair_index::Grid grid{};
  // In the order of the block of their lower left corner, so that the
  // search walks memory nearly in order.
  pair_index::Unfilled<pair_index::Item> items;
  pair_index::Unfilled<std::uint32_t> start;    // top cell k holds members [start[k], start[k + 1])
  pair_index::Unfilled<std::uint32_t> members;  // positions in `items`
  std::vector<std::size_t> chunks;  // cells [chunks[k], chunks[k + 1]) are one piece of work
  // Rounds before the last one hand out their pairs from here.
  pair_index::Large<PairKey> sorted;
  // Where tracedApart, the pairs of two traced segments are found apart,
  // all at once, and not in the cells.
  bool tracedApart = false;
  PairKeys tracedPairs;

  bool crowded(std::uint32_t cell) const {
    return start[cell + 1] - start[cell] > std::uint32_t(pair_index::leafSize);
  }
  bool stopped() const { return options.stopped && options.stopped(); }
  bool rounded() const { return options.rules.precise != nullptr; }
};

// Places every segment of index.segments but the tiny ones in the top grid.
// Dense when the tiny ones alone meet so many that testing every pair pays.
PairSearch buildPairIndex(PairIndex& index);
