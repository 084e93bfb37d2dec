// A map's legend: the band along the bottom of its views and pictures, with
// each kind of meeting's marker and count, in Serbian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drawing.h"

// As high as the window's caption band, which covers it while it shows.
inline constexpr int legendHeight = 20;

// The words after each marker: "preseci: 2", "preklapanja: 1", "dodiri: 0"
// (or "dodiri: uz --touches" where they were not sought).
std::vector<std::string> legendWords(const MapLegend& legend);

// Paints the legend along the bottom of `pixels`, rows of RGB bytes from
// the bottom, `width` by `height`.
void paintLegend(const MapLegend& legend, std::vector<std::uint8_t>& pixels, int width, int height);
