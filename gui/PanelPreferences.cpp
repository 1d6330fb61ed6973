// The preferences as a panel drawn inside the editor.
#include "gui/Font.h"
#include "gui/Manager.h"
#include "gui/PreferenceActions.h"
#include "gui/PreferencesPanel.h"

namespace QV {

PreferencesPanel *addPreferences(Manager &manager) {
    // The panel is the last effect, so it draws over everything else.
    auto font = loadFontOrFallback({{"arial.ttf", 9}, {"DejaVu Sans.ttf", 9}});
    Font *panelFont = font ? manager.addExtraFont(std::move(font)) : nullptr;
    return manager.addEffect(std::make_unique<PreferencesPanel>(manager, panelFont));
}

void showPreferences(Manager &, PreferencesPanel *panel) {
    if (panel) panel->show();
}

} // namespace QV
