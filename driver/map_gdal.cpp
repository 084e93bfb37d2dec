// Reading and writing map layers with GDAL: a module of its own, loaded only
// for a file that is not plain numbers, so that a run on text needs none of
// GDAL's hundred libraries (nor their memory).
#include "map_layer.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_recordbatch.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "geometry/pages.h"

namespace {

// The map being read or written, and the run's stop signal.
MapLayers* layers = nullptr;
bool (*stopped)() = nullptr;

struct DatasetCloser {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// Whether any layer of the dataset has a geometry field: a CSV of plain
// numbers opens as a table without one.
bool hasGeometry(GDALDataset& dataset) {
  for (OGRLayer* layer : dataset.GetLayers()) {
    if (layer->GetLayerDefn()->GetGeomFieldCount() > 0) return true;
  }
  return false;
}

// Reading the line work of the layers into segments.
struct Reader {
  MapInput input;
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

  void endLayer() {
    if (lowestLongitude >= -180 && highestLongitude <= 180) acrossTheGlobe += layerAcross;
    layerAcross = 0;
    lowestLongitude = INFINITY, highestLongitude = -INFINITY;
  }

  bool fail(MapOutcome outcome, const std::string& message) {
    input.outcome = outcome;
    input.message = message;
    return false;
  }

  // Room for `count` segments, in whole blocks grown in place, as the
  // text reader keeps them: the pair search reads them all over.
  bool fit(std::size_t count) {
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

  bool add(const Segment& s) {
    SegmentArray& a = input.segments;
    if (a.count == a.capacity && !fit(std::size_t(a.count) + 1)) return false;
    a.items[a.count++] = s;
    return true;
  }

  // The segments of one part, vertex by vertex.
  bool part(const OGRSimpleCurve& curve, std::int64_t fid, std::uint32_t number) {
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
  bool geometry(const OGRGeometry& g, std::int64_t fid, std::uint32_t& number) {
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
  bool take(const OGRGeometry* g, std::int64_t fid) {
    if (!g || g->IsEmpty()) {
      ++skipped;
      return true;
    }
    std::uint32_t number = 0;
    return geometry(*g, fid, number);
  }

  // The features of a GeoPackage layer as columns, a batch of many at a
  // time (GDAL reads the next batch meanwhile): the geometries as WKB
  // beside their feature ids, without a feature object each, in half the
  // time. False with `input.outcome` NotAMap where GDAL offers no such
  // stream, or not the columns asked for: the features are read one by one.
  bool batches(OGRLayer& l) {
    ArrowArrayStream stream{};
    if (!l.GetArrowStream(&stream, nullptr)) return fail(MapOutcome::NotAMap, "");
    ArrowSchema schema{};
    int fidColumn = -1, geometryColumn = -1;
    if (stream.get_schema(&stream, &schema) == 0) {
      const std::string fidName = *l.GetFIDColumn() ? l.GetFIDColumn() : "OGC_FID";
      for (std::int64_t k = 0; k < schema.n_children; ++k) {
        const ArrowSchema& child = *schema.children[k];
        if (child.name == fidName && std::strcmp(child.format, "l") == 0) fidColumn = int(k);
        if (child.name == std::string(l.GetGeometryColumn()) && std::strcmp(child.format, "z") == 0)
          geometryColumn = int(k);
      }
      schema.release(&schema);
    }
    bool read = fidColumn >= 0 && geometryColumn >= 0;
    if (!read) fail(MapOutcome::NotAMap, "");
    while (read) {
      ArrowArray batch{};
      if (stream.get_next(&stream, &batch) != 0) {
        const char* why = stream.get_last_error(&stream);
        read = fail(MapOutcome::Bad, "sloj " + layerName + ": " + (why ? why : "?"));
        break;
      }
      if (!batch.release) break;  // the end
      const ArrowArray& fids = *batch.children[fidColumn];
      const ArrowArray& blobs = *batch.children[geometryColumn];
      const auto* fid = static_cast<const std::int64_t*>(fids.buffers[1]) + fids.offset;
      const auto* valid = static_cast<const std::uint8_t*>(blobs.buffers[0]);
      const auto* offsets = static_cast<const std::int32_t*>(blobs.buffers[1]) + blobs.offset;
      const auto* wkb = static_cast<const unsigned char*>(blobs.buffers[2]);
      for (std::int64_t k = 0; k < blobs.length && read; ++k) {
        if ((k & 0xFFF) == 0 && stopped()) {
          read = fail(MapOutcome::Stopped, "");
          break;
        }
        const std::int64_t at = blobs.offset + k;
        OGRGeometry* parsed = nullptr;
        if ((!valid || (valid[at >> 3] >> (at & 7) & 1)) && offsets[k + 1] > offsets[k]) {
          std::size_t used = 0;
          if (OGRGeometryFactory::createFromWkb(wkb + offsets[k], nullptr, &parsed,
                                                offsets[k + 1] - offsets[k], wkbVariantIso,
                                                used) != OGRERR_NONE) {
            read = fail(MapOutcome::Bad, "sloj " + layerName + ", objekat " +
                                             std::to_string(fid[k]) + ": neispravna geometrija");
            break;
          }
        }
        const std::unique_ptr<OGRGeometry> g(parsed);
        read = take(g.get(), fid[k]);
      }
      batch.release(&batch);
    }
    stream.release(&stream);
    return read;
  }

  // The layer's features, in order: in batches where asked and GDAL offers
  // them, else one by one.
  bool features(OGRLayer& l, bool asBatches) {
    // Only the geometries are wanted: the attributes are not even parsed.
    std::vector<const char*> ignored{"OGR_STYLE"};
    OGRFeatureDefn* defn = l.GetLayerDefn();
    for (int k = 0; k < defn->GetFieldCount(); ++k)
      ignored.push_back(defn->GetFieldDefn(k)->GetNameRef());
    ignored.push_back(nullptr);
    l.SetIgnoredFields(ignored.data());
    l.ResetReading();
    if (asBatches) {
      if (batches(l)) return true;
      if (input.outcome != MapOutcome::NotAMap) return false;
      l.ResetReading();  // no such stream: one by one
    }
    CPLErrorReset();
    while (true) {
      OGRFeature* raw = l.GetNextFeature();
      if (!raw) break;
      const std::unique_ptr<OGRFeature> feature(raw);
      if (stopped()) return fail(MapOutcome::Stopped, "");
      if (!take(feature->GetGeometryRef(), feature->GetFID())) return false;
    }
    // A reading error ends GetNextFeature early, as the end would.
    if (CPLGetLastErrorType() >= CE_Failure) {
      return fail(MapOutcome::Bad, "sloj " + layerName + ": " + CPLGetLastErrorMsg());
    }
    return true;
  }

  // Room for about `features` more features, as most maps have them (a
  // part each, a few segments a part), so that the arrays seldom move:
  // fresh memory, where each page is cleared as it is first touched, costs
  // more than the reading on some machines. Room never touched costs none.
  void reserve(long long features) {
    const auto more = std::size_t(std::clamp(features, 0LL, (long long)INT32_MAX));
    try {
      parts.reserve(parts.size() + more);
      partOf.reserve(partOf.size() + 2 * more);
      vertexOf.reserve(vertexOf.size() + 2 * more);
    } catch (const std::bad_alloc&) {  // then they grow as they fill
    }
  }

  ~Reader() {
    if (input.segments.mapped) releasePages(input.segments.items, input.segments.mapped);
  }
};

// Which coordinate of the layer's data is the longitude: 0 for x, 1 for y,
// -1 where its coordinates are not longitudes and latitudes.
int longitudeAxis(const OGRSpatialReference* srs) {
  if (!srs || !srs->IsGeographic()) return -1;
  // The reference's own axes are latitude first where its authority says so;
  // the data may give them in another order.
  const int longitudeInReference = srs->EPSGTreatsAsLatLong() ? 2 : 1;
  const std::vector<int>& mapping = srs->GetDataAxisToSRSAxisMapping();
  for (std::size_t axis = 0; axis < mapping.size() && axis < 2; ++axis) {
    if (std::abs(mapping[axis]) == longitudeInReference) return int(axis);
  }
  return 0;
}

// One layer into `reader`, which holds what the layers before it gave.
bool readLayer(GDALDataset& dataset, OGRLayer& l, Reader& reader) {
  reader.layerName = l.GetName();
  try {
    layers->layerNames.push_back(reader.layerName);
  } catch (const std::bad_alloc&) {
    return reader.fail(MapOutcome::OutOfMemory, "");
  }
  const OGRSpatialReference* srs = l.GetSpatialRef();
  if (layers->spatialReference.empty() && srs) {
    char* wkt = nullptr;
    if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt) layers->spatialReference = wkt;
    CPLFree(wkt);
  }
  reader.longitude = longitudeAxis(srs);
  reader.reserve(l.GetFeatureCount(FALSE));  // -1 where counting would read the layer
  const bool read = reader.features(l, std::strcmp(dataset.GetDriverName(), "GPKG") == 0);
  reader.endLayer();
  return read;
}

}  // namespace

MapInput readWithGdal(const std::string& path, const std::string& layerName, bool exact,
                      MapLayers& into, bool (*stop)()) {
  layers = &into;
  stopped = stop;
  MapInput input;
  GDALAllRegister();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  Dataset dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  CPLPopErrorHandler();
  if (!dataset || !hasGeometry(*dataset)) {
    input.message = dataset ? "nema geometrije" : CPLGetLastErrorMsg();
    return input;
  }
  *layers = MapLayers{};
  layers->active = true;
  Reader reader;
  reader.exact = exact;
  CPLPushErrorHandler(CPLQuietErrorHandler);
  bool read = true;
  if (!layerName.empty()) {
    OGRLayer* layer = dataset->GetLayerByName(layerName.c_str());
    read = layer ? readLayer(*dataset, *layer, reader)
                 : reader.fail(MapOutcome::Bad, "nema sloja " + layerName);
  } else {
    for (OGRLayer* layer : dataset->GetLayers()) {
      if (reader.layerIndex > UINT16_MAX) {
        read = reader.fail(MapOutcome::Bad, "vise od 65536 slojeva");
        break;
      }
      if (!(read = readLayer(*dataset, *layer, reader))) break;
      ++reader.layerIndex;
    }
  }
  CPLPopErrorHandler();
  if (!read) {
    input.outcome = reader.input.outcome;
    input.message = reader.input.message;
    return input;
  }
  if (reader.skipped > 0) {
    std::fprintf(stderr,
                 "Upozorenje! %lld objekata bez linija (tacke, prazne geometrije) je preskoceno.\n",
                 reader.skipped);
  }
  // What a float cannot hold, against the size of the map: a loss of more
  // than 1e-7 of its width or height moves vertices visibly at full zoom.
  // Judged exactly, the answers keep the coordinates as read; only the
  // picture is rounded.
  const double extent = std::max(reader.maxX - reader.minX, reader.maxY - reader.minY);
  if (!exact && extent > 0 && reader.worstLoss > 1e-7 * extent) {
    std::fprintf(stderr,
                 "Upozorenje! Koordinate su zaokruzene na float: do %g, %.2g sirine mape.\n",
                 reader.worstLoss, reader.worstLoss / extent);
  }
  // A line cut at +-180 degrees and joined the long way round runs across
  // the whole map in these coordinates, meeting everything at its latitude.
  if (reader.acrossTheGlobe > 0) {
    std::fprintf(stderr,
                 "Upozorenje! %lld duzi obuhvata vise od 180 stepeni geografske duzine (linije "
                 "presecene na 180. meridijanu?): u ovim koordinatama idu preko cele mape i "
                 "seku sve sto lezi na njihovoj sirini.\n",
                 reader.acrossTheGlobe);
  }
  // What was read, in arrays of its size: the pair search needs the room.
  input.segments = reader.input.segments;
  reader.input.segments = SegmentArray{};
  SegmentArray& a = input.segments;
  const std::size_t used = wholeBlocks(std::size_t(a.count) * sizeof(Segment));
  if (a.mapped > used) {
    munmap(reinterpret_cast<char*>(a.items) + used, a.mapped - used);
    a.mapped = used;
    a.capacity = int(std::min(used / sizeof(Segment), std::size_t(INT32_MAX)));
  }
  layers->precise = std::move(reader.precise);
  layers->parts = std::move(reader.parts);
  layers->partOf = std::move(reader.partOf);
  layers->vertexOf = std::move(reader.vertexOf);
  try {
    layers->parts.shrink_to_fit();
    layers->partOf.shrink_to_fit();
    layers->vertexOf.shrink_to_fit();
  } catch (const std::bad_alloc&) {
  }
  input.outcome = a.count > 0 ? MapOutcome::Segments : MapOutcome::NoData;
  return input;
}

namespace {

// The GDAL driver for the extension of `path`.
const char* driverFor(const std::string& path) {
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

// Removes a folder and what is in it (one level: what a driver wrote).
void removeFolder(const std::string& folder) {
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
        unlink((folder + "/" + e->d_name).c_str());
      }
    }
    closedir(d);
  }
  rmdir(folder.c_str());
}

std::int64_t fidOf(int k) {
  return layers->parts[layers->partOf[std::size_t(k)]].fid;
}

// The two layers into `dataset`: points where the lines cross or touch,
// lines where they overlap; in one layer with a `result` field where the
// format holds one layer a file.
std::string writeLayers(GDALDataset& dataset, bool oneLayer, const std::string& pointsName,
                        const std::string& linesName, char** layerOptions, CrossingSource source) {
  OGRSpatialReference reference;
  OGRSpatialReference* srs = nullptr;
  if (!layers->spatialReference.empty() &&
      reference.importFromWkt(layers->spatialReference.c_str()) == OGRERR_NONE) {
    reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    srs = &reference;
  }
  const auto makeLayer = [&](const std::string& name, OGRwkbGeometryType type) -> OGRLayer* {
    OGRLayer* layer = dataset.CreateLayer(name.c_str(), srs, type, layerOptions);
    if (!layer) return nullptr;
    for (const char* field : {"first", "second"}) {
      OGRFieldDefn defn(field, OFTInteger);
      if (layer->CreateField(&defn) != OGRERR_NONE) return nullptr;
    }
    for (const char* field : {"first_fid", "second_fid"}) {
      OGRFieldDefn defn(field, OFTInteger64);
      if (layer->CreateField(&defn) != OGRERR_NONE) return nullptr;
    }
    OGRFieldDefn result("result", OFTString);
    OGRFieldDefn shared("shared_vertex", OFTInteger);
    if (layer->CreateField(&result) != OGRERR_NONE || layer->CreateField(&shared) != OGRERR_NONE) {
      return nullptr;
    }
    return layer;
  };
  OGRLayer* points = makeLayer(pointsName, oneLayer ? wkbUnknown : wkbPoint);
  OGRLayer* lines = oneLayer ? points : makeLayer(linesName, wkbLineString);
  if (!points || !lines) return CPLGetLastErrorMsg();
  const bool transaction = dataset.StartTransaction() == OGRERR_NONE;
  // One feature for each layer, filled anew for every record: fields by
  // index, the geometry changed in place.
  OGRFeature crossingFeature(points->GetLayerDefn()), overlapFeature(lines->GetLayerDefn());
  auto* point = new OGRPoint(0, 0);
  crossingFeature.SetGeometryDirectly(point);
  auto* stretch = new OGRLineString;
  stretch->setNumPoints(2);
  overlapFeature.SetGeometryDirectly(stretch);
  CrossingRecord record;
  for (std::size_t k = 0;; ++k) {
    if ((k & 0xFFFF) == 0 && stopped()) return "prekinuto";
    const int next = source.next(source.context, record);
    if (next == 0) break;
    if (next < 0) return std::strerror(ENOMEM);
    const bool overlap = record.kind == Overlap;
    OGRFeature& feature = overlap ? overlapFeature : crossingFeature;
    feature.SetFID(OGRNullFID);
    feature.SetField(0, record.first);
    feature.SetField(1, record.second);
    feature.SetField(2, GIntBig(fidOf(record.first)));
    feature.SetField(3, GIntBig(fidOf(record.second)));
    feature.SetField(4, overlap ? "overlap" : record.kind == Touch ? "touch" : "cross");
    if (overlap) {
      feature.SetFieldNull(5);
      stretch->setPoint(0, record.x0, record.y0);
      stretch->setPoint(1, record.x1, record.y1);
    } else {
      feature.SetField(5, record.sharedVertex ? 1 : 0);
      point->setX(record.x0);
      point->setY(record.y0);
    }
    OGRLayer* layer = overlap ? lines : points;
    if (layer->CreateFeature(&feature) != OGRERR_NONE) return CPLGetLastErrorMsg();
  }
  if (transaction && dataset.CommitTransaction() != OGRERR_NONE) return CPLGetLastErrorMsg();
  return "";
}

}  // namespace

std::string writeWithGdal(const std::string& path, CrossingSource source, MapLayers& from,
                          bool (*stop)()) {
  layers = &from;
  stopped = stop;
  const char* driverName = driverFor(path);
  GDALAllRegister();
  GDALDriver* driver = driverName ? GetGDALDriverManager()->GetDriverByName(driverName) : nullptr;
  if (!driver) return "nepoznat format (.gpkg, .geojson, .shp, .fgb, .gml, .kml, .sqlite, .csv)";
  // Written in a folder of its own beside `path`, and moved into place
  // whole: a run that fails leaves no half-written layer.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string work = folder + "/.segments-XXXXXX";
  if (!mkdtemp(work.data())) return std::strerror(errno);
  CPLErrorReset();
  const std::string stem = name.substr(0, name.rfind('.'));
  // Two layers, crossings and overlaps, where the format holds several; a
  // shapefile holds one, and the overlaps go beside it as STEM_overlaps.shp;
  // other formats get one layer of both, told apart by `result`.
  const bool multiple = driver->GetMetadataItem(GDAL_DCAP_MULTIPLE_VECTOR_LAYERS) != nullptr;
  const bool shapefile = std::strcmp(driverName, "ESRI Shapefile") == 0;
  const std::string target = work + "/" + (shapefile ? stem : name);
  const std::string written = shapefile ? target : work;
  char* csvOptions[] = {const_cast<char*>("GEOMETRY=AS_WKT"), nullptr};
  char** layerOptions = std::strcmp(driverName, "CSV") == 0 ? csvOptions : nullptr;
  CPLPushErrorHandler(CPLQuietErrorHandler);
  // A database (GeoPackage, SQLite) builds its spatial index as the file
  // closes: with 128 MB of page cache instead of SQLite's few MB, a
  // million points take a fifth less time.
  CPLSetThreadLocalConfigOption("OGR_SQLITE_CACHE", "128");
  std::string error;
  GDALDataset* dataset = driver->Create(target.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!dataset) {
    error = CPLGetLastErrorMsg();
  } else {
    error = shapefile ? writeLayers(*dataset, false, stem, stem + "_overlaps", layerOptions, source)
            : multiple ? writeLayers(*dataset, false, "crossings", "overlaps", layerOptions, source)
                       : writeLayers(*dataset, true, stem, stem, layerOptions, source);
    // Closing writes what the driver held back.
    GDALClose(dataset);
    if (error.empty() && CPLGetLastErrorType() >= CE_Failure) error = CPLGetLastErrorMsg();
  }
  CPLSetThreadLocalConfigOption("OGR_SQLITE_CACHE", nullptr);
  CPLPopErrorHandler();
  if (error.empty()) {
    if (DIR* d = opendir(written.c_str())) {
      while (const dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string from = written + "/" + e->d_name, to = folder + "/" + e->d_name;
        if (std::rename(from.c_str(), to.c_str()) != 0) error = std::strerror(errno);
      }
      closedir(d);
    }
  }
  if (shapefile) removeFolder(target);
  removeFolder(work);
  return error;
}

extern "C" void segmentsMapModule(MapModule* module) {
  module->read = readWithGdal;
  module->write = writeWithGdal;
}
