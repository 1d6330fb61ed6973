// Which scripts run, in which order, and what a broken script costs.
#include "tests/midi/MidiTestSupport.h"

#include <algorithm>
#include <filesystem>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

// The user scripts in the order the file system lists them.
Lines enumerationOrder(const std::string &folder) {
    Lines names;
    for (const std::string &name : testing_support::folderEntries(folder))
        if (std::filesystem::u8path(name).extension() == ".lua") names.push_back(name);
    return names;
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// How Lua names a script in its messages: by its path, of which the end
// "<separator>Scripts<separator>name" always shows.
std::string chunk(const std::string &name) {
    const char s = testing_support::kSeparator;
    return s + std::string("Scripts") + s + name;
}

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

// The user folder and the script's own name beyond ASCII: the script is
// listed, read and run like any other, and its messages name it.
TEST_F(MidiScripts, ScriptsWithNamesBeyondAsciiRun) {
    useUserFolder(home.file("Sk\xc3\xafns \xce\xa9")); // "Skïns Ω"
    writeScript("na\xc3\xafve.lua", "log('na\xc3\xafve ran')\n");
    writeScript("\xe5\xa4\x9c.lua", "requestCC(60, function() log('night handler') end)\nerror('broken')\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(logLines(), (Lines{"na\xc3\xafve ran"}));
    EXPECT_TRUE(contains(loadOutput, "\xe5\xa4\x9c.lua:10: broken\n")) << loadOutput; // "夜.lua"
    plugin->sendMidi(cc(1, 60, 1));
    EXPECT_EQ(logLines(), (Lines{"na\xc3\xafve ran", "night handler"}));
}

// A first line starting with '#' (as in "#!/usr/bin/env lua") is skipped,
// and the lines after it keep their numbers.
TEST_F(MidiScripts, AFirstLineStartingWithAHashIsSkipped) {
    writeRawScript("hash.lua", "#!/usr/bin/env lua\nerror('on line 2')\n");
    writeRawScript("only.lua", "# nothing else");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(contains(loadOutput, chunk("hash.lua:2: on line 2\n"))) << loadOutput;
    EXPECT_FALSE(contains(loadOutput, "only.lua")) << loadOutput;
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
    EXPECT_TRUE(contains(loadOutput, chunk("a.lua:10: broken at load\n"))) << loadOutput;
    EXPECT_TRUE(contains(loadOutput, chunk("c.lua:9: '=' expected near 'is'\n"))) << loadOutput;
    EXPECT_TRUE(contains(loadOutput, chunk("d.lua: bad header in precompiled chunk\n")));
    EXPECT_TRUE(contains(loadOutput, "@@@ failed to run file: second argument to requestCC() is not a function\n"))
        << loadOutput;
    EXPECT_TRUE(contains(loadOutput, chunk("f.lua:10: attempt to perform arithmetic on a nil value\n"))) << loadOutput;
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

} // namespace
