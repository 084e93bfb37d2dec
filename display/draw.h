#pragma once

// Builds the drawing of the scene; the scene must not change afterwards.
// Returns false, with nothing prepared, when memory runs out.
[[nodiscard]] bool prepareScene();

// Clears and paints the prepared scene into the current buffer.
void paintScene();

// Display callback: paints the scene and presents the frame.
void drawScene();
