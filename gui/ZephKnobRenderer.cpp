#include "gui/ZephKnobRenderer.h"

#include "gui/GL.h"
#include "gui/UIElement.h"

#include <cmath>
#include <cstdio>

namespace QV {

ZephKnobRenderer::ZephKnobRenderer(Manager &manager) : manager(manager) {
    for (int a = 0; a <= 10; ++a) {
        const double theta = a * 0.3141592653589793 * 2;
        const double r = (a == 0 || a == 10) ? 1.0 : (a == 1 || a == 9) ? 0.5 : 0.75;
        profile[a] = {float(std::sin(theta) * 0.7), float(std::cos(theta) * 0.7), 0.7f, float(std::sin(theta) * r),
                      float(std::cos(theta) * r)};
    }
}

int ZephKnobRenderer::addKnob(Colour colour, float angle, const UIElement *knob) {
    auto entry = std::make_unique<Entry>();
    entry->colour = colour;
    entry->knob = knob;
    entry->angle.store(angle, std::memory_order_relaxed);
    entries.push_back(std::move(entry));
    return int(entries.size()) - 1;
}

void ZephKnobRenderer::setGeometry(int knob, float centreX, float centreY, float radius) {
    if (knob < 0 || knob >= knobCount()) return;
    Entry &e = *entries[std::size_t(knob)];
    e.centreX = centreX;
    e.centreY = centreY;
    e.radius = radius;
}

void ZephKnobRenderer::setAngle(int knob, float angle) {
    if (knob >= 0 && knob < knobCount()) entries[std::size_t(knob)]->angle.store(angle, std::memory_order_relaxed);
}

float ZephKnobRenderer::angle(int knob) const {
    return knob >= 0 && knob < knobCount() ? entries[std::size_t(knob)]->angle.load(std::memory_order_relaxed) : 0.f;
}

void ZephKnobRenderer::writeKnob(int knob) {
    const Entry &e = *entries[std::size_t(knob)];
    float *v = &vertices[std::size_t(knob) * kVerticesPerKnob * kFloatsPerVertex];
    const float centre[kFloatsPerVertex] = {e.colour.r, e.colour.g, e.colour.b, e.colour.a, 0,
                                            0,          1,          e.centreX,  e.centreY,  0};
    std::copy(centre, centre + kFloatsPerVertex, v);
    for (int a = 0; a <= 10; ++a) {
        float *p = v + (a + 1) * kFloatsPerVertex;
        const bool pointer = a == 0 || a == 10;
        p[0] = pointer ? e.colour.r : e.colour.r * 0.5f;
        p[1] = pointer ? e.colour.g : e.colour.g * 0.5f;
        p[2] = e.colour.b;
        p[3] = pointer ? e.colour.a * 0.75f : 0.f;
    }
}

void ZephKnobRenderer::rotateKnob(int knob, float angle) {
    Entry &e = *entries[std::size_t(knob)];
    const float c = std::cos(angle), s = std::sin(angle);
    float *v = &vertices[std::size_t(knob) * kVerticesPerKnob * kFloatsPerVertex];
    for (int a = 0; a <= 10; ++a) {
        const ProfilePoint &q = profile[a];
        float *p = v + (a + 1) * kFloatsPerVertex;
        p[4] = c * q.nx + s * q.ny;
        p[5] = c * q.ny - s * q.nx;
        p[6] = q.nz;
        p[7] = e.centreX + e.radius * (c * q.px + s * q.py);
        p[8] = e.centreY + e.radius * (c * q.py - s * q.px);
        p[9] = 0;
    }
    e.builtAngle = angle;
}

void ZephKnobRenderer::loadProgram() {
    if (!hasVertexPrograms()) return;
    programText = murmelo::loadResource(murmelo::kResourceKnobVertexProgram);
    glGenProgramsARB(1, &program);
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program);
    glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(programText.length()),
                       programText.data());
    GLint position = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    if (position >= 0) {
        const GLubyte *message = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
        std::printf("error at position: %d\n%s\n", position, message ? reinterpret_cast<const char *>(message) : "");
        std::fflush(stdout);
    }
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, 0);
}

void ZephKnobRenderer::initGL() {
    loadProgram();
    builtKnobs = knobCount();
    vertices.assign(std::size_t(builtKnobs) * kVerticesPerKnob * kFloatsPerVertex, 0.f);
    for (int k = 0; k < builtKnobs; ++k) {
        writeKnob(k);
        rotateKnob(k, entries[std::size_t(k)]->angle.load(std::memory_order_relaxed));
    }
}

void ZephKnobRenderer::draw2D() {
    if (builtKnobs == 0) return;
    for (int k = 0; k < builtKnobs; ++k) {
        const float a = entries[std::size_t(k)]->angle.load(std::memory_order_relaxed);
        if (a != entries[std::size_t(k)]->builtAngle) rotateKnob(k, a);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (program) {
        glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program);
        glEnable(GL_VERTEX_PROGRAM_ARB);
    }
    glInterleavedArrays(GL_C4F_N3F_V3F, 0, vertices.data());
    for (int k = 0; k < builtKnobs; ++k) {
        const UIElement *knob = entries[std::size_t(k)]->knob;
        if (!knob || knob->isVisible()) glDrawArrays(GL_TRIANGLE_FAN, k * kVerticesPerKnob, kVerticesPerKnob);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (program) glDisable(GL_VERTEX_PROGRAM_ARB);
    glDisable(GL_BLEND);
}

void ZephKnobRenderer::cleanupGL() {
    if (program) glDeleteProgramsARB(1, &program);
    program = 0;
}

} // namespace QV
