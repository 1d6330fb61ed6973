#include "gui/Draw2D.h"

#include "gui/GL.h"

namespace QV {

void setColour(const Colour &c) { glColor4f(c.r, c.g, c.b, c.a); }

void fillRect(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

void fillBox(const Box &b) { fillRect(b.minX, b.minY, b.maxX, b.maxY); }

void outlineBox(const Box &b) {
    glBegin(GL_LINE_LOOP);
    glVertex2f(b.minX, b.minY);
    glVertex2f(b.maxX, b.minY);
    glVertex2f(b.maxX, b.maxY);
    glVertex2f(b.minX, b.maxY);
    glEnd();
}

} // namespace QV
