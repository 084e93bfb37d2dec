#pragma once

#include <cstdint>
#include <vector>

#include "view.h"

// Builds the drawing of the scene; the scene must not change afterwards.
// Returns false, with nothing prepared, when memory runs out or `stopped`
// (asked now and then) says so.
[[nodiscard]] bool prepareScene(bool (*stopped)() = nullptr);

// How the drawing's vertices are sent to OpenGL: as they are, for the
// current matrices to place; or moved, computed in double as
// ((x - cx) * scale, (y - cy) * scale) and clipped beforehand to `keep`, a
// region of the drawing plane around the view.
struct Placement {
  bool moved = false;
  double cx = 0, cy = 0, scale = 1;
  Box keep{};
  double pixelsPerUnit = 0;  // window pixels per scene unit, for moved views
  bool operator==(const Placement&) const = default;
};

// Whether the prepared drawing is too large for the graphics driver to draw
// at a useful pace: then every view of it is painted on the processor.
bool paintedOnProcessor();

// The bytes of vertices of the prepared drawing that OpenGL draws: none for
// a drawing painted on the processor.
std::uint64_t drawingVertexBytes();

// Clears and paints the prepared scene into the current buffer; without
// `crossings`, all but the crossing points.
void paintScene(const Placement& placement = {}, bool crossings = true);

// Puts rows of RGB pixels, bottom row first, into the whole window.
void copyPixels(const std::vector<std::uint8_t>& pixels, int width, int height);

struct RunCells;

// The crossing points drawn: `count` x, y pairs; and, where they are kept
// in cells, the cells.
const float* crossingPoints(std::size_t& count, const RunCells** cells = nullptr);

// The bounds of every figure drawn (end points, crossing points); false for
// an empty drawing.
bool drawingBounds(Box& box);

// Whether any figure drawn passes through `box`.
bool anyFigureIn(const Box& box);
