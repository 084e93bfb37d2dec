#include "inspect.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <utility>

#include "geometry/intersect.h"

namespace {

std::string pointText(float x, float y) {
  return "(" + shortest(x) + ", " + shortest(y) + ")";
}

// Whether the point lies in the bounding box of the segment.
bool inBox(float x, float y, const Segment& s) {
  return x >= std::fmin(s.A.x, s.B.x) && x <= std::fmax(s.A.x, s.B.x) &&
         y >= std::fmin(s.A.y, s.B.y) && y <= std::fmax(s.A.y, s.B.y);
}

// The crossing points drawn within the boxes of the highlighted segments,
// in the order drawn: drawn again on top, where the highlights would cover
// them.
std::vector<float> dotsOn(const std::vector<Segment>& highlighted, const float* points,
                          std::size_t pointCount, const RunCells* pointCells) {
  const auto onOne = [&](std::size_t k) {
    return std::any_of(highlighted.begin(), highlighted.end(), [&](const Segment& s) {
      return inBox(points[2 * k], points[2 * k + 1], s);
    });
  };
  std::vector<std::size_t> near;
  if (pointCells && highlighted.size() <= 64) {
    for (const Segment& s : highlighted) {
      pointCells->forFiguresNear(boxOf(s), [&](std::size_t first, std::size_t end) {
        for (std::size_t k = first; k < end; ++k) {
          if (inBox(points[2 * k], points[2 * k + 1], s)) near.push_back(k);
        }
      });
    }
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
  } else {
    for (std::size_t k = 0; k < pointCount; ++k) {
      if (onOne(k)) near.push_back(k);
    }
  }
  std::vector<float> dots;
  for (const std::size_t k : near) dots.insert(dots.end(), {points[2 * k], points[2 * k + 1]});
  return dots;
}

// The pairs of segment s as the later of the two: a run of the report.
std::span<const PairKey> pairsAsLater(const Inspection& in, int s) {
  const auto first = std::partition_point(in.meetings.begin(), in.meetings.end(),
                                          [s](PairKey key) { return laterOf(key) < s; });
  const auto end = std::partition_point(first, in.meetings.end(),
                                        [s](PairKey key) { return laterOf(key) == s; });
  return {first, end};
}

// Calls f(key) for each pair of segment s as the earlier of the two.
template <class F>
void forPairsAsEarlier(const Inspection& in, int s, F f) {
  if (in.partnerStart.empty()) {
    for (const PairKey key : in.meetings) {
      if (earlierOf(key) == s) f(key);
    }
    return;
  }
  for (std::uint32_t k = in.partnerStart[std::size_t(s)]; k < in.partnerStart[std::size_t(s) + 1];
       ++k) {
    f(in.meetings[in.partnerPairs[k]]);
  }
}

void selectSegment(const Inspection& in, Selection& selection) {
  const int s = selection.picked.segment;
  const auto add = [&](PairKey key, int partner) {
    (kindOf(key) == Overlap ? selection.overlapped : selection.crossed).push_back(partner);
  };
  for (const PairKey key : pairsAsLater(in, s)) add(key, earlierOf(key));
  forPairsAsEarlier(in, s, [&](PairKey key) { add(key, laterOf(key)); });
  std::sort(selection.crossed.begin(), selection.crossed.end());
  std::sort(selection.overlapped.begin(), selection.overlapped.end());
  const Segment& segment = in.segments[std::size_t(s)];
  selection.head = "Duz " + std::to_string(s) + ": " + pointText(segment.A.x, segment.A.y) + " - " +
                   pointText(segment.B.x, segment.B.y);
  if (const std::string origin = in.origin ? in.origin(s) : ""; !origin.empty()) {
    selection.head += " (" + origin + ")";
  }
  const std::pair<const char*, const std::vector<int>*> lists[] = {
      {"; sece: ", &selection.crossed}, {"; poklapa se sa: ", &selection.overlapped}};
  for (const auto& [title, list] : lists) {
    for (std::size_t k = 0; k < list->size(); ++k) {
      selection.pieces.push_back((k == 0 ? title : ", ") + std::to_string((*list)[k]));
      selection.highlighted.push_back(in.segments[std::size_t((*list)[k])]);
    }
  }
  selection.highlighted.push_back(segment);
}

void selectCrossing(const Inspection& in, Selection& selection) {
  const Point p = selection.picked.point;
  // Only segments whose boxes hold the point can cross there.
  std::vector<int> near;
  forSegmentsNear(in.segmentIndex, int(in.segments.size()), Box{p.x, p.y, p.x, p.y}, [&](int k) {
    if (inBox(p.x, p.y, in.segments[std::size_t(k)])) near.push_back(k);
  });
  std::sort(near.begin(), near.end());
  near.erase(std::unique(near.begin(), near.end()), near.end());
  for (const int i : near) {
    for (const PairKey key : pairsAsLater(in, i)) {
      const int j = earlierOf(key);
      if (kindOf(key) != PointIntersection || !std::binary_search(near.begin(), near.end(), j)) {
        continue;
      }
      Point crossing;
      const bool meets =
          in.crossing ? in.crossing(j, i, crossing)
                      : intersectSegments(in.segments[std::size_t(j)], in.segments[std::size_t(i)],
                                          &crossing) == PointIntersection;
      if (meets && crossing.x == p.x && crossing.y == p.y) selection.pairs.emplace_back(j, i);
    }
  }
  selection.head = "Tacka " + pointText(p.x, p.y) + ":";
  for (std::size_t k = 0; k < selection.pairs.size(); ++k) {
    const auto [j, i] = selection.pairs[k];
    selection.pieces.push_back((k == 0 ? " duzi " : ", ") + std::to_string(j) + " i " +
                               std::to_string(i));
    selection.highlighted.push_back(in.segments[std::size_t(j)]);
    selection.highlighted.push_back(in.segments[std::size_t(i)]);
  }
}

}  // namespace

std::string shortest(float v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

Inspection inspectReport(std::span<const Segment> segments, PairKeys meetings) {
  Inspection in;
  in.segments = segments;
  in.meetings = std::move(meetings);
  in.segmentZeroMeets = std::any_of(in.meetings.begin(), in.meetings.end(),
                                    [](PairKey key) { return earlierOf(key) == 0; });
  in.segmentIndex = segmentCells(segments.data(), int(segments.size()));
  if (in.meetings.size() >= UINT32_MAX) return in;
  try {
    in.partnerStart.assign(segments.size() + 1, 0);
    const PairKeys& pairs = in.meetings;
    groupByBucket(
        pairs.size(), [&](std::size_t k) { return std::size_t(earlierOf(pairs[k])); },
        in.partnerStart, in.partnerPairs);
  } catch (const std::bad_alloc&) {
    in.partnerStart = {};
    in.partnerPairs = {};
  }
  return in;
}

Selection selectAt(const Inspection& inspection, double x, double y, double radius,
                   const float* points, std::size_t pointCount, const RunCells* pointCells) {
  Selection selection;
  selection.picked = pickFigure(x, y, radius, inspection.segments.data(),
                                int(inspection.segments.size()), inspection.segmentZeroMeets,
                                points, pointCount, &inspection.segmentIndex, pointCells);
  if (selection.picked.kind == Picked::Segment) selectSegment(inspection, selection);
  if (selection.picked.kind == Picked::Crossing) selectCrossing(inspection, selection);
  selection.dots = dotsOn(selection.highlighted, points, pointCount, pointCells);
  return selection;
}

std::string captionOf(const Selection& selection) {
  std::string text = selection.head;
  for (const std::string& piece : selection.pieces) text += piece;
  return text;
}

std::string fittedCaption(const Selection& selection, int width,
                          const std::function<int(const std::string&)>& measure) {
  const std::string whole = captionOf(selection);
  if (measure(whole) <= width) return whole;
  std::string text = selection.head;
  std::size_t kept = 0;
  const std::size_t total = selection.pieces.size();
  auto withRest = [&](const std::string& shown, std::size_t count) {
    return shown + " ... (+" + std::to_string(total - count) + ")";
  };
  while (kept < total && measure(withRest(text + selection.pieces[kept], kept + 1)) <= width) {
    text += selection.pieces[kept++];
  }
  return withRest(text, kept);
}
