#include "reference_draw.h"

#include <GL/gl.h>

#include <cmath>

#include "display/palette.h"
#include "geometry/scene.h"

void paintSceneImmediate() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  glPointSize(4);
  scene.circles.forEach([](const Circle& c) {
    setColour(c.colour);
    glBegin(GL_LINE_LOOP);
    for (int k = 0; k < 100; ++k) {
      const double a = k * 0.06283185307179587;
      glVertex2f(float(c.centre.x + c.radius * std::cos(a)),
                 float(c.centre.y + c.radius * std::sin(a)));
    }
    glEnd();
  });
  scene.lines.forEach([](const Line& l) {
    setColour(l.colour);
    glBegin(GL_LINES);
    glVertex2f(l.point.x + 100 * l.direction.x, l.point.y + 100 * l.direction.y);
    glVertex2f(l.point.x - 100 * l.direction.x, l.point.y - 100 * l.direction.y);
    glEnd();
  });
  scene.segments.forEach([](const Segment& s) {
    setColour(s.colour);
    glBegin(GL_LINES);
    glVertex2f(s.A.x, s.A.y);
    glVertex2f(s.B.x, s.B.y);
    glEnd();
    glBegin(GL_POINTS);
    glVertex2f(s.A.x, s.A.y);
    glVertex2f(s.B.x, s.B.y);
    glEnd();
  });
  scene.points.forEach([](const Point& p) {
    setColour(p.colour);
    glBegin(GL_POINTS);
    glVertex2f(p.x, p.y);
    glEnd();
  });
  glPopMatrix();
}
