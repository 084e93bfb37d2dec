#include "pair_cells.h"

#include "buckets.h"
#include "stopping.h"

using namespace pair_index;

Grid pair_index::gridOver(const Rect& region, double cells, double h, double pad) {
  Grid grid{};
  grid.h = grid.inverse = 1;
  grid.columns = grid.rows = grid.blockRows = 1;
  grid.pad = pad;
  if (!(region.x0 <= region.x1 && region.y0 <= region.y1)) return grid;  // nothing to place
  grid.x0 = region.x0 - 2 * pad;
  grid.y0 = region.y0 - 2 * pad;
  const double width = region.x1 - region.x0 + 4 * pad, height = region.y1 - region.y0 + 4 * pad;
  h = std::max({h, std::sqrt(width * height / cells), width / 65000, height / 65000, pad});
  while ((std::floor(width / h) + 1) * (std::floor(height / h) + 1) > cells) h *= 1.25;
  grid.h = h;
  grid.inverse = 1 / h;
  grid.columns = int(std::floor(width / h)) + 1;
  grid.rows = int(std::floor(height / h)) + 1;
  // At most 4096 blocks: the segments are put in block order in one pass.
  while ((std::size_t(grid.columns) * std::size_t(grid.rows) >> 2 * grid.shift) > 4096)
    ++grid.shift;
  grid.blockRows = (grid.rows + (1 << grid.shift) - 1) >> grid.shift;
  return grid;
}

bool pair_index::divideCell(const Unfilled<Item>& items, const Rect& cell, std::size_t depth,
                            double pad, std::vector<std::uint32_t>& stack, std::size_t from,
                            std::size_t to, Grid& sub, std::vector<std::uint32_t>& start,
                            const std::function<bool()>& interrupted) {
  const std::size_t k = to - from;
  if (k <= std::size_t(leafSize) || depth > deepestGrid) return false;
  Rect around{INFINITY, INFINITY, -INFINITY, -INFINITY};
  float extents[64];
  std::size_t sampled = 0;
  const std::size_t every = std::max<std::size_t>(1, k / 64);
  for (std::size_t m = from; m < to; ++m) {
    if (stopDue(m - from + 1, interrupted)) return false;
    const Rect box = widenedBox(items[stack[m]]);
    around = {std::min(around.x0, box.x0), std::min(around.y0, box.y0), std::max(around.x1, box.x1),
              std::max(around.y1, box.y1)};
    if ((m - from) % every == 0 && sampled < 64) {
      extents[sampled++] = float(std::max(box.x1 - box.x0, box.y1 - box.y0));
    }
  }
  std::nth_element(extents, extents + sampled / 2, extents + sampled);
  const Rect region{std::max(around.x0, cell.x0), std::max(around.y0, cell.y0),
                    std::min(around.x1, cell.x1), std::min(around.y1, cell.y1)};
  sub = gridOver(region, 0.5 * double(k) + 4, extents[sampled / 2], pad);
  if (sub.cellCount() < 2) return false;
  start.resize(sub.cellCount() + 1);
  const std::size_t top = stack.size();
  bool thinned = true;
  sortIntoBuckets(
      start.data(), sub.cellCount(),
      [&](auto count) {
        for (std::size_t m = from; m < to && thinned; ++m) {
          thinned = !stopDue(m - from + 1, interrupted);
          forEachCell(items[stack[m]], sub, count);
        }
      },
      [&](auto place) {
        // Placed only where the cells, counted, hold fewer pairs.
        double pairs = 0;
        for (std::size_t c = 0; c < sub.cellCount(); ++c) {
          const double n = start[c + 1] - start[c];
          pairs += n * n;
        }
        thinned = thinned && pairs <= thinning * double(k) * double(k);
        if (!thinned) return;
        stack.resize(top + start[sub.cellCount()]);
        for (std::size_t m = from; m < to; ++m) {
          const std::uint32_t position = stack[m];
          forEachCell(items[position], sub,
                      [&](std::uint32_t c) { stack[top + place(c)] = position; });
        }
      });
  return thinned;
}
