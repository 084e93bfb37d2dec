#pragma once

// Whether the X display the toolkit would open (-display, or DISPLAY)
// answers.
bool displayAnswers(int argc, char** argv);

// Starts the windowing toolkit, which takes its options from argv and opens
// the display. Where no display answers, the toolkit ends the process with
// its message and status 1; a line of ours follows it.
void startToolkit(int argc, char** argv);

// Opens the window on the prepared scene and runs the toolkit's event loop;
// closing the window ends the process. argc and argv go to the toolkit, if
// it has not been started yet.
void showScene(int argc, char** argv);

// Display callback: paints the scene in the current view and presents the
// frame.
void drawScene();

// Size callback: the viewport follows the window and the aspect with it.
void reshapeWindow(int width, int height);

// Paints the first frame of a window of this size into the current
// framebuffer, as the window would: the scene must be prepared.
void paintFirstFrame(int width, int height);
