#include "overlay.h"

#include <GL/freeglut.h>

#include "palette.h"

namespace {

constexpr int bandHeight = 20;
constexpr int margin = 4;
void* const font = GLUT_BITMAP_HELVETICA_12;

void vertex(double x, double y, const Placement& p) {
  if (p.moved) {
    glVertex2d((x - p.cx) * p.scale, (y - p.cy) * p.scale);
  } else {
    glVertex2f(float(x), float(y));
  }
}

// The segments with their end dots, as the scene draws them, in a colour
// and width of their own.
void lines(const Segment* first, const Segment* end, float width, int colour, const Placement& p) {
  glLineWidth(width);
  setColour(colour);
  for (const GLenum mode : {GL_LINES, GL_POINTS}) {
    glBegin(mode);
    for (const Segment* s = first; s != end; ++s) {
      vertex(s->A.x, s->A.y, p);
      vertex(s->B.x, s->B.y, p);
    }
    glEnd();
  }
}

}  // namespace

void paintSelection(const Selection& selection, const Placement& placement, bool crossings) {
  if (selection.picked.kind == Picked::Nothing) return;
  glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT);
  glPointSize(4);
  const Segment* first = selection.highlighted.data();
  const Segment* end = first + selection.highlighted.size();
  const bool segment = selection.picked.kind == Picked::Segment;
  lines(first, segment ? end - 1 : end, 2, Green, placement);
  if (segment) lines(end - 1, end, 3, Blue, placement);
  if (crossings) {
    setColour(Black);
    glBegin(GL_POINTS);
    for (std::size_t k = 0; k + 1 < selection.dots.size(); k += 2) {
      vertex(selection.dots[k], selection.dots[k + 1], placement);
    }
    if (!segment) vertex(selection.picked.point.x, selection.picked.point.y, placement);
    glEnd();
  }
  glPopAttrib();
}

int textWidth(const std::string& text) {
  return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text.c_str()));
}

int captionRoom(const std::string& readout, int width) {
  return width - 2 * margin - (readout.empty() ? 0 : textWidth(readout) + 4 * margin);
}

void paintCaptionBand(const std::string& caption, const std::string& readout, int width, int height,
                      bool wholeBand) {
  glPushAttrib(GL_CURRENT_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  setColour(White);
  glRecti(wholeBand ? 0 : width - 2 * margin - textWidth(readout), 0, width, bandHeight);
  setColour(Black);
  glRasterPos2i(margin, 6);
  glutBitmapString(font, reinterpret_cast<const unsigned char*>(caption.c_str()));
  if (!readout.empty()) {
    glRasterPos2i(width - margin - textWidth(readout), 6);
    glutBitmapString(font, reinterpret_cast<const unsigned char*>(readout.c_str()));
  }
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();
}
