// The layout script's global functions: colours and the banner, groups and
// controls, textures and fonts, and parameter values.
#include "layout/LayoutApi.h"

#include "core/QrvAuBase.h"
#include "gui/Editor.h"
#include "gui/Font.h"
#include "gui/Group.h"
#include "gui/Manager.h"
#include "gui/Texture.h"
#include "osc/OscLuaApi.h"

#include <cmath>
#include <lauxlib.h>
#include <string>

namespace QV {

namespace {

float number(lua_State *L, int arg) { return static_cast<float>(luaL_checknumber(L, arg)); }
std::string text(lua_State *L, int arg) { return luaL_checkstring(L, arg); }

Colour colourAt(lua_State *L, int first, bool withAlpha) {
    return {number(L, first), number(L, first + 1), number(L, first + 2), withAlpha ? number(L, first + 3) : 1.f};
}

int setGroupActiveColour(lua_State *L) {
    Manager::groupActiveColour().store(colourAt(L, lastArguments(L, 4), true));
    return 0;
}

int setGroupInactiveColour(lua_State *L) {
    Manager::groupInactiveColour().store(colourAt(L, lastArguments(L, 4), true));
    return 0;
}

int group(lua_State *L) {
    const std::string title = text(L, lastArguments(L, 1));
    Manager &m = buildingManager(L);
    auto *g = new NamedGroup(m, title);
    m.rootGroup().add(g);
    pushHandle(L, g, kGroupType);
    return 1;
}

int knob(lua_State *L) {
    const int a = lastArguments(L, 5);
    const std::string name = text(L, a), label = text(L, a + 1);
    const float x = number(L, a + 2), y = number(L, a + 3), size = number(L, a + 4);
    const int index = checkParameterName(L, a);
    buildingManager(L);
    pushHandle(L, editorOf(L).makeKnob(L, index, label, x, y, size), kElementType);
    return 1;
}

int button(lua_State *L) {
    const std::string name = text(L, 1), caption = text(L, 2);
    const float x = number(L, 3), y = number(L, 4), w = number(L, 5), h = number(L, 6);
    const auto *actions = static_cast<const ButtonActions *>(ScriptBudget::pointer(L, kButtonLookup));
    if (!actions) return luaL_error(L, "no button lookup table");
    const auto found = actions->find(name);
    if (found == actions->end()) return luaL_error(L, "button not found: %s", name.c_str());
    buildingManager(L);
    Editor &editor = editorOf(L);
    const ButtonAction &action = found->second;
    pushHandle(L,
               editor.makeButton(L, lua_gettop(L), caption, action.callback, reinterpret_cast<std::intptr_t>(&editor),
                                 x, y, w, h, action.hintIdentifier),
               kElementType);
    return 1;
}

int slider(lua_State *L) {
    const int nargs = lua_gettop(L);
    const float x = number(L, 2), y = number(L, 3), w = number(L, 4), h = number(L, 5);
    const std::string orientation = text(L, 6);
    const int index = checkParameterName(L, 1);
    if (orientation[0] != 'h' && orientation[0] != 'v')
        return luaL_error(L, "unknown slider orientation: %s", orientation.c_str());
    buildingManager(L);
    pushHandle(L, editorOf(L).makeSlider(L, nargs, index, x, y, w, h, orientation[0] == 'h'), kElementType);
    return 1;
}

// What a script button does when it fires: calls its function, ignoring
// errors.  userValue is the function's registry reference.
void scriptButtonFired(Button *b, std::intptr_t functionRef) {
    auto *editor = dynamic_cast<Editor *>(&b->manager().editor());
    lua_State *L = editor ? editor->luaState() : nullptr;
    if (!L) return;
    if (protectedRun(L, [&](lua_State *L) { editor->callScriptFunction(L, int(functionRef)); }) != 0) lua_pop(L, 1);
}

int luaButton(lua_State *L) {
    const int nargs = lua_gettop(L);
    if (!lua_isfunction(L, 1)) return luaL_error(L, "first argument to luaButton() is not a function");
    const std::string caption = text(L, 2), hint = text(L, 3), kind = text(L, 4);
    const float x = number(L, 5), y = number(L, 6), w = number(L, 7), h = number(L, 8);
    Manager &m = buildingManager(L);
    lua_pushvalue(L, 1);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    const int hintId = m.addHint(hint);
    const bool toggle = kind[0] == 't';
    pushHandle(L, editorOf(L).makeLuaButton(L, nargs, caption, scriptButtonFired, ref, x, y, w, h, hintId, toggle),
               kElementType);
    return 1;
}

int texture(lua_State *L) {
    const std::string name = text(L, 1);
    Manager &m = buildingManager(L);
    const Editor &editor = editorOf(L);
    TextureRecord *record = nullptr;
    if (!editor.getSkinFolder().empty()) {
        record = m.addTexture(editor.getSkinFolder() + "/Contents/Resources/" + name);
    } else {
        const auto found = editor.getResourceIdLookup().find(name);
        if (found == editor.getResourceIdLookup().end())
            return luaL_error(L, "failed to find texture in resouce id lookup");
        record = m.addTexture(found->second);
    }
    pushHandle(L, record, kTextureType);
    return 1;
}

int font(lua_State *L) {
    luaL_checktype(L, 1, LUA_TFUNCTION);
    Manager &m = buildingManager(L);
    lua_pushvalue(L, 1);
    std::unique_ptr<Font> loaded = editorOf(L).loadFontFromStack(L);
    pushHandle(L, loaded ? m.addExtraFont(std::move(loaded)) : nullptr, kFontType);
    return 1;
}

int dropDown(lua_State *L) {
    const float x = number(L, 2), y = number(L, 3), w = number(L, 4), h = number(L, 5);
    const int index = checkParameterName(L, 1);
    buildingManager(L);
    pushHandle(L, editorOf(L).makeDropDown(L, index, x, y, w, h), kElementType);
    return 1;
}

int add(lua_State *L) {
    UIElement *element = checkElement(L, 1);
    buildingManager(L).rootGroup().add(element);
    return 0;
}

int setBackgroundColour(lua_State *L) {
    const Colour c = colourAt(L, lastArguments(L, 3), false);
    buildingManager(L).setBackgroundColour(c.r, c.g, c.b);
    return 0;
}

int setBannerColour(lua_State *L) {
    const Colour c = colourAt(L, 1, true);
    buildingManager(L).setBannerColour(c.r, c.g, c.b, c.a);
    return 0;
}

int setBannerTextColour(lua_State *L) {
    Manager::bannerTextColour().store(colourAt(L, 1, true));
    return 0;
}

int setBannerPosition(lua_State *L) {
    const float y = number(L, 1);
    // Only the boolean false hides the title.
    const bool showTitle = !(lua_type(L, 2) == LUA_TBOOLEAN && !lua_toboolean(L, 2));
    buildingManager(L).setBannerPosition(y, showTitle);
    return 0;
}

int redrawLabels(lua_State *L) {
    if (Manager *m = editorOf(L).getManager()) m->requestLabelRedraw();
    return 0;
}

// An edit gesture of the editor: begin, the value with automation, end.  A
// value that is not finite is refused before the host hears of a gesture,
// with the same error the MIDI scripts get.
int setParameter(lua_State *L) {
    const int index = checkParameterDesignator(L, 1);
    const float value = number(L, 2);
    if (!std::isfinite(value)) luaL_argerror(L, 2, "finite number expected");
    Editor &editor = editorOf(L);
    murmelo::QrvAuBase *fx = editor.effectObject();
    if (!fx) return 0;
    Manager *m = editor.getManager();
    if (m) m->setEditedParameter(index);
    fx->beginEdit(index);
    fx->editParameter(index, value);
    if (!m || m->editedParameter() == index) {
        fx->endEdit(index);
        if (m) m->setEditedParameter(-1);
    }
    return 0;
}

int getParameter(lua_State *L) {
    const int index = checkParameterDesignator(L, 1);
    murmelo::QrvAuBase *fx = editorOf(L).effectObject();
    lua_pushnumber(L, fx ? fx->currentProgram()->getValue(index) : 0.f);
    return 1;
}

int getParameterID(lua_State *L) {
    lua_pushinteger(L, checkParameterName(L, 1));
    return 1;
}

const luaL_Reg kFunctions[] = {
    {"setGroupActiveColour", setGroupActiveColour},
    {"setGroupInactiveColour", setGroupInactiveColour},
    {"group", group},
    {"knob", knob},
    {"button", button},
    {"slider", slider},
    {"luaButton", luaButton},
    {"texture", texture},
    {"font", font},
    {"dropDown", dropDown},
    {"add", add},
    {"setBackgroundColour", setBackgroundColour},
    {"setBannerColour", setBannerColour},
    {"setBannerTextColour", setBannerTextColour},
    {"setBannerPosition", setBannerPosition},
    {"redrawLabels", redrawLabels},
    {"setParameter", setParameter},
    {"getParameter", getParameter},
    {"getParameterID", getParameterID},
    {"sendOSC", luaSendOSC}, // the MIDI scripts' own: it needs nothing of either host
};

} // namespace

void registerLayoutFunctions(lua_State *L) {
    for (const luaL_Reg &f : kFunctions)
        lua_register(L, f.name, f.func);
}

} // namespace QV
