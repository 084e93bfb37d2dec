#pragma once

// The ten drawing colours, indexed by ColourCode: red, green, blue.
extern const float palette[10][3];

// What the window and the pictures are cleared to, behind every figure.
inline constexpr float background[3] = {0.9f, 0.9f, 0.8f};

// A map's colours, codes after the palette's. The markers' are from Okabe
// and Ito's palette ("Color Universal Design"), whose colours people with
// the common colour-vision deficiencies tell apart: vermillion crossings,
// blue overlaps, bluish green touches, over lines in a quiet grey.
enum MapColour : int { MapLine = 10, MapCrossing, MapOverlap, MapTouch };
extern const float mapColours[4][3];

// The colour of a palette code or a map colour.
const float (&colourOf(int code))[3];

// Makes `code` the current drawing colour. Codes outside 0..9 (negative ones
// included) change nothing, so the colour already current stays in force.
void setColour(int code);

inline bool isPaletteCode(int code) {
  return unsigned(code) < 10;
}

// A colour of a run: a palette code or a map colour.
inline bool isRunColour(int code) {
  return unsigned(code) <= MapTouch;
}
