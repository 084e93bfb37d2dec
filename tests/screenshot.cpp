// Runs the program on a directory's test.txt under a private Xvfb, types the
// given keys into its window, clicks where asked, and saves the window as a
// PNG: screenshot <directory> <file.png> [keys] [X,Y ...]
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

#include "support/program_runner.h"
#include "support/x_display.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <directory with test.txt> <output.png> [keys] [X,Y ...]\n",
                 argv[0]);
    return 2;
  }
  XvfbServer server;
  XClient x;
  RunningProgram program = startProgram(argv[1]);
  const Window window = x.findWindow("Geometrija - prikaz zadatka");
  if (!window) {
    std::fprintf(stderr, "the window did not appear\n");
    finishProgram(program);
    return 1;
  }
  Image image = x.captureSettled(window);
  for (const char key : std::string(argc >= 4 ? argv[3] : "")) {
    const char name[2] = {key, '\0'};
    x.pressKey(window, XStringToKeysym(name));
    image = x.captureChanged(window, image);
  }
  for (int k = 4; k < argc; ++k) {
    int px = 0, py = 0;
    if (std::sscanf(argv[k], "%d,%d", &px, &py) != 2) return 2;
    x.click(window, px, py);
    image = x.captureChanged(window, image);
  }
  const bool saved = writePng(image, argv[2]);
  x.requestClose(window);
  const RunResult result = finishProgram(program);
  std::fputs(result.out.c_str(), stdout);
  if (!saved) std::fprintf(stderr, "cannot write %s\n", argv[2]);
  return saved && result.status == 0 ? 0 : 1;
}
