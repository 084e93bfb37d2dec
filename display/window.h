#pragma once

// Opens the window on the filled scene and runs the toolkit's event loop;
// closing the window ends the process. argc and argv go to the toolkit.
// Returns false, before any window opens, when memory runs out for the
// drawing.
bool showScene(int argc, char** argv);

// Display callback: paints the scene in the current view and presents the
// frame.
void drawScene();

// Size callback: the viewport follows the window and the aspect with it.
void reshapeWindow(int width, int height);

// Paints the first frame of a window of this size into the current
// framebuffer, as the window would: the scene must be prepared.
void paintFirstFrame(int width, int height);
