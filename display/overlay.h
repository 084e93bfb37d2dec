// What the window draws over the scene: the selection and the caption band.
#pragma once

#include <string>

#include "inspect.h"
#include "placement.h"

// The segments the selection meets, 2 pixels wide in green, the selected
// segment 3 pixels wide in blue, each with its end dots in its colour, and,
// with `crossings`, the crossing points on them black on top, placed as
// `placement` places the drawing. Leaves the current colour as it was.
void paintSelection(const Selection& selection, const Placement& placement, bool crossings = true);

// The band along the bottom of a window this size, with `caption` at its
// left end and `readout` at its right; but for `wholeBand`, the readout's
// end alone, where a map's legend stays.
void paintCaptionBand(const std::string& caption, const std::string& readout, int width, int height,
                      bool wholeBand = true);

// How wide the band's font draws `text`, in pixels.
int textWidth(const std::string& text);

// The room the band leaves for a caption beside `readout`.
int captionRoom(const std::string& readout, int width);
