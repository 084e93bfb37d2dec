// Runs the program on a directory's test.txt under a private Xvfb and saves
// its window as a PNG: screenshot <directory> <file.png>
#include <cstdio>
#include <string>

#include "program_runner.h"
#include "x_display.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <directory with test.txt> <output.png>\n", argv[0]);
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
  const bool saved = writePng(x.captureSettled(window), argv[2]);
  x.requestClose(window);
  const RunResult result = finishProgram(program);
  std::fputs(result.out.c_str(), stdout);
  if (!saved) std::fprintf(stderr, "cannot write %s\n", argv[2]);
  return saved && result.status == 0 ? 0 : 1;
}
