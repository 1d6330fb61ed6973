// The real plug-in module, loaded through our host library with its own
// settings and user folders, and its editor opened in a host window on the
// screen: what the layout and preferences tests drive.
#pragma once

#include "tests/gui/GuiTestSupport.h"

#include <memory>
#include <string>

namespace layouttest {

// Settings and user folders of a test: set before the plug-in is loaded,
// because the effect reads them when it is constructed.
struct UserSetup {
    guitest::PrivateSettings settings;
    testing_support::TempDir appData;
    testing_support::ScopedEnv appDataEnv{"APPDATA", appData.path()};

    // Stores settings given as the settings file's "name = value" lines
    // (Linux: that file; Windows: registry values, whole numbers as
    // REG_DWORD and other texts as REG_SZ).
    void writeSettings(const std::string &text) const;
    // The stored settings as "name = value" lines.
    std::string settingsText() const;
    // A skin folder (name may end in ".bundle") with gui.lua holding script.
    std::string writeSkin(const std::string &folderName, const std::string &script) const;
    // An empty skin folder (no gui.lua).
    std::string makeSkinFolder(const std::string &folderName) const;
};

// The plug-in with its editor in a host window.
class PluginEditor {
public:
    explicit PluginEditor(guitest::HostScreen &screen);
    ~PluginEditor();

    vsthost::Plugin &plugin() { return *instance; }
    // effEditGetRect's answer as (width, height).
    std::pair<int, int> rect();
    // Opens the editor in a new host window of the editor's size and waits
    // until its picture holds still; false when it never shows.
    bool open();
    void close();
    bool isOpen() const { return child != 0; }
    // Calls effEditIdle for a while, as a host's timer does, and hands the
    // window messages that arrived meanwhile to their windows.
    void idle(int milliseconds = 40);
    // Idles until predicate holds; false after timeoutMs.
    bool idleUntil(const std::function<bool()> &predicate, int timeoutMs = 5000);
    // Idles until the picture holds still.
    bool settle();
    guitest::Image grab();

    // Real input as the user's devices give it, in window coordinates
    // (origin bottom-left).
    void click(float x, float y);
    void typeKey(guitest::Key key);

    int width = 0, height = 0;
    guitest::WindowHandle hostWindow = 0, child = 0;

private:
    guitest::HostScreen &screen;
    std::unique_ptr<vsthost::Plugin> instance;
};

// Writes the failed test's screenshot next to the GUI tests' artefacts.
void keepScreenshotOnFailure(const guitest::Image &image);

} // namespace layouttest
