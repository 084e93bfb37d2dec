// Map layers judged as GEOS judges them: the real program's answers on
// small layers and a generated map of borders and rivers, against GEOS's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map_layers.h"
#include "support/geos_referee.h"
#include "support/program_runner.h"

using namespace map_testing;

namespace {

struct LayerCase {
  const char* name;
  std::vector<std::string> features;
  // The exercise's rules with --tolerance where they differ from GEOS's
  // answers (near-parallel pieces within the tolerance), as they stand;
  // nullptr where they agree.
  const char* tolerance = nullptr;
};

const LayerCase layerCases[] = {
    {"a zig-zag line", {"LINESTRING (0 0, 1 1, 2 0, 3 1, 4 0)"}},
    {"two lines that cross", {"LINESTRING (0 0, 2 2)", "LINESTRING (0 2, 2 0)"}},
    {"a ring", {"POLYGON ((0 0, 2 0, 2 2, 0 2, 0 0))"}},
    {"a figure eight", {"LINESTRING (0 0, 2 2, 2 0, 0 2, 0 0)"}},
    {"a spike", {"LINESTRING (0 0, 2 0, 1 0)"}},
    {"parts that cross", {"MULTILINESTRING ((0 0, 2 2), (0 2, 2 0))"}},
    {"a T", {"LINESTRING (0 0, 4 0)", "LINESTRING (2 0, 2 3)"}},
    {"a shared end point", {"LINESTRING (0 0, 2 1)", "LINESTRING (2 1, 4 0)"}},
    {"collinear pieces end to end", {"LINESTRING (0 0, 2 0)", "LINESTRING (2 0, 5 0)"}},
    {"a repeated vertex", {"LINESTRING (0 0, 1 1, 1 1, 2 0)"}},
    {"a closed line through one vertex twice", {"LINESTRING (0 0, 2 0, 1 1, 2 2, 0 2, 1 1, 0 0)"}},
    {"a line through another's bend", {"LINESTRING (0 0, 10 0, 20 0)", "LINESTRING (10 -5, 10 5)"}},
    {"two lines sharing a vertex inside both",
     {"LINESTRING (0 0, 5 5, 10 0)", "LINESTRING (0 10, 5 5, 10 10)"}},
    {"a road ending on another's vertex", {"LINESTRING (0 0, 5 0, 10 0)", "LINESTRING (5 0, 5 8)"}},
    {"a border along a river, metres apart",
     {"LINESTRING (0 0, 1000 0)", "LINESTRING (500 0.002, 1500 0.001)"},
     "Duzi 0 i 1 se poklapaju\n"},
    {"a crossing at 0.1 degrees",
     {"LINESTRING (0 0, 1000 0)", "LINESTRING (0 0.01, 1000 -1.735)"},
     "Duzi 0 i 1 se poklapaju\n"},
    {"a V at 0.1 degrees sharing its last vertex",
     {"LINESTRING (0 0, 1000 0)", "LINESTRING (0 1.745, 1000 0)"},
     "Duzi 0 i 1 se poklapaju\n"},
    {"a line overlapping another inside both",
     {"LINESTRING (0 5, 0 0, 10 0, 10 5)", "LINESTRING (4 -5, 4 0, 6 0, 6 -5)"}},
    {"a piece beside a line cut at 180 degrees",
     {"LINESTRING (-180 10, 180 10)", "LINESTRING (0 10.3, 0.001 10.3)",
      "LINESTRING (20 0, 20 20)"}},
};

// The program's report for the pairs GEOS finds: words, or with `csv` the
// result, the point's vertices and the pair.
std::string refereeReport(const std::string& layer, bool touches) {
  RefereeLayer read;
  std::string error;
  if (!readRefereeLayer(layer, read, error)) return "GEOS: " + error;
  std::string report;
  for (const RefereePair& p : refereePairs(read)) {
    if (p.kind == RefereeClass::Touch && !touches) continue;
    report += "Duzi " + std::to_string(p.j) + " i " + std::to_string(p.i) +
              (p.kind == RefereeClass::Cross     ? " imaju presecnu tacku\n"
               : p.kind == RefereeClass::Overlap ? " se poklapaju\n"
                                                 : " se dodiruju\n");
  }
  return report;
}

// Every case in every format, against GEOS: a line's joints are never
// reported, touches only with --touches; with --tolerance, the exercise's
// rules.
TEST(MapLayers, AnswersAreGeosAnswers) {
  for (const char* ext : {"geojson", "shp", "gpkg", "csv"}) {
    for (const LayerCase& c : layerCases) {
      // A shapefile's lines hold no polygons: the ring is a closed line there.
      TempDir dir;
      makeLayer(dir, c.features, ext);
      const std::string layer = dir.path + "/layer." + ext;
      const RunResult plain = runOnLayer(dir, ext, {});
      EXPECT_EQ(plain.status, 0) << ext << ", " << c.name << ": " << plain.err;
      EXPECT_EQ(plain.out, refereeReport(layer, false)) << ext << ", " << c.name;
      const RunResult touches = runOnLayer(dir, ext, {"--touches"});
      EXPECT_EQ(touches.out, refereeReport(layer, true)) << ext << ", " << c.name << ", --touches";
      if (std::string(ext) != "geojson") continue;
      const RunResult tolerance = runOnLayer(dir, ext, {"--tolerance"});
      EXPECT_EQ(tolerance.out, c.tolerance ? c.tolerance : refereeReport(layer, false))
          << c.name << ", --tolerance";
    }
  }
  // A generated map as border and river data are, in degrees: borders along
  // rivers metres apart and on shared vertices, crossing them at 0.05 to 0.2
  // degrees, tributaries leaving at tiny angles, tiles meeting end to end.
  TempDir dir;
  outputOf(dir.path, std::string("python3 ") + SEGMENTS_SOURCE_DIR +
                         "/bench/generate.py --wkt --family borders 4000 > layer.csv && "
                         "ogr2ogr -f GPKG -a_srs EPSG:4326 layer.gpkg layer.csv -oo "
                         "KEEP_GEOM_COLUMNS=NO");
  const RunResult generated = runOnLayer(dir, "gpkg", {"--touches"});
  EXPECT_EQ(generated.status, 0) << generated.err;
  EXPECT_GT(generated.out.size(), 10000u);
  EXPECT_TRUE(generated.out == refereeReport(dir.path + "/layer.gpkg", true))
      << "a generated map of borders and rivers";
}

// The CSV of a layer against GEOS: `result` (touch with --touches), the
// point (up to GEOS's rounding of a crossing inside both segments) and
// whether it is a vertex of both lines; the crossings layer holds each point
// once for each pair of lines; lines cut at 180 degrees are named.
TEST(MapLayers, CsvAndCrossingsAgreeWithGeos) {
  TempDir dir;
  makeLayer(
      dir,
      {"LINESTRING (0 0, 10 0, 20 0)", "LINESTRING (10 -5, 10 5)", "LINESTRING (0 30, 5 35, 10 30)",
       "LINESTRING (0 40, 5 35, 10 40)", "LINESTRING (30 0, 35 0, 40 0)", "LINESTRING (35 0, 35 8)",
       "LINESTRING (50 0, 60 10)", "LINESTRING (50 10, 60 0)", "LINESTRING (-180 70, 180 70)",
       "LINESTRING (-179 60, 179 61)", "LINESTRING (0 65, 0 75)"},
      "geojson");
  const std::string layer = dir.path + "/layer.geojson";
  RefereeLayer read;
  std::string error;
  ASSERT_TRUE(readRefereeLayer(layer, read, error)) << error;
  std::string expected;
  for (const RefereePair& p : refereePairs(read)) {
    expected += std::to_string(p.j) + "," + std::to_string(p.i) + "," + refereeClassName(p.kind) +
                "," + (p.sharedVertex ? "1" : "0") + "\n";
  }
  const RunResult csv = runOnLayer(dir, "geojson", {"--csv", "--touches"});
  EXPECT_EQ(csv.status, 0);
  // first,second,result and shared_vertex of each row; the point apart.
  std::string found;
  std::vector<std::pair<double, double>> points;
  std::size_t at = csv.out.find('\n') + 1;
  while (at < csv.out.size()) {
    const std::size_t end = csv.out.find('\n', at);
    std::vector<std::string> fields;
    std::string field;
    for (const char ch : csv.out.substr(at, end - at) + ",") {
      if (ch == ',') {
        fields.push_back(field);
        field.clear();
      } else {
        field += ch;
      }
    }
    ASSERT_EQ(fields.size(), 14u) << csv.out;
    found += fields[0] + "," + fields[1] + "," + fields[2] + "," + fields[13] + "\n";
    points.emplace_back(std::stod(fields[3]), std::stod(fields[4]));
    at = end + 1;
  }
  EXPECT_EQ(found, expected);
  const std::vector<RefereePair> pairs = refereePairs(read);
  for (std::size_t k = 0; k < pairs.size() && k < points.size(); ++k) {
    EXPECT_NEAR(points[k].first, pairs[k].x, 1e-9) << k;
    EXPECT_NEAR(points[k].second, pairs[k].y, 1e-9) << k;
  }
  EXPECT_NE(csv.err.find("Upozorenje! 2 duzi obuhvata vise od 180 stepeni"), std::string::npos)
      << csv.err;
  // The crossings layer: the bend crossed by one line, and two lines
  // sharing a vertex, each one point, though two or four pairs of their
  // segments meet there.
  const RunResult written = runOnLayer(dir, "geojson", {"--crossings", "out.csv", "--touches"});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(outputOf(dir.path, "tr -d '\"' < out.csv | cut -d, -f1-3,6-"),
            "WKT,first,second,result,shared_vertex\n"
            "POINT (10 0),0,2,cross,0\n"
            "POINT (5 35),3,5,cross,1\n"
            "POINT (35 0),7,9,touch,1\n"
            "POINT (55 5),10,11,cross,0\n"
            "POINT (0 70),12,14,cross,0\n");
}

}  // namespace
