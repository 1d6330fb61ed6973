// Whole files where only Linux has them: the byte arrays the build embeds,
// the preferences panel read with the INI parser (which the Linux build
// alone has, with the editor and the settings file) and symbolic links.
#include "core/Resources.h"
#include "platform/IniText.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace murmelo;

namespace {

std::string text(const DataBuffer &buffer) { return std::string(buffer.chars(), buffer.length()); }

std::string panelValue(const platform::IniDocument &panel, const char *section, const char *name) {
    const std::string *value = panel.find(section, name);
    return value ? *value : "<absent>";
}

} // namespace

// The generated arrays end with a zero byte past the file, so a text user
// may read an embedded file as a C string.
TEST(LinuxEmbeddedFiles, EndWithAZeroByte) {
    for (int id : {kResourceKnobVertexProgram, kResourcePreferencesPanel, kResourceGuiLua, kResourceMidiLua}) {
        const DataBuffer embedded = loadResource(id);
        ASSERT_FALSE(embedded.empty()) << id;
        EXPECT_EQ(embedded.chars()[embedded.length()], '\0') << id;
    }
}

TEST(LinuxReadFile, LinksAreFollowedAndDanglingOnesReadAsNothing) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir.file("real"), "text");
    ASSERT_EQ(symlink(dir.file("real").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", dir.file("dangling").c_str()), 0);
    const DataBuffer linked = readFile(dir.file("link"));
    EXPECT_EQ(std::string(linked.chars(), linked.length()), "text");
    EXPECT_TRUE(readFile(dir.file("dangling")).empty());
}

TEST(LinuxEmbeddedFiles, PreferencesPanelDescribesTheDialog) {
    platform::IniDocument panel;
    ASSERT_TRUE(platform::IniDocument::parse(text(loadResource(kResourcePreferencesPanel)), panel));
    EXPECT_EQ(panel.firstRejectedLine(), 0);
    EXPECT_EQ(panelValue(panel, "panel", "width"), "200");
    EXPECT_EQ(panelValue(panel, "panel", "height"), "178");
    const struct {
        const char *id, *kind, *rect, *text;
    } controls[] = {
        {"103", "static", "8, 10, 70, 10", "Quorvane"},
        {"105", "static", "8, 22, 70, 10", "Murmelo"},
        {"106", "static", "8, 34, 70, 10", "1.1.0"},
        {"109", "group", "8, 110, 184, 48", "Preferences"},
        {"142", "static", "12, 122, 70, 10", "OSC Base Port:"},
        {"141", "edit", "87, 122, 50, 12", "<absent>"},
        {"110", "checkbox", "12, 137, 176, 10", "Floating tooltip"},
        {"1", "default-button", "80, 162, 40, 12", "OK"},
    };
    for (const auto &c : controls) {
        EXPECT_EQ(panelValue(panel, c.id, "kind"), c.kind) << c.id;
        EXPECT_EQ(panelValue(panel, c.id, "rect"), c.rect) << c.id;
        EXPECT_EQ(panelValue(panel, c.id, "text"), c.text) << c.id;
    }
    EXPECT_EQ(panelValue(panel, "141", "digits-only"), "1");
    EXPECT_EQ(panelValue(panel, "104", "action"), "open-manual");
}
