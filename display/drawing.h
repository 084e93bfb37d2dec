// The drawing prepared from the scene: what the window paints, figure by
// figure, as vertices and runs of one shape and colour.
#pragma once

#include <cmath>
#include <vector>

#include "geometry/pages.h"
#include "view.h"

// A figure whose colour code is not in the palette keeps the colour that is
// current when it is drawn; until the first valid code of a frame that is the
// colour the previous frame ended with.
inline constexpr int inheritedColour = -1;

enum class Shape { Circles, Lines, Segments, Points };

// Consecutive figures of one shape, drawn in one colour.
struct Run {
  Shape shape;
  int colour;  // palette code, or inheritedColour
  int firstVertex;
  int vertexCount;
};

// Vectors that grow to megabytes for large scenes.
template <class T>
using LargeVector = std::vector<T, PageAllocator<T>>;

struct Drawing {
  LargeVector<float> vertices;                           // x, y pairs
  std::vector<Run> runs;                                 // circles, lines, segments, then points
  Box bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};  // of every vertex
  unsigned generation = 0;                               // counts the drawings made
};

extern Drawing drawing;
