// The plug-in's editor as a VST 2.x host sees it, and the layout host behind
// it.
//
// QV::Editor answers the host's editor requests (size, open, close, idle),
// owns the manager of the open editor and forwards parameter changes to it.
// It also owns the layout script's Lua state for the life of the effect: the
// state is made when the effect is constructed (so the host can learn the
// window size before the first opening) and each opening builds a fresh
// manager and element tree by calling the script's createUI in it.  The
// product's view derives from it and supplies buildUI and the makers that
// turn layout calls into elements.  Its Lua-facing members are defined in
// layout/LayoutHost.cpp, and only the layout layer calls them; what this
// layer does with the Lua state itself is close it, and ask the product
// (forgetOpening) to drop an opening's entries.
//
// Threads: everything is [ui] except setParameter, which the effect calls
// from any thread (the host's audio thread included).  It reaches the
// manager through an atomic pointer and a count of callers inside, so
// closing the editor can wait for them instead of deleting a manager under
// their feet; the callers take no lock and never wait.
#pragma once

#include "core/EffectServices.h"
#include "gui/Button.h"
#include "lua/ScriptBudget.h"
#include "vst2/AudioEffect.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct lua_State;

namespace murmelo {

class QrvAuBase;

// The maker's editor base; no behaviour of its own.
class QrvEditor : public vst2::AEffEditor {
public:
    using AEffEditor::AEffEditor;
};

} // namespace murmelo

namespace QV {

class Font;
class Manager;
class PreferencesPanel;
class UIElement;
class ZephKnobRenderer;
struct FontCandidate;

// What a named button of the layout does: its callback gets the button and
// the editor; the hint identifier is what the banner shows while hovered.
struct ButtonAction {
    Button::Callback callback;
    int hintIdentifier;
};
using ButtonActions = std::map<std::string, ButtonAction>;

class Editor : public murmelo::QrvEditor, public murmelo::ParameterView {
public:
    // [ui] Resolves the skin from the "Skin" setting and attaches itself to
    // the effect, which then owns it and reports an editor to the host.
    explicit Editor(vst2::AudioEffect *effect);
    // Deletes a remaining manager, then closes the Lua state.
    ~Editor() override;

    bool getRect(vst2::ERect **rect) override;
    // Builds the interface, creates the window inside parent and starts
    // rendering; returns false as the host interface expects.
    bool open(void *parent) override;
    void close() override;
    // Reads the window's events, then delivers queued parameter changes.
    void idle() override;

    // [any] A parameter changed: queued for the controls bound to it.
    void setParameter(int index, float value) override;
    // Creates the manager (setManager) and every element, before the window.
    virtual void buildUI(float x, float y) = 0;
    virtual void refreshControls();

    // Makers behind the layout functions; the Lua state is that of the
    // calling script, which errors are raised in.
    virtual UIElement *makeKnob(lua_State *L, int index, const std::string &label, float x, float y, float size) = 0;
    virtual UIElement *makeSlider(lua_State *L, int nargs, int index, float x, float y, float width, float height,
                                  bool horizontal) = 0;
    virtual UIElement *makeButton(lua_State *L, int nargs, const std::string &caption, Button::Callback callback,
                                  std::intptr_t userValue, float x, float y, float width, float height, int hint) = 0;
    virtual UIElement *makeLuaButton(lua_State *L, int nargs, const std::string &caption, Button::Callback callback,
                                     int functionRef, float x, float y, float width, float height, int hint,
                                     bool toggle) = 0;
    virtual UIElement *makeDropDown(lua_State *L, int index, float x, float y, float width, float height) = 0;
    // Called while the Lua state is made, so a product can add functions.
    virtual void addLuaFunctions() {}

    // ---- layout host (layout/LayoutHost.cpp) ----
    // The layout state, made and the script run on the first call; null
    // when no state could be made.
    lua_State *createLuaState();
    // The script's getWindowSize, (0, 0) when it is missing or fails.
    void queryWindowSize(int &width, int &height);
    // Sets the rectangle getRect answers while no manager exists.
    void setInitialSize(int width, int height);
    // The manager's three fonts from the script's font functions.
    void loadLayoutFonts();
    // The first loadable candidate of the list the global function name
    // returns; null when there is none.
    std::unique_ptr<Font> loadFontFromList(const char *name);
    // The same for the function on top of L's stack (popped), for the
    // layout's font function, which runs inside a protected call already.
    std::unique_ptr<Font> loadFontFromStack(lua_State *L);
    // Registers the functions of an opening (infoDisplay, textField) and
    // publishes its knob renderer.
    void beginOpening(ZephKnobRenderer *renderer);
    // Publishes actions, runs createUI, and withdraws them again.
    void runCreateUI(const ButtonActions &actions);
    // Calls the function with that registry reference, with the runaway
    // budget; errors are dropped.  L is the calling state (or a thread of it).
    void callScriptFunction(lua_State *L, int functionRef);
    void closeLuaState();

    // ---- what the layout functions reach ----
    lua_State *luaState() const { return state; }
    Manager *getManager() const { return manager.get(); }
    murmelo::QrvAuBase *effectObject() const { return fx; }
    // True from the start of buildUI until the window is created: the only
    // time the element tree, fonts and textures may grow.
    bool isBuilding() const { return building; }
    const std::string &getSkinName() const { return skinName; }
    const std::string &getSkinFolder() const { return skinFolder; }
    const std::vector<std::string> &getElementTypeNames() const { return elementTypeNames; }
    const std::map<std::string, int> &getResourceIdLookup() const { return resourceIdLookup; }
    // The index of a parameter name (exact bytes), or -1.
    int parameterIndex(const std::string &name) const;

    // [ui] Shows the preferences panel over the editor (the "Prefs" button).
    void showPreferences();
    PreferencesPanel *preferencesPanel() const { return panel; }

    // The layout script's chunk name, as error messages show it.
    static const char kChunkName[];
    // Window sizes from a script are kept within 0..kMaxWindowSide.
    static constexpr int kMaxWindowSide = 16384;

protected:
    // [ui] Stores the manager of this opening and lets setParameter reach it.
    void setManager(std::unique_ptr<Manager> newManager);
    // [ui] Hides the manager from setParameter, waits for callers inside,
    // and deletes it.
    void deleteManager();
    // The layout's registry entries and element handles of this opening go
    // with its manager: the product's layout host drops them.  Not called
    // for the product while the editor is destroyed (the state closes).
    virtual void forgetOpening() {}
    // Reports a failure of a protected call into the layout state and pops
    // its error object.
    void reportLuaFailure(const char *what);

    vst2::ERect rect{};
    std::unique_ptr<Manager> manager;
    std::string skinName;
    std::string skinFolder;
    lua_State *state = nullptr;
    std::vector<std::string> elementTypeNames;
    std::map<std::string, int> resourceIdLookup;
    std::map<std::string, int> parameterLookup;
    ScriptBudget budget;
    bool building = false;
    PreferencesPanel *panel = nullptr; // owned by the manager

private:
    // Loads the script text (a skin's, else the embedded one) and runs it.
    void runLayoutScript();
    bool readScript(std::string &text);
    // Calls the function on top of L's stack and reads the list it returns.
    std::vector<FontCandidate> fontCandidates(lua_State *L);
    static int setUpState(lua_State *L);

    murmelo::QrvAuBase *fx;
    std::atomic<Manager *> liveManager{nullptr};
    std::atomic<int> notifying{0};
};

} // namespace QV
