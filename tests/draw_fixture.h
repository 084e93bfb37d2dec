// What the drawing tests share: a small OpenGL window on a private X
// server, the scene cleared, and the frame read back.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "display/drawing.h"
#include "geometry/scene.h"
#include "support/reference_draw.h"
#include "support/x_display.h"

namespace draw_testing {

// The drawing of the scene each test makes.
inline Drawing drawing;

inline constexpr int width = 320, height = 240;

class GlWindow : public testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>();
    int argc = 1;
    char name[] = "draw_tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutCreateWindow("draw test");
    // Let the window be mapped and sized before anything is drawn into it.
    glutDisplayFunc([] {});
    for (int k = 0; k < 20; ++k) {
      glutMainLoopEvent();
      usleep(10000);
    }
    glClearColor(0.9f, 0.9f, 0.8f, 0.0f);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 11, -1, 8, -1, 1);  // scenes below lie in [0, 10] x [0, 7]
  }

 private:
  std::unique_ptr<XvfbServer> server_;
};

inline std::vector<unsigned char> readFrame() {
  glFinish();
  std::vector<unsigned char> pixels(std::size_t(width) * height * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

inline int distinctColours(const std::vector<unsigned char>& frame) {
  std::vector<unsigned> seen;
  for (std::size_t k = 0; k < frame.size(); k += 3) {
    const unsigned c = frame[k] << 16 | frame[k + 1] << 8 | frame[k + 2];
    if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
  }
  return int(seen.size());
}

inline Segment seg(float x1, float y1, float x2, float y2) {
  return Segment(Point(x1, y1), Point(x2, y2));
}

inline void clearScene() {
  scene.points.clear();
  scene.segments.clear();
  scene.lines.clear();
  scene.circles.clear();
}

// The drawing painted on the processor, as the window paints huge
// drawings, against the scene as `paint` draws it with OpenGL: no pixel
// further than two pixels from where the other puts its colour.
void expectPaintedAsOpenGlDraws(const char* name, void (*paint)() = paintSceneImmediate);

}  // namespace draw_testing
