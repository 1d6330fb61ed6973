// Files compiled into the plug-in and files read from disk.
#include "core/Resources.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

using namespace murmelo;
using testing_support::TempDir;

namespace {

std::string text(const DataBuffer &buffer) { return std::string(buffer.chars(), buffer.length()); }

} // namespace

TEST(EmbeddedFiles, PreferencesPanelIsTheFileFromTheSourceTree) {
    const DataBuffer embedded = loadResource(kResourcePreferencesPanel);
    const DataBuffer source = readFile(MURMELO_SOURCE_DIR "/resources/prefs.panel");
    ASSERT_FALSE(source.empty());
    ASSERT_EQ(embedded.length(), source.length());
    EXPECT_TRUE(std::equal(embedded.data(), embedded.data() + embedded.length(), source.data()));
    EXPECT_FALSE(embedded.ownsData());
    EXPECT_EQ(loadResource(kResourcePreferencesPanel).data(), embedded.data()) << "the same bytes, not a copy";

    // The module a host loads carries the same bytes.
    const DataBuffer module = readFile(testing_support::pluginPath());
    ASSERT_FALSE(module.empty());
    EXPECT_NE(
        std::search(module.data(), module.data() + module.length(), source.data(), source.data() + source.length()),
        module.data() + module.length());
}

// Every file the build embeds, byte for byte as it lies in the source tree
// (the font where the build found it).
TEST(EmbeddedFiles, EveryFileIsTheFileItWasBuiltFrom) {
    const struct {
        int id;
        std::string path;
    } files[] = {
        {kResourceKnobVertexProgram, MURMELO_SOURCE_DIR "/resources/knob.vp"},
        {kResourcePreferencesPanel, MURMELO_SOURCE_DIR "/resources/prefs.panel"},
        {kResourceGuiLua, MURMELO_SOURCE_DIR "/resources/gui.lua"},
        {kResourceMidiLua, MURMELO_SOURCE_DIR "/resources/midi.lua"},
        {kResourceFallbackFont, MURMELO_FALLBACK_FONT_PATH},
    };
    for (const auto &f : files) {
        SCOPED_TRACE(::testing::Message() << f.id << " " << f.path);
        const DataBuffer source = readFile(f.path);
        ASSERT_FALSE(source.empty());
        const DataBuffer embedded = loadResource(f.id);
        ASSERT_EQ(embedded.length(), source.length());
        EXPECT_TRUE(std::equal(embedded.data(), embedded.data() + embedded.length(), source.data()));
        EXPECT_FALSE(embedded.ownsData());
    }
    EXPECT_GT(loadResource(kResourceFallbackFont).length(), 100000u) << "a whole font";
}

// Reported as one "Error" line; on Windows the message box as well, which
// cannot open without a display and must not hold the caller there.
TEST(EmbeddedFiles, MissingIdentifierGivesAnEmptyBufferAndOneLine) {
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const DataBuffer missing = loadResource(999);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(missing.data(), nullptr);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_EQ(said.rfind("Error: ", 0), 0u) << said;
    EXPECT_EQ(said.back(), '\n');
    EXPECT_NE(said.find("999"), std::string::npos) << said;
    EXPECT_LT(seconds, 5.0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadResource(0).data()) << "0 ends the table, it is no file";
    const std::string saidForZero = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(saidForZero.begin(), saidForZero.end(), '\n'), 1) << saidForZero;
}

TEST(ReadFile, WholeFilesOwnedAndEmptyWhenUnreadable) {
    TempDir dir;
    std::string bytes = "first line\n";
    bytes += std::string("\0\xff\x01 binary", 10);
    testing_support::writeFile(dir.file("data.bin"), bytes);
    const DataBuffer read = readFile(dir.file("data.bin"));
    EXPECT_TRUE(read.ownsData());
    EXPECT_EQ(text(read), bytes);
    EXPECT_EQ(read.chars()[read.length()], '\0');

    testing_support::makeFolders(dir.file("folder"));
    testing_support::writeFile(dir.file("empty"), "");
    EXPECT_TRUE(readFile(dir.file("missing")).empty());
    EXPECT_TRUE(readFile(dir.file("missing/below")).empty());
    EXPECT_TRUE(readFile(dir.file("folder")).empty());
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
