// Murmelo's editor: the layout script builds it from knobs, labelled text
// fields, the "Prefs" button and the info display.  Sliders, script buttons
// and drop-down menus are not part of this product: the layout functions
// that make them raise an error.
#pragma once

#include "gui/Editor.h"

namespace murmelo {

class QrvMurmeloView : public QV::Editor {
public:
    // The hint the "Prefs" button shows: the first default hint.
    static constexpr int kPreferencesHint = -2;

    // [ui] Resolves the skin, attaches itself to the effect and enters the
    // embedded layout script ("gui.lua", file 135) in the resource lookup.
    explicit QrvMurmeloView(vst2::AudioEffect *effect);

    void buildUI(float x, float y) override;

    QV::UIElement *makeKnob(lua_State *L, int index, const std::string &label, float x, float y, float size) override;
    QV::UIElement *makeSlider(lua_State *L, int nargs, int index, float x, float y, float width, float height,
                              bool horizontal) override;
    QV::UIElement *makeButton(lua_State *L, int nargs, const std::string &caption, QV::Button::Callback callback,
                              std::intptr_t userValue, float x, float y, float width, float height, int hint) override;
    QV::UIElement *makeLuaButton(lua_State *L, int nargs, const std::string &caption, QV::Button::Callback callback,
                                 int functionRef, float x, float y, float width, float height, int hint,
                                 bool toggle) override;
    QV::UIElement *makeDropDown(lua_State *L, int index, float x, float y, float width, float height) override;

protected:
    // Drops the opening's registry entries and element handles (in
    // LayoutHost.cpp, with the other layout-host members).
    void forgetOpening() override;
};

} // namespace murmelo
