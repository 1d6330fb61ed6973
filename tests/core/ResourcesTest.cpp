// Files compiled into the plug-in and files read from disk.
#include "core/Resources.h"
#include "platform/IniText.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace murmelo;
using testing_support::TempDir;

namespace {

std::string text(const DataBuffer &buffer) { return std::string(buffer.chars(), buffer.length()); }

std::string panelValue(const platform::IniDocument &panel, const char *section, const char *name) {
    const std::string *value = panel.find(section, name);
    return value ? *value : "<absent>";
}

} // namespace

TEST(EmbeddedFiles, PreferencesPanelIsTheFileFromTheSourceTree) {
    const DataBuffer embedded = loadResource(kResourcePreferencesPanel);
    const DataBuffer source = readFile(MURMELO_SOURCE_DIR "/resources/prefs.panel");
    ASSERT_FALSE(source.empty());
    ASSERT_EQ(embedded.length(), source.length());
    EXPECT_TRUE(std::equal(embedded.data(), embedded.data() + embedded.length(), source.data()));
    EXPECT_FALSE(embedded.ownsData());
    EXPECT_EQ(embedded.chars()[embedded.length()], '\0'); // usable as a C string
    EXPECT_EQ(loadResource(kResourcePreferencesPanel).data(), embedded.data()) << "the same bytes, not a copy";

    // The module a host loads carries the same bytes.
    const DataBuffer module = readFile(testing_support::pluginPath());
    ASSERT_FALSE(module.empty());
    EXPECT_NE(
        std::search(module.data(), module.data() + module.length(), source.data(), source.data() + source.length()),
        module.data() + module.length());
}

TEST(EmbeddedFiles, PreferencesPanelDescribesTheDialog) {
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

TEST(EmbeddedFiles, MissingIdentifierGivesAnEmptyBufferAndOneLine) {
    testing::internal::CaptureStderr();
    const DataBuffer missing = loadResource(999);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(missing.data(), nullptr);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_EQ(said.back(), '\n');
    EXPECT_NE(said.find("999"), std::string::npos) << said;
    EXPECT_FALSE(loadResource(0).data()) << "0 ends the table, it is no file";
}

TEST(ReadFile, WholeFilesOwnedAndEmptyWhenUnreadable) {
    TempDir dir;
    std::string bytes = "first line\n";
    bytes += std::string("\0\xff\x01 binary", 10);
    std::ofstream(dir.file("data.bin"), std::ios::binary) << bytes;
    const DataBuffer read = readFile(dir.file("data.bin"));
    EXPECT_TRUE(read.ownsData());
    EXPECT_EQ(text(read), bytes);
    EXPECT_EQ(read.chars()[read.length()], '\0');

    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
    ASSERT_EQ(symlink("/nonexistent", dir.file("dangling").c_str()), 0);
    std::ofstream(dir.file("empty")).flush();
    EXPECT_TRUE(readFile(dir.file("missing")).empty());
    EXPECT_TRUE(readFile(dir.file("folder")).empty());
    EXPECT_TRUE(readFile(dir.file("dangling")).empty());
    EXPECT_TRUE(readFile(dir.file("empty")).empty());
    EXPECT_TRUE(readFile("").empty());

    DataBuffer moved = readFile(dir.file("data.bin"));
    DataBuffer target = std::move(moved);
    EXPECT_TRUE(moved.empty());
    EXPECT_FALSE(moved.ownsData());
    EXPECT_EQ(text(target), bytes);
    target = loadResource(kResourcePreferencesPanel); // frees the owned bytes, borrows the embedded ones
    EXPECT_FALSE(target.ownsData());
}
