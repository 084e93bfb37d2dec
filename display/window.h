// The window: opened on the drawing, framed on the scene, until the user
// closes it.
#pragma once

#include "drawing.h"
#include "inspect.h"

// Whether the X display the toolkit would open (-display, or DISPLAY)
// answers.
bool displayAnswers(int argc, char** argv);

// Starts the windowing toolkit, which takes its options from argv and opens
// the display. Where no display answers, the toolkit ends the process with
// its message and status 1; a line of ours follows it.
void startToolkit(int argc, char** argv);

// Opens the window on the drawing, what a click selects looked up in
// `inspection`, and runs the toolkit's event loop; closing the window ends
// the process. argc and argv go to the toolkit, if it has not been started
// yet. Both must stay as they are while the window is open.
void showScene(int argc, char** argv, const Drawing& drawing, const Inspection& inspection);
