// The preferences of the real plug-in on Windows: the system's dialog,
// opened with the editor's "Prefs" button and worked with real input.  The
// dialog is modal, so the host's thread runs its message loop inside the
// click; a second thread plays the user meanwhile.
#include "tests/layout/LayoutTestSupport.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <windows.h>

using layouttest::PluginEditor;
using layouttest::UserSetup;

namespace {

constexpr int kPortField = 141, kTooltipBox = 110, kVersionLine = 106;

// The dialog this process shows with that title, once it is there.
HWND waitForDialog(const wchar_t *title) {
    HWND found = nullptr;
    const bool shown = testing_support::waitFor(
        [&] {
            found = FindWindowW(L"#32770", title);
            DWORD process = 0;
            if (found) GetWindowThreadProcessId(found, &process);
            return found && process == GetCurrentProcessId() && IsWindowVisible(found);
        },
        10000);
    return shown ? found : nullptr;
}

std::string controlText(HWND dialog, int id) {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

class PreferencesDialog : public testing::Test {
protected:
    // Clicks "Prefs" while user(dialog) runs on a thread of its own; returns
    // once the dialog has closed and the click has come back.
    void withDialog(PluginEditor &e, const std::function<void(HWND)> &user) {
        std::atomic<bool> shown{false};
        std::thread player([&] {
            HWND dialog = waitForDialog(L"About");
            if (!dialog) return;
            shown = true;
            user(dialog);
        });
        e.click(460, 211); // the "Prefs" button of the default layout
        player.join();
        ASSERT_TRUE(shown.load()) << "the Prefs button shows the dialog";
        EXPECT_EQ(FindWindowW(L"#32770", L"About"), nullptr) << "and it has gone again";
    }
    // A real click in the middle of a control of the dialog.
    void clickControl(HWND dialog, int id) {
        HWND control = GetDlgItem(dialog, id);
        RECT r{};
        GetClientRect(control, &r);
        screen.moveTo(reinterpret_cast<guitest::WindowHandle>(control), r.bottom, 6, r.bottom / 2.0f);
        screen.button(1, true);
        screen.button(1, false);
    }

    guitest::HostScreen screen;
    UserSetup user;
};

TEST_F(PreferencesDialog, OkStoresThePortTypedOverTheCurrentOne) {
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    std::string port, version;
    bool hostDisabled = false;
    withDialog(e, [&](HWND dialog) {
        port = controlText(dialog, kPortField);
        version = controlText(dialog, kVersionLine);
        hostDisabled = !IsWindowEnabled(reinterpret_cast<HWND>(e.hostWindow));
        for (guitest::Key key : {'7', '1', '2', '3'})
            screen.typeKey(key); // the port starts selected: typing replaces it
        screen.typeKey(guitest::kKeyReturn);
    });
    EXPECT_EQ(port, "7000");
    EXPECT_EQ(version, "1.1.0");
    EXPECT_TRUE(hostDisabled) << "modal over the host's window";
    EXPECT_NE(user.settingsText().find("OSC Base Port = 7123"), std::string::npos) << user.settingsText();
    // The editor goes on drawing and answering after the dialog.
    EXPECT_TRUE(e.settle());
    EXPECT_GT(e.grab().countDifferent(0, 0, e.width, e.height, {0, 0, 0}, 10), e.width * e.height / 2);
}

TEST_F(PreferencesDialog, TheCheckBoxStoresAtOnceAndEscapeKeepsIt) {
    user.writeSettings("OSC Base Port = 7400\n");
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    bool storedAtOnce = false;
    withDialog(e, [&](HWND dialog) {
        clickControl(dialog, kTooltipBox);
        storedAtOnce = testing_support::waitFor(
            [&] { return user.settingsText().find("Enable floating tooltip = 1") != std::string::npos; });
        screen.typeKey('9');
        screen.typeKey(guitest::kKeyEscape);
    });
    EXPECT_TRUE(storedAtOnce) << "stored on the click, while the dialog is open";
    const std::string settings = user.settingsText();
    EXPECT_NE(settings.find("Enable floating tooltip = 1"), std::string::npos) << "Escape does not take it back";
    EXPECT_NE(settings.find("OSC Base Port = 7400"), std::string::npos) << "Escape stores no port: " << settings;
}

} // namespace
