#include "map_layer.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "numbers.h"
#include "signals.h"

namespace {

// Whether the file starts as a text of numbers does: its first four tokens
// (or all of them, in a shorter file) are numbers. Such a file is read as
// ever, without asking GDAL; so is one that cannot be opened, for the
// reading to report, and anything but a regular file (a pipe would lose
// what was read here).
bool startsWithNumbers(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return true;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return true;
  char text[4097];
  const std::size_t size = std::fread(text, 1, 4096, file);
  std::fclose(file);
  text[size] = '\0';
  char* at = text + byteOrderMark(text, size);
  for (int tokens = 0; tokens < 4; ++tokens) {
    while (at < text + size && isBlank(*at)) ++at;
    if (at == text + size) return size < 4096;  // the whole file, numbers only
    char* end = at;
    while (end < text + size && !isBlank(*end)) ++end;
    if (end == text + size && size == 4096) return false;  // a token 4 KB long
    float value;
    if (!readFloat(at, end, value)) return false;
    at = end;
  }
  return true;
}

#ifdef SEGMENTS_GDAL
// The module, loaded once from the program's folder; nullptr, with the
// reason in `why`, where it cannot be.
const MapModule* mapModule(std::string& why) {
  static MapModule module{};
  static std::string failed;
  static bool tried = false;
  if (!tried) {
    tried = true;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, std::size_t(length)) : "";
    folder = folder.substr(0, folder.rfind('/') + 1);
    void* handle = dlopen((folder + "libsegments_map.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry =
        handle ? reinterpret_cast<void (*)(MapModule*)>(dlsym(handle, "segmentsMapModule"))
               : nullptr;
    if (entry) {
      entry(&module);
    } else {
      const char* error = dlerror();
      failed = std::string("GDAL se ne moze ucitati: ") + (error ? error : "?");
    }
  }
  why = failed;
  return module.read ? &module : nullptr;
}
#else
const MapModule* mapModule(std::string& why) {
  why = "ovaj program je napravljen bez GDAL-a i ne cita ni ne pise slojeve mapa";
  return nullptr;
}
#endif

}  // namespace

MapInput readMapLayers(const std::string& path, const std::string& layer, bool exact) {
  MapInput input;
  const bool asked = namedAsMap(path) || !layer.empty();
  if (path == "-" || (!asked && startsWithNumbers(path))) return input;
  std::string why;
  const MapModule* module = mapModule(why);
  if (module) {
    input = module->read(path, layer, exact, stopAsked);
    why = input.message;
  }
  if (input.outcome == MapOutcome::NotAMap && asked) {
    input.outcome = MapOutcome::CannotOpen;
    input.message = why.empty() ? "GDAL ne prepoznaje ovaj fajl kao mapu" : why;
  }
  return input;
}

std::string writeCrossingsLayer(const std::string& path, CrossingSource source,
                                const MapLayers& map) {
  std::string why;
  const MapModule* module = mapModule(why);
  return module ? module->write(path, source, map, stopAsked) : why;
}

std::string crossingsPathProblem(const std::string& path) {
  if (!crossingsDriver(path)) {
    return "nepoznat format (.gpkg, .geojson, .shp, .fgb, .gml, .kml, .sqlite, .csv)";
  }
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return std::strerror(ENOTDIR);
  if (access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
  return "";
}

bool namedAsMap(const std::string& path) {
  static const char* const extensions[] = {".geojson", ".json", ".gpkg", ".shp",    ".fgb",
                                           ".kml",     ".gml",  ".dxf",  ".sqlite", ".gdb"};
  const std::string ext = lowerExtension(path);
  for (const char* e : extensions) {
    if (ext == e) return true;
  }
  return false;
}

bool isJoint(const MapLayers& map, int j, int i) {
  const std::uint32_t p = map.partOf[std::size_t(j)];
  if (p != map.partOf[std::size_t(i)]) return false;
  const MapPart& part = map.parts[p];
  return i == j + 1 || (part.closed && std::uint32_t(j) == part.firstSegment &&
                        std::uint32_t(i) == part.lastSegment);
}

bool insideItsLine(const MapLayers& map, int k, bool atB) {
  const MapPart& part = map.parts[map.partOf[std::size_t(k)]];
  if (part.closed) return true;
  return atB ? std::uint32_t(k) != part.lastSegment : std::uint32_t(k) != part.firstSegment;
}

std::uint32_t partOfSegment(const MapLayers& map, int k) {
  return map.partOf[std::size_t(k)];
}

namespace {

// A CSV field: quoted where it holds a comma, a quote or a line break.
void appendField(std::string& out, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void appendOrigin(const MapLayers& map, std::string& out, int k) {
  const MapPart& part = map.parts[map.partOf[std::size_t(k)]];
  out += ',';
  appendField(out, map.layerNames[part.layer]);
  out += ',';
  out += std::to_string(part.fid);
  out += ',';
  out += std::to_string(part.part);
  out += ',';
  out += std::to_string(map.vertexOf[std::size_t(k)]);
}

std::string describeOrigin(const MapLayers& map, int k) {
  if (k < 0 || std::size_t(k) >= map.partOf.size()) return "";
  const MapPart& part = map.parts[map.partOf[std::size_t(k)]];
  return "sloj " + map.layerNames[part.layer] + ", objekat " + std::to_string(part.fid) + ", deo " +
         std::to_string(part.part) + ", teme " + std::to_string(map.vertexOf[std::size_t(k)]);
}

std::string describeCoordinates(const MapLayers& map, double x, double y) {
  char text[96];
  if (map.geographic) {
    std::snprintf(text, sizeof text, "duzina %.6f\xB0, sirina %.6f\xB0", x, y);
    return text;
  }
  if (map.units.empty()) return "";
  const std::string& u = map.units;
  const std::string unit =
      u == "metre" || u == "meter" || u == "Meter"                                 ? "m"
      : u.find("foot") != std::string::npos || u.find("Foot") != std::string::npos ? "ft"
                                                                                   : u;
  std::snprintf(text, sizeof text, "(%.2f, %.2f) ", x, y);
  return text + unit;
}
