// Reading the line work of map layers with GDAL, in the map module.
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_recordbatch.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <sys/mman.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "geometry/pages.h"
#include "geometry/stopping.h"
#include "map_gdal.h"
#include "map_reader.h"

namespace {

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
bool readLayer(GDALDataset& dataset, OGRLayer& l, MapReader& reader) {
  reader.layerName = l.GetName();
  try {
    reader.input.origins.layerNames.push_back(reader.layerName);
  } catch (const std::bad_alloc&) {
    return reader.fail(MapOutcome::OutOfMemory, "");
  }
  const OGRSpatialReference* srs = l.GetSpatialRef();
  MapLayers& origins = reader.input.origins;
  if (origins.spatialReference.empty() && srs) {
    char* wkt = nullptr;
    if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt) origins.spatialReference = wkt;
    CPLFree(wkt);
    origins.geographic = srs->IsGeographic();
    const char* unit = nullptr;
    if (srs->IsProjected() && srs->GetLinearUnits(&unit) > 0 && unit) origins.units = unit;
  }
  reader.longitude = longitudeAxis(srs);
  reader.reserve(l.GetFeatureCount(FALSE));  // -1 where counting would read the layer
  const bool read = reader.features(l, std::strcmp(dataset.GetDriverName(), "GPKG") == 0);
  reader.endLayer();
  return read;
}

}  // namespace

// The features of a GeoPackage layer as columns, a batch of many at a
// time (GDAL reads the next batch meanwhile): the geometries as WKB
// beside their feature ids, without a feature object each, in half the
// time. False with `input.outcome` NotAMap where GDAL offers no such
// stream, or not the columns asked for: the features are read one by one.
bool MapReader::batches(OGRLayer& l) {
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
      if (stopDue(std::uint64_t(k), stopped, 1 << 12)) {
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
          read = fail(MapOutcome::Bad, "sloj " + layerName + ", objekat " + std::to_string(fid[k]) +
                                           ": neispravna geometrija");
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
bool MapReader::features(OGRLayer& l, bool asBatches) {
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

MapInput readWithGdal(const std::string& path, const std::string& layerName, bool exact,
                      bool (*stopped)()) {
  MapInput input;
  GDALAllRegister();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  Dataset dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  CPLPopErrorHandler();
  if (!dataset || !hasGeometry(*dataset)) {
    input.message = dataset ? "nema geometrije" : CPLGetLastErrorMsg();
    return input;
  }
  MapReader reader;
  reader.exact = exact;
  reader.stopped = stopped;
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
  input.segments = std::move(reader.input.segments);
  SegmentArray& a = input.segments;
  const std::size_t used = wholeBlocks(std::size_t(a.count) * sizeof(Segment));
  if (a.mapped > used) {
    munmap(reinterpret_cast<char*>(a.items) + used, a.mapped - used);
    a.mapped = used;
    a.capacity = int(std::min(used / sizeof(Segment), std::size_t(INT32_MAX)));
  }
  MapLayers& origins = input.origins;
  origins = std::move(reader.input.origins);
  origins.precise = std::move(reader.precise);
  origins.parts = std::move(reader.parts);
  origins.partOf = std::move(reader.partOf);
  origins.vertexOf = std::move(reader.vertexOf);
  try {
    origins.parts.shrink_to_fit();
    origins.partOf.shrink_to_fit();
    origins.vertexOf.shrink_to_fit();
  } catch (const std::bad_alloc&) {
  }
  input.outcome = a.count > 0 ? MapOutcome::Segments : MapOutcome::NoData;
  return input;
}

// The module's one entry, which the program looks up when it loads it.
extern "C" void segmentsMapModule(MapModule* module) {
  module->read = readWithGdal;
  module->write = writeWithGdal;
}
