// MIDI scripts where Linux differs: permission bits, and print's text on
// standard error (the debugger channel there).
#include "tests/midi/MidiTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(MidiScripts, UnreadableScriptsAreSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    writeScript("locked.lua", "log('locked ran')\n");
    chmod(scriptPath("locked.lua").c_str(), 0);
    writeScript("open.lua", "log('open ran')\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(logLines(), (Lines{"open ran"}));
}

TEST_F(MidiScripts, PrintWritesToTheDebuggerChannel) {
    writeScript("print.lua", kPrintScript);
    ::testing::internal::CaptureStderr();
    auto plugin = load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(contains(err, "text\t1\tnil\ttrue\n\n")) << err;
    EXPECT_EQ(logLines(), (Lines{"'tostring' must return a string to 'print'"}));
    EXPECT_FALSE(contains(loadOutput, "text"));
}

} // namespace
