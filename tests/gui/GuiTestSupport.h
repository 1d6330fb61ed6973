// What the editor tests need: the real effect with a host that records its
// calls, an X connection playing the host (a top-level window as the host's
// editor window, XTest input, pixels read back from the screen), and a
// manager with a C++ element tree opened in that window.
#pragma once

#include "core/QrvMurmelo.h"
#include "gui/Manager.h"
#include "gui/UIElement.h"
#include "tests/support/TestSupport.h"
#include "vst2/AudioEffect.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of the tests (its macros clash)

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

struct Rgb {
    int r, g, b;
};

// A screenshot; pixels addressed with the window's own bottom-left origin.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    Rgb at(int x, int y) const;
    bool savePng(const std::string &path) const;
    // Pixels in [x0, x1) x [y0, y1) farther than tolerance (per channel) from colour.
    int countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance = 12) const;
};

bool near(Rgb a, Rgb b, int tolerance = 6);
Rgb rgb(float r, float g, float b);
// a over b with a's alpha.
Rgb blend(float r, float g, float b, float a, Rgb under);

// The test's own connection to the X server: host windows, input, pixels.
class XHost {
public:
    XHost(); // fails the test when no display can be opened
    ~XHost();
    _XDisplay *display() const { return dpy; }
    // A mapped top-level window, like a host's editor window.
    unsigned long createWindow(int width, int height, int x = 0, int y = 0);
    void destroyWindow(unsigned long window);
    Image grab(unsigned long window, int width, int height);

    // XTest input at window coordinates (bottom-left origin, y up).
    void moveTo(unsigned long window, int height, float x, float y);
    void button(int number, bool down);
    void key(unsigned long keysym, bool down);
    void typeKey(unsigned long keysym);
    void focusWindow(unsigned long window);
    void sync();

private:
    _XDisplay *dpy = nullptr;
    std::vector<unsigned long> windows;
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

    explicit OpenEditor(XHost &x, int width = kWidth, int height = kHeight, int windowX = 0, int windowY = 0);
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

    // Pointer and keys through XTest, then events read.
    void moveTo(float x, float y);
    void press(float x, float y, int button = 1);
    void release(int button = 1);
    void drag(float x0, float y0, float x1, float y1, int button = 1);
    void typeKey(unsigned long keysym);

    // Centre of an element's box in window coordinates.
    static QV::Point centreOf(const QV::UIElement &element);

    XHost &x;
    // Preferences of the user running the tests stay out of the way.
    testing_support::TempDir config;
    testing_support::ScopedEnv configEnv{"XDG_CONFIG_HOME", config.path()};
    TestEffect effect;
    vst2::AEffEditor editor;
    std::unique_ptr<QV::Manager> manager;
    unsigned long hostWindow;
    int width, height;
    StandardTree tree;
};

// Saves a screenshot as a test artefact (Testing/artefacts/<name>.png in the
// build tree) and returns its path.
std::string saveArtefact(const Image &image, const std::string &name);
// The current test's name, for artefacts.
std::string currentTestName();

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
