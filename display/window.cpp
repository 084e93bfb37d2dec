// The window: its first view framed on the scene, what the keys and the
// mouse do with the view afterwards, and what a click selects. Redraws
// happen only when something changed; a change of the selection or the
// caption alone puts back the scene's last pixels and draws over them.
#include "window.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "draw.h"
#include "geometry/scene.h"
#include "inspect.h"
#include "labels.h"
#include "overlay.h"
#include "png_file.h"
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
bool crossingsShown = true;  // t hides them: millions of dots cover a map
int width = firstWidth, height = firstHeight;

// The left button: a press and release within clickPixels is a click, which
// selects; anything longer is a drag, which pans.
constexpr int clickPixels = 3;
constexpr double pickPixels = 5;
bool pressed = false;
bool dragged = false;  // moved further than a click from where it was pressed
int pressX = 0, pressY = 0, dragX = 0, dragY = 0;
View pressView;
bool pressOnFirstView = true;

Selection selection;
bool readoutShown = false;  // c: the scene point under the pointer
int pointerX = 0, pointerY = 0;

// The scene's pixels in the last frame painted, before anything drawn over
// them, and what they show: a change of the selection or the caption alone
// puts them back instead of painting the scene again.
struct Painted {
  View view;
  bool firstView = false;
  int width = 0, height = 0;
  bool labels = false;
  bool crossings = true;
  bool operator==(const Painted&) const = default;
};
Painted painted;
std::vector<std::uint8_t> scenePixels;
bool labelsCrowded = false;  // more numbers in view than are drawn

void paintFrame();

// Within this range of eye distances the first view's plain float
// transform neither overflows nor loses the figures.
bool plainDistance(double dist) {
  return dist >= 0x1p-30 && dist <= 0x1p40;
}

Placement placementOf(const View& v) {
  if (showingFirstView && firstViewPlain && !paintedOnProcessor()) return {};
  Placement p;
  p.moved = true;
  p.cx = v.cx;
  p.cy = v.cy;
  p.scale = std::ldexp(1.0, -std::ilogb(v.dist));  // the eye distance becomes 1 to 2
  // Twice the visible extent: clipped ends and their dots stay out of sight.
  const Box visible = visibleBox(v, width, height);
  p.keep = widened(visible, (visible.maxX - visible.minX) / 2, (visible.maxY - visible.minY) / 2);
  p.pixelsPerUnit = pixelsPerUnit(v, height);
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

// Zooming stops where the data hold nothing finer, and where the whole
// float range is in view.
void zoomTo(const View& next) {
  if (zoomWithinLimits(next, view, width, height)) show(next);
}

void showFirstView() {
  view = firstView;
  showingFirstView = true;
  glutPostRedisplay();
}

void clearSelection() {
  selection = Selection{};
  glutPostRedisplay();
}

// r and Home: the first frame as it opened, nothing selected or shown over it.
void backToFirstFrame() {
  clearSelection();
  readoutShown = labelsShown = false;
  crossingsShown = true;
  showFirstView();
}

void selectAtPointer(int x, int y) {
  double sx, sy;
  scenePointAt(view, width, height, x + 0.5, y + 0.5, sx, sy);
  std::size_t pointCount = 0;
  const RunCells* pointCells = nullptr;
  const float* points = crossingPoints(pointCount, &pointCells);
  if (!crossingsShown) {  // what is hidden is not picked
    pointCount = 0;
    pointCells = nullptr;
  }
  selection =
      selectAt(sx, sy, pickPixels / pixelsPerUnit(view, height), points, pointCount, pointCells);
  if (selection.picked.kind != Picked::Nothing) {
    std::fprintf(stderr, "%s\n", captionOf(selection).c_str());
  }
  glutPostRedisplay();
}

// The window as it is now, to segments-N.png in the current directory, N
// the first number not taken.
void savePicture() {
  std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 3),
      rows(pixels.size());
  paintFrame();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  const std::size_t stride = std::size_t(width) * 3;
  for (int row = 0; row < height; ++row) {
    std::copy_n(&pixels[std::size_t(height - 1 - row) * stride], stride,
                &rows[std::size_t(row) * stride]);
  }
  int error = EEXIST;
  std::string name;
  for (int n = 1; error == EEXIST; ++n) {
    name = "segments-" + std::to_string(n) + ".png";
    if (access(name.c_str(), F_OK) == 0) continue;
    PngFile file;
    error = file.open(name);
    if (error == 0) error = file.write(width, height, rows.data(), false);
  }
  if (error == 0) {
    std::fprintf(stderr, "Slika prozora je u %s\n", name.c_str());
  } else {
    std::fprintf(stderr, "Greska! Sliku prozora %s nije moguce ispisati: %s\n", name.c_str(),
                 std::strerror(error));
  }
}

void fit() {
  Box data;
  if (drawingBounds(data)) show(fitView(data, width, height));
}

void zoomAtPointer(double factor, int x, int y) {
  double sx, sy;
  scenePointAt(view, width, height, x + 0.5, y + 0.5, sx, sy);
  zoomTo(zoomAbout(view, factor, sx, sy));
}

void keyPressed(unsigned char key, int, int) {
  switch (key) {
    case 27:
    case 'q':
      std::exit(0);
    case '+':
    case '=':
      zoomTo(zoomAbout(view, zoomStep, view.cx, view.cy));
      break;
    case '-':
      zoomTo(zoomAbout(view, 1 / zoomStep, view.cx, view.cy));
      break;
    case 'f':
      fit();
      break;
    case 'r':
      backToFirstFrame();
      break;
    case 't':
      crossingsShown = !crossingsShown;
      std::fprintf(stderr, crossingsShown ? "Presecne tacke se vide.\n"
                                          : "Presecne tacke su sakrivene (t ih vraca).\n");
      glutPostRedisplay();
      break;
    case 'n':
      labelsShown = !labelsShown;
      glutPostRedisplay();
      break;
    case 'c':
      readoutShown = !readoutShown;
      glutPostRedisplay();
      break;
    case 'p':
      savePicture();
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
      backToFirstFrame();
      break;
  }
}

void mouseButton(int button, int state, int x, int y) {
  pointerX = x;
  pointerY = y;
  if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
    pressed = true;
    dragged = false;
    pressX = dragX = x;
    pressY = dragY = y;
    pressView = view;
    pressOnFirstView = showingFirstView;
  } else if (button == GLUT_LEFT_BUTTON && pressed) {
    pressed = false;
    if (dragged) return;
    // A click: whatever the pointer moved by the way is no pan.
    view = pressView;
    showingFirstView = pressOnFirstView;
    selectAtPointer(x, y);
  } else if (state == GLUT_DOWN && (button == 3 || button == 4)) {
    // The wheel, where the toolkit reports it as buttons 4 and 5 of X.
    zoomAtPointer(button == 3 ? zoomStep : 1 / zoomStep, x, y);
  }
}

void mouseDragged(int x, int y) {
  pointerX = x;
  pointerY = y;
  if (!pressed || (x == dragX && y == dragY)) return;
  if (std::abs(x - pressX) > clickPixels || std::abs(y - pressY) > clickPixels) dragged = true;
  show(panByPixels(view, x - dragX, y - dragY, height));
  dragX = x;
  dragY = y;
}

void pointerMoved(int x, int y) {
  pointerX = x;
  pointerY = y;
  if (readoutShown) glutPostRedisplay();
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

// The scene point under the pointer, for the readout.
std::string readout() {
  if (!readoutShown) return "";
  double sx, sy;
  scenePointAt(view, width, height, pointerX + 0.5, pointerY + 0.5, sx, sy);
  return "(" + shortest(float(sx)) + ", " + shortest(float(sy)) + ")";
}

void paintFrame() {
  const Placement placement = placementOf(view);
  setMatrices(placement);
  const Painted now{view, showingFirstView, width, height, labelsShown, crossingsShown};
  if (now == painted && !scenePixels.empty()) {
    copyPixels(scenePixels, width, height);
  } else {
    paintScene(placement, crossingsShown);
    labelsCrowded = labelsShown && !paintLabels(placement, visibleBox(view, width, height));
    scenePixels.resize(std::size_t(width) * std::size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, scenePixels.data());
    painted = now;
  }
  paintSelection(selection, placement, crossingsShown);
  const std::string right = readout();
  std::string caption;
  if (selection.picked.kind != Picked::Nothing) {
    caption = fittedCaption(selection, captionRoom(right, width), textWidth);
  } else if (labelsCrowded) {
    caption = "Brojevi duzi se vide tek u blizem prikazu (najvise " + std::to_string(labelLimit) +
              " odjednom)";
  }
  if (!caption.empty() || !right.empty()) paintCaptionBand(caption, right, width, height);
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

bool displayAnswers(int argc, char** argv) {
  const char* name = nullptr;
  for (int k = 1; k + 1 < argc; ++k) {
    if (std::strcmp(argv[k], "-display") == 0) name = argv[k + 1];
  }
  Display* answered = XOpenDisplay(name);
  if (answered) XCloseDisplay(answered);
  return answered != nullptr;
}

namespace {

bool toolkitStarted = false;
bool toolkitStarting = false;

// After the toolkit's own message, when it ends the process for want of a
// display: what to do instead.
void explainNoDisplay() {
  if (!toolkitStarting) return;
  std::fputs(
      "Nema ekrana za prozor: --no-window daje samo izvestaj, a --png FAJL crta sliku "
      "bez ekrana.\n",
      stderr);
}

}  // namespace

void startToolkit(int argc, char** argv) {
  if (toolkitStarted) return;
  static const bool explained = std::atexit(explainNoDisplay) == 0;
  toolkitStarting = explained;
  glutInit(&argc, argv);
  toolkitStarting = false;
  toolkitStarted = true;
}

void showScene(int argc, char** argv) {
  startToolkit(argc, argv);
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
  glutPassiveMotionFunc(pointerMoved);
  glutMouseWheelFunc(wheelTurned);
  glutTimerFunc(watchMilliseconds, watchWindow, 0);
  glutMainLoop();
}
