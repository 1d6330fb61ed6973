// The layout host: the members of QV::Editor that own the layout script's
// Lua state, find and run the script, and call it at fixed moments.  Every
// entry into the state is a protected call: an error in a script, or in
// setting the state up, never reaches the host.
#include "gui/Editor.h"

#include "core/Parameters.h"
#include "core/Resources.h"
#include "gui/Font.h"
#include "gui/Manager.h"
#include "layout/LayoutApi.h"
#include "layout/QrvMurmeloView.h"
#include "lua/LuaSupport.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"

#include <lauxlib.h>
#include <lualib.h>

namespace QV {

const char Editor::kChunkName[] = "gui.lua";

namespace {

constexpr char kScriptName[] = "gui.lua";

// The candidates of a font list at index: entries 1, 2, ... while they are
// tables; an entry without a text name is skipped.  Raw reads only, so no
// metamethod of the script runs here.
void readCandidates(lua_State *L, int list, std::vector<FontCandidate> &out) {
    if (!lua_istable(L, list)) return;
    list = list < 0 ? lua_gettop(L) + list + 1 : list;
    for (int i = 1;; ++i) {
        lua_rawgeti(L, list, i);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        lua_pushliteral(L, "name");
        lua_rawget(L, -2);
        lua_pushliteral(L, "size");
        lua_rawget(L, -3);
        if (lua_type(L, -2) == LUA_TSTRING) out.push_back({lua_tostring(L, -2), toInt32(L, -1)});
        lua_pop(L, 3);
    }
}

int clampSide(int v) { return v < 0 ? 0 : v > Editor::kMaxWindowSide ? Editor::kMaxWindowSide : v; }

} // namespace

lua_State *Editor::createLuaState() {
    if (state) return state;
    lua_State *L = budget.newState();
    if (!L) {
        reportScriptProblem("failed to create the layout interpreter\n");
        return nullptr;
    }
    if (lua_cpcall(L, setUpState, this) != 0) {
        reportScriptProblem("failed to set up the layout interpreter: %s\n", errorText(L, -1));
        lua_close(L);
        state = nullptr;
        parameterLookup.clear();
        return nullptr;
    }
    runLayoutScript();
    return state;
}

int Editor::setUpState(lua_State *L) {
    auto *self = static_cast<Editor *>(lua_touserdata(L, 1));
    self->state = L;
    luaL_openlibs(L);
    // __gc metamethods run with hooks off, so an endless one could not be
    // stopped; newproxy is the only way a script makes one.
    lua_pushnil(L);
    lua_setglobal(L, "newproxy");
    registerPrint(L);
    registerLayoutFunctions(L);
    registerLayoutTypes(L);
    self->elementTypeNames.assign(1, kElementType);
    self->addLuaFunctions();
    ScriptBudget::setPointer(L, kViewRefcon, self);
    self->parameterLookup.clear();
    for (int i = 0; i < murmelo::kNumParameters; ++i)
        self->parameterLookup[murmelo::parameterInfo(i).name] = i;
    ScriptBudget::setPointer(L, kParamLookup, &self->parameterLookup);
    QV::setHostGlobals(L);
    self->budget.attach(L);
    return 0;
}

// A skin's script when one is in use and readable, else the embedded one.
bool Editor::readScript(std::string &text) {
    if (!skinFolder.empty()) {
        const std::string path = skinFolder + "/Contents/Resources/" + kScriptName;
        if (platform::canReadFile(path)) {
            const murmelo::DataBuffer file = murmelo::readFile(path);
            text.assign(file.chars() ? file.chars() : "", file.length());
            return true;
        }
        platform::reportError("skin \"" + skinName + "\": cannot read " + path + "; using the built-in layout");
    }
    const auto found = resourceIdLookup.find(kScriptName);
    if (found == resourceIdLookup.end()) {
        reportScriptProblem("failed to find gui.lua in resouce id lookup\n");
        return false;
    }
    const murmelo::DataBuffer embedded = murmelo::loadResource(found->second);
    text.assign(embedded.chars() ? embedded.chars() : "", embedded.length());
    return true;
}

void Editor::runLayoutScript() {
    std::string text;
    if (!readScript(text)) return;
    ScriptBudget::Outcome outcome;
    int status = luaL_loadbuffer(state, text.data(), text.size(), kChunkName);
    if (status == 0) status = budget.call(state, 0, 0, &outcome);
    if (status == 0) return;
    reportScriptProblem("failed to run buffer: %s\n", outcome.stopped() ? outcome.text : errorText(state, -1));
    lua_pop(state, 1);
}

void Editor::reportLuaFailure(const char *what) {
    reportScriptProblem("%s: %s\n", what, errorText(state, -1));
    lua_pop(state, 1);
}

void Editor::queryWindowSize(int &width, int &height) {
    width = height = 0;
    if (!state) return;
    const int status = protectedRun(state, [&](lua_State *L) {
        lua_getglobal(L, "getWindowSize");
        if (budget.call(L, 0, 2) != 0) {
            lua_pop(L, 1);
            return;
        }
        width = toInt32(L, -2);
        height = toInt32(L, -1);
        lua_pop(L, 2);
    });
    if (status != 0) lua_pop(state, 1);
}

std::unique_ptr<Font> Editor::loadFontFromList(const char *name) {
    if (!state || !name) return nullptr;
    std::vector<FontCandidate> candidates;
    const int status = protectedRun(state, [&](lua_State *L) {
        lua_getglobal(L, name);
        if (lua_isfunction(L, -1))
            candidates = fontCandidates(L);
        else
            lua_pop(L, 1);
    });
    if (status != 0) lua_pop(state, 1);
    return loadFontOrFallback(candidates);
}

std::unique_ptr<Font> Editor::loadFontFromStack(lua_State *L) {
    const std::vector<FontCandidate> candidates = fontCandidates(L);
    return loadFontOrFallback(candidates);
}

std::vector<FontCandidate> Editor::fontCandidates(lua_State *L) {
    std::vector<FontCandidate> candidates;
    if (budget.call(L, 0, 1) == 0) readCandidates(L, -1, candidates);
    lua_pop(L, 1);
    return candidates;
}

void Editor::loadLayoutFonts() {
    if (!manager) return;
    manager->setTextFieldFont(loadFontFromList("getTextFieldFont"));
    manager->setLabelFont(loadFontFromList("getLabelFont"));
    manager->setMainFont(loadFontFromList("getFont"));
}

void Editor::beginOpening(ZephKnobRenderer *renderer) {
    if (!state) return;
    if (protectedRun(state, [&](lua_State *L) {
            registerOpeningFunctions(L);
            ScriptBudget::setPointer(L, kKnobRenderer, renderer);
        }) != 0)
        reportLuaFailure("failed to prepare the layout");
}

void Editor::runCreateUI(const ButtonActions &actions) {
    if (!state || !manager) return;
    int width = 0, height = 0;
    queryWindowSize(width, height);
    manager->setSize(clampSide(width), clampSide(height));
    // A failing createUI is not reported: the editor shows what was built.
    const int status = protectedRun(state, [&](lua_State *L) {
        ScriptBudget::setPointer(L, kButtonLookup, const_cast<ButtonActions *>(&actions));
        lua_getglobal(L, "createUI");
        if (budget.call(L, 0, 0) != 0) lua_pop(L, 1);
        ScriptBudget::setPointer(L, kButtonLookup, nullptr);
    });
    if (status != 0) lua_pop(state, 1);
    // The table goes with this call even when the call failed half-way.
    if (protectedRun(state, [](lua_State *L) { ScriptBudget::setPointer(L, kButtonLookup, nullptr); }) != 0)
        lua_pop(state, 1);
}

void Editor::callScriptFunction(lua_State *L, int functionRef) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, functionRef);
    if (budget.call(L, 0, 0) != 0) lua_pop(L, 1);
}

} // namespace QV

namespace murmelo {

// The layout host's half of closing an opening.
void QrvMurmeloView::forgetOpening() {
    using namespace QV;
    if (!state) return;
    const int status = protectedRun(state, [](lua_State *L) {
        ScriptBudget::setPointer(L, kKnobRenderer, nullptr);
        ScriptBudget::setPointer(L, kButtonLookup, nullptr);
        retireHandles(L);
    });
    if (status != 0) lua_pop(state, 1);
}

} // namespace murmelo
