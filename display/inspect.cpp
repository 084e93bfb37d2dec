#include "inspect.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "geometry/intersect.h"

namespace {

const Segment* inputSegments = nullptr;
int inputCount = 0;
PairKeys meetingPairs;
bool segmentZeroMeets = false;

std::string pointText(float x, float y) {
  return "(" + shortest(x) + ", " + shortest(y) + ")";
}

// Whether the point lies in the bounding box of the segment.
bool inBox(float x, float y, const Segment& s) {
  return x >= std::fmin(s.A.x, s.B.x) && x <= std::fmax(s.A.x, s.B.x) &&
         y >= std::fmin(s.A.y, s.B.y) && y <= std::fmax(s.A.y, s.B.y);
}

// The crossing points drawn within the boxes of the highlighted segments:
// drawn again on top, where the highlights would cover them.
std::vector<float> dotsOn(const std::vector<Segment>& highlighted, const float* points,
                          std::size_t pointCount) {
  std::vector<float> dots;
  for (std::size_t k = 0; k < pointCount; ++k) {
    const float x = points[2 * k], y = points[2 * k + 1];
    for (const Segment& s : highlighted) {
      if (inBox(x, y, s)) {
        dots.insert(dots.end(), {x, y});
        break;
      }
    }
  }
  return dots;
}

void selectSegment(Selection& selection) {
  const int s = selection.picked.segment;
  for (const PairKey key : meetingPairs) {
    const int i = laterOf(key), j = earlierOf(key);
    if (i != s && j != s) continue;
    (kindOf(key) == Overlap ? selection.overlapped : selection.crossed).push_back(i == s ? j : i);
  }
  std::sort(selection.crossed.begin(), selection.crossed.end());
  std::sort(selection.overlapped.begin(), selection.overlapped.end());
  const Segment& segment = inputSegments[s];
  selection.head = "Duz " + std::to_string(s) + ": " + pointText(segment.A.x, segment.A.y) + " - " +
                   pointText(segment.B.x, segment.B.y);
  const std::pair<const char*, const std::vector<int>*> lists[] = {
      {"; sece: ", &selection.crossed}, {"; poklapa se sa: ", &selection.overlapped}};
  for (const auto& [title, list] : lists) {
    for (std::size_t k = 0; k < list->size(); ++k) {
      selection.pieces.push_back((k == 0 ? title : ", ") + std::to_string((*list)[k]));
      selection.highlighted.push_back(inputSegments[(*list)[k]]);
    }
  }
  selection.highlighted.push_back(segment);
}

void selectCrossing(Selection& selection) {
  const Point p = selection.picked.point;
  // Only segments whose boxes hold the point can cross there.
  std::vector<bool> near(std::size_t(inputCount), false);
  for (int k = 0; k < inputCount; ++k) near[k] = inBox(p.x, p.y, inputSegments[k]);
  for (const PairKey key : meetingPairs) {
    const int i = laterOf(key), j = earlierOf(key);
    if (kindOf(key) != PointIntersection || !near[i] || !near[j]) continue;
    Point crossing;
    intersectSegments(inputSegments[j], inputSegments[i], &crossing);
    if (crossing.x == p.x && crossing.y == p.y) selection.pairs.emplace_back(j, i);
  }
  selection.head = "Tacka " + pointText(p.x, p.y) + ":";
  for (std::size_t k = 0; k < selection.pairs.size(); ++k) {
    const auto [j, i] = selection.pairs[k];
    selection.pieces.push_back((k == 0 ? " duzi " : ", ") + std::to_string(j) + " i " +
                               std::to_string(i));
    selection.highlighted.push_back(inputSegments[j]);
    selection.highlighted.push_back(inputSegments[i]);
  }
}

}  // namespace

std::string shortest(float v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

void inspectReport(const Segment* segments, int count, PairKeys meetings) {
  inputSegments = segments;
  inputCount = count;
  meetingPairs = std::move(meetings);
  segmentZeroMeets = std::any_of(meetingPairs.begin(), meetingPairs.end(),
                                 [](PairKey key) { return earlierOf(key) == 0; });
}

Selection selectAt(double x, double y, double radius, const float* points, std::size_t pointCount) {
  Selection selection;
  selection.picked =
      pickFigure(x, y, radius, inputSegments, inputCount, segmentZeroMeets, points, pointCount);
  if (selection.picked.kind == Picked::Segment) selectSegment(selection);
  if (selection.picked.kind == Picked::Crossing) selectCrossing(selection);
  selection.dots = dotsOn(selection.highlighted, points, pointCount);
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
