// Groups position their children; named groups add a titled outline that
// lights up while the pointer is inside.
#pragma once

#include "gui/UIElement.h"

#include <atomic>
#include <string>
#include <vector>

namespace QV {

class Group : public UIElement {
public:
    explicit Group(Manager &manager);

    // [ui] Appends child, becomes its parent and passes on the visible flag.
    void add(UIElement *child);
    // [ui, before the window] The layout's setPosition.
    void setOffset(float x, float y, float z = 0);
    float offsetX() const { return ox; }
    float offsetY() const { return oy; }
    float offsetZ() const { return oz; }
    const std::vector<UIElement *> &children() const { return items; }

    void draw() override;
    void drawSecondPass() override;
    void getBounds(Box &box) const override;
    UIElement *hitTest(Point p) override;
    void setVisible(bool flag) override;

protected:
    // The children's union in this group's own coordinates (before offset).
    Box childrenBounds() const;
    // The box the hover test uses for the group itself; the empty box here.
    virtual Box ownBox() const { return box; }

    std::vector<UIElement *> items;
    float ox = 0, oy = 0, oz = 0;
};

class NamedGroup : public Group {
public:
    NamedGroup(Manager &manager, const std::string &title);

    const std::string &title() const { return name; }
    // For tests: the outline colour the group has faded to.
    Colour currentColour() const { return current.load(); }

    void draw() override;
    void getBounds(Box &box) const override;
    void prepare() override;
    void mouseEnter() override;
    void mouseLeave() override;
    void setVisible(bool flag) override;

    static constexpr float kMargin = 10.0f;

protected:
    Box ownBox() const override;

private:
    // The six outline points, open along the title of width t.
    void makeOutline(float t);

    std::string name;
    AtomicColour current; // written by the render thread, linked by the title run
    std::atomic<bool> active{false};
    std::atomic<int> titleRun{-1};
    Point outline[6] = {};
    Box windowBox = Box::empty();
    std::atomic<bool> windowBoxReady{false};
};

} // namespace QV
