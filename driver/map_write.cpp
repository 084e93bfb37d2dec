// Writing the crossings layer with GDAL, in the map module.
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "geometry/stopping.h"
#include "map_gdal.h"

namespace {

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

std::int64_t fidOf(const MapLayers& layers, int k) {
  return layers.parts[layers.partOf[std::size_t(k)]].fid;
}

// The two layers into `dataset`: points where the lines cross or touch,
// lines where they overlap; in one layer with a `result` field where the
// format holds one layer a file.
std::string writeLayers(GDALDataset& dataset, bool oneLayer, const std::string& pointsName,
                        const std::string& linesName, char** layerOptions, CrossingSource source,
                        const MapLayers& layers, bool (*stopped)()) {
  OGRSpatialReference reference;
  OGRSpatialReference* srs = nullptr;
  if (!layers.spatialReference.empty() &&
      reference.importFromWkt(layers.spatialReference.c_str()) == OGRERR_NONE) {
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
  // The points come first, then the stretches, and the layer of the
  // stretches is made only after the points are all written: some formats
  // (KML) take the features of one layer only together.
  OGRLayer* points = makeLayer(pointsName, oneLayer ? wkbUnknown : wkbPoint);
  if (!points) return CPLGetLastErrorMsg();
  OGRLayer* lines = oneLayer ? points : nullptr;
  bool transaction = dataset.StartTransaction() == OGRERR_NONE;
  const auto startLines = [&]() -> bool {
    if (transaction && dataset.CommitTransaction() != OGRERR_NONE) return false;
    lines = makeLayer(linesName, wkbLineString);
    transaction = lines && dataset.StartTransaction() == OGRERR_NONE;
    return lines != nullptr;
  };
  // One feature for each kind, filled anew for every record: fields by
  // index, the geometry changed in place.
  OGRFeature crossingFeature(points->GetLayerDefn());
  std::unique_ptr<OGRFeature> overlapFeature;
  auto* point = new OGRPoint(0, 0);
  crossingFeature.SetGeometryDirectly(point);
  OGRLineString* stretch = nullptr;
  CrossingRecord record;
  for (std::size_t k = 0;; ++k) {
    if (stopDue(k, stopped)) return "prekinuto";
    const int next = source.next(source.context, record);
    if (next == 0) break;
    if (next < 0) return std::strerror(ENOMEM);
    const bool overlap = record.kind == Overlap;
    if (overlap && !overlapFeature) {
      if (!lines && !startLines()) return CPLGetLastErrorMsg();
      overlapFeature = std::make_unique<OGRFeature>(lines->GetLayerDefn());
      stretch = new OGRLineString;
      stretch->setNumPoints(2);
      overlapFeature->SetGeometryDirectly(stretch);
    }
    OGRFeature& feature = overlap ? *overlapFeature : crossingFeature;
    // Ours are the layer's last six fields: a format may keep fields of its
    // own before them (KML does), and shorten their names (a shapefile's).
    const auto field = [&feature](const char* name) {
      static const char* const ours[] = {"first",      "second", "first_fid",
                                         "second_fid", "result", "shared_vertex"};
      const int k = int(std::find_if(std::begin(ours), std::end(ours),
                                     [name](const char* o) { return std::strcmp(o, name) == 0; }) -
                        std::begin(ours));
      return feature.GetFieldCount() - 6 + k;
    };
    feature.SetFID(OGRNullFID);
    feature.SetField(field("first"), record.first);
    feature.SetField(field("second"), record.second);
    feature.SetField(field("first_fid"), GIntBig(fidOf(layers, record.first)));
    feature.SetField(field("second_fid"), GIntBig(fidOf(layers, record.second)));
    feature.SetField(field("result"), overlap                ? "overlap"
                                      : record.kind == Touch ? "touch"
                                                             : "cross");
    if (overlap) {
      feature.SetFieldNull(field("shared_vertex"));
      stretch->setPoint(0, record.x0, record.y0);
      stretch->setPoint(1, record.x1, record.y1);
    } else {
      feature.SetField(field("shared_vertex"), record.sharedVertex ? 1 : 0);
      point->setX(record.x0);
      point->setY(record.y0);
    }
    OGRLayer* layer = overlap ? lines : points;
    if (layer->CreateFeature(&feature) != OGRERR_NONE) return CPLGetLastErrorMsg();
  }
  if (!lines && !startLines()) return CPLGetLastErrorMsg();  // no stretch: an empty layer
  if (transaction && dataset.CommitTransaction() != OGRERR_NONE) return CPLGetLastErrorMsg();
  return "";
}

}  // namespace

std::string writeWithGdal(const std::string& path, CrossingSource source, const MapLayers& from,
                          bool (*stopped)()) {
  const char* driverName = crossingsDriver(path);
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
  // A KML placemark is named by what happens there; every field stays a
  // field of its own.
  char* kmlOptions[] = {const_cast<char*>("NameField=result"),
                        const_cast<char*>("DescriptionField=none"), nullptr};
  GDALDataset* dataset = driver->Create(target.c_str(), 0, 0, 0, GDT_Unknown,
                                        std::strcmp(driverName, "KML") == 0 ? kmlOptions : nullptr);
  if (!dataset) {
    error = CPLGetLastErrorMsg();
  } else {
    error = shapefile ? writeLayers(*dataset, false, stem, stem + "_overlaps", layerOptions, source,
                                    from, stopped)
            : multiple
                ? writeLayers(*dataset, false, "crossings", "overlaps", layerOptions, source, from,
                              stopped)
                : writeLayers(*dataset, true, stem, stem, layerOptions, source, from, stopped);
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
