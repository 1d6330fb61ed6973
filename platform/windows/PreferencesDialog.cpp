#include "platform/PreferencesDialog.h"

#include "platform/ErrorReport.h"
#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

#include <exception>
#include <windows.h>

namespace platform {

namespace {

// The dialog template and its controls (PreferencesDialog.rc).
constexpr int kDialogTemplate = 102;
constexpr int kManualButton = 104;
constexpr int kProductText = 105;
constexpr int kVersionText = 106;
constexpr int kPortEdit = 141;
constexpr int kTooltipBox = 110;
constexpr int kLongestPort = 256;

struct Session {
    const PreferencesDialogText &text;
    PreferencesDialogClient &client;
};

void fill(HWND dialog, const PreferencesDialogText &text) {
    SetDlgItemTextW(dialog, kProductText, widen(text.product).c_str());
    SetDlgItemTextW(dialog, kVersionText, widen(text.version).c_str());
    SendDlgItemMessageW(dialog, kPortEdit, EM_SETLIMITTEXT, kLongestPort, 0);
    // The limit holds for typing only: a longer text is cut here, so OK
    // passes what the edit shows.
    SetDlgItemTextW(dialog, kPortEdit, widen(text.port).substr(0, kLongestPort).c_str());
    CheckDlgButton(dialog, kTooltipBox, text.tooltip ? BST_CHECKED : BST_UNCHECKED);
}

std::string portText(HWND dialog) {
    wchar_t buffer[kLongestPort + 1];
    const UINT n = GetDlgItemTextW(dialog, kPortEdit, buffer, kLongestPort + 1);
    return narrow(buffer, static_cast<int>(n));
}

// A client's exception must not unwind through the system's dialog code.
template <typename Call> void tell(Call call) {
    try {
        call();
    } catch (const std::exception &e) {
        reportError(std::string("preferences: ") + e.what());
    } catch (...) {
        reportError("preferences: unknown failure");
    }
}

bool command(HWND dialog, Session &session, int id, int code) {
    switch (id) {
    case IDOK: {
        const std::string port = portText(dialog);
        tell([&] { session.client.accepted(port); });
        EndDialog(dialog, IDOK);
        return true;
    }
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return true;
    case kTooltipBox:
        if (code != BN_CLICKED) return false;
        tell([&] { session.client.tooltipClicked(IsDlgButtonChecked(dialog, kTooltipBox) == BST_CHECKED); });
        return true;
    case kManualButton:
        if (code != BN_CLICKED) return false;
        tell([&] { session.client.manualRequested(); });
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        fill(dialog, reinterpret_cast<Session *>(lParam)->text);
        // The port is the one thing to type, and Return then means OK (a
        // focused push button would take Return for itself).
        HWND port = GetDlgItem(dialog, kPortEdit);
        SetFocus(port);
        SendMessageW(port, EM_SETSEL, 0, -1);
        return FALSE; // the focus is set
    }
    auto *session = reinterpret_cast<Session *>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_COMMAND && session) return command(dialog, *session, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

} // namespace

bool runPreferencesDialog(std::uintptr_t parent, const PreferencesDialogText &text, PreferencesDialogClient &client) {
    // The editor is a child of the host's window; a dialog is owned by (and
    // disables) a top-level window.
    HWND owner = reinterpret_cast<HWND>(parent);
    if (owner && !IsWindow(owner)) {
        reportError("cannot show the preferences dialog: its owner is not a window");
        return false;
    }
    if (owner) owner = GetAncestor(owner, GA_ROOT);
    Session session{text, client};
    SetLastError(ERROR_SUCCESS);
    const INT_PTR result = DialogBoxParamW(ownModule(), MAKEINTRESOURCEW(kDialogTemplate), owner, dialogProcedure,
                                           reinterpret_cast<LPARAM>(&session));
    if (result == IDOK) return true;
    if (result == IDCANCEL) return false;
    const DWORD error = GetLastError();
    reportError("cannot show the preferences dialog: " +
                (error != ERROR_SUCCESS ? systemMessage(error) : std::string("the system refused it")));
    return false;
}

} // namespace platform
