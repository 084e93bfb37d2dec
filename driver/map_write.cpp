// Writing the crossings layer with GDAL, in the map module.
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <ogrsf_frmts.h>

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "geometry/stopping.h"
#include "map_gdal.h"

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
    if (stopDue(k, stopped)) return "prekinuto";
    const int next = source.next(source.context, record);
    if (next == 0) break;
    if (next < 0) return std::strerror(ENOMEM);
    const bool overlap = record.kind == Overlap;
    OGRFeature& feature = overlap ? overlapFeature : crossingFeature;
    feature.SetFID(OGRNullFID);
    feature.SetField(0, record.first);
    feature.SetField(1, record.second);
    feature.SetField(2, GIntBig(fidOf(layers, record.first)));
    feature.SetField(3, GIntBig(fidOf(layers, record.second)));
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

std::string writeWithGdal(const std::string& path, CrossingSource source, const MapLayers& from,
                          bool (*stopped)()) {
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
