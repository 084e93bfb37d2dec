// The window's first frame as a picture file, drawn without any display.
#pragma once

#include "drawing.h"
#include "png_file.h"

enum class PictureOutcome { Written, NoGraphics, TooLarge, OutOfMemory, CannotWrite };

struct PictureResult {
  PictureOutcome outcome;
  int error = 0;  // errno when the file could not be written
  // For TooLarge: the largest picture the graphics driver draws.
  int largestWidth = 0, largestHeight = 0;
};

// Whether the graphics driver draws a picture this large: false, with the
// largest it does, where not. True where no driver answers (writing the
// picture then says so). A map's picture needs no driver.
bool pictureSizeDrawn(int width, int height, int& largestWidth, int& largestHeight);

// Draws the first frame of a window of this size (the window's own is
// 1024 x 700), framed and drawn as the window draws it, of the drawing in an
// off-screen OpenGL context (a map's on the processor alone), and writes it
// to `file`.
PictureResult writeFirstFrame(const Drawing& drawing, PngFile& file, int width, int height);
