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

void setColour(int code) {
  if (!isPaletteCode(code)) return;
  glColor3f(palette[code][0], palette[code][1], palette[code][2]);
}
