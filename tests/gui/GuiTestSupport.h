// What the editor tests need: the real effect with a host that records its
// calls, the screen playing the host (a top-level window as the host's
// editor window, the system's input, pixels read back: HostScreen.h), the
// user's settings kept out of the way, and a manager with a C++ element
// tree opened in that window.
#pragma once

#include "core/QrvMurmelo.h"
#include "gui/Manager.h"
#include "gui/UIElement.h"
#include "tests/gui/HostScreen.h"
#include "tests/support/TestSupport.h"
#include "vst2/AudioEffect.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace QV {
class Button;
class InfoDisplay;
class LabelledTextField;
class NamedGroup;
class TextField;
class ZephButton;
class ZephKnob;
class ZephKnobRenderer;
} // namespace QV

namespace guitest {

struct HostCall {
    int opcode;
    int index;
    float opt;
};

// The real effect object, whose host callback records every call and whose
// editor notifications reach the open manager as the editor would pass them.
class TestEffect : public murmelo::QrvMurmelo {
public:
    TestEffect();
    ~TestEffect() override;

    std::vector<HostCall> calls() const;
    // The opcodes of the recorded edit-gesture calls, as "B3 A3 E3" (begin,
    // automate, end edit with the parameter index), in order.
    std::string gestures() const;
    int count(int opcode) const;
    void clearCalls();
    float real(int index) { return currentProgram()->getValue(index); }
    float normalised(int index) { return getParameter(index); }

    std::atomic<QV::Manager *> manager{nullptr};

protected:
    void notifyEditor(int index, float realValue) override;

private:
    static vst2::VstIntPtr VST2_CALLBACK hostCallback(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                                      vst2::VstIntPtr value, void *ptr, float opt);
    void record(const HostCall &call);
    mutable std::mutex lock;
    std::vector<HostCall> log;
};

// Settings of the test's own while it lives, so the user's preferences
// neither reach the test nor are changed by it.  Linux: a fresh
// configuration folder (XDG_CONFIG_HOME).  Windows: the settings key's
// values are saved and removed, and put back when it ends (tests that use it
// take turns with everything else that touches that key).
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    PrivateSettings(const PrivateSettings &) = delete;
    PrivateSettings &operator=(const PrivateSettings &) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved;
};

// Fonts the tests use: Arial's metric twin (Liberation Sans) by file name.
std::unique_ptr<QV::Font> testFont(int size);

// The elements of the standard tree built by OpenEditor::buildStandardTree.
struct StandardTree {
    QV::ZephKnobRenderer *renderer = nullptr;
    QV::NamedGroup *speedGroup = nullptr, *mixGroup = nullptr, *unitsGroup = nullptr;
    QV::ZephKnob *speedKnob = nullptr;  // parameter 3, hertz
    QV::ZephKnob *effectKnob = nullptr; // parameter 1
    QV::ZephKnob *shapeKnob = nullptr;  // parameter 7, 0..4
    QV::ZephKnob *spreadKnob = nullptr; // parameter 8, 0..1
    QV::ZephKnob *dryKnob = nullptr;    // parameter 0
    QV::ZephKnob *unitKnobs[5] = {};    // parameters 9 to 13
    QV::LabelledTextField *speedField = nullptr, *effectField = nullptr, *shapeField = nullptr, *dryField = nullptr;
    QV::TextField *plainField = nullptr; // parameter 5, "%.2f", no label
    QV::ZephButton *prefsButton = nullptr;
    QV::Button *plainButton = nullptr;
    QV::InfoDisplay *info = nullptr;
    std::atomic<int> buttonPresses{0};
};

// An editor opened in a host window: effect, editor object, manager.
class OpenEditor {
public:
    static constexpr int kWidth = 520, kHeight = 256;

    explicit OpenEditor(HostScreen &screen, int width = kWidth, int height = kHeight, int windowX = 0, int windowY = 0);
    ~OpenEditor();

    // Fonts, colours and the standard element tree (before open()).
    StandardTree &buildStandardTree();
    // Creates the window inside the host window and starts rendering.
    bool open();
    void close();

    // Reads window events (as the host's idle does) for a while.
    void pump(int milliseconds = 40);
    // Pumps until n more frames were drawn; false after 10 seconds.
    bool waitFrames(unsigned n = 3);
    // Pumps until predicate holds; false after timeoutMs.
    bool pumpUntil(const std::function<bool()> &predicate, int timeoutMs = 3000);
    Image grab();

    // Pointer and keys as the user's devices give them, then events read.
    void moveTo(float x, float y);
    void press(float x, float y, int button = 1);
    void release(int button = 1);
    void drag(float x0, float y0, float x1, float y1, int button = 1);
    void typeKey(Key key);

    // Centre of an element's box in window coordinates.
    static QV::Point centreOf(const QV::UIElement &element);

    HostScreen &screen;
    // Preferences of the user running the tests stay out of the way.
    PrivateSettings settings;
    TestEffect effect;
    vst2::AEffEditor editor;
    std::unique_ptr<QV::Manager> manager;
    WindowHandle hostWindow;
    int width, height;
    StandardTree tree;
};

// An element that logs enter and leave.
class HoverProbe : public QV::UIElement {
public:
    HoverProbe(QV::Manager &m, const char *name, QV::Box b, std::string &log) : UIElement(m), name(name), log(log) {
        box = b;
    }
    void getBounds(QV::Box &b) const override { b.unite(box); }
    QV::UIElement *hitTest(QV::Point p) override { return boxHit(p); }
    void mouseEnter() override { log += std::string("enter ") + name + "; "; }
    void mouseLeave() override { log += std::string("leave ") + name + "; "; }

private:
    const char *name;
    std::string &log;
};

} // namespace guitest
