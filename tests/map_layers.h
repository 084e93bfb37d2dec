// What the map tests share: layers made with ogr2ogr from WKT, and the
// program run on them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/program_runner.h"

namespace map_testing {

// Standard output of a command line run in `dir`.
inline std::string outputOf(const std::string& dir, const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(("cd '" + dir + "' && " + command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// A layer `layer.EXT` in `dir` from features given as WKT, one per line.
inline void makeLayer(const TempDir& dir, const std::vector<std::string>& wkt,
                      const std::string& ext) {
  std::string csv = "id,WKT\n";
  for (std::size_t k = 0; k < wkt.size(); ++k) {
    csv += std::to_string(k + 1) + ",\"" + wkt[k] + "\"\n";
  }
  dir.write("layer.csv", csv);
  if (ext == "csv") return;
  const std::string format = ext == "geojson" ? "GeoJSON"
                             : ext == "shp"   ? "\"ESRI Shapefile\""
                                              : "GPKG";
  // A shapefile holds one kind of geometry: lines, with polygons as their rings.
  const std::string type = ext == "shp" ? " -nlt MULTILINESTRING" : "";
  const std::string made = outputOf(dir.path, "ogr2ogr -f " + format + type + " layer." + ext +
                                                  " layer.csv -oo KEEP_GEOM_COLUMNS=NO");
  ASSERT_EQ(made.find("ERROR"), std::string::npos) << made;
}

inline RunResult runOnLayer(const TempDir& dir, const std::string& ext,
                            std::vector<std::string> args) {
  args.insert(args.begin(), "--no-window");
  args.push_back("layer." + ext);
  return runProgram(dir.path, {.args = args});
}

}  // namespace map_testing
