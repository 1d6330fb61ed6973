// The element tree: what the editor shows and what the mouse hits.
//
// Rules that hold for every element:
// - Every element is created with its manager, registers itself in the
//   manager's list of all elements on construction and is owned (and
//   deleted) by the manager.  Groups only point at their children.
// - Geometry is in the coordinates of the enclosing group: window pixels,
//   origin bottom-left, y up, shifted by the offsets of all enclosing groups.
//   windowBounds() gives an element's box in window coordinates.
// - Draw order is tree order: a group draws its children in the order they
//   were added, so later children draw over earlier ones.  The knob renderer
//   and the static text batch draw after the whole tree.
// - Hit-test order is the same order: the first child (in adding order) that
//   reports a hit wins.
// - Hidden elements (setVisible(false); a group passes its flag on to its
//   children) are neither drawn nor hit, and the knob renderer skips hidden
//   knobs.
// - Threads: construction, input (mouse*, keyChar, endEditing), hitTest and
//   parameterChanged run on the host's UI thread; draw, drawSecondPass,
//   prepare, prepareMore and drawLabel on the render thread.  Fields both
//   read are atomics or fixed before the render thread starts.
#pragma once

#include "gui/Geometry.h"

#include <atomic>

namespace QV {

class Font;
class Group;
class Manager;
struct ParameterDescriptor;

class UIElement {
public:
    explicit UIElement(Manager &manager);
    virtual ~UIElement() = default;
    UIElement(const UIElement &) = delete;
    UIElement &operator=(const UIElement &) = delete;

    virtual void draw() {}
    virtual void drawSecondPass() {}
    // Unites this element's box (in its group's coordinates) into box.
    virtual void getBounds(Box &) const {}
    virtual void mouseDown(Point, unsigned /*modifiers*/) {}
    virtual void mouseDrag(Point, unsigned) {}
    virtual void mouseUp(Point, unsigned) {}
    // The second press of a double click (same element, same button, close
    // in time and place, the first press not dragged); a press like any
    // other unless the element gives it a meaning.
    virtual void mouseDoubleDown(Point p, unsigned modifiers) { mouseDown(p, modifiers); }
    virtual void mouseEnter() {}
    virtual void mouseLeave() {}
    virtual void parameterChanged(const ParameterDescriptor &, float /*value*/) {}
    // The element under point (in the group's coordinates), or null.
    virtual UIElement *hitTest(Point) { return nullptr; }
    // [render] Called once when GL is initialised, after every element exists
    // and every group has its final position.
    virtual void prepare() {}
    virtual void prepareMore() {}
    // [render] Draws into the label layer, in window coordinates.
    virtual void drawLabel(Font *) {}
    // A typed character; true when it was used.
    virtual bool keyChar(int) { return false; }
    virtual void endEditing() {}
    virtual void setVisible(bool flag) { visible.store(flag, std::memory_order_relaxed); }

    bool isVisible() const { return visible.load(std::memory_order_relaxed); }
    Group *parent() const { return parentGroup; }
    void setParent(Group *group) { parentGroup = group; }
    Manager &manager() const { return owner; }
    // getBounds into the empty box, plus the offsets of every enclosing group.
    Box windowBounds() const;

protected:
    // The box test shared by the controls and buttons.
    UIElement *boxHit(Point p) { return box.contains(p) ? this : nullptr; }

    Manager &owner;
    Group *parentGroup = nullptr;
    std::atomic<bool> visible{true};
    Box box = Box::empty();
};

// Elements that act on input and have no behaviour of their own.
class ControlBase : public UIElement {
public:
    using UIElement::UIElement;
};

} // namespace QV
