#include "gui/UIElement.h"

#include "gui/Group.h"
#include "gui/Manager.h"

namespace QV {

UIElement::UIElement(Manager &manager) : owner(manager) { manager.registerElement(this); }

Box UIElement::windowBounds() const {
    Box b = Box::empty();
    getBounds(b);
    for (const Group *g = parentGroup; g; g = g->parent())
        b.shift(g->offsetX(), g->offsetY(), g->offsetZ());
    return b;
}

} // namespace QV
