// A map's window and picture in the map style: quiet lines without vertex
// dots, a ring at each crossing, overlaps thick, touches marked, a legend
// with the counts along the bottom, the first view fitted to the layer.
#include "display/legend.h"
#include "window_fixture.h"

using namespace window_testing;

namespace {

const Rgb grey{140, 140, 140}, vermillion{213, 94, 0}, blue{0, 114, 178}, bluishGreen{0, 158, 115};

// The layer: line 7 has a joint at its top; line 8 crosses its first
// segment, line 9 lies along its second, line 10 touches its end.
const char* const layer = R"({"type":"FeatureCollection","features":[
  {"type":"Feature","id":7,"properties":{},"geometry":{"type":"LineString",
   "coordinates":[[0,0],[50,60],[100,0]]}},
  {"type":"Feature","id":8,"properties":{},"geometry":{"type":"LineString",
   "coordinates":[[0,30],[40,30]]}},
  {"type":"Feature","id":9,"properties":{},"geometry":{"type":"LineString",
   "coordinates":[[60,48],[90,12]]}},
  {"type":"Feature","id":10,"properties":{},"geometry":{"type":"LineString",
   "coordinates":[[100,0],[100,-20]]}}]})";

struct Extent {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
};

// Where `colour` shows above the band: Rgb{} for anything but the background.
Extent extentOf(const Image& image, const Rgb* colour) {
  Extent e;
  for (int y = 0; y < image.height - legendHeight; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgb p = image.at(x, y);
      if (colour ? p != *colour : p == clearColour) continue;
      e = {std::min(e.left, x), std::min(e.top, y), std::max(e.right, x), std::max(e.bottom, y),
           e.count + 1};
    }
  }
  return e;
}

// Whether some pixel has its 3 x 3 square all in `colour`.
bool squareOf(const Image& image, Rgb colour) {
  for (int y = 1; y + 1 < image.height; ++y) {
    for (int x = 1; x + 1 < image.width; ++x) {
      bool all = true;
      for (int k = 0; k < 9 && all; ++k) all = image.at(x - 1 + k % 3, y - 1 + k / 3) == colour;
      if (all) return true;
    }
  }
  return false;
}

TEST_F(WindowTest, MapStyleShowsWhereLinesMeet) {
  dir.write("map.geojson", layer);
  const Window window = open("", {"map.geojson", "--touches"});
  ASSERT_TRUE(window);
  const Image first = x.captureSettled(window);

  // The crossing: one whole ring, 7 pixels across, with the two lines
  // crossing in its hole.
  const Extent ring = extentOf(first, &vermillion);
  EXPECT_EQ(ring.count, 28);
  EXPECT_EQ(ring.right - ring.left, 6);
  EXPECT_EQ(ring.bottom - ring.top, 6);
  const int cx = (ring.left + ring.right) / 2, cy = (ring.top + ring.bottom) / 2;
  EXPECT_TRUE(seenNear(first, cx, cy, grey, 1)) << "the lines cross inside the ring";
  // The overlap thick, the touch a spot of 13 pixels.
  EXPECT_TRUE(squareOf(first, blue));
  EXPECT_EQ(extentOf(first, &bluishGreen).count, 13);
  // No dots: not at the joint (the top of the drawing), nor anywhere.
  EXPECT_EQ(extentOf(first, &red).count + extentOf(first, &black).count, 0);
  EXPECT_FALSE(squareOf(first, grey));
  // Fitted: the layer spans the window's width or the height above the band.
  const Extent all = extentOf(first, nullptr);
  EXPECT_GT(std::max((all.right - all.left) / 1024.0, (all.bottom - all.top) / 680.0), 0.85);

  // The legend: each marker and its count, as the band paints them.
  std::vector<std::uint8_t> band(1024 * 700 * 3);
  paintLegend({.crossings = 1, .overlaps = 1, .touches = 1, .touchesSought = true}, band, 1024,
              700);
  int differing = 0;
  for (int y = 0; y < legendHeight; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const std::uint8_t* p = &band[3 * std::size_t(y * 1024 + x)];
      differing += first.at(x, 699 - y) != Rgb{p[0], p[1], p[2]};
    }
  }
  EXPECT_EQ(differing, 0);

  // The picture is the window's first frame.
  const RunResult picture =
      runProgram(dir.path, {.args = {"map.geojson", "--touches", "--png", "map.png"}});
  EXPECT_EQ(picture.status, 0) << picture.err;
  EXPECT_TRUE(readPng(dir.path + "/map.png") == first);

  // t hides the markers, not the lines or the legend; t shows them again.
  x.pressKey(window, XK_t);
  const Image hidden = x.captureChanged(window, first);
  EXPECT_EQ(hidden.count(vermillion) + hidden.count(blue) + hidden.count(bluishGreen),
            first.count(vermillion) + first.count(blue) + first.count(bluishGreen) -
                (ring.count + extentOf(first, &blue).count + 13));
  EXPECT_GT(hidden.count(grey), 0);
  x.pressKey(window, XK_t);
  EXPECT_TRUE(x.captureChanged(window, hidden) == first);

  // A click on a line names its feature, part and vertex.
  const Extent lines = extentOf(first, &grey);
  x.click(window, lines.right, lines.bottom);
  x.captureChanged(window, first);
  const RunResult result = close(window);
  EXPECT_EQ(result.out,
            "Duzi 0 i 2 imaju presecnu tacku\nDuzi 1 i 3 se poklapaju\nDuzi 1 i 4 se dodiruju\n");
  EXPECT_NE(result.err.find("(sloj map, objekat "), std::string::npos) << result.err;
}

// --size: the picture is as large as asked, and the markers as large as
// ever.
TEST_F(WindowTest, MapPictureOfAnySize) {
  dir.write("map.geojson", layer);
  const RunResult r =
      runProgram(dir.path, {.args = {"map.geojson", "--png", "big.png", "--size", "3000x400"}});
  ASSERT_EQ(r.status, 0) << r.err;
  const Image big = readPng(dir.path + "/big.png");
  EXPECT_EQ(big.width, 3000);
  EXPECT_EQ(big.height, 400);
  EXPECT_EQ(extentOf(big, &vermillion).count, 28);
}

}  // namespace
