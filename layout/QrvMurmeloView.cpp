#include "layout/QrvMurmeloView.h"

#include "core/Resources.h"
#include "gui/Manager.h"
#include "gui/ZephKnob.h"
#include "gui/ZephKnobRenderer.h"
#include "layout/LayoutApi.h"

#include <lauxlib.h>

namespace murmelo {

namespace {

void openPreferences(QV::Button *, std::intptr_t editor) { reinterpret_cast<QV::Editor *>(editor)->showPreferences(); }

} // namespace

QrvMurmeloView::QrvMurmeloView(vst2::AudioEffect *effect) : QV::Editor(effect) {
    resourceIdLookup["gui.lua"] = kResourceGuiLua;
}

void QrvMurmeloView::buildUI(float, float) {
    setManager(std::make_unique<QV::Manager>(*this));
    manager->loadDefaultHints();
    auto *renderer = manager->addEffect(std::make_unique<QV::ZephKnobRenderer>(*manager));
    const QV::ButtonActions actions{{"Prefs", {openPreferences, kPreferencesHint}}};
    if (!createLuaState()) return;
    loadLayoutFonts();
    beginOpening(renderer);
    runCreateUI(actions);
}

QV::UIElement *QrvMurmeloView::makeKnob(lua_State *L, int index, const std::string &label, float x, float y,
                                        float size) {
    auto *renderer = static_cast<QV::ZephKnobRenderer *>(QV::ScriptBudget::pointer(L, QV::kKnobRenderer));
    if (!renderer) luaL_error(L, "no knob renderer");
    return new QV::ZephKnob(index, QV::buildingManager(L), renderer, label, x, y, size);
}

QV::UIElement *QrvMurmeloView::makeSlider(lua_State *L, int, int, float, float, float, float, bool) {
    luaL_error(L, "no slider support");
    return nullptr;
}

QV::UIElement *QrvMurmeloView::makeButton(lua_State *L, int, const std::string &caption, QV::Button::Callback callback,
                                          std::intptr_t userValue, float x, float y, float width, float height,
                                          int hint) {
    return new QV::ZephButton(QV::buildingManager(L), caption, callback, userValue, x, y, width, height, hint);
}

QV::UIElement *QrvMurmeloView::makeLuaButton(lua_State *L, int, const std::string &, QV::Button::Callback,
                                             int functionRef, float, float, float, float, int, bool) {
    luaL_unref(L, LUA_REGISTRYINDEX, functionRef);
    luaL_error(L, "no luabutton support");
    return nullptr;
}

QV::UIElement *QrvMurmeloView::makeDropDown(lua_State *L, int, float, float, float, float) {
    luaL_error(L, "no dropdown support");
    return nullptr;
}

} // namespace murmelo
