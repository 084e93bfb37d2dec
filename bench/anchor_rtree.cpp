// Anchor: the meeting pairs found as a library user would with
// Boost.Geometry: an R-tree of the segments' boxes, bulk-loaded, queried with
// each box, and bg::intersects on the candidates. Writes "j i" per pair.
// usage: anchor_rtree FILE > pairs.txt
#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <cstdio>
#include <utility>
#include <vector>

#include "anchor_input.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using P = bg::model::d2::point_xy<float>;
using Box = bg::model::box<P>;
using Seg = bg::model::segment<P>;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::vector<AnchorSegment> input = readAnchorInput(argv[1]);
  std::vector<Seg> segments;
  std::vector<std::pair<Box, int>> boxes;
  for (int k = 0; k < int(input.size()); ++k) {
    const AnchorSegment& s = input[k];
    segments.emplace_back(P(s.x1, s.y1), P(s.x2, s.y2));
    Box box;
    bg::envelope(segments.back(), box);
    boxes.emplace_back(box, k);
  }
  bgi::rtree<std::pair<Box, int>, bgi::quadratic<16>> tree(boxes.begin(), boxes.end());
  long found = 0;
  std::vector<std::pair<Box, int>> near;
  for (int i = 0; i < int(segments.size()); ++i) {
    near.clear();
    tree.query(bgi::intersects(boxes[i].first), std::back_inserter(near));
    for (const auto& [box, j] : near) {
      if (j < i && bg::intersects(segments[j], segments[i])) {
        std::printf("%d %d\n", j, i);
        ++found;
      }
    }
  }
  std::fprintf(stderr, "%ld pairs\n", found);
}
