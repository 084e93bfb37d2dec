// The window's first frame as a picture file, drawn without any display.
#pragma once

#include "drawing.h"
#include "png_file.h"

enum class PictureOutcome { Written, NoGraphics, OutOfMemory, CannotWrite };

struct PictureResult {
  PictureOutcome outcome;
  int error = 0;  // errno when the file could not be written
};

// Draws the first frame of the window (1024 x 700, framed and drawn as the
// window draws it) of the drawing in an off-screen OpenGL context, and
// writes it to `file`.
PictureResult writeFirstFrame(const Drawing& drawing, PngFile& file);
