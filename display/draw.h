#pragma once

// Builds the drawing of the scene once the window exists; the scene must not
// change afterwards. showScene calls it.
void prepareScene();

// Clears and paints the prepared scene into the current buffer.
void paintScene();

// Display callback: paints the scene and presents the frame.
void drawScene();
