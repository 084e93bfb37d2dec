// Turning a layer's geometries into segments, part by part, vertex by
// vertex.
#include "map_reader.h"

#include <sys/mman.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <memory>
#include <new>

void MapReader::endLayer() {
  if (lowestLongitude >= -180 && highestLongitude <= 180) acrossTheGlobe += layerAcross;
  layerAcross = 0;
  lowestLongitude = INFINITY, highestLongitude = -INFINITY;
}

bool MapReader::fail(MapOutcome outcome, const std::string& message) {
  input.outcome = outcome;
  input.message = message;
  return false;
}

// Room for `count` segments, in whole blocks grown in place, as the
// text reader keeps them: the pair search reads them all over.
bool MapReader::fit(std::size_t count) {
  SegmentArray& a = input.segments;
  if (count <= std::size_t(a.capacity)) return true;
  if (count > std::size_t(INT32_MAX)) return fail(MapOutcome::OutOfMemory, "");
  const std::size_t wanted =
      std::min(std::max(count, std::size_t(a.capacity) * 2), std::size_t(INT32_MAX));
  const std::size_t size = wholeBlocks(wanted * sizeof(Segment));
  void* grown = a.mapped ? mremap(a.items, a.mapped, size, MREMAP_MAYMOVE) : allocatePages(size);
  if (!grown || grown == MAP_FAILED) return fail(MapOutcome::OutOfMemory, "");
  a.items = static_cast<Segment*>(grown);
  a.mapped = size;
  a.capacity = int(std::min(size / sizeof(Segment), std::size_t(INT32_MAX)));
  return true;
}

bool MapReader::add(const Segment& s) {
  SegmentArray& a = input.segments;
  if (a.count == a.capacity && !fit(std::size_t(a.count) + 1)) return false;
  a.items[a.count++] = s;
  return true;
}

// The segments of one part, vertex by vertex.
bool MapReader::part(const OGRSimpleCurve& curve, std::int64_t fid, std::uint32_t number) {
  const int n = curve.getNumPoints();
  const std::uint32_t first = std::uint32_t(input.segments.count);
  bool any = false;
  Point previous, start;
  double previousX = 0, previousY = 0, startX = 0, startY = 0;
  int kept = 0;  // the index of the last vertex kept
  for (int k = 0; k < n; ++k) {
    const double x = curve.getX(k), y = curve.getY(k);
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > FLT_MAX ||
        std::fabs(y) > FLT_MAX) {
      char text[64];
      std::snprintf(text, sizeof text, "(%.17g, %.17g)", x, y);
      return fail(MapOutcome::Bad, "sloj " + layerName + ", objekat " + std::to_string(fid) +
                                       ": teme " + std::to_string(k) + " " + text +
                                       " nije konacan broj u opsegu float-a");
    }
    const Point p{float(x), float(y)};
    worstLoss = std::max({worstLoss, std::fabs(double{p.x} - x), std::fabs(double{p.y} - y)});
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
    if (k == 0) {
      previous = start = p;
      previousX = startX = x, previousY = startY = y;
      continue;
    }
    // A repeated vertex: as read where judged exactly, else as floats.
    if (exact ? x == previousX && y == previousY : p.x == previous.x && p.y == previous.y) {
      continue;
    }
    if (!add(Segment(previous, p))) return false;
    if (exact && !precise.push({previousX, previousY, x, y})) {
      return fail(MapOutcome::OutOfMemory, "");
    }
    if (longitude >= 0) {
      const double lon = longitude == 0 ? x : y, from = longitude == 0 ? previousX : previousY;
      lowestLongitude = std::min({lowestLongitude, lon, from});
      highestLongitude = std::max({highestLongitude, lon, from});
      if (std::fabs(lon - from) > 180) ++layerAcross;
    }
    try {
      partOf.push_back(std::uint32_t(parts.size()));
      vertexOf.push_back(std::uint32_t(kept));
    } catch (const std::bad_alloc&) {
      return fail(MapOutcome::OutOfMemory, "");
    }
    previous = p;
    previousX = x, previousY = y;
    kept = k;
    any = true;
  }
  if (!any) return true;
  const bool closed = exact ? previousX == startX && previousY == startY
                            : previous.x == start.x && previous.y == start.y;
  try {
    parts.push_back({fid, first, std::uint32_t(input.segments.count - 1), number,
                     std::uint16_t(layerIndex), closed});
  } catch (const std::bad_alloc&) {
    return fail(MapOutcome::OutOfMemory, "");
  }
  return true;
}

// Every part of a geometry, in order.
bool MapReader::geometry(const OGRGeometry& g, std::int64_t fid, std::uint32_t& number) {
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbLineString:
    case wkbLinearRing:
      return part(*g.toLineString(), fid, number++);
    case wkbPolygon:
      for (const OGRLinearRing* ring : *g.toPolygon()) {
        if (!part(*ring, fid, number++)) return false;
      }
      return true;
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbGeometryCollection:
      for (const OGRGeometry* member : *g.toGeometryCollection()) {
        if (!geometry(*member, fid, number)) return false;
      }
      return true;
    case wkbPoint:
    case wkbMultiPoint:
      ++skipped;
      return true;
    default:
      if (g.hasCurveGeometry()) {  // arcs, as the straight pieces GDAL makes of them
        std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
        return !linear || geometry(*linear, fid, number);
      }
      ++skipped;
      return true;
  }
}

// One feature's geometry, or a count of the skipped.
bool MapReader::take(const OGRGeometry* g, std::int64_t fid) {
  if (!g || g->IsEmpty()) {
    ++skipped;
    return true;
  }
  std::uint32_t number = 0;
  return geometry(*g, fid, number);
}

// Room for about `features` more features, as most maps have them (a
// part each, a few segments a part), so that the arrays seldom move:
// fresh memory, where each page is cleared as it is first touched, costs
// more than the reading on some machines. Room never touched costs none.
void MapReader::reserve(long long features) {
  const auto more = std::size_t(std::clamp(features, 0LL, (long long)INT32_MAX));
  try {
    parts.reserve(parts.size() + more);
    partOf.reserve(partOf.size() + 2 * more);
    vertexOf.reserve(vertexOf.size() + 2 * more);
  } catch (const std::bad_alloc&) {  // then they grow as they fill
  }
}
