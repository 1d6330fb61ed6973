// Handles, argument checks, the group and element methods, and the
// functions registered at each opening (infoDisplay, textField).
#include "layout/LayoutApi.h"

#include "core/Parameters.h"
#include "gui/Button.h"
#include "gui/Editor.h"
#include "gui/Group.h"
#include "gui/InfoDisplay.h"
#include "gui/Manager.h"
#include "gui/TextField.h"
#include "lua/LuaSupport.h"
#include "lua/ScriptBudget.h"

#include <lauxlib.h>
#include <map>
#include <string>

namespace QV {

const char kViewRefcon[] = "QVgui::kViewRefcon";
const char kParamLookup[] = "QVgui::kParamLookup";
const char kKnobRenderer[] = "QVgui::kKnobRenderer";
const char kButtonLookup[] = "QVgui::kButtonLookup";
const char kHandles[] = "QVgui::kHandles";

const char kGroupType[] = "QVgui.Group";
const char kElementType[] = "QVgui.Element";
const char kTextureType[] = "QVgui.Texture";
const char kFontType[] = "QVgui.Font";

Editor &editorOf(lua_State *L) { return *static_cast<Editor *>(ScriptBudget::pointer(L, kViewRefcon)); }

Manager &buildingManager(lua_State *L) {
    Editor &editor = editorOf(L);
    if (!editor.getManager() || !editor.isBuilding()) luaL_error(L, "the editor is not being opened");
    return *editor.getManager();
}

int lastArguments(lua_State *L, int n) {
    const int top = lua_gettop(L);
    return top >= n ? top - n + 1 : 1;
}

int checkParameterName(lua_State *L, int arg) {
    const char *name = luaL_checkstring(L, arg);
    const auto *lookup = static_cast<const std::map<std::string, int> *>(ScriptBudget::pointer(L, kParamLookup));
    const auto found = lookup ? lookup->find(name) : std::map<std::string, int>::const_iterator();
    if (!lookup || found == lookup->end()) luaL_error(L, "parameter not found: '%s'", name);
    return found->second;
}

int checkParameterDesignator(lua_State *L, int arg) {
    if (!lua_isnumber(L, arg)) return checkParameterName(L, arg);
    const int index = checkInt32(L, arg);
    if (!murmelo::isParameterIndex(index))
        luaL_error(L, "parameter index out of range: %d (0 to %d)", index, murmelo::kNumParameters - 1);
    return index;
}

UIElement *checkElement(lua_State *L, int arg) {
    if (!lua_isuserdata(L, arg)) luaL_argerror(L, arg, "element expected");
    bool known = false;
    if (lua_getmetatable(L, arg)) {
        for (const std::string &name : editorOf(L).getElementTypeNames()) {
            luaL_getmetatable(L, name.c_str());
            known = lua_rawequal(L, -1, -2) != 0;
            lua_pop(L, 1);
            if (known) break;
        }
        lua_pop(L, 1);
    }
    if (!known) luaL_typerror(L, arg, "element");
    auto *payload = static_cast<UIElement **>(lua_touserdata(L, arg));
    if (!*payload) luaL_argerror(L, arg, "element expected");
    return *payload;
}

NamedGroup *checkGroup(lua_State *L, int arg) {
    auto *payload = static_cast<NamedGroup **>(luaL_checkudata(L, arg, kGroupType));
    if (!payload || !*payload) luaL_argerror(L, arg, "group expected");
    return *payload;
}

void pushHandle(lua_State *L, void *object, const char *typeName) {
    *static_cast<void **>(lua_newuserdata(L, sizeof(void *))) = object;
    luaL_getmetatable(L, typeName);
    lua_setmetatable(L, -2);
    lua_pushlightuserdata(L, const_cast<char *>(kHandles));
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1)) {
        lua_pushvalue(L, -2);
        lua_rawseti(L, -2, int(lua_objlen(L, -2)) + 1);
    }
    lua_pop(L, 1);
}

void retireHandles(lua_State *L) {
    lua_pushlightuserdata(L, const_cast<char *>(kHandles));
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1)) {
        const int n = int(lua_objlen(L, -1));
        for (int i = 1; i <= n; ++i) {
            lua_rawgeti(L, -1, i);
            if (auto *payload = static_cast<void **>(lua_touserdata(L, -1))) *payload = nullptr;
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    lua_pushlightuserdata(L, const_cast<char *>(kHandles));
    lua_newtable(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

namespace {

float number(lua_State *L, int arg) { return static_cast<float>(luaL_checknumber(L, arg)); }

void pushBoxSide(lua_State *L, NamedGroup *g, bool width) {
    Box b = Box::empty();
    g->getBounds(b);
    lua_pushnumber(L, width ? b.maxX - b.minX : b.maxY - b.minY);
}

// ---- group methods ----

int groupAdd(lua_State *L) {
    NamedGroup *g = checkGroup(L, 1);
    UIElement *element = checkElement(L, 2);
    buildingManager(L);
    g->add(element);
    return 0;
}

int groupSetPosition(lua_State *L) {
    const int a = lastArguments(L, 3);
    NamedGroup *g = checkGroup(L, a);
    const float x = number(L, a + 1), y = number(L, a + 2);
    buildingManager(L);
    g->setOffset(x, y, 0);
    return 0;
}

int groupWidth(lua_State *L) {
    pushBoxSide(L, checkGroup(L, lastArguments(L, 1)), true);
    return 1;
}

int groupHeight(lua_State *L) {
    pushBoxSide(L, checkGroup(L, lastArguments(L, 1)), false);
    return 1;
}

int groupBounds(lua_State *L) {
    Box b = Box::empty();
    checkGroup(L, 1)->getBounds(b);
    for (float v : {b.minX, b.minY, b.maxX, b.maxY})
        lua_pushnumber(L, v);
    return 4;
}

int groupSetVisible(lua_State *L) {
    checkGroup(L, 1)->setVisible(lua_toboolean(L, 2) != 0);
    return 0;
}

int groupIsVisible(lua_State *L) {
    lua_pushboolean(L, checkGroup(L, 1)->isVisible());
    return 1;
}

// ---- element methods ----

int elementSetVisible(lua_State *L) {
    checkElement(L, 1)->setVisible(lua_toboolean(L, 2) != 0);
    return 0;
}

int elementIsVisible(lua_State *L) {
    lua_pushboolean(L, checkElement(L, 1)->isVisible());
    return 1;
}

int elementSetState(lua_State *L) {
    if (auto *b = dynamic_cast<StatefulButton *>(checkElement(L, 1))) b->setState(lua_toboolean(L, 2) != 0);
    return 0;
}

int elementGetState(lua_State *L) {
    auto *b = dynamic_cast<StatefulButton *>(checkElement(L, 1));
    lua_pushboolean(L, b && b->state());
    return 1;
}

const luaL_Reg kGroupMethods[] = {
    {"add", groupAdd},       {"setPosition", groupSetPosition}, {"width", groupWidth},         {"height", groupHeight},
    {"bounds", groupBounds}, {"setVisible", groupSetVisible},   {"isVisible", groupIsVisible}, {nullptr, nullptr},
};

const luaL_Reg kElementMethods[] = {
    {"setVisible", elementSetVisible},
    {"isVisible", elementIsVisible},
    {"setState", elementSetState},
    {"getState", elementGetState},
    {nullptr, nullptr},
};

// A registry metatable whose __index is itself, holding methods.
void newMethodTable(lua_State *L, const char *name, const luaL_Reg *methods) {
    luaL_newmetatable(L, name);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    for (const luaL_Reg *m = methods; m && m->name; ++m) {
        lua_pushcfunction(L, m->func);
        lua_setfield(L, -2, m->name);
    }
    lua_pop(L, 1);
}

// ---- registered at each opening ----

int infoDisplay(lua_State *L) {
    const int a = lastArguments(L, 4);
    const float x = number(L, a), y = number(L, a + 1), w = number(L, a + 2), h = number(L, a + 3);
    Manager &m = buildingManager(L);
    pushHandle(L, static_cast<UIElement *>(new InfoDisplay(m, x, y, w, h, m.displayState())), kElementType);
    return 1;
}

int textField(lua_State *L) {
    const int nargs = lua_gettop(L);
    const std::string label = luaL_checkstring(L, 2);
    const float x = number(L, 3), y = number(L, 4), w = number(L, 5), h = number(L, 6);
    const std::string position = luaL_checkstring(L, 7);
    const std::string format = nargs >= 8 ? luaL_checkstring(L, 8) : "";
    const int index = checkParameterName(L, 1);
    Manager &m = buildingManager(L);
    const int code = position[0] == 'l' ? LabelledTextField::kLabelLeft : LabelledTextField::kLabelBelow;
    pushHandle(L, static_cast<UIElement *>(new LabelledTextField(index, m, label, x, y, w, h, code, format)),
               kElementType);
    return 1;
}

} // namespace

void registerLayoutTypes(lua_State *L) {
    newMethodTable(L, kGroupType, kGroupMethods);
    newMethodTable(L, kElementType, kElementMethods);
    luaL_newmetatable(L, kTextureType);
    luaL_newmetatable(L, kFontType);
    lua_pop(L, 2);
    lua_pushlightuserdata(L, const_cast<char *>(kHandles));
    lua_newtable(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

void registerOpeningFunctions(lua_State *L) {
    lua_register(L, "infoDisplay", infoDisplay);
    lua_register(L, "textField", textField);
}

} // namespace QV
