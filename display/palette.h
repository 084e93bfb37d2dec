#pragma once

// The ten drawing colours, indexed by ColourCode: red, green, blue.
extern const float palette[10][3];

// What the window and the pictures are cleared to, behind every figure.
inline constexpr float background[3] = {0.9f, 0.9f, 0.8f};

// Makes `code` the current drawing colour. Codes outside 0..9 (negative ones
// included) change nothing, so the colour already current stays in force.
void setColour(int code);

inline bool isPaletteCode(int code) {
  return unsigned(code) < 10;
}
