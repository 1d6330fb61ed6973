#include "gui/StaticText.h"

#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"

namespace QV {

StaticText::StaticText(Manager &manager) : manager(manager) {}

int StaticText::addRun(const std::string &text, float x, float y, const AtomicColour *colour) {
    auto run = std::make_unique<Run>();
    run->text = text;
    run->colour = colour;
    run->x = x;
    run->y = y;
    std::lock_guard<std::mutex> guard(runsLock);
    runs.push_back(std::move(run));
    dirty = true;
    return int(runs.size()) - 1;
}

void StaticText::setRunVisible(int index, bool visible) {
    std::lock_guard<std::mutex> guard(runsLock);
    if (index >= 0 && index < int(runs.size())) runs[std::size_t(index)]->visible.store(visible);
}

int StaticText::runCount() {
    std::lock_guard<std::mutex> guard(runsLock);
    return int(runs.size());
}

void StaticText::initGL() { layout(); }

void StaticText::layout() {
    dirty = false;
    Font *font = manager.mainFont();
    if (!font) return;
    std::size_t total = 0;
    for (const auto &run : runs)
        total += run->text.size() * 4 * 5;
    // A glyph first met here may grow the glyph texture, which moves the
    // texture coordinates of the runs laid out before it: then once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        fontGeneration = font->layoutGeneration();
        vertices.clear();
        vertices.reserve(total);
        int first = 0;
        for (const auto &run : runs) {
            run->first = first;
            run->count = font->layoutText(run->text.c_str(), vertices, run->x, run->y);
            first += run->count;
        }
        if (fontGeneration == font->layoutGeneration()) break;
    }
}

void StaticText::draw2D() {
    Font *font = manager.mainFont();
    if (!font) return;
    if (dirty || fontGeneration != font->layoutGeneration()) layout();
    if (vertices.empty()) return;
    font->bindTexture();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glInterleavedArrays(GL_T2F_V3F, 0, vertices.data());
    for (const auto &run : runs) {
        if (!run->visible.load(std::memory_order_relaxed) || run->count == 0) continue;
        const Colour c = run->colour->load();
        glColor4f(c.r, c.g, c.b, c.a);
        glDrawArrays(GL_QUADS, run->first, run->count);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

} // namespace QV
