// Map layers (GeoJSON, Shapefile, GeoPackage, ...) read with GDAL: their
// line work as segments, with where each segment comes from.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/exact.h"
#include "geometry/pages.h"
#include "segment_array.h"

// One part of a feature's geometry: a line string, or a polygon's ring.
struct MapPart {
  std::int64_t fid;            // the feature id GDAL gives
  std::uint32_t firstSegment;  // its segments are [firstSegment, lastSegment]
  std::uint32_t lastSegment;
  std::uint32_t part;   // the part's number within its feature
  std::uint16_t layer;  // index into MapLayers::layerNames
  bool closed;          // it ends where it starts
};

// Where a map's segments come from: its layers, features and parts.
struct MapLayers {
  std::vector<std::string> layerNames;
  std::vector<MapPart> parts;
  std::vector<std::uint32_t> partOf;    // for every segment
  std::vector<std::uint32_t> vertexOf;  // its first vertex's index in its part
  std::string spatialReference;         // of the first layer read, as WKT
  bool geographic = false;              // its coordinates are longitude and latitude
  std::string units;                    // else its linear unit ("metre"), if known
  // The segments as read, for exact judgement: doubles, of which the
  // segments are the float roundings. Empty where the tolerance judges.
  PagedArray<PreciseSegment> precise;
};

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
  MapLayers origins;    // where each of the segments comes from
  std::string message;  // for CannotOpen and Bad: names the file, layer and feature
};

// Reads every LineString, MultiLineString, Polygon and MultiPolygon ring of
// the file's layers (only `layer`, if not empty), in feature order, part by
// part, into segments between consecutive vertices, with their origins.
// With `exact`, the coordinates are kept as read in origins.precise, and a vertex
// that repeats the one before it is dropped; without, one that repeats it
// as floats. Warnings (skipped geometries, coordinates a float cannot hold,
// lines across the antimeridian) go to standard error. A plain text file of
// numbers is NotAMap.
MapInput readMapLayers(const std::string& path, const std::string& layer, bool exact);

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
bool isJoint(const MapLayers& map, int j, int i);

// Whether end A (or with `atB`, end B) of segment k lies inside its line: a
// vertex between two of its segments, or any vertex of a closed part. The
// first and last vertex of an open part are the line's end points.
bool insideItsLine(const MapLayers& map, int k, bool atB);

// The part (a line string, or a polygon's ring) segment k belongs to.
std::uint32_t partOfSegment(const MapLayers& map, int k);

// ",layer,fid,part,vertex" of segment k, for the CSV report.
void appendOrigin(const MapLayers& map, std::string& out, int k);

// "sloj L, objekat F, deo P, teme V": where segment k comes from, for a
// caption.
std::string describeOrigin(const MapLayers& map, int k);

// The window's readout of a point of the map: "duzina 19.833330°, sirina
// 45.267100°" (the degree sign in Latin-1, as the window's font has it)
// where the coordinates are geographic, "(455000.50, 5012000.25) m" in the
// layer's units; "" where the layer names neither.
std::string describeCoordinates(const MapLayers& map, double x, double y);

// One feature of the crossings layer: where two lines cross, touch or
// overlap.
struct CrossingRecord {
  int first = 0, second = 0;     // the segments, by number
  int kind = PointIntersection;  // PointIntersection (they cross), Touch or Overlap
  double x0 = 0, y0 = 0;         // the point, or one end of the shared stretch
  double x1 = 0, y1 = 0;         // the stretch's other end
  bool sharedVertex = false;     // the point is a vertex of both lines
};

// Where the records come from, one at a time: next() fills `record` and
// returns 1, or returns 0 at the end, -1 where memory ran out.
struct CrossingSource {
  int (*next)(void* context, CrossingRecord& record);
  void* context;
};

// The GDAL driver of the format `path`'s extension names for the crossings
// layer, or nullptr for an extension of no such format.
inline const char* crossingsDriver(const std::string& path) {
  static const char* const names[][2] = {{".gpkg", "GPKG"},      {".geojson", "GeoJSON"},
                                         {".json", "GeoJSON"},   {".shp", "ESRI Shapefile"},
                                         {".fgb", "FlatGeobuf"}, {".gml", "GML"},
                                         {".kml", "KML"},        {".sqlite", "SQLite"},
                                         {".csv", "CSV"}};
  const std::string ext = lowerExtension(path);
  for (const auto& [e, name] : names) {
    if (ext == e) return name;
  }
  return nullptr;
}

// What keeps the crossings layer from being written at `path`, told before
// anything is read: a format no extension names, or a folder that is
// missing or closed to writing; "" where nothing does.
std::string crossingsPathProblem(const std::string& path);

// The crossings from `source` as a layer in the format `path`'s extension
// names, written whole or not at all. An empty string when written;
// otherwise what went wrong.
std::string writeCrossingsLayer(const std::string& path, CrossingSource source,
                                const MapLayers& map);

// The map module (libsegments_map.so beside the program, built with GDAL):
// what readMapLayers and writeCrossingsLayer call once it is loaded. `read`
// gives NotAMap, with GDAL's reason in `message`, for a file GDAL cannot
// open or that holds no geometry.
struct MapModule {
  MapInput (*read)(const std::string& path, const std::string& layer, bool exact,
                   bool (*stopped)());
  std::string (*write)(const std::string& path, CrossingSource source, const MapLayers& from,
                       bool (*stopped)());
};
extern "C" void segmentsMapModule(MapModule* module);
