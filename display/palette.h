#pragma once

// The ten drawing colours, indexed by ColourCode: red, green, blue.
extern const float palette[10][3];

// Makes `code` the current drawing colour. Codes outside 0..9 (negative ones
// included) change nothing, so the colour already current stays in force.
void setColour(int code);

inline bool isPaletteCode(int code) {
  return unsigned(code) < 10;
}
