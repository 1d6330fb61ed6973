// QV::Manager: everything one open editor shows.
//
// The manager owns the editor's own window inside the host's editor window,
// the render thread that draws it about thirty times a second, the element
// tree, fonts, textures and effects, the binding of controls to parameters,
// and mouse and keyboard dispatch.  One manager exists per open editor: the
// editor view creates it when the host opens the editor and deletes it when
// the host closes it.  Only a few preferences and colours are process-wide.
//
// Threads: the host's UI thread constructs, sets up, creates the window,
// reads window events (idle), delivers parameter changes and destroys; the
// render thread (one per manager) does all GL work.  queueParameterChange is
// [any].  The manager takes no locks on either path: what both threads touch
// is atomic or fixed before the render thread starts.
#pragma once

#include "gui/Effect.h"
#include "gui/Geometry.h"
#include "gui/ParameterBinding.h"
#include "murmelo/Version.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace murmelo {
class QrvAuBase;
struct DisplayState;
} // namespace murmelo
namespace vst2 {
class AEffEditor;
}
namespace platform {
class ChildWindow;
struct WindowEvent;
} // namespace platform

namespace QV {

class Control;
class Font;
class Group;
class ModalInput;
class StaticText;
class TextField;
class UIElement;
struct TextureRecord;

class Manager {
public:
    // [ui] owner: the editor; through it the manager reaches the effect and
    // the host's window (its system window, set when the host opens it).
    explicit Manager(vst2::AEffEditor &owner);
    // [ui] Stops the render thread, then closes the window and frees all.
    virtual ~Manager();
    Manager(const Manager &) = delete;
    Manager &operator=(const Manager &) = delete;

    // Render-thread hooks, called in this order of slots.
    virtual void initGL() {}
    virtual void cleanupGL() {}
    // Draws the label texture over the whole window.
    virtual void drawLabelLayer();
    // Called first when the label layer is rendered.
    virtual void drawBackground() {}

    // ---- set-up [ui], before createWindow ----
    void setSize(int width, int height);
    void setBackgroundColour(float r, float g, float b);
    void setBannerColour(float r, float g, float b, float a);
    void setBannerPosition(float y, bool showTitle);
    void setMainFont(std::unique_ptr<Font> font);
    void setLabelFont(std::unique_ptr<Font> font);
    void setTextFieldFont(std::unique_ptr<Font> font);
    Font *addExtraFont(std::unique_ptr<Font> font);
    template <class T> T *addEffect(std::unique_ptr<T> effect) {
        T *raw = effect.get();
        effects.push_back(std::move(effect));
        return raw;
    }
    TextureRecord *addTexture(const std::string &path);
    TextureRecord *addTexture(int resourceId);
    Group &rootGroup() { return *root; }
    // Called by every element's constructor; the manager owns it from then.
    void registerElement(UIElement *element);
    // [ui] Binds a control to its parameter (nothing for unused parameters).
    bool bindControl(Control *control, const ParameterDescriptor &parameter);

    // ---- life ----
    // [ui] Creates the window inside the host's window; false (with "Error"
    // lines) when there is none.
    bool createWindow();
    // [ui] Starts the render thread.
    void CreateRenderTask();
    // [ui] What the editor's idle does: reads the window's events (hover,
    // mouse tracking, typing, focus), then delivers parameter changes.
    void idle();
    void flushParameterChanges();
    void refreshAllControls();
    // [any] Records a change for the bound controls (no lock, no allocation).
    void queueParameterChange(int index, float value);
    // [any]
    void requestLabelRedraw();
    void loadDefaultHints();
    int addHint(const std::string &text);
    // The hint stored under identifier, or empty.
    std::string hint(int identifier) const;

    // ---- input [ui]: window events, in window coordinates (origin
    // bottom-left); tests may call them directly ----
    void hover(Point p);
    // time is the press's server time in milliseconds and button its
    // number; a press without a time (0) never makes a double click.
    void mousePress(Point p, unsigned modifiers, unsigned long time = 0, int button = 1);
    void mouseMotion(Point p, unsigned modifiers);
    void mouseRelease(Point p, unsigned modifiers);
    void typeCharacter(int c);
    void keyboardFocusLost();
    bool isTracking() const { return tracked != nullptr; }
    void giveWindowKeyboardFocus();
    // [ui] Sends every window event to input until endModal: editing ends,
    // hovered elements are left, the window takes the keyboard focus.
    void beginModal(ModalInput *input);
    void endModal();
    ModalInput *modalInput() const { return modal; }

    // ---- state the elements and the render thread read ----
    murmelo::QrvAuBase *effect() const { return fx; }
    vst2::AEffEditor &editor() const { return owner; }
    const murmelo::DisplayState *displayState() const { return live; }
    // [any] The descriptor of a parameter (an unused one for a bad index).
    const ParameterDescriptor &parameter(int index) const;
    // [ui, before the controls are made, which copy it] A descriptor to
    // adjust, e.g. to show a parameter with another unit; null for a bad index.
    ParameterDescriptor *adjustParameter(int index);
    Font *mainFont() const { return fontMain.get(); }
    Font *labelFont() const { return fontLabel.get(); }
    Font *textFieldFont() const { return fontTextField.get(); }
    const std::vector<std::unique_ptr<Font>> &extraFonts() const { return fontsExtra; }
    StaticText &staticText() { return *batch; }
    const std::vector<std::unique_ptr<UIElement>> &elements() const { return allElements; }
    const std::vector<std::unique_ptr<Effect>> &effectList() const { return effects; }
    const std::vector<std::unique_ptr<TextureRecord>> &textures() const { return textureList; }
    int width() const { return windowWidth; }
    int height() const { return windowHeight; }
    Colour backgroundColour() const { return background; }
    Colour bannerColour() const { return banner; }
    float bannerPosition() const { return bannerY; }
    bool showsTitle() const { return showTitle; }

    int hoveredParameter() const { return hovered.load(std::memory_order_relaxed); }
    void setHoveredParameter(int index) { hovered.store(index, std::memory_order_relaxed); }
    int editedParameter() const { return edited.load(std::memory_order_relaxed); }
    void setEditedParameter(int index) { edited.store(index, std::memory_order_relaxed); }
    UIElement *hoveredElement() const { return hoveredItem.load(std::memory_order_relaxed); }
    UIElement *tooltipElement() const { return tooltipItem.load(std::memory_order_relaxed); }
    void setTooltipElement(UIElement *element) { tooltipItem.store(element, std::memory_order_relaxed); }
    TextField *focusedField() const { return focused.load(std::memory_order_relaxed); }
    void setFocusedField(TextField *field) { focused.store(field, std::memory_order_relaxed); }
    // True only while a hover hit test runs: then named groups hit too.
    bool hoverTesting() const { return hoverTest; }
    bool hasWindow() const;
    std::uintptr_t windowId() const;

    // ---- render statistics [any], for tests and benchmarks ----
    bool renderRunning() const;
    unsigned framesDrawn() const;
    unsigned labelLayerRenders() const;
    // CPU seconds the render thread has used so far (its own thread clock).
    double renderCpuSeconds() const;
    bool labelsUseFramebuffer() const;
    // The floating tooltip's current opacity (0 when hidden).
    float tooltipAlpha() const;

    // ---- process-wide ----
    static bool floatingTooltip();
    static void setFloatingTooltip(bool on);
    static AtomicColour &bannerTextColour();
    static AtomicColour &groupActiveColour();
    static AtomicColour &groupInactiveColour();
    static const std::vector<std::string> &defaultHints();

    // The version the window title shows.
    static constexpr int kVersion[3] = {murmelo::kVersionMajor, murmelo::kVersionMinor, murmelo::kVersionDot};

private:
    friend class RenderThread;
    struct Tracking;
    static void deliverToControl(void *user, Control *control, int index, float value);
    void dispatchWindowEvents();
    // Hands one window event to the modal input.
    void dispatchModal(const platform::WindowEvent &event, Point p);
    void leaveHoveredElements();
    void endTracking(Point p, unsigned modifiers);
    // [ui] Ends the host's edit gesture of a drag that is still open, so a
    // host never keeps a parameter in "being edited".
    void endOpenGesture();

    std::vector<std::unique_ptr<UIElement>> allElements;
    std::vector<std::unique_ptr<TextureRecord>> textureList;
    std::vector<std::unique_ptr<Effect>> effects;
    std::vector<std::unique_ptr<Font>> fontsExtra;
    Group *root = nullptr;
    vst2::AEffEditor &owner;
    murmelo::QrvAuBase *fx;
    ParameterBinding binding;
    std::unique_ptr<Font> fontMain, fontLabel, fontTextField;
    StaticText *batch = nullptr;
    ParameterDescriptor descriptors[murmelo::kNumParameters];
    const murmelo::DisplayState *live = nullptr;
    std::map<UIElement *, Box> hoverMap;
    int windowWidth = 1, windowHeight = 1;
    std::atomic<int> hovered{-1}, edited{-1};
    std::atomic<UIElement *> hoveredItem{nullptr}, tooltipItem{nullptr};
    std::atomic<TextField *> focused{nullptr};
    bool hoverTest = false;
    mutable std::mutex hintsLock; // the banner reads hints on the render thread
    std::map<int, std::string> hints;
    Colour banner{0.9f, 0.9f, 0.9f, 0.1f};
    Colour background{0, 0, 0, 1};
    float bannerY = 0;
    bool showTitle = true;

    // Mouse tracking between a press and its release.
    UIElement *tracked = nullptr;
    unsigned trackedModifiers = 0;
    bool pointerGrabbed = false;
    bool dispatching = false; // [ui] the arrival handler is running
    ModalInput *modal = nullptr;
    // The last press that may start a double click.  element is only
    // compared, never followed.
    struct LastClick {
        const UIElement *element = nullptr;
        Point at{0, 0};
        unsigned long time = 0;
        int button = 0;
        bool moved = false; // dragged away: no double click with the next press
    } lastClick;
    bool isDoubleClick(const UIElement *hit, Point p, unsigned long time, int button) const;

    std::unique_ptr<platform::ChildWindow> window;
    std::unique_ptr<class RenderThread> renderer;
};

} // namespace QV
