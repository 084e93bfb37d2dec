// The window's first frame as a picture file, drawn without any display.
#pragma once

enum class PictureOutcome { Written, NoGraphics, OutOfMemory, CannotWrite };

struct PictureResult {
  PictureOutcome outcome;
  int error = 0;  // errno when the file could not be written
};

// Draws the first frame of the window (1024 x 700, framed and drawn as the
// window draws it) in an off-screen OpenGL context, and writes it to `path`
// as a PNG file.
PictureResult writeFirstFrame(const char* path);

// Writes `height` rows of `width` RGB pixels, top row first, as a PNG file.
// Returns 0, or the errno of the failure.
int writePng(const char* path, int width, int height, const unsigned char* rgb);
