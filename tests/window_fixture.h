// What the window tests share: the real program's window under a private
// Xvfb, its colours, and where a scene point shows.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <X11/keysym.h>

#include "display/view.h"
#include "support/program_runner.h"
#include "support/x_display.h"

namespace window_testing {

inline const char* const title = "Geometrija - prikaz zadatka";
inline const Rgb clearColour{230, 230, 204};  // 0.9, 0.9, 0.8
inline const Rgb red{255, 0, 0};
inline const Rgb black{0, 0, 0};

inline bool near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

// Whether `colour` appears within `radius` pixels of (x, y).
inline bool seenNear(const Image& image, double x, double y, Rgb colour, int radius = 2) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = int(std::lround(x)) + dx, py = int(std::lround(y)) + dy;
      if (px >= 0 && py >= 0 && px < image.width && py < image.height &&
          image.at(px, py) == colour) {
        return true;
      }
    }
  }
  return false;
}

// Whether two 1024 x 700 frames differ only in the caption band, the 20
// rows along the bottom.
inline bool sameAboveTheBand(const Image& a, const Image& b) {
  return std::equal(a.pixels.begin(), a.pixels.begin() + 1024 * 680, b.pixels.begin());
}

// Window pixel of a scene point, for a view centred on (cx, cy) from `dist`
// with the 45-degree field of view.
struct Projection {
  double cx, cy, dist;
  int width, height;
  double scale() const { return (height / 2.0) / (dist * std::tan(M_PI / 8)); }
  double x(double sx) const { return width / 2.0 + (sx - cx) * scale(); }
  double y(double sy) const { return height / 2.0 - (sy - cy) * scale(); }
};

class WindowTest : public testing::Test {
 protected:
  // Starts the program on `input` and waits for its window.
  Window open(const std::string& input, const std::vector<std::string>& args = {}) {
    dir.write("test.txt", input);
    program = startProgram(dir.path, {.args = args});
    const Window window = x.findWindow(title);
    if (!window) ADD_FAILURE() << "no window titled \"" << title << "\"";
    return window;
  }

  // Closes the window as a user would and collects the program's result.
  RunResult close(Window window) {
    x.requestClose(window);
    return finishProgram(program);
  }

  void TearDown() override {
    if (program.pid > 0) {
      kill(program.pid, SIGKILL);
      finishProgram(program);
    }
  }

  XvfbServer server;
  XClient x;
  TempDir dir;
  RunningProgram program;
};

}  // namespace window_testing
