#pragma once

// Opens the window on the filled scene and runs the toolkit's event loop;
// closing the window ends the process. argc and argv go to the toolkit.
void showScene(int argc, char** argv);

// Size callback: the viewport follows the window and the aspect with it.
void reshapeWindow(int width, int height);
