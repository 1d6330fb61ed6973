#include "gui/Group.h"

#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"
#include "gui/StaticText.h"

namespace QV {

Group::Group(Manager &manager) : UIElement(manager) {}

void Group::add(UIElement *child) {
    if (!child || child == this) return;
    items.push_back(child);
    child->setParent(this);
    child->setVisible(isVisible());
}

void Group::setOffset(float x, float y, float z) {
    ox = x;
    oy = y;
    oz = z;
}

void Group::draw() {
    glPushMatrix();
    glTranslatef(ox, oy, oz);
    for (UIElement *child : items)
        if (child->isVisible()) child->draw(); // hidden elements draw nothing
    glPopMatrix();
}

void Group::drawSecondPass() {
    glPushMatrix();
    glTranslatef(ox, oy, oz);
    for (UIElement *child : items)
        child->drawSecondPass();
    glPopMatrix();
}

Box Group::childrenBounds() const {
    Box b = Box::empty();
    for (const UIElement *child : items)
        child->getBounds(b);
    return b;
}

void Group::getBounds(Box &box) const {
    Box b = childrenBounds();
    b.shift(ox, oy, oz);
    box.unite(b);
}

UIElement *Group::hitTest(Point p) {
    if (!isVisible()) return nullptr;
    const Point local{p.x - ox, p.y - oy};
    for (UIElement *child : items)
        if (child->isVisible())
            if (UIElement *hit = child->hitTest(local)) return hit;
    if (owner.hoverTesting() && ownBox().contains(p)) return this;
    return nullptr;
}

void Group::setVisible(bool flag) {
    UIElement::setVisible(flag);
    for (UIElement *child : items)
        child->setVisible(flag);
}

NamedGroup::NamedGroup(Manager &manager, const std::string &title)
    : Group(manager), name(title), current(Manager::groupInactiveColour().load()) {}

void NamedGroup::getBounds(Box &box) const {
    Box b = childrenBounds();
    b.minX -= kMargin;
    b.minY -= kMargin;
    b.maxX += kMargin;
    b.maxY += kMargin;
    b.shift(ox, oy, oz);
    box.unite(b);
}

Box NamedGroup::ownBox() const { return windowBoxReady.load(std::memory_order_acquire) ? windowBox : Box::empty(); }

void NamedGroup::prepare() {
    const Box b = windowBounds();
    windowBox = b;
    windowBoxReady.store(true, std::memory_order_release);
    float t = 0;
    if (Font *font = owner.mainFont()) {
        const float baseline = b.maxY - font->lineHeight() / 2 - font->descender();
        const int run = owner.staticText().addRun(name, b.minX + kMargin, baseline, &current);
        titleRun.store(run);
        owner.staticText().setRunVisible(run, isVisible());
        t = font->textWidth(name.c_str());
    }
    // The outline is drawn inside the enclosing groups' translation, so it
    // is kept in their coordinates (the window's for a top-level group).
    makeOutline(t);
}

void NamedGroup::makeOutline(float t) {
    Box b = Box::empty();
    getBounds(b);
    outline[0] = {b.minX + kMargin, b.maxY};
    outline[1] = {b.minX, b.maxY};
    outline[2] = {b.minX, b.minY};
    outline[3] = {b.maxX, b.minY};
    outline[4] = {b.maxX, b.maxY};
    outline[5] = {b.minX + kMargin + t, b.maxY};
}

void NamedGroup::draw() {
    if (!isVisible()) return;
    Group::draw();
    const Colour target = active.load(std::memory_order_relaxed) ? Manager::groupActiveColour().load()
                                                                 : Manager::groupInactiveColour().load();
    const Colour c = fadeTowards(current.load(), target);
    current.store(c);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(c.r, c.g, c.b, c.a);
    glBegin(GL_LINE_STRIP);
    for (const Point &p : outline)
        glVertex2f(p.x, p.y);
    glEnd();
    glDisable(GL_BLEND);
}

void NamedGroup::mouseEnter() { active.store(true, std::memory_order_relaxed); }
void NamedGroup::mouseLeave() { active.store(false, std::memory_order_relaxed); }

void NamedGroup::setVisible(bool flag) {
    Group::setVisible(flag);
    const int run = titleRun.load();
    if (run >= 0) owner.staticText().setRunVisible(run, flag);
}

} // namespace QV
