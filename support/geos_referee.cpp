#include "geos_referee.h"

#define GEOS_USE_ONLY_R_API
#include <gdal.h>
#include <geos_c.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <memory>

namespace {

struct Reading {
  RefereeLayer& layer;

  void part(const OGRSimpleCurve& curve) {
    const int first = int(layer.segments.size());
    const int number = int(layer.parts.size());
    double px = 0, py = 0, sx = 0, sy = 0;
    for (int k = 0; k < curve.getNumPoints(); ++k) {
      const double x = curve.getX(k), y = curve.getY(k);
      if (k == 0) {
        px = sx = x, py = sy = y;
        continue;
      }
      if (x == px && y == py) continue;
      layer.segments.push_back({px, py, x, y, number});
      px = x, py = y;
    }
    const int last = int(layer.segments.size()) - 1;
    if (last >= first) layer.parts.push_back({first, last, px == sx && py == sy});
  }

  void geometry(const OGRGeometry& g) {
    switch (wkbFlatten(g.getGeometryType())) {
      case wkbLineString:
      case wkbLinearRing:
        part(*g.toLineString());
        return;
      case wkbPolygon:
        for (const OGRLinearRing* ring : *g.toPolygon()) part(*ring);
        return;
      case wkbMultiLineString:
      case wkbMultiPolygon:
      case wkbGeometryCollection:
        for (const OGRGeometry* member : *g.toGeometryCollection()) geometry(*member);
        return;
      default:
        if (g.hasCurveGeometry()) {
          const std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
          if (linear) geometry(*linear);
        }
    }
  }
};

// GEOS's context, and a segment as a two-point line string.
struct Geos {
  GEOSContextHandle_t context = GEOS_init_r();
  ~Geos() { GEOS_finish_r(context); }

  GEOSGeometry* line(double ax, double ay, double bx, double by) const {
    GEOSCoordSequence* points = GEOSCoordSeq_create_r(context, 2, 2);
    GEOSCoordSeq_setXY_r(context, points, 0, ax, ay);
    GEOSCoordSeq_setXY_r(context, points, 1, bx, by);
    return GEOSGeom_createLineString_r(context, points);
  }
  // Whether the point lies on the geometry.
  bool on(double x, double y, const GEOSGeometry* g) const {
    GEOSGeometry* point = GEOSGeom_createPointFromXY_r(context, x, y);
    const bool meets = GEOSIntersects_r(context, point, g) == 1;
    GEOSGeom_destroy_r(context, point);
    return meets;
  }
};

// Whether an end point of segment k (its first with `atB` false) lies
// inside its line: not the first or last vertex of an open part.
bool insideLine(const RefereeLayer& layer, int k, bool atB) {
  const RefereePart& part = layer.parts[std::size_t(layer.segments[std::size_t(k)].part)];
  return part.closed || (atB ? k != part.last : k != part.first);
}

bool isJoint(const RefereeLayer& layer, int j, int i) {
  const RefereeSegment& a = layer.segments[std::size_t(j)];
  if (a.part != layer.segments[std::size_t(i)].part) return false;
  const RefereePart& part = layer.parts[std::size_t(a.part)];
  return i == j + 1 || (part.closed && j == part.first && i == part.last);
}

}  // namespace

bool readRefereeLayer(const std::string& path, RefereeLayer& layer, std::string& error) {
  GDALAllRegister();
  const std::unique_ptr<GDALDataset> dataset(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!dataset) {
    error = CPLGetLastErrorMsg();
    return false;
  }
  Reading reading{layer};
  for (OGRLayer* l : dataset->GetLayers()) {
    l->ResetReading();
    while (OGRFeature* raw = l->GetNextFeature()) {
      const std::unique_ptr<OGRFeature> feature(raw);
      if (const OGRGeometry* g = feature->GetGeometryRef(); g && !g->IsEmpty()) {
        reading.geometry(*g);
      }
    }
  }
  return true;
}

std::vector<RefereePair> refereePairs(const RefereeLayer& layer) {
  const Geos geos;
  const GEOSContextHandle_t c = geos.context;
  std::vector<GEOSGeometry*> lines;
  lines.reserve(layer.segments.size());
  GEOSSTRtree* tree = GEOSSTRtree_create_r(c, 10);
  for (const RefereeSegment& s : layer.segments) {
    lines.push_back(geos.line(s.ax, s.ay, s.bx, s.by));
    GEOSSTRtree_insert_r(c, tree, lines.back(), reinterpret_cast<void*>(lines.size() - 1));
  }
  std::vector<RefereePair> pairs;
  std::vector<int> near;
  for (int i = 0; i < int(lines.size()); ++i) {
    // The earlier segments whose boxes meet segment i's.
    near.clear();
    GEOSSTRtree_query_r(
        c, tree, lines[std::size_t(i)],
        [](void* item, void* found) {
          static_cast<std::vector<int>*>(found)->push_back(
              int(reinterpret_cast<std::size_t>(item)));
        },
        &near);
    std::sort(near.begin(), near.end());
    for (const int j : near) {
      if (j >= i) break;
      char* matrix = GEOSRelate_r(c, lines[std::size_t(j)], lines[std::size_t(i)]);
      const std::string m = matrix ? matrix : "FFFFFFFFF";
      GEOSFree_r(c, matrix);
      // Interior, boundary of the first against those of the second.
      const char ii = m[0], ib = m[1], bi = m[3], bb = m[4];
      if (ii == 'F' && ib == 'F' && bi == 'F' && bb == 'F') continue;
      RefereePair pair{j, i, RefereeClass::Overlap, false, 0, 0};
      if (ii != '1') {
        if (isJoint(layer, j, i)) continue;
        const RefereeSegment& a = layer.segments[std::size_t(j)];
        const RefereeSegment& b = layer.segments[std::size_t(i)];
        // Which end points are the meeting point.
        const bool aA = bi != 'F' || bb != 'F' ? geos.on(a.ax, a.ay, lines[std::size_t(i)]) : false;
        const bool aB = bi != 'F' || bb != 'F' ? geos.on(a.bx, a.by, lines[std::size_t(i)]) : false;
        const bool bA = ib != 'F' || bb != 'F' ? geos.on(b.ax, b.ay, lines[std::size_t(j)]) : false;
        const bool bB = ib != 'F' || bb != 'F' ? geos.on(b.bx, b.by, lines[std::size_t(j)]) : false;
        const bool insideFirst = (!aA && !aB) || (aA && insideLine(layer, j, false)) ||
                                 (aB && insideLine(layer, j, true));
        const bool insideSecond = (!bA && !bB) || (bA && insideLine(layer, i, false)) ||
                                  (bB && insideLine(layer, i, true));
        pair.kind = insideFirst && insideSecond ? RefereeClass::Cross : RefereeClass::Touch;
        pair.sharedVertex = (aA || aB) && (bA || bB);
        if (aA || aB) {
          pair.x = aA ? a.ax : a.bx, pair.y = aA ? a.ay : a.by;
        } else if (bA || bB) {
          pair.x = bA ? b.ax : b.bx, pair.y = bA ? b.ay : b.by;
        } else if (GEOSGeometry* at =
                       GEOSIntersection_r(c, lines[std::size_t(j)], lines[std::size_t(i)])) {
          GEOSGeomGetX_r(c, at, &pair.x);
          GEOSGeomGetY_r(c, at, &pair.y);
          GEOSGeom_destroy_r(c, at);
        }
      }
      pairs.push_back(pair);
    }
  }
  GEOSSTRtree_destroy_r(c, tree);
  for (GEOSGeometry* g : lines) GEOSGeom_destroy_r(c, g);
  return pairs;
}

const char* refereeClassName(RefereeClass kind) {
  switch (kind) {
    case RefereeClass::Cross:
      return "cross";
    case RefereeClass::Touch:
      return "touch";
    case RefereeClass::Overlap:
      return "overlap";
    case RefereeClass::None:
      break;
  }
  return "none";
}
