// The crossings layer of a map: where its lines cross, touch and overlap,
// written with GDAL.
#pragma once

#include <string>

#include "display/prepare_map.h"
#include "geometry/pair_keys.h"
#include "pairs.h"

// The crossings layer of a map (see writeCrossingsLayer) from `pairs`, its
// meeting pairs in report order: each crossing or touching point once for
// each pair of lines, where their segments meet at a vertex more than once.
std::string writeCrossings(const std::string& path, const Segment* segments,
                           const LoopOptions& options, const PairKeys& pairs);

// The markers of a map's drawing: the records of its crossings layer. False
// where memory ran out or a stop signal came.
bool collectMarkers(const Segment* segments, const LoopOptions& options, const PairKeys& pairs,
                    MapMarkers& markers);
