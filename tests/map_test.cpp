// Map layers in, crossings out: the real program on small layers that
// ogr2ogr makes from WKT, in the formats people bring.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/geos_referee.h"

namespace {

// Standard output of a command line run in `dir`.
std::string outputOf(const std::string& dir, const std::string& command) {
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
void makeLayer(const TempDir& dir, const std::vector<std::string>& wkt, const std::string& ext) {
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

RunResult runOnLayer(const TempDir& dir, const std::string& ext, std::vector<std::string> args) {
  args.insert(args.begin(), "--no-window");
  args.push_back("layer." + ext);
  return runProgram(dir.path, {.args = args});
}

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

// --csv names the layer, feature, part and vertex of both segments; points
// and empty geometries are skipped with a count; --all-pairs gives every
// pair but the joints.
TEST(MapLayers, CsvNamesTheFeatures) {
  TempDir dir;
  makeLayer(dir,
            {"LINESTRING (0 0, 1 0, 2 2)", "POINT (5 5)",
             "MULTILINESTRING ((9 9, 9 8), (0 2, 2 0))", "LINESTRING EMPTY"},
            "gpkg");
  const RunResult csv = runOnLayer(dir, "gpkg", {"--csv"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out,
            "first,second,result,x,y,first_layer,first_fid,first_part,first_vertex,second_layer,"
            "second_fid,second_part,second_vertex,shared_vertex\n"
            "1,3,cross,1.3333333333333333,0.6666666666666666,layer,1,0,1,layer,3,1,0,0\n");
  EXPECT_NE(csv.err.find("2 objekata bez linija"), std::string::npos) << csv.err;
  const RunResult all = runOnLayer(dir, "gpkg", {"--all-pairs"});
  EXPECT_EQ(all.out,
            "Duzi 0 i 2 nemaju presecnih tacaka\n"
            "Duzi 1 i 2 nemaju presecnih tacaka\n"
            "Duzi 0 i 3 nemaju presecnih tacaka\n"
            "Duzi 1 i 3 imaju presecnu tacku\n"
            "Duzi 2 i 3 nemaju presecnih tacaka\n");
}

// A GeoPackage is read in batches of 65,536 features: the report is the
// one of the same layer as GeoJSON, read feature by feature, with a
// feature of two parts and a crossing between the batches (the last
// feature, in the second batch, crosses the second).
TEST(MapLayers, LargeGeoPackageReadsAsGeoJson) {
  std::vector<std::string> wkt;
  for (int fid = 1; fid <= 70000; ++fid) {  // unit strokes at x = fid
    wkt.push_back("LINESTRING (" + std::to_string(fid) + " 0, " + std::to_string(fid) + " 1)");
  }
  wkt[0] = "LINESTRING (0.5 0.5, 3.5 0.5)";
  wkt[35000] = "MULTILINESTRING ((34998.5 0.25, 35003.5 0.75), (-1 0.9, 2.5 0.9))";
  wkt[69999] = "LINESTRING (1.5 0.1, 2.5 0.1)";
  const std::string report =
      "Duzi 0 i 1 imaju presecnu tacku\nDuzi 0 i 2 imaju presecnu tacku\n"
      "Duzi 34998 i 35000 imaju presecnu tacku\nDuzi 34999 i 35000 imaju presecnu tacku\n"
      "Duzi 1 i 35001 imaju presecnu tacku\nDuzi 35000 i 35002 imaju presecnu tacku\n"
      "Duzi 35000 i 35003 imaju presecnu tacku\nDuzi 1 i 70000 imaju presecnu tacku\n";
  TempDir dir;
  makeLayer(dir, wkt, "gpkg");
  makeLayer(dir, wkt, "geojson");
  for (const char* ext : {"gpkg", "geojson"}) {
    const RunResult run = runOnLayer(dir, ext, {});
    EXPECT_EQ(run.status, 0) << ext << ": " << run.err;
    EXPECT_EQ(run.out, report) << ext;
  }
  const RunResult csv = runOnLayer(dir, "gpkg", {"--csv"});
  EXPECT_NE(csv.out.find("\n1,35001,cross,2,0.9,layer,2,0,0,layer,35001,1,0,0\n"),
            std::string::npos)
      << csv.out;
  EXPECT_NE(csv.out.find("\n1,70000,cross,2,0.1,layer,2,0,0,layer,70000,0,0,0\n"),
            std::string::npos)
      << csv.out;
}

// The crossings layer read back with ogrinfo: the points and attributes of
// the CSV report, the overlap as the stretch the later segment covers; a
// shapefile gets the overlaps beside it.
TEST(MapLayers, CrossingsLayerReadsBack) {
  TempDir dir;
  makeLayer(dir,
            {"LINESTRING (0 0, 2 2)", "LINESTRING (0 2, 2 0)", "LINESTRING (5 0, 9 0)",
             "LINESTRING (7 0, 12 0)", "LINESTRING (20 9, 20 3)", "LINESTRING (20 0, 20 5)"},
            "gpkg");
  for (const char* out : {"out.gpkg", "out.geojson", "out.shp"}) {
    const RunResult run = runOnLayer(dir, "gpkg", {"--crossings", out});
    ASSERT_EQ(run.status, 0) << out << ": " << run.err;
    // GeoJSON reads small 64-bit numbers back as plain integers.
    const std::string shown = outputOf(
        dir.path,
        std::string("(ogrinfo -ro -al -q ") + out +
            (std::string(out) == "out.shp" ? " && ogrinfo -ro -al -q out_overlaps.shp" : "") +
            ") | sed 's/(Integer64)/(Integer)/'");
    for (const char* expected :
         {"first (Integer) = 0", "second (Integer) = 1", "first_fid (Integer) = 1",
          "second_fid (Integer) = 2", "POINT (1 1)", "first (Integer) = 2", "second (Integer) = 3",
          "LINESTRING (7 0,9 0)", "result (String) = overlap", "LINESTRING (20 3,20 5)"}) {
      EXPECT_NE(shown.find(expected), std::string::npos) << out << " lacks " << expected << "\n"
                                                         << shown;
    }
  }
  // Nothing else is left behind.
  EXPECT_EQ(outputOf(dir.path, "ls -A | sort | tr '\\n' ' '"),
            "layer.csv layer.gpkg out.dbf out.geojson out.gpkg out.prj out.shp out.shx "
            "out_overlaps.dbf out_overlaps.prj out_overlaps.shp out_overlaps.shx ");
  // By the exercise's rules the stretches are the same.
  const RunResult tolerance = runOnLayer(dir, "gpkg", {"--tolerance", "--crossings", "t.gpkg"});
  ASSERT_EQ(tolerance.status, 0) << tolerance.err;
  const std::string stretches = outputOf(dir.path, "ogrinfo -ro -al -q t.gpkg overlaps");
  EXPECT_NE(stretches.find("LINESTRING (7 0,9 0)"), std::string::npos) << stretches;
  EXPECT_NE(stretches.find("LINESTRING (20 3,20 5)"), std::string::npos) << stretches;
}

// Bad layers: a message naming the file, the layer and the feature; 1 for
// a map that cannot be opened, 2 for a bad one; 64 for --crossings of a
// text file; nothing on standard output, no crossings layer.
TEST(MapLayers, BadLayersAreRefused) {
  const std::string line = R"({"type":"Feature","properties":{},"geometry":{"type":"LineString",)";
  const std::string nan = R"({"type":"FeatureCollection","features":[)" + line +
                          R"("coordinates":[[0,0],[NaN,1],[2,2]]}}]})";
  const std::string huge = R"({"type":"FeatureCollection","features":[)" + line +
                           R"("coordinates":[[0,0],[1,1],[1e39,2]]}}]})";
  const std::string good =
      R"({"type":"FeatureCollection","features":[)" + line + R"("coordinates":[[0,0],[1,1]]}}]})";
  struct Row {
    const char* name;
    std::string content;
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Row rows[] = {
      {"broken GeoJSON",
       R"({"type":"FeatureCollection","features":[)",
       {},
       1,
       "Greska! Ne mogu da otvorim mapu layer.geojson: Failed to read GeoJSON data\n"},
      {"a NaN",
       nan,
       {"--crossings", "out.gpkg"},
       2,
       "Greska! Neispravna mapa layer.geojson: sloj layer, objekat 0: teme 1 (nan, 1) nije "
       "konacan broj u opsegu float-a\n"},
      {"beyond the float range",
       huge,
       {},
       2,
       "Greska! Neispravna mapa layer.geojson: sloj layer, objekat 0: teme 2 "
       "(9.9999999999999994e+38, 2) nije konacan broj u opsegu float-a\n"},
      {"no such layer",
       good,
       {"--layer", "roads"},
       2,
       "Greska! Neispravna mapa layer.geojson: nema sloja roads\n"},
      {"an unknown format for the crossings",
       good,
       {"--crossings", "out.xyz"},
       3,
       "Greska! Sloj out.xyz nije moguce ispisati: nepoznat format"},
      {"a crossings path without an extension",
       good,
       {"--crossings", "out"},
       3,
       "Greska! Sloj out nije moguce ispisati: nepoznat format"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    dir.write("layer.geojson", row.content);
    const RunResult run = runOnLayer(dir, "geojson", row.args);
    EXPECT_EQ(run.status, row.status) << row.name;
    EXPECT_EQ(run.out, "") << row.name;
    EXPECT_EQ(run.err.substr(0, row.message.size()), row.message) << row.name;
    EXPECT_EQ(outputOf(dir.path, "ls -A"), "layer.geojson\n") << row.name;
  }
  // The same NaN in a GeoPackage, read in batches: its feature ids start at 1.
  TempDir gpkg;
  gpkg.write("layer.geojson", nan);
  outputOf(gpkg.path, "ogr2ogr -f GPKG layer.gpkg layer.geojson");
  const RunResult badBatch = runOnLayer(gpkg, "gpkg", {});
  EXPECT_EQ(badBatch.status, 2);
  EXPECT_EQ(badBatch.out, "");
  EXPECT_NE(badBatch.err.find("sloj layer, objekat 1: teme 1 (nan, 1)"), std::string::npos)
      << badBatch.err;
  // A layer that cannot take its place leaves nothing behind, not even in
  // the program's own work folder.
  TempDir taken;
  taken.write("layer.geojson", good);
  outputOf(taken.path, "mkdir out.geojson");
  const RunResult blocked = runOnLayer(taken, "geojson", {"--crossings", "out.geojson"});
  EXPECT_EQ(blocked.status, 3);
  EXPECT_EQ(outputOf(taken.path, "ls -A . out.geojson"),
            ".:\nlayer.geojson\nout.geojson\n\nout.geojson:\n");
  TempDir text;
  text.write("test.txt", "0 0 1 1 1 0 0 1\n");
  const RunResult refused =
      runProgram(text.path, {.args = {"--no-window", "--crossings", "x.gpkg"}});
  EXPECT_EQ(refused.status, 64);
  EXPECT_EQ(refused.out, "");
}

}  // namespace
