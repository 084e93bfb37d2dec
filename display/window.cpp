// The window: its first view framed on the scene, and what the keys and the
// mouse do with the view afterwards. Redraws happen only when something
// changed.
#include "window.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "draw.h"
#include "geometry/scene.h"
#include "labels.h"
#include "view.h"

namespace {

constexpr int firstWidth = 1024, firstHeight = 700;
constexpr double zoomStep = 1.25;
constexpr int watchMilliseconds = 250;

View firstView;  // back on r or Home
View view;       // what the window shows now
// The first frame's own way of drawing: the scene's coordinates sent as they
// are, through the view's translation in float. Any other view is drawn
// from coordinates moved and clipped in double, which float arithmetic on
// scene coordinates could not do at every scale.
bool firstViewPlain = false;
bool showingFirstView = true;
bool labelsShown = false;
int width = firstWidth, height = firstHeight;
bool dragging = false;
int dragX = 0, dragY = 0;

// Within this range of eye distances the first view's plain float
// transform neither overflows nor loses the figures.
bool plainDistance(double dist) {
  return dist >= 0x1p-30 && dist <= 0x1p40;
}

Placement placementOf(const View& v) {
  if (showingFirstView && firstViewPlain) return {};
  Placement p;
  p.moved = true;
  p.cx = v.cx;
  p.cy = v.cy;
  p.scale = std::ldexp(1.0, -std::ilogb(v.dist));  // the eye distance becomes 1 to 2
  // Twice the visible extent: clipped ends and their dots stay out of sight.
  const Box visible = visibleBox(v, width, height);
  p.keep = widened(visible, (visible.maxX - visible.minX) / 2, (visible.maxY - visible.minY) / 2);
  return p;
}

// The perspective and the eye for `placement`. The projection matrix stays
// current, as the first frame always had it.
void setMatrices(const Placement& placement) {
  // Moved, the eye is 1 to 2 units from the drawing plane, well inside the
  // clipping planes.
  const double eye = view.dist * placement.scale;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (placement.moved) {
    gluPerspective(45, double(width) / height, eye / 10, eye * 10);
  } else {
    gluPerspective(45, double(width) / height, nearPlane(view), farPlane(view));
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (placement.moved) {
    glTranslated(0, 0, -eye);
  } else {
    glTranslatef(-float(view.cx), -float(view.cy), float(-view.dist));
  }
  glMatrixMode(GL_PROJECTION);
}

void show(const View& next) {
  // Far enough in or out stops: the view must keep a finite, positive scale.
  if (!(next.dist >= 1e-290 && next.dist <= 1e290)) return;
  view = next;
  showingFirstView = false;
  glutPostRedisplay();
}

void showFirstView() {
  view = firstView;
  showingFirstView = true;
  glutPostRedisplay();
}

void fit() {
  Box data;
  if (drawingBounds(data)) show(fitView(data, width, height));
}

void zoomAtPointer(double factor, int x, int y) {
  double sx, sy;
  scenePointAt(view, width, height, x + 0.5, y + 0.5, sx, sy);
  show(zoomAbout(view, factor, sx, sy));
}

void keyPressed(unsigned char key, int, int) {
  switch (key) {
    case 27:
    case 'q':
      std::exit(0);
    case '+':
    case '=':
      show(zoomAbout(view, zoomStep, view.cx, view.cy));
      break;
    case '-':
      show(zoomAbout(view, 1 / zoomStep, view.cx, view.cy));
      break;
    case 'f':
      fit();
      break;
    case 'r':
      showFirstView();
      break;
    case 'n':
      labelsShown = !labelsShown;
      glutPostRedisplay();
      break;
  }
}

void specialKeyPressed(int key, int, int) {
  // An arrow moves the view that way: the drawing moves the other way.
  switch (key) {
    case GLUT_KEY_LEFT:
      show(panByPixels(view, width / 10.0, 0, height));
      break;
    case GLUT_KEY_RIGHT:
      show(panByPixels(view, -width / 10.0, 0, height));
      break;
    case GLUT_KEY_UP:
      show(panByPixels(view, 0, height / 10.0, height));
      break;
    case GLUT_KEY_DOWN:
      show(panByPixels(view, 0, -height / 10.0, height));
      break;
    case GLUT_KEY_HOME:
      showFirstView();
      break;
  }
}

void mouseButton(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) {
    dragging = state == GLUT_DOWN;
    dragX = x;
    dragY = y;
  } else if (state == GLUT_DOWN && (button == 3 || button == 4)) {
    // The wheel, where the toolkit reports it as buttons 4 and 5 of X.
    zoomAtPointer(button == 3 ? zoomStep : 1 / zoomStep, x, y);
  }
}

void mouseDragged(int x, int y) {
  if (!dragging || (x == dragX && y == dragY)) return;
  show(panByPixels(view, x - dragX, y - dragY, height));
  dragX = x;
  dragY = y;
}

void wheelTurned(int, int direction, int x, int y) {
  zoomAtPointer(direction > 0 ? zoomStep : 1 / zoomStep, x, y);
}

// Another client may destroy the window outright, which the toolkit ignores;
// the program then ends as if the window had been closed.
Display* display = nullptr;
::Window window = 0;

int ignoreError(Display*, XErrorEvent*) {
  return 0;
}

void watchWindow(int) {
  const auto previous = XSetErrorHandler(ignoreError);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) {
    std::exit(0);  // errors stay ignored: the toolkit's cleanup finds the window gone too
  }
  XSetErrorHandler(previous);
  glutTimerFunc(watchMilliseconds, watchWindow, 0);
}

// The first view frames the scene's corners. Far from the origin those
// corners, which always include (0, 0) and (1024, 700), can leave every
// figure outside the window, or shrink them all into a dot; then the first
// view fits the figures instead.
constexpr double collapsedPixels = 8;

void startViews() {
  glClearColor(0.9f, 0.9f, 0.8f, 0.0f);
  const View framed = frameView(scene.minCorner, scene.maxCorner);
  const double scale = pixelsPerUnit(framed, firstHeight);
  const double dot = 2 / scale;  // half a point's size
  Box data;
  const bool fitted =
      drawingBounds(data) &&
      (!anyFigureIn(widened(visibleBox(framed, firstWidth, firstHeight), dot, dot)) ||
       ((data.maxX - data.minX) * scale < collapsedPixels &&
        (data.maxY - data.minY) * scale < collapsedPixels));
  firstView = view = fitted ? fitView(data, firstWidth, firstHeight) : framed;
  firstViewPlain = !fitted && plainDistance(framed.dist);
  showingFirstView = true;
}

void paintFrame() {
  const Placement placement = placementOf(view);
  setMatrices(placement);
  paintScene(placement);
  if (labelsShown) paintLabels(placement, visibleBox(view, width, height));
}

}  // namespace

void drawScene() {
  paintFrame();
  glFlush();
  glutSwapBuffers();
}

void paintFirstFrame(int w, int h) {
  width = w;
  height = h;
  startViews();
  glViewport(0, 0, width, height);
  paintFrame();
}

void reshapeWindow(int w, int h) {
  if (h == 0) h = 1;
  width = w;
  height = h;
  glViewport(0, 0, width, height);
  setMatrices(placementOf(view));
}

void showScene(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(firstWidth, firstHeight);
  glutInitWindowPosition(100, 50);
  glutCreateWindow("Geometrija - prikaz zadatka");
  startViews();
  setMatrices(placementOf(view));

  display = glXGetCurrentDisplay();
  window = glXGetCurrentDrawable();
  glutDisplayFunc(drawScene);
  glutReshapeFunc(reshapeWindow);
  glutKeyboardFunc(keyPressed);
  glutSpecialFunc(specialKeyPressed);
  glutMouseFunc(mouseButton);
  glutMotionFunc(mouseDragged);
  glutMouseWheelFunc(wheelTurned);
  glutTimerFunc(watchMilliseconds, watchWindow, 0);
  glutMainLoop();
}
