// The window: opened on the first frame of the drawing, redrawn only when
// something changed. A change of the selection or the caption alone puts
// back the scene's last pixels and draws over them.
#include "window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "geometry/scene.h"
#include "labels.h"
#include "overlay.h"
#include "palette.h"
#include "window_state.h"

namespace {

constexpr int watchMilliseconds = 250;

WindowState window;

// The scene point under the pointer, for the readout.
std::string readout(const WindowState& w) {
  if (!w.readoutShown) return "";
  double sx, sy;
  scenePointAt(w.frame.view, w.frame.width, w.frame.height, w.pointerX + 0.5, w.pointerY + 0.5, sx,
               sy);
  if (w.inspection->coordinates) return w.inspection->coordinates(sx, sy);
  return "(" + shortest(float(sx)) + ", " + shortest(float(sy)) + ")";
}

void drawScene() {
  paintFrame(window);
  glFlush();
  glutSwapBuffers();
}

// The viewport follows the window, and the aspect with it.
void reshapeWindow(int width, int height) {
  window.frame.width = width;
  window.frame.height = height == 0 ? 1 : height;
  setMatrices(window.frame, placementOf(*window.drawing, window.frame));
}

int ignoreError(Display*, XErrorEvent*) {
  return 0;
}

// Another client may destroy the window outright, which the toolkit ignores;
// the program then ends as if the window had been closed.
void watchWindow(int) {
  const auto previous = XSetErrorHandler(ignoreError);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(window.display, window.window, &attributes) == 0) {
    std::exit(0);  // errors stay ignored: the toolkit's cleanup finds the window gone too
  }
  XSetErrorHandler(previous);
  glutTimerFunc(watchMilliseconds, watchWindow, 0);
}

// After the toolkit's own message, when it ends the process for want of a
// display: what to do instead.
void explainNoDisplay() {
  if (!window.toolkitStarting) return;
  std::fputs(
      "Nema ekrana za prozor: --no-window daje samo izvestaj, a --png FAJL crta sliku "
      "bez ekrana.\n",
      stderr);
}

}  // namespace

WindowState& theWindow() {
  return window;
}

void paintFrame(WindowState& w) {
  const Placement placement = placementOf(*w.drawing, w.frame);
  setMatrices(w.frame, placement);
  const WindowState::Painted now{w.frame, w.labelsShown, w.crossingsShown};
  if (now == w.painted && !w.scenePixels.empty()) {
    copyPixels(w.scenePixels, w.frame.width, w.frame.height);
  } else {
    paintScene(*w.drawing, placement, w.cache, w.crossingsShown);
    w.labelsCrowded =
        w.labelsShown && !paintLabels(w.inspection->segments, placement,
                                      visibleBox(w.frame.view, w.frame.width, w.frame.height));
    w.scenePixels = readPixels(w.frame.width, w.frame.height, false);
    w.painted = now;
  }
  paintSelection(w.selection, placement, w.crossingsShown);
  const std::string right = readout(w);
  std::string caption;
  if (w.selection.picked.kind != Picked::Nothing) {
    caption = fittedCaption(w.selection, captionRoom(right, w.frame.width), textWidth);
  } else if (w.labelsCrowded) {
    caption = "Brojevi duzi se vide tek u blizem prikazu (najvise " + std::to_string(labelLimit) +
              " odjednom)";
  }
  if (!caption.empty() || !right.empty()) {
    paintCaptionBand(caption, right, w.frame.width, w.frame.height,
                     !caption.empty() || !w.drawing->mapStyle);
  }
}

bool displayAnswers(int argc, char** argv) {
  const char* name = nullptr;
  for (int k = 1; k + 1 < argc; ++k) {
    if (std::strcmp(argv[k], "-display") == 0) name = argv[k + 1];
  }
  Display* answered = XOpenDisplay(name);
  if (answered) XCloseDisplay(answered);
  return answered != nullptr;
}

void startToolkit(int argc, char** argv) {
  if (window.toolkitStarted) return;
  static const bool explained = std::atexit(explainNoDisplay) == 0;
  window.toolkitStarting = explained;
  glutInit(&argc, argv);
  window.toolkitStarting = false;
  window.toolkitStarted = true;
}

void showScene(int argc, char** argv, const Drawing& drawing, const Inspection& inspection) {
  startToolkit(argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(firstWidth, firstHeight);
  glutInitWindowPosition(100, 50);
  glutCreateWindow("Geometrija - prikaz zadatka");
  window.drawing = &drawing;
  window.inspection = &inspection;
  window.frame = firstFrame(drawing, scene.minCorner, scene.maxCorner, firstWidth, firstHeight);
  window.firstView = window.frame.view;
  glClearColor(background[0], background[1], background[2], 0.0f);
  setMatrices(window.frame, placementOf(drawing, window.frame));

  window.display = glXGetCurrentDisplay();
  window.window = glXGetCurrentDrawable();
  glutDisplayFunc(drawScene);
  glutReshapeFunc(reshapeWindow);
  glutKeyboardFunc(keyPressed);
  glutSpecialFunc(specialKeyPressed);
  glutMouseFunc(mouseButton);
  glutMotionFunc(mouseDragged);
  glutPassiveMotionFunc(pointerMoved);
  glutMouseWheelFunc(wheelTurned);
  glutTimerFunc(watchMilliseconds, watchWindow, 0);
  glutMainLoop();
}
