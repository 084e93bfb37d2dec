// Anchor: the crossing points found as a library user would with CGAL's
// sweep, CGAL::compute_intersection_points, in the exact kernel. Writes the
// number of points.
// usage: anchor_cgal FILE
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/Sweep_line_2_algorithms.h>
#include <cstdio>
#include <iterator>
#include <vector>

#include "anchor_input.h"

using Kernel = CGAL::Exact_predicates_exact_constructions_kernel;
using Point = Kernel::Point_2;
using Segment = Kernel::Segment_2;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::vector<Segment> segments;
  for (const AnchorSegment& s : readAnchorInput(argv[1])) {
    const Point a(s.x1, s.y1), b(s.x2, s.y2);
    if (a != b) segments.emplace_back(a, b);  // the sweep takes no points
  }
  std::vector<Point> points;
  CGAL::compute_intersection_points(segments.begin(), segments.end(), std::back_inserter(points));
  std::printf("%zu points\n", points.size());
}
