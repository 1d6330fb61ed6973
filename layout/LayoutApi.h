// The layout script's functions (the GUI Lua API) and what they share.
//
// Every function finds the editor through the registry key kViewRefcon and
// reaches the manager of the opening through it.  Elements, groups, textures
// and fonts reach scripts as handles: full userdata holding one pointer,
// with a registry metatable per type and no finaliser (the manager owns the
// objects).  Handles made during an opening are remembered, and their
// pointers cleared when that opening's manager goes, so a handle kept in a
// global raises an error instead of reaching a deleted element.
//
// The element tree, fonts and textures may only grow while the editor is
// being opened (the render thread reads them without locks once the window
// exists); functions that change them raise an error at any other time.
//
// All functions are [ui] and run inside protected calls; errors are Lua
// errors with the caller's script position in front.
#pragma once

#include "lua/ScriptBudget.h"

#include <lua.h> // the C++ build of Lua: no extern "C"
#include <type_traits>

namespace QV {

class Editor;
class Manager;
class NamedGroup;
class UIElement;

// Registry keys: light userdata holding the address of these texts.
extern const char kViewRefcon[];
extern const char kParamLookup[];
extern const char kKnobRenderer[];
extern const char kButtonLookup[];
extern const char kHandles[];

// Registry metatable names of the script-visible types.
extern const char kGroupType[];
extern const char kElementType[];
extern const char kTextureType[];
extern const char kFontType[];

// The 20 global functions, in their registration order.
void registerLayoutFunctions(lua_State *L);
// The four metatables with the group and element methods; the table of
// remembered handles.
void registerLayoutTypes(lua_State *L);
// infoDisplay and textField, registered at each opening.
void registerOpeningFunctions(lua_State *L);

// The editor's objects under the registry keys above are set and read with
// ScriptBudget::setPointer and ScriptBudget::pointer.

// The editor owning L (never null inside the layout state).
Editor &editorOf(lua_State *L);
// The manager of the opening being built; raises when the editor is not
// being opened.
Manager &buildingManager(lua_State *L);

// The first of the last n arguments: reading from there gives "the last n"
// arguments, and with fewer than n the missing ones raise the standard
// argument error.
int lastArguments(lua_State *L, int n);
// A parameter name looked up exactly; raises "parameter not found: '%s'".
int checkParameterName(lua_State *L, int arg);
// A parameter index (number or numeric string) or name; an index outside
// the table raises.
int checkParameterDesignator(lua_State *L, int arg);
// The element check: a handle whose metatable is one of the editor's
// element types and whose element still exists.
UIElement *checkElement(lua_State *L, int arg);
// A group handle whose group still exists.
NamedGroup *checkGroup(lua_State *L, int arg);

// Pushes a new handle for object with the type's metatable.
void pushHandle(lua_State *L, void *object, const char *typeName);
// Clears the pointer of every remembered handle and forgets them.
void retireHandles(lua_State *L);

// Runs f(L) inside lua_cpcall, so no error (even running out of memory)
// can escape into the host; returns lua_cpcall's status, leaving the error
// object on the stack when it is not 0.
template <class F> int protectedRun(lua_State *L, F &&f) {
    using Fn = std::remove_reference_t<F>;
    return lua_cpcall(
        L,
        [](lua_State *L) -> int {
            auto *fn = static_cast<Fn *>(lua_touserdata(L, 1));
            lua_pop(L, 1);
            (*fn)(L);
            return 0;
        },
        &f);
}

} // namespace QV
