// What choosing in the preferences does, whichever way they are shown (the
// panel drawn in the editor, or the system's dialog), and the texts they
// fill in.  All [ui].
#pragma once

#include <string>

namespace murmelo {
class QrvAuBase;
}

namespace QV {

class Manager;
class PreferencesPanel;

// A port from 1 to 65535 in text is stored as "OSC Base Port", becomes the
// process-wide base port and "OSC Port Offset" is applied again through the
// effect's setParameter, so a listening OSC server moves.  Anything else
// stores nothing; the result says whether it was stored.
bool applyOscBasePort(const std::string &text, murmelo::QrvAuBase *fx);
// Sets the floating-tooltip flag and stores "Enable floating tooltip".
void storeFloatingTooltip(bool on);
// The manual installed beside the plug-in's module, and opening it with the
// desktop's opener ("Error" line when it is not installed).
std::string manualPath();
void openManual();
// "1.1.0" from the effect's vendor version; the effect's product name.
std::string versionText(murmelo::QrvAuBase *fx);
std::string productText(murmelo::QrvAuBase *fx);

// How the editor shows its preferences; the build compiles one of
// PanelPreferences.cpp (a panel in the editor) and DialogPreferences.cpp
// (the system's modal dialog over the host's window).
// Called while an opening's manager is built; returns the panel when the
// preferences are one (owned by the manager), else null.
PreferencesPanel *addPreferences(Manager &manager);
// Shows them; the panel is what addPreferences returned.
void showPreferences(Manager &manager, PreferencesPanel *panel);

} // namespace QV
