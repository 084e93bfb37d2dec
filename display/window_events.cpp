// What the keys and the mouse do to the window: move the view, select, and
// show or hide what is drawn over the scene.
#include <GL/freeglut.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "png_file.h"
#include "window_state.h"

namespace {

constexpr double zoomStep = 1.25;
// A press and release within this many pixels is a click.
constexpr int clickPixels = 3;
// A click picks what lies within this many pixels.
constexpr double pickPixels = 5;

void show(WindowState& w, const View& next) {
  // Far enough in or out stops: the view must keep a finite, positive scale.
  if (!(next.dist >= 1e-290 && next.dist <= 1e290)) return;
  w.frame.view = next;
  w.frame.firstView = false;
  glutPostRedisplay();
}

// Zooming stops where the data hold nothing finer, and where the whole
// float range is in view.
void zoomTo(WindowState& w, const View& next) {
  if (zoomWithinLimits(next, w.frame.view, w.frame.width, w.frame.height)) show(w, next);
}

// r and Home: the first frame as it opened, nothing selected or shown over it.
void backToFirstFrame(WindowState& w) {
  w.selection = Selection{};
  w.readoutShown = w.labelsShown = false;
  w.crossingsShown = true;
  w.frame.view = w.firstView;
  w.frame.firstView = true;
  glutPostRedisplay();
}

void selectAtPointer(WindowState& w, int x, int y) {
  const Frame& f = w.frame;
  double sx, sy;
  scenePointAt(f.view, f.width, f.height, x + 0.5, y + 0.5, sx, sy);
  std::size_t pointCount = 0;
  const RunCells* pointCells = nullptr;
  const float* points = crossingPoints(*w.drawing, pointCount, &pointCells);
  if (!w.crossingsShown) {  // what is hidden is not picked
    pointCount = 0;
    pointCells = nullptr;
  }
  w.selection = selectAt(*w.inspection, sx, sy, pickPixels / pixelsPerUnit(f.view, f.height),
                         points, pointCount, pointCells);
  if (w.selection.picked.kind != Picked::Nothing) {
    std::fprintf(stderr, "%s\n", captionOf(w.selection).c_str());
  }
  glutPostRedisplay();
}

// The window as it is now, to segments-N.png in the current directory, N
// the first number not taken.
void savePicture(WindowState& w) {
  paintFrame(w);
  const std::vector<std::uint8_t> rows = readPixels(w.frame.width, w.frame.height, true);
  int error = EEXIST;
  std::string name;
  for (int n = 1; error == EEXIST; ++n) {
    name = "segments-" + std::to_string(n) + ".png";
    if (access(name.c_str(), F_OK) == 0) continue;
    PngFile file;
    error = file.open(name);
    if (error == 0) error = file.write(w.frame.width, w.frame.height, rows.data(), false);
  }
  if (error == 0) {
    std::fprintf(stderr, "Slika prozora je u %s\n", name.c_str());
  } else {
    std::fprintf(stderr, "Greska! Sliku prozora %s nije moguce ispisati: %s\n", name.c_str(),
                 std::strerror(error));
  }
}

void fit(WindowState& w) {
  Box data;
  if (drawingBounds(*w.drawing, data)) show(w, fitView(data, w.frame.width, w.frame.height));
}

void zoomAtPointer(WindowState& w, double factor, int x, int y) {
  double sx, sy;
  scenePointAt(w.frame.view, w.frame.width, w.frame.height, x + 0.5, y + 0.5, sx, sy);
  zoomTo(w, zoomAbout(w.frame.view, factor, sx, sy));
}

}  // namespace

void keyPressed(unsigned char key, int, int) {
  WindowState& w = theWindow();
  const View& view = w.frame.view;
  switch (key) {
    case 27:
    case 'q':
      std::exit(0);
    case '+':
    case '=':
      zoomTo(w, zoomAbout(view, zoomStep, view.cx, view.cy));
      break;
    case '-':
      zoomTo(w, zoomAbout(view, 1 / zoomStep, view.cx, view.cy));
      break;
    case 'f':
      fit(w);
      break;
    case 'r':
      backToFirstFrame(w);
      break;
    case 't':
      w.crossingsShown = !w.crossingsShown;
      std::fprintf(stderr, w.crossingsShown ? "Presecne tacke se vide.\n"
                                            : "Presecne tacke su sakrivene (t ih vraca).\n");
      glutPostRedisplay();
      break;
    case 'n':
      w.labelsShown = !w.labelsShown;
      glutPostRedisplay();
      break;
    case 'c':
      w.readoutShown = !w.readoutShown;
      glutPostRedisplay();
      break;
    case 'p':
      savePicture(w);
      break;
  }
}

void specialKeyPressed(int key, int, int) {
  WindowState& w = theWindow();
  const View& view = w.frame.view;
  const int width = w.frame.width, height = w.frame.height;
  // An arrow moves the view that way: the drawing moves the other way.
  switch (key) {
    case GLUT_KEY_LEFT:
      show(w, panByPixels(view, width / 10.0, 0, height));
      break;
    case GLUT_KEY_RIGHT:
      show(w, panByPixels(view, -width / 10.0, 0, height));
      break;
    case GLUT_KEY_UP:
      show(w, panByPixels(view, 0, height / 10.0, height));
      break;
    case GLUT_KEY_DOWN:
      show(w, panByPixels(view, 0, -height / 10.0, height));
      break;
    case GLUT_KEY_HOME:
      backToFirstFrame(w);
      break;
  }
}

void mouseButton(int button, int state, int x, int y) {
  WindowState& w = theWindow();
  w.pointerX = x;
  w.pointerY = y;
  if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
    w.pressed = true;
    w.dragged = false;
    w.pressX = w.dragX = x;
    w.pressY = w.dragY = y;
    w.pressView = w.frame.view;
    w.pressOnFirstView = w.frame.firstView;
  } else if (button == GLUT_LEFT_BUTTON && w.pressed) {
    w.pressed = false;
    if (w.dragged) return;
    // A click: whatever the pointer moved by the way is no pan.
    w.frame.view = w.pressView;
    w.frame.firstView = w.pressOnFirstView;
    selectAtPointer(w, x, y);
  } else if (state == GLUT_DOWN && (button == 3 || button == 4)) {
    // The wheel, where the toolkit reports it as buttons 4 and 5 of X.
    zoomAtPointer(w, button == 3 ? zoomStep : 1 / zoomStep, x, y);
  }
}

void mouseDragged(int x, int y) {
  WindowState& w = theWindow();
  w.pointerX = x;
  w.pointerY = y;
  if (!w.pressed || (x == w.dragX && y == w.dragY)) return;
  if (std::abs(x - w.pressX) > clickPixels || std::abs(y - w.pressY) > clickPixels) {
    w.dragged = true;
  }
  show(w, panByPixels(w.frame.view, x - w.dragX, y - w.dragY, w.frame.height));
  w.dragX = x;
  w.dragY = y;
}

void pointerMoved(int x, int y) {
  WindowState& w = theWindow();
  w.pointerX = x;
  w.pointerY = y;
  if (w.readoutShown) glutPostRedisplay();
}

void wheelTurned(int, int direction, int x, int y) {
  zoomAtPointer(theWindow(), direction > 0 ? zoomStep : 1 / zoomStep, x, y);
}
