// Which scripts run, in which order, and what a broken script costs.
#include "tests/midi/MidiTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

// The user scripts in the order the file system lists them.
Lines enumerationOrder(const std::string &folder) {
    Lines names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".lua") names.push_back(entry.path().filename().string());
    return names;
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(MidiScripts, UserMidiLuaReplacesTheDefaultAndRunsInItsPlace) {
    for (const char *name : {"alpha.lua", "midi.lua", "zeta.lua", "beta.lua", "m.lua"})
        writeScript(name, std::string("log('loaded ") + name + "')\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    Lines expected;
    for (const std::string &name : enumerationOrder(scriptsFolder()))
        expected.push_back("loaded " + name);
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(loadOutput, "");

    // The default CC map is not there: CC 14 leaves Feedback alone.
    const std::string before = plugin->parameterDisplay(10);
    plugin->sendMidi(cc(1, 14, 0));
    EXPECT_EQ(plugin->parameterDisplay(10), before);
}

TEST_F(MidiScripts, DefaultScriptRunsWhenNoUserFileIsNamedMidiLua) {
    writeScript("midi_extra.lua", "log('extra')\n");
    writeScript("my-midi.lua", "log('mine')\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(cc(1, 14, 0));
    EXPECT_EQ(plugin->parameterDisplay(10), "-100.000");
    EXPECT_EQ(logLines().size(), 2u);
}

TEST_F(MidiScripts, NoScriptsFolderAtAll) {
    testing_support::TempDir empty;
    testing_support::ScopedEnv elsewhere("APPDATA", empty.path());
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(loadOutput, "");
    plugin->sendMidi(cc(1, 14, 127));
    EXPECT_EQ(plugin->parameterDisplay(10), "100.0");
}

TEST_F(MidiScripts, ABrokenScriptKeepsItsEarlierRegistrationsAndOthersStillRun) {
    writeScript("a.lua", "requestCC(50, function() log('a handler') end)\nerror('broken at load')\nlog('unreached')\n");
    writeScript("b.lua", "log('b ran')\nrequestCC(50, function() log('b handler') end)\n");
    writeScript("c.lua", "this is not lua\n");
    writeRawScript("d.lua", std::string("\x1bLua\x51\x00garbage", 12));
    writeScript("e.lua", "requestCC(50, 'not a function')\n");
    writeScript("f.lua", "requestTimedCallback(0, function() log('timer from f') end)\nlocal x = nil + 1\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    // Lua shortens long chunk names from the left ("...p/murmelo-test-...").
    EXPECT_TRUE(contains(loadOutput, "/Scripts/a.lua:10: broken at load\n")) << loadOutput;
    EXPECT_TRUE(contains(loadOutput, "/Scripts/c.lua:9: '=' expected near 'is'\n")) << loadOutput;
    EXPECT_TRUE(contains(loadOutput, "/Scripts/d.lua: bad header in precompiled chunk\n"));
    EXPECT_TRUE(contains(loadOutput, "@@@ failed to run file: second argument to requestCC() is not a function\n"))
        << loadOutput;
    EXPECT_TRUE(contains(loadOutput, "/Scripts/f.lua:10: attempt to perform arithmetic on a nil value\n"))
        << loadOutput;
    int reports = 0;
    for (std::size_t at = 0; (at = loadOutput.find("@@@ failed to run file: ", at)) != std::string::npos; ++at)
        ++reports;
    EXPECT_EQ(reports, 5);
    EXPECT_TRUE(waitForLine("timer from f"));
    EXPECT_TRUE(waitForLine("b ran"));

    clearLog();
    plugin->sendMidi(cc(1, 50, 1));
    Lines handlers = logLines();
    std::sort(handlers.begin(), handlers.end());
    EXPECT_EQ(handlers, (Lines{"a handler", "b handler"}));
}

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
    writeScript("print.lua", R"(
print('text', 1, nil, true)
print()
local ok, err = pcall(print, setmetatable({}, {__tostring = function() return {} end}))
log(err)
)");
    ::testing::internal::CaptureStderr();
    auto plugin = load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(contains(err, "text\t1\tnil\ttrue\n\n")) << err;
    EXPECT_EQ(logLines(), (Lines{"'tostring' must return a string to 'print'"}));
    EXPECT_FALSE(contains(loadOutput, "text"));
}

} // namespace
