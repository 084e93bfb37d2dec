#pragma once

// The scene drawn the straightforward way: every stored figure, one
// glBegin/glEnd each, in list order. The program draws from prepared arrays
// instead; tests and benchmarks hold it to this picture.
void paintSceneImmediate();
