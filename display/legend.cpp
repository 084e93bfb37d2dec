#include "legend.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>

#include "raster_canvas.h"

using namespace raster_detail;

namespace {

constexpr int margin = 6, gap = 18, baseline = 6, fontPixels = 12;

// The font of the legend: the system's sans-serif as fontconfig names it,
// rendered one bit a pixel, so that the words are as crisp as the window's
// own. Loaded once; without one, the legend has its markers alone, and
// says so once.
struct Font {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  Font() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    std::string file;
    if (config && pattern) {
      FcConfigSubstitute(config, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result;
      if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
          file = reinterpret_cast<const char*>(path);
        }
        FcPatternDestroy(match);
      }
    }
    if (pattern) FcPatternDestroy(pattern);
    if (config) FcConfigDestroy(config);
    if (file.empty() || FT_Init_FreeType(&library) != 0 ||
        FT_New_Face(library, file.c_str(), 0, &face) != 0 ||
        FT_Set_Pixel_Sizes(face, 0, fontPixels) != 0) {
      face = nullptr;
      std::fputs("Legenda mape je bez reci: fontconfig ne nalazi font sans-serif.\n", stderr);
    }
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

// Writes `text` in black from x on the baseline; returns where it ends.
int write(Canvas& canvas, const std::string& text, int x) {
  static const Font font;
  if (!font.face) return x;
  canvas.colour = pixelOf(Black);
  for (const char c : text) {
    if (FT_Load_Char(font.face, static_cast<unsigned char>(c),
                     FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
      continue;
    }
    const FT_GlyphSlot glyph = font.face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* bits = bitmap.buffer + long(row) * bitmap.pitch;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        if (bits[column / 8] & (0x80 >> column % 8)) {
          canvas.set(x + glyph->bitmap_left + long(column),
                     baseline + glyph->bitmap_top - 1 - long(row));
        }
      }
    }
    x += int(glyph->advance.x >> 6);
  }
  return x;
}

}  // namespace

std::vector<std::string> legendWords(const MapLegend& legend) {
  return {"preseci: " + std::to_string(legend.crossings),
          "preklapanja: " + std::to_string(legend.overlaps),
          legend.touchesSought ? "dodiri: " + std::to_string(legend.touches)
                               : std::string("dodiri: uz --touches")};
}

void paintLegend(const MapLegend& legend, std::vector<std::uint8_t>& pixels, int width,
                 int height) {
  const int rows = std::min(legendHeight, height);
  std::vector<std::uint32_t> band(std::size_t(width) * std::size_t(rows), pixelOf(White));
  Canvas canvas{width, rows, band.data(), pixelOf(White), 0, 0, 1, nullptr};
  const std::vector<std::string> words = legendWords(legend);
  const int middle = rows / 2;
  int x = margin;
  for (std::size_t k = 0; k < words.size(); ++k) {
    // The marker as the drawing shows it, then its words.
    switch (k) {
      case 0:
        canvas.colour = pixelOf(MapCrossing);
        canvas.stamp(x + 3, middle, ringPixels);
        break;
      case 1:
        canvas.colour = pixelOf(MapOverlap);
        canvas.thickLine(x + 1, middle, x + 6, middle);
        break;
      default:
        canvas.colour = pixelOf(MapTouch);
        canvas.stamp(x + 3, middle, spotPixels);
        break;
    }
    x = write(canvas, words[k], x + 12) + gap;
  }
  for (std::size_t k = 0; k < band.size(); ++k) {
    pixels[3 * k] = std::uint8_t(band[k]);
    pixels[3 * k + 1] = std::uint8_t(band[k] >> 8);
    pixels[3 * k + 2] = std::uint8_t(band[k] >> 16);
  }
}
