// A map's drawing: its lines quiet, and markers where they cross, overlap
// and touch (see Drawing::mapStyle).
#pragma once

#include <span>
#include <vector>

#include "drawing.h"
#include "geometry/figures.h"

// Where a map's lines meet, as its crossings layer lists them.
struct MapMarkers {
  std::vector<Point> crossings, touches;
  std::vector<Segment> overlaps;  // the stretches shared
  bool touchesSought = false;
};

// Makes `drawing` of the map's segments and markers, in the map style.
// Returns false, with the drawing empty, when memory runs out or `stopped`
// (asked now and then) says so.
[[nodiscard]] bool prepareMap(Drawing& drawing, std::span<const Segment> lines,
                              const MapMarkers& markers, bool (*stopped)() = nullptr);
