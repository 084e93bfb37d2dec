// The plain value records everything else is built from.
#pragma once

#include <cstdint>

// Index into the display's ten-colour palette. Codes outside 0..9 are legal in
// the records; the display simply keeps the colour that was already current.
enum ColourCode : std::int32_t {
  Red = 0,
  Green = 1,
  Blue = 2,
  Yellow = 3,
  Orange = 4,
  Magenta = 5,
  Cyan = 6,
  Purple = 7,
  White = 8,
  Black = 9,
};

enum IntersectionKind : int {
  NoIntersection = 0,
  PointIntersection = 1,
  Overlap = 2,
  // A map's lines that meet only where one of them ends (a road ending on
  // another): a PointIntersection of the segments, told apart by the
  // report of a map.
  Touch = 3,
};

struct Point {
  float x = 0;
  float y = 0;
  std::int32_t colour = Black;

  Point() = default;
  Point(float px, float py) : x(px), y(py) {}
};

struct Segment {
  Point A;
  Point B;
  std::int32_t colour = Black;

  Segment() = default;
  Segment(Point a, Point b) : A(a), B(b) {}
};

struct Line {
  Point point;      // a point the line passes through
  Point direction;  // used as a vector, not a position
  std::int32_t colour = Black;
};

struct Circle {
  Point centre;
  float radius = 0;
  std::int32_t colour = Black;
};
