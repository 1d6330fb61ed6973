// The preferences panel of the real plug-in, opened with the "Prefs" button
// and worked with real input: what it stores, and what it leaves alone.
#include "tests/layout/LayoutTestSupport.h"

#include "core/Resources.h"
#include "gui/PreferencesPanel.h"
#include "tests/osc/OscTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using guitest::Image;
using guitest::nearColour;
using guitest::rgb;
using guitest::Rgb;
using layouttest::PluginEditor;
using layouttest::UserSetup;
using QV::PreferencesPanel;

namespace {

const Rgb kBackground = rgb(0.5f, 0.1f, 0.1f);
const Rgb kDimmed = guitest::blend(0, 0, 0, 0.55f, kBackground);
const Rgb kPanelFace = rgb(0.17f, 0.16f, 0.19f);
const Rgb kChecked = rgb(0.8f, 0.4f, 0.1f);
const Rgb kUnchecked = rgb(0.92f, 0.92f, 0.95f);

class Preferences : public testing::Test {
protected:
    void SetUp() override {
        const murmelo::DataBuffer text = murmelo::loadResource(murmelo::kResourcePreferencesPanel);
        std::string error;
        ASSERT_TRUE(PreferencesPanel::layOut(std::string(text.chars(), text.length()), 520, 256, layout, error))
            << error;
    }
    QV::Box box(int id) const {
        for (const auto &c : layout.controls)
            if (c.id == id) return c.box;
        ADD_FAILURE() << "no control " << id;
        return QV::Box::empty();
    }
    // The inside of the check box (a square at the control's left end).
    QV::Point checkSquare() const {
        const QV::Box b = box(PreferencesPanel::kTooltipBox);
        const float side = b.maxY - b.minY;
        return {b.minX + side / 2, b.centreY()};
    }
    void clickCentre(PluginEditor &e, int id) {
        const QV::Box b = box(id);
        e.click(b.centreX(), b.centreY());
    }
    bool panelShown(PluginEditor &e) { return nearColour(e.grab().at(3, 3), kDimmed, 4); }
    void openPanel(PluginEditor &e) {
        e.click(460, 211); // the "Prefs" button
        ASSERT_TRUE(e.idleUntil([&] { return panelShown(e); })) << "the panel shows over a dimmed editor";
    }
    void closesPanel(PluginEditor &e) {
        EXPECT_TRUE(e.idleUntil([&] { return !panelShown(e); })) << "the panel closes";
    }

    guitest::HostScreen screen;
    PreferencesPanel::Layout layout;
};

TEST_F(Preferences, PanelFitsTheDefaultEditor) {
    EXPECT_EQ(layout.title, "About");
    EXPECT_GE(layout.frame.minX, 0);
    EXPECT_GE(layout.frame.minY, 0);
    EXPECT_LE(layout.frame.maxX, 520);
    EXPECT_LE(layout.frame.maxY, 256);
    EXPECT_NEAR(layout.frame.centreX(), 260, 1);
    for (const auto &c : layout.controls) {
        EXPECT_GE(c.box.minX, layout.frame.minX) << c.id;
        EXPECT_LE(c.box.maxX, layout.frame.maxX) << c.id;
        EXPECT_GE(c.box.minY, layout.frame.minY) << c.id;
        EXPECT_LE(c.box.maxY, layout.titleStrip.minY) << c.id;
    }
    // OK sits below the "Preferences" group, which holds the port field.
    EXPECT_LT(box(PreferencesPanel::kOk).maxY, box(109).minY);
    EXPECT_GT(box(PreferencesPanel::kPortField).minY, box(109).minY);
    std::string error;
    PreferencesPanel::Layout broken;
    EXPECT_FALSE(PreferencesPanel::layOut("[panel]\nwidth = 200\nheight = 100\n[7]\nkind = dial\nrect = 1,2,3,4\n", 520,
                                          256, broken, error));
    EXPECT_NE(error.find("[7]"), std::string::npos) << error;
}

TEST_F(Preferences, TooltipIsStoredOnTheClickAndEscapeKeepsIt) {
    UserSetup user;
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    openPanel(e);
    const Image shown = e.grab();
    EXPECT_TRUE(nearColour(shown.at(int(layout.frame.minX) + 4, int(layout.frame.minY) + 4), kPanelFace, 4));
    const QV::Point square = checkSquare();
    EXPECT_TRUE(nearColour(shown.at(int(square.x), int(square.y)), kUnchecked, 4)) << "off by default";
    EXPECT_GT(shown.countDifferent(int(box(106).minX), int(box(106).minY), int(box(106).maxX), int(box(106).maxY),
                                   kPanelFace, 40),
              10)
        << "the version line";

    // Input goes to the panel only: a click on an empty spot of the panel
    // with the "Depth LFO" speed field behind it starts no edit there.
    e.plugin().clearCalls();
    e.click(200, 36);
    EXPECT_EQ(e.plugin().countCalls(vst2::audioMasterBeginEdit), 0);

    e.click(square.x, square.y);
    EXPECT_NE(user.settingsText().find("Enable floating tooltip = 1"), std::string::npos) << user.settingsText();
    EXPECT_TRUE(e.idleUntil([&] { return nearColour(e.grab().at(int(square.x), int(square.y)), kChecked, 4); }));
    e.typeKey(guitest::kKeyEscape);
    closesPanel(e);
    EXPECT_NE(user.settingsText().find("Enable floating tooltip = 1"), std::string::npos)
        << "Escape does not take the click back";

    openPanel(e);
    e.click(square.x, square.y);
    EXPECT_NE(user.settingsText().find("Enable floating tooltip = 0"), std::string::npos) << user.settingsText();
}

TEST_F(Preferences, OkStoresAPortAndNothingElse) {
    UserSetup user;
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    openPanel(e);
    for (guitest::Key key : {'7', '1', '2', '3'})
        e.typeKey(key); // the field starts selected: typing replaces "7000"
    clickCentre(e, PreferencesPanel::kOk);
    closesPanel(e);
    EXPECT_NE(user.settingsText().find("OSC Base Port = 7123"), std::string::npos) << user.settingsText();

    openPanel(e);
    e.typeKey('0');
    e.typeKey(guitest::kKeyReturn); // Return is OK too
    closesPanel(e);
    EXPECT_NE(user.settingsText().find("OSC Base Port = 7123"), std::string::npos) << "0 is no port";

    openPanel(e);
    for (guitest::Key key : {'9', '9', '9', '9', '9', '9'})
        e.typeKey(key); // five digits at most: 99999, beyond the last port
    clickCentre(e, PreferencesPanel::kOk);
    closesPanel(e);
    EXPECT_NE(user.settingsText().find("OSC Base Port = 7123"), std::string::npos) << "99999 is no port";

    // Backspace on the selection clears it; a click in the field ends the
    // selection, so typing appends.
    openPanel(e);
    clickCentre(e, PreferencesPanel::kPortField);
    e.typeKey(guitest::kKeyBackSpace);
    e.typeKey('4');
    e.typeKey(guitest::kKeyEscape);
    closesPanel(e);
    EXPECT_NE(user.settingsText().find("OSC Base Port = 7123"), std::string::npos) << "Escape stores nothing";
}

TEST_F(Preferences, OkMovesAListeningOscServerToTheNewBase) {
    UserSetup user;
    const int first = osc_test::freeUdpPort(); // listened on at base + 1
    user.writeSettings("OSC Base Port = " + std::to_string(first - 1) + "\n");
    PluginEditor e(screen);
    e.plugin().setParameter(murmelo::kOscPortOffset, osc_test::offsetToNormalised(1));
    osc_test::OscClient client;
    ASSERT_TRUE(osc_test::pingUntilAnswered(client, first));
    ASSERT_TRUE(e.open());
    openPanel(e);
    int second = osc_test::freeUdpPort();
    while (second == first)
        second = osc_test::freeUdpPort();
    for (char digit : std::to_string(second - 1))
        e.typeKey(guitest::Key(digit));
    clickCentre(e, PreferencesPanel::kOk);
    closesPanel(e);
    EXPECT_TRUE(osc_test::pingUntilAnswered(client, second)) << "listening at the new base + 1";
    EXPECT_FALSE(osc_test::pingUntilAnswered(client, first, 300)) << "and no longer at the old one";
}

TEST_F(Preferences, ManualButtonOpensTheInstalledManual) {
    UserSetup user;
    // A stand-in for the desktop's opener: it notes what it was asked to open.
    testing_support::TempDir bin;
    const std::string opened = bin.file("opened.txt");
    {
        std::ofstream script(bin.file("xdg-open"));
        script << "#!/bin/sh\necho \"$1\" > \"" << opened << "\"\n";
    }
    chmod(bin.file("xdg-open").c_str(), 0755);
    const char *path = std::getenv("PATH");
    testing_support::ScopedEnv pathEnv("PATH", bin.path() + ":" + (path ? path : ""));
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    openPanel(e);
    clickCentre(e, PreferencesPanel::kManualButton);
    std::string text;
    for (int i = 0; i < 100 && text.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(opened);
        std::getline(in, text);
    }
    const std::string plugin = testing_support::pluginPath();
    const std::string manual = plugin.substr(0, plugin.find_last_of('/')) + "/murmelo-manual.html";
    EXPECT_EQ(text, manual);
    std::ifstream page(manual);
    std::string first;
    std::getline(page, first);
    EXPECT_EQ(first, "<!DOCTYPE html>") << "the manual lies beside the plug-in";
    EXPECT_TRUE(panelShown(e)) << "the panel stays open";
}

} // namespace
