#include "window.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "draw.h"
#include "geometry/scene.h"
#include "view.h"

namespace {

View view;

}  // namespace

void reshapeWindow(int width, int height) {
  if (height == 0) height = 1;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, width, height);
  gluPerspective(45, double(width) / height, view.nearPlane, view.farPlane);
}

bool showScene(int argc, char** argv) {
  glutInit(&argc, argv);
  // The drawing is made once a display is known to be there, and before the
  // window, so that a scene too large for memory ends the run before
  // anything shows.
  if (!prepareScene()) return false;
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 700);
  glutInitWindowPosition(100, 50);
  glutCreateWindow("Geometrija - prikaz zadatka");
  glClearColor(0.9f, 0.9f, 0.8f, 0.0f);

  view = frameView(scene.minCorner, scene.maxCorner);
  // A first projection looking at the centre; the toolkit calls
  // reshapeWindow before the first frame, which replaces it.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(30, 1, 1, 20);
  gluLookAt(view.cx, view.cy, view.dist, view.cx, view.cy, 0, 0, 1, 0);
  // The centre of the corners on the view axis, the plane z = 0 at dist.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-view.cx, -view.cy, float(-view.dist));

  glutDisplayFunc(drawScene);
  glutReshapeFunc(reshapeWindow);
  glutMainLoop();
  return true;
}
