// The crossings layer of a map: where its lines cross, touch and overlap,
// written with GDAL.
#pragma once

#include <string>

#include "geometry/pair_keys.h"
#include "pairs.h"

// The crossings layer of a map (see writeCrossingsLayer) from `pairs`, its
// meeting pairs in report order: each crossing or touching point once for
// each pair of lines, where their segments meet at a vertex more than once.
std::string writeCrossings(const std::string& path, const Segment* segments,
                           const LoopOptions& options, const PairKeys& pairs);
