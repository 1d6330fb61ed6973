// The manager's window and input: creating the window inside the host's,
// reading its events on the host's UI thread, hover processing and mouse
// tracking.
#include "gui/Manager.h"

#include "core/QrvAuBase.h"
#include "gui/Font.h"
#include "gui/Group.h"
#include "gui/ModalInput.h"
#include "gui/RenderThread.h"
#include "gui/StaticText.h"
#include "gui/TextField.h"
#include "platform/ChildWindow.h"
#include "vst2/AudioEffect.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace QV {

namespace {

// A second press within this time and distance of the first makes a
// double click (the usual desktop figures).
constexpr unsigned long kDoubleClickMs = 400;
constexpr float kDoubleClickSlop = 4;

bool within(Point a, Point b, float distance) {
    return std::fabs(a.x - b.x) <= distance && std::fabs(a.y - b.y) <= distance;
}

unsigned modifierFlags(unsigned keys) {
    unsigned flags = 0;
    if (keys & platform::kKeyAlt) flags |= kModifierAlt;
    if (keys & platform::kKeyShift) flags |= kModifierShift;
    if (keys & platform::kKeyControl) flags |= kModifierControl;
    return flags;
}

} // namespace

bool Manager::createWindow() {
    if (window) return window->exists();
    if (showTitle && fontMain) {
        char title[64];
        std::snprintf(title, sizeof(title), "quorvane : murmelo %d.%d.%d", kVersion[0], kVersion[1], kVersion[2]);
        batch->addRun(title, 60, bannerY - fontMain->descender(), &bannerTextColour());
    }
    window = std::make_unique<platform::ChildWindow>();
    const auto parent = reinterpret_cast<std::uintptr_t>(owner.getSystemWindow());
    // Where the system delivers events by itself (Windows), they are handled
    // as they come, as the idle would; a handler running already (a modal
    // loop inside an element's action) leaves them for its own loop.
    window->setArrivalHandler([this] {
        if (dispatching) return;
        dispatching = true;
        idle();
        dispatching = false;
    });
    return window->create(parent, windowWidth, windowHeight);
}

bool Manager::hasWindow() const { return window && window->exists(); }
std::uintptr_t Manager::windowId() const { return window ? window->id() : 0; }

void Manager::idle() {
    dispatchWindowEvents();
    flushParameterChanges();
}

void Manager::dispatchWindowEvents() {
    if (!window) return;
    platform::WindowEvent e;
    while (window->nextEvent(e)) {
        const Point p{float(e.x), float(windowHeight - e.y)};
        if (modal) {
            dispatchModal(e, p);
            continue;
        }
        const unsigned flags = modifierFlags(e.modifiers);
        switch (e.kind) {
        case platform::WindowEvent::kMotion:
            if (tracked)
                mouseMotion(p, flags);
            else
                hover(p);
            break;
        case platform::WindowEvent::kButtonPress:
            if (tracked)
                mouseMotion(p, flags); // another button during a drag is one more point
            else
                mousePress(p, flags, e.time, e.button);
            break;
        case platform::WindowEvent::kButtonRelease:
            mouseRelease(p, flags);
            break;
        case platform::WindowEvent::kCharacter:
            typeCharacter(e.character);
            break;
        case platform::WindowEvent::kFocusOut:
            keyboardFocusLost();
            break;
        case platform::WindowEvent::kFocusIn:
            break;
        }
    }
}

void Manager::dispatchModal(const platform::WindowEvent &e, Point p) {
    switch (e.kind) {
    case platform::WindowEvent::kMotion:
        modal->modalMotion(p);
        break;
    case platform::WindowEvent::kButtonPress:
        modal->modalPress(p);
        break;
    case platform::WindowEvent::kButtonRelease:
        modal->modalRelease(p);
        break;
    case platform::WindowEvent::kCharacter:
        modal->modalCharacter(e.character);
        break;
    case platform::WindowEvent::kFocusIn:
    case platform::WindowEvent::kFocusOut:
        break;
    }
}

void Manager::beginModal(ModalInput *input) {
    keyboardFocusLost();
    leaveHoveredElements();
    setTooltipElement(nullptr);
    modal = input;
    giveWindowKeyboardFocus();
}

void Manager::endModal() { modal = nullptr; }

void Manager::leaveHoveredElements() {
    std::vector<UIElement *> leaving;
    for (const auto &entry : hoverMap)
        leaving.push_back(entry.first);
    for (UIElement *element : leaving)
        element->mouseLeave();
    hoverMap.clear();
    hoveredItem.store(nullptr, std::memory_order_relaxed);
}

void Manager::hover(Point p) {
    hoverTest = true;
    UIElement *hit = root->hitTest(p);
    if (hit == root) hit = nullptr;
    if (hit && hoverMap.find(hit) == hoverMap.end()) {
        hoverMap[hit] = hit->windowBounds();
        hit->mouseEnter();
    }
    std::vector<UIElement *> leaving;
    for (const auto &entry : hoverMap)
        if (!entry.second.contains(p)) leaving.push_back(entry.first);
    for (UIElement *element : leaving) {
        element->mouseLeave();
        hoverMap.erase(element);
    }
    hoveredItem.store(hit, std::memory_order_relaxed);
    hoverTest = false;
}

bool Manager::isDoubleClick(const UIElement *hit, Point p, unsigned long time, int button) const {
    const LastClick &last = lastClick;
    // The server's clock is 32 bits wide and wraps; the 32-bit difference
    // is right across the wrap.
    const std::uint32_t elapsed = std::uint32_t(time) - std::uint32_t(last.time);
    return time != 0 && last.time != 0 && last.element == hit && last.button == button && !last.moved &&
           elapsed <= kDoubleClickMs && within(p, last.at, kDoubleClickSlop);
}

void Manager::mousePress(Point p, unsigned modifiers, unsigned long time, int button) {
    if (tracked) return;
    if (TextField *field = focusedField()) {
        field->endEditing();
        setFocusedField(nullptr);
    }
    UIElement *hit = root->hitTest(p);
    if (!hit || hit == root) {
        lastClick = LastClick{};
        return;
    }
    if (isDoubleClick(hit, p, time, button)) {
        hit->mouseDoubleDown(p, modifiers);
        lastClick = LastClick{}; // a third press starts afresh
    } else {
        hit->mouseDown(p, modifiers);
        lastClick = LastClick{hit, p, time, button, false};
    }
    tracked = hit;
    trackedModifiers = modifiers;
    pointerGrabbed = window && window->grabPointer();
    flushParameterChanges();
}

void Manager::mouseMotion(Point p, unsigned modifiers) {
    if (!tracked) {
        hover(p);
        return;
    }
    if (!within(p, lastClick.at, kDoubleClickSlop)) lastClick.moved = true;
    if (modifiers != trackedModifiers) {
        // A modifier pressed or released mid-drag restarts the drag here.
        tracked->mouseUp(p, trackedModifiers);
        tracked->mouseDown(p, modifiers);
        trackedModifiers = modifiers;
    }
    tracked->mouseDrag(p, modifiers);
    flushParameterChanges();
}

void Manager::mouseRelease(Point p, unsigned modifiers) {
    if (tracked) endTracking(p, modifiers);
}

void Manager::endTracking(Point p, unsigned modifiers) {
    if (pointerGrabbed) window->ungrabPointer();
    pointerGrabbed = false;
    UIElement *element = tracked;
    tracked = nullptr;
    element->mouseUp(p, modifiers);
    endOpenGesture();
    if (fx) fx->updateDisplay();
}

void Manager::endOpenGesture() {
    if (pointerGrabbed && window) window->ungrabPointer();
    pointerGrabbed = false;
    tracked = nullptr;
    const int index = editedParameter();
    if (index >= 0 && fx) fx->endEdit(index);
    setEditedParameter(-1);
}

void Manager::typeCharacter(int c) {
    if (TextField *field = focusedField()) field->keyChar(c);
}

void Manager::keyboardFocusLost() {
    if (TextField *field = focusedField()) {
        field->endEditing();
        setFocusedField(nullptr);
    }
}

void Manager::giveWindowKeyboardFocus() {
    if (window) window->takeKeyboardFocus();
}

void Manager::CreateRenderTask() {
    if (renderer && renderer->running()) {
        std::printf("double call to CreateRenderTask()\n");
        return;
    }
    if (!window || !window->exists()) return;
    renderer = std::make_unique<RenderThread>(*this, window->drawingTarget());
    renderer->start();
}

void Manager::requestLabelRedraw() {
    if (renderer) renderer->requestLabelRedraw();
}

bool Manager::renderRunning() const { return renderer && renderer->running(); }
unsigned Manager::framesDrawn() const { return renderer ? renderer->framesDrawn() : 0; }
unsigned Manager::labelLayerRenders() const { return renderer ? renderer->labelLayerRenders() : 0; }
double Manager::renderCpuSeconds() const { return renderer ? renderer->cpuSeconds() : 0; }
bool Manager::labelsUseFramebuffer() const { return renderer && renderer->usesFramebuffer(); }
float Manager::tooltipAlpha() const { return renderer ? renderer->tooltipOpacity() : 0; }

} // namespace QV
