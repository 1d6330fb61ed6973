// A DLL that links the platform layer, as the plug-in does, and shows the
// preferences dialog from there: the dialog's template must come from this
// DLL's resources, since the program that loads it has none.
#include "platform/PreferencesDialog.h"

extern "C" __declspec(dllexport) bool probeRunPreferencesDialog(std::uintptr_t parent,
                                                                const platform::PreferencesDialogText *text,
                                                                platform::PreferencesDialogClient *client) {
    return platform::runPreferencesDialog(parent, *text, *client);
}
