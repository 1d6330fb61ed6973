// A temporary user folder with a Scripts folder, scripts that log what they
// see into a file, and MIDI helpers for the MIDI scripting tests.
#pragma once

#include "tests/support/TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace midi_test {

using vsthost::Plugin;

// A script that prints several values, nothing, and a value whose text is
// not a string: what each system's debugger channel must receive.
constexpr char kPrintScript[] = R"(
print('text', 1, nil, true)
print()
local ok, err = pcall(print, setmetatable({}, {__tostring = function() return {} end}))
log(err)
)";

class MidiScripts : public ::testing::Test {
protected:
    MidiScripts();

    // Writes Scripts/<name>; the text is preceded by a prelude defining
    // log(...), which appends its arguments (tostring'ed, space-separated)
    // as one line to the log file.
    void writeScript(const std::string &name, const std::string &text);
    // Writes Scripts/<name> with exactly these bytes.
    void writeRawScript(const std::string &name, const std::string &bytes);
    std::string scriptPath(const std::string &name) const;
    std::string scriptsFolder() const;

    std::vector<std::string> logLines() const;
    // Waits until the log has at least n lines (false after timeoutMs).
    bool waitForLines(std::size_t n, int timeoutMs = 5000) const;
    // Waits until some line equals text.
    bool waitForLine(const std::string &text, int timeoutMs = 5000) const;
    void clearLog() const;

    // Loads the plug-in; standard output of the construction into loadOutput.
    std::unique_ptr<Plugin> load();

    // Points APPDATA at folder (made, with its Scripts folder) instead of
    // home; scripts written afterwards go there.
    void useUserFolder(const std::string &folder);

    testing_support::TempDir home;
    testing_support::ScopedEnv appData;
    std::unique_ptr<testing_support::ScopedEnv> otherAppData;
    std::string userFolder;
    std::string logPath;
    std::string loadOutput;
};

// MIDI messages at frame 0.
std::vector<Plugin::Midi> midi(std::initializer_list<std::vector<int>> messages);
inline std::vector<Plugin::Midi> cc(int channel, int controller, int value) {
    return midi({{0xB0 | (channel - 1), controller, value}});
}
inline std::vector<Plugin::Midi> noteOn(int channel, int note, int velocity) {
    return midi({{0x90 | (channel - 1), note, velocity}});
}

// Sends events the way a host's next blocks bring them: when a timer
// callback holds the interpreter, events wait in the plug-in's queue until a
// later block, so a few empty event blocks follow (about 100 ms).
void sendThroughBlocks(Plugin &plugin, const std::vector<Plugin::Midi> &events);

// Runs body on another thread and waits at most timeoutMs for it; a body
// that does not return ends the test program (it cannot be cancelled).
void returnsWithin(int timeoutMs, const std::function<void()> &body);

} // namespace midi_test
