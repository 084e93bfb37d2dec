// The drawing made from the scene: its figures as vertices and runs of one
// shape and colour, every entry that a later one paints over dropped.
#pragma once

#include "drawing.h"

// Makes `drawing` from the scene, which must not change afterwards. Returns
// false, with the drawing empty, when memory runs out or `stopped` (asked
// now and then) says so.
[[nodiscard]] bool prepareScene(Drawing& drawing, bool (*stopped)() = nullptr);
