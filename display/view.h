// Where the eye looks from, and how the user's zoom, pan and fit move it.
// Plain arithmetic on the view: nothing here touches OpenGL.
#pragma once

#include "geometry/figures.h"

struct View {
  double cx, cy;  // the scene point on the view axis, in the middle of the window
  double dist;    // eye distance from the drawing plane z = 0
  bool operator==(const View&) const = default;
};

// A rectangle of the drawing plane.
struct Box {
  double minX, minY, maxX, maxY;
  bool operator==(const Box&) const = default;
};

// `box` grown by `dx` to the left and right and by `dy` below and above.
Box widened(const Box& box, double dx, double dy);

// The part of segment (a, b) inside `box`, by Liang and Barsky's clipping;
// false if none.
bool clipToBox(double& ax, double& ay, double& bx, double& by, const Box& box);

// The first view: centred on the scene's corners, from a distance that
// shows their extent.
View frameView(Point minCorner, Point maxCorner);

// Clipping planes of the perspective, bracketing the eye distance: the
// usual 1 and 1000 where the distance lies between them.
double nearPlane(const View& view);
double farPlane(const View& view);

// Window pixels per scene unit in the drawing plane, for a window `height`
// pixels high (the field of view is 45 degrees vertically).
double pixelsPerUnit(const View& view, int height);

// What a window of this size shows of the drawing plane.
Box visibleBox(const View& view, int width, int height);

// The scene point under window position (x, y), measured from the top left
// corner of the window in pixels.
void scenePointAt(const View& view, int width, int height, double x, double y, double& sx,
                  double& sy);

// Closer by `factor` (above 1 zooms in), keeping the scene point (x, y)
// where it is in the window.
View zoomAbout(const View& view, double factor, double x, double y);

// Moves the drawing by (dx, dy) window pixels, y downwards as on screen.
View panByPixels(const View& view, double dx, double dy, int height);

// Whether zooming from `now` to `next` stays within what the data can show:
// closer, a pixel no smaller than a sixteenth of the float spacing at the
// view's centre, finer than the coordinates there can tell apart; farther,
// not beyond where the whole float range fits in the window.
bool zoomWithinLimits(const View& next, const View& now, int width, int height);

// Frames `data` with a margin of a twentieth on each side.
View fitView(Box data, int width, int height);
