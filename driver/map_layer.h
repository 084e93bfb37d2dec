// Map layers (GeoJSON, Shapefile, GeoPackage, ...) read with GDAL: their
// line work as segments, with where each segment comes from.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "input.h"

// One part of a feature's geometry: a line string, or a polygon's ring.
struct MapPart {
  std::int64_t fid;            // the feature id GDAL gives
  std::uint32_t firstSegment;  // its segments are [firstSegment, lastSegment]
  std::uint32_t lastSegment;
  std::uint32_t part;   // the part's number within its feature
  std::uint16_t layer;  // index into MapLayers::layerNames
  bool closed;          // it ends where it starts
};

// The map the segments came from, or none (`active` false) for a text file.
struct MapLayers {
  bool active = false;
  std::vector<std::string> layerNames;
  std::vector<MapPart> parts;
  std::vector<std::uint32_t> partOf;    // for every segment
  std::vector<std::uint32_t> vertexOf;  // its first vertex's index in its part
  std::string spatialReference;         // of the first layer read, as WKT
};

extern MapLayers map;

enum class MapOutcome {
  NotAMap,     // GDAL does not see line work in the file: read it as text
  Segments,    // at least one segment
  NoData,      // layers without any segment
  CannotOpen,  // a map that GDAL cannot open (a broken GeoJSON, say)
  Bad,         // a bad layer name or coordinate; `message` says which
  OutOfMemory,
  Stopped,
};

struct MapInput {
  MapOutcome outcome = MapOutcome::NotAMap;
  SegmentArray segments;
  std::string message;  // for CannotOpen and Bad: names the file, layer and feature
};

// Reads every LineString, MultiLineString, Polygon and MultiPolygon ring of
// the file's layers (only `layer`, if not empty), in feature order, part by
// part, into segments between consecutive vertices, and fills `map`. A
// vertex that repeats the one before it, as floats, is dropped. Warnings
// (skipped geometries, coordinates a float cannot hold) go to standard
// error. A plain text file of numbers is NotAMap.
MapInput readMapLayers(const std::string& path, const std::string& layer);

// The extension of `path` from its last dot, in lower case ("" without a
// dot), as the map formats are known by.
inline std::string lowerExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Whether `path` has the extension of a map format (.geojson, .gpkg, .shp,
// ...): a file so named that cannot be read as a map is a broken map, not a
// text file of numbers.
bool namedAsMap(const std::string& path);

// Whether segments j and i follow each other in one part: the end of one is
// the start of the other by construction.
bool isJoint(int j, int i);

// ",layer,fid,part,vertex" of segment k, for the CSV report.
void appendOrigin(std::string& out, int k);

// "sloj L, objekat F, deo P, teme V": where segment k comes from, for a
// caption.
std::string describeOrigin(int k);

// The crossing points and overlapping stretches of `pairs` (the meeting
// pairs, in report order) as a layer in the format `path`'s extension
// names, written whole or not at all. An empty string when written;
// otherwise what went wrong.
std::string writeCrossingsLayer(const std::string& path, const Segment* segments,
                                const std::uint64_t* pairs, std::size_t count);

// The map module (libsegments_map.so beside the program, built with GDAL):
// what readMapLayers and writeCrossingsLayer call once it is loaded. `read`
// gives NotAMap, with GDAL's reason in `message`, for a file GDAL cannot
// open or that holds no geometry.
struct MapModule {
  MapInput (*read)(const std::string& path, const std::string& layer, MapLayers& into,
                   bool (*stopped)());
  std::string (*write)(const std::string& path, const Segment* segments, const std::uint64_t* pairs,
                       std::size_t count, MapLayers& from, bool (*stopped)());
};
extern "C" void segmentsMapModule(MapModule* module);
