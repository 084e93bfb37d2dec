// Map layers in, crossings out: the real program on small layers that
// ogr2ogr makes from WKT, in the formats people bring.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "map_layers.h"
#include "support/program_runner.h"

using namespace map_testing;

namespace {

// --csv names the layer, feature, part and vertex of both segments; points,
// empty geometries and features without one are skipped with a count; --all-pairs gives every
// pair but the joints.
TEST(MapLayers, CsvNamesTheFeatures) {
  TempDir dir;
  makeLayer(dir,
            {"LINESTRING (0 0, 1 0, 2 2)", "POINT (5 5)",
             "MULTILINESTRING ((9 9, 9 8), (0 2, 2 0))", "LINESTRING EMPTY", ""},
            "gpkg");
  const RunResult csv = runOnLayer(dir, "gpkg", {"--csv"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out,
            "first,second,result,x,y,first_layer,first_fid,first_part,first_vertex,second_layer,"
            "second_fid,second_part,second_vertex,shared_vertex\n"
            "1,3,cross,1.3333333333333333,0.6666666666666666,layer,1,0,1,layer,3,1,0,0\n");
  // A feature without any geometry too.
  EXPECT_NE(csv.err.find("3 objekata bez linija"), std::string::npos) << csv.err;
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
  // KML, a placemark named by what happens there.
  const RunResult kml = runOnLayer(dir, "gpkg", {"--crossings", "k.kml"});
  ASSERT_EQ(kml.status, 0) << kml.err;
  const std::string placemarks = outputOf(dir.path, "ogrinfo -ro -al -q k.kml");
  for (const char* expected : {"Name (String) = cross", "first (Integer) = 0",
                               "Name (String) = overlap", "LINESTRING (7 0,9 0)"}) {
    EXPECT_NE(placemarks.find(expected), std::string::npos) << expected << "\n" << placemarks;
  }
  // A map without any line: an empty layer.
  dir.write("empty.geojson", R"({"type":"FeatureCollection","features":[]})");
  const RunResult empty =
      runProgram(dir.path, {.args = {"--no-window", "--crossings", "e.gpkg", "empty.geojson"}});
  EXPECT_EQ(empty.status, 0) << empty.err;
  EXPECT_NE(outputOf(dir.path, "ogrinfo -ro -so e.gpkg crossings").find("Feature Count: 0"),
            std::string::npos);
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
      {"a crossings path in a missing folder",
       good,
       {"--crossings", "nema/out.gpkg"},
       3,
       "Greska! Sloj nema/out.gpkg nije moguce ispisati: No such file or directory\n"},
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
  // The program without its map module beside it says so.
  TempDir alone;
  alone.write("layer.geojson", good);
  outputOf(alone.path, std::string("cp ") + programPath() + " segments");
  EXPECT_EQ(
      outputOf(alone.path, "(./segments --no-window layer.geojson; echo $?)"),
      "Greska! Ne mogu da otvorim mapu layer.geojson: GDAL se ne moze ucitati: " + alone.path +
          "/libsegments_map.so: cannot open shared object file: No such file "
          "or directory\n1\n");
  TempDir text;
  text.write("test.txt", "0 0 1 1 1 0 0 1\n");
  const RunResult refused =
      runProgram(text.path, {.args = {"--no-window", "--crossings", "x.gpkg"}});
  EXPECT_EQ(refused.status, 64);
  EXPECT_EQ(refused.out, "");
}

}  // namespace
