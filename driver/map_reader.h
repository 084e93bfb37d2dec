// What reading a map's layers keeps as it goes: the segments, where each
// comes from, and what the warnings count. The map module's own.
#pragma once

#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/exact.h"
#include "geometry/pages.h"
#include "map_layer.h"

// Reading the line work of the layers into segments.
struct MapReader {
  MapInput input;
  bool (*stopped)() = nullptr;
  std::vector<MapPart> parts;
  std::vector<std::uint32_t> partOf, vertexOf;
  bool exact = false;  // keep the coordinates as read, in `precise`
  PagedArray<PreciseSegment> precise;
  std::uint32_t layerIndex = 0;
  std::string layerName;
  long long skipped = 0;  // points and empty geometries
  double worstLoss = 0;   // the largest rounding of a coordinate to float
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  // In a layer of longitudes and latitudes, which coordinate is the
  // longitude (0 for x, 1 for y, -1 for a layer of other units), how many
  // of its segments span more than half the globe, and the longitudes'
  // range: a layer said to be in degrees whose coordinates lie beyond 180
  // is not (a GeoJSON takes degrees for granted).
  int longitude = -1;
  long long layerAcross = 0, acrossTheGlobe = 0;
  double lowestLongitude = INFINITY, highestLongitude = -INFINITY;

  void endLayer();
  bool fail(MapOutcome outcome, const std::string& message);
  // Room for `count` segments, in whole blocks grown in place, as the
  // text reader keeps them: the pair search reads them all over.
  bool fit(std::size_t count);
  bool add(const Segment& s);
  // The segments of one part, vertex by vertex.
  bool part(const OGRSimpleCurve& curve, std::int64_t fid, std::uint32_t number);
  // Every part of a geometry, in order.
  bool geometry(const OGRGeometry& g, std::int64_t fid, std::uint32_t& number);
  // One feature's geometry, or a count of the skipped.
  bool take(const OGRGeometry* g, std::int64_t fid);
  // The features of a GeoPackage layer as columns, a batch of many at a
  // time (GDAL reads the next batch meanwhile): the geometries as WKB
  // beside their feature ids, without a feature object each, in half the
  // time. False with `input.outcome` NotAMap where GDAL offers no such
  // stream, or not the columns asked for: the features are read one by one.
  bool batches(OGRLayer& l);
  // The layer's features, in order: in batches where asked and GDAL offers
  // them, else one by one.
  bool features(OGRLayer& l, bool asBatches);
  // Room for about `features` more features, as most maps have them (a
  // part each, a few segments a part), so that the arrays seldom move:
  // fresh memory, where each page is cleared as it is first touched, costs
  // more than the reading on some machines. Room never touched costs none.
  void reserve(long long features);
};
