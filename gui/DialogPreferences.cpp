// The preferences as the system's modal dialog over the host's window.
#include "core/QrvMurmelo.h"
#include "gui/Manager.h"
#include "gui/PreferenceActions.h"
#include "platform/PreferencesDialog.h"
#include "vst2/AudioEffect.h"

#include <cstdint>
#include <string>

namespace QV {

namespace {

class Choices : public platform::PreferencesDialogClient {
public:
    explicit Choices(Manager &manager) : manager(manager) {}
    void tooltipClicked(bool checked) override { storeFloatingTooltip(checked); }
    void accepted(const std::string &portText) override { applyOscBasePort(portText, manager.effect()); }
    void manualRequested() override { openManual(); }

private:
    Manager &manager;
};

} // namespace

PreferencesPanel *addPreferences(Manager &) { return nullptr; }

void showPreferences(Manager &manager, PreferencesPanel *) {
    platform::PreferencesDialogText text;
    text.product = productText(manager.effect());
    text.version = versionText(manager.effect());
    text.port = std::to_string(murmelo::oscBasePort.load(std::memory_order_relaxed));
    text.tooltip = Manager::floatingTooltip();
    Choices choices(manager);
    platform::runPreferencesDialog(reinterpret_cast<std::uintptr_t>(manager.editor().getSystemWindow()), text, choices);
}

} // namespace QV
