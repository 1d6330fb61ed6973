// The About and preferences dialog of Windows hosts: a modal system dialog
// over the editor (Linux has a panel inside the editor instead).  The
// dialog's template is a resource of the module that holds this code, so
// it is found inside the plug-in's DLL as well as in a program.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What the dialog shows when it opens.
struct PreferencesDialogText {
    std::string product, version, port;
    bool tooltip = false;
};

// Told what the user does in the dialog.  [ui] All calls come on the
// dialog's thread, while runPreferencesDialog runs; they must not throw.
class PreferencesDialogClient {
public:
    virtual ~PreferencesDialogClient() = default;
    // The tooltip check box was clicked: store the new state at once (a
    // later Cancel does not take it back).
    virtual void tooltipClicked(bool checked) = 0;
    // OK: the port edit's text (digits only, up to 256 characters).
    virtual void accepted(const std::string &portText) = 0;
    // The manual button was pressed; the dialog stays open.
    virtual void manualRequested() = 0;
};

// [ui] Shows the dialog modally over parent (an HWND as std::uintptr_t; a
// child window's top-level window owns the dialog; 0: no owner) and returns
// when it closes: true after OK, false after Cancel or Escape, or when it
// could not be shown (with an "Error" line).
bool runPreferencesDialog(std::uintptr_t parent, const PreferencesDialogText &text, PreferencesDialogClient &client);

} // namespace platform
