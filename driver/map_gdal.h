// The map module (libsegments_map.so, built with GDAL): reading map layers
// and writing the crossings layer. Loaded only for a file that is not plain
// numbers, so that a run on text needs none of GDAL's hundred libraries (nor
// their memory).
#pragma once

#include <string>

#include "map_layer.h"

MapInput readWithGdal(const std::string& path, const std::string& layerName, bool exact,
                      bool (*stopped)());

std::string writeWithGdal(const std::string& path, CrossingSource source, const MapLayers& from,
                          bool (*stopped)());
