// The preferences: a modal panel drawn inside the editor.
//
// Its content comes from the embedded panel description (file 102): the
// maker, product and version lines, a button that opens the plug-in's
// manual, and a "Preferences" group with the OSC base port field and the
// floating-tooltip check box, and OK.  Escape closes it like a Cancel
// button; Return is OK.  While it is shown it takes all of the editor's
// input (the host keeps running: nothing waits for it).
//
// - The check box stores "Enable floating tooltip" at once, on every click.
// - OK with a port from 1 to 65535 stores "OSC Base Port", makes it the
//   process-wide base port and re-applies "OSC Port Offset" through the
//   effect's setParameter, so a listening OSC server moves; any other entry
//   stores nothing.  The panel closes either way.
//
// Geometry: the description's rectangles are in dialog units from the
// panel's top-left corner; the panel is scaled to fit the editor window and
// centred, with a title strip above.  Everything is fixed at construction
// (before the window exists); what changes while shown is atomic, written on
// the UI thread and drawn on the render thread.
#pragma once

#include "gui/Effect.h"
#include "gui/Geometry.h"
#include "gui/ModalInput.h"

#include <atomic>
#include <string>
#include <vector>

namespace QV {

class Font;
class Manager;

class PreferencesPanel : public Effect, public ModalInput {
public:
    enum Kind { kStatic, kButton, kDefaultButton, kGroup, kEdit, kCheckbox };
    struct Control {
        int id = 0;
        Kind kind = kStatic;
        std::string text;
        bool digitsOnly = false;
        Box box = Box::empty(); // window coordinates
    };
    struct Layout {
        std::string title;
        Box frame = Box::empty(); // the whole panel, title strip included
        Box titleStrip = Box::empty();
        std::vector<Control> controls;
    };

    // Identifiers the panel acts on or fills in.
    static constexpr int kOk = 1;
    static constexpr int kManualButton = 104;
    static constexpr int kProductLine = 105;
    static constexpr int kVersionLine = 106;
    static constexpr int kTooltipBox = 110;
    static constexpr int kPortField = 141;
    static constexpr int kPortDigits = 5;

    // [ui] font may be null (then no text is drawn).
    PreferencesPanel(Manager &manager, Font *font);

    // The panel laid out for a window of that size from a description (the
    // text of file 102); false, with the reason, for text that is not one.
    static bool layOut(const std::string &description, int windowWidth, int windowHeight, Layout &layout,
                       std::string &error);

    // [ui]
    void show();
    void ok();
    void cancel();
    // [any]
    bool isShown() const { return shown.load(std::memory_order_relaxed); }
    std::string portText() const;
    const Layout &layout() const { return geometry; }
    const Control *control(int id) const;

    // ModalInput [ui]
    void modalMotion(Point p) override;
    void modalPress(Point p) override;
    void modalRelease(Point p) override;
    void modalCharacter(int c) override;

    // Effect [render]
    void draw2D() override;

private:
    void fillInLiveTexts();
    void close();
    void activate(int id);
    void setPortText(const std::string &text);
    void typeDigit(char c);
    void eraseDigit();
    // The clickable control under p, or -1.
    int clickableAt(Point p) const;

    // [render]
    void drawControl(const Control &c);
    void drawButton(const Control &c);
    void drawGroup(const Control &c);
    void drawEdit(const Control &c);
    void drawCheckbox(const Control &c);
    void drawTextIn(const std::string &text, const Box &box, float x);

    Manager &manager;
    Font *font;
    Layout geometry;
    std::atomic<bool> shown{false};
    std::atomic<int> hovered{-1}, pressed{-1};
    std::atomic<char> port[kPortDigits + 1];
    std::atomic<int> portLength{0};
    std::atomic<bool> portSelected{false}; // the next digit replaces the text
};

} // namespace QV
