#include "palette.h"

#include <GL/gl.h>

const float palette[10][3] = {
    {1, 0, 0},        // Red
    {0, 1, 0},        // Green
    {0, 0, 1},        // Blue
    {1, 1, 0},        // Yellow
    {1, 0.5f, 0},     // Orange
    {1, 0, 1},        // Magenta
    {0, 1, 1},        // Cyan
    {0.5f, 0, 0.5f},  // Purple
    {1, 1, 1},        // White
    {0, 0, 0},        // Black
};

const float mapColours[4][3] = {
    {0.55f, 0.55f, 0.55f},            // MapLine: grey
    {213 / 255.0f, 94 / 255.0f, 0},   // MapCrossing: vermillion
    {0, 114 / 255.0f, 178 / 255.0f},  // MapOverlap: blue
    {0, 158 / 255.0f, 115 / 255.0f},  // MapTouch: bluish green
};

const float (&colourOf(int code))[3] {
  return isPaletteCode(code) ? palette[code] : mapColours[code - MapLine];
}

void setColour(int code) {
  if (!isPaletteCode(code)) return;
  glColor3f(palette[code][0], palette[code][1], palette[code][2]);
}
