#include "tests/midi/MidiTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace midi_test {

MidiScripts::MidiScripts() : appData("APPDATA", home.path()), userFolder(home.path()), logPath(home.file("log.txt")) {
    testing_support::makeFolders(scriptsFolder());
}

void MidiScripts::useUserFolder(const std::string &folder) {
    otherAppData = std::make_unique<testing_support::ScopedEnv>("APPDATA", folder);
    userFolder = folder;
    testing_support::makeFolders(scriptsFolder());
}

std::string MidiScripts::scriptsFolder() const {
    return userFolder + testing_support::nativePath("/Quorvane/Murmelo/Scripts");
}

std::string MidiScripts::scriptPath(const std::string &name) const {
    return scriptsFolder() + testing_support::kSeparator + name;
}

void MidiScripts::writeRawScript(const std::string &name, const std::string &bytes) {
    testing_support::writeFile(scriptPath(name), bytes);
}

void MidiScripts::writeScript(const std::string &name, const std::string &text) {
    const std::string prelude = "local LOG = [[" + logPath +
                                "]]\n"
                                "function log(...)\n"
                                "  local parts = {}\n"
                                "  for i = 1, select('#', ...) do parts[#parts + 1] = tostring((select(i, ...))) end\n"
                                "  local f = assert(io.open(LOG, 'a'))\n"
                                "  f:write(table.concat(parts, ' '), '\\n')\n"
                                "  f:close()\n"
                                "end\n";
    writeRawScript(name, prelude + text);
}

std::vector<std::string> MidiScripts::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(std::filesystem::u8path(logPath));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

bool MidiScripts::waitForLines(std::size_t n, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (logLines().size() < n) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool MidiScripts::waitForLine(const std::string &text, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const std::string &line : logLines())
            if (line == text) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void MidiScripts::clearLog() const {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(logPath), ignored);
}

std::unique_ptr<Plugin> MidiScripts::load() {
    ::testing::internal::CaptureStdout();
    auto plugin = testing_support::loadMurmelo();
    loadOutput = ::testing::internal::GetCapturedStdout();
    return plugin;
}

void sendThroughBlocks(Plugin &plugin, const std::vector<Plugin::Midi> &events) {
    plugin.sendMidi(events);
    for (int block = 0; block < 20; ++block) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        plugin.sendMidi({});
    }
}

std::vector<Plugin::Midi> midi(std::initializer_list<std::vector<int>> messages) {
    std::vector<Plugin::Midi> out;
    for (const std::vector<int> &m : messages) {
        Plugin::Midi e{0, {0, 0, 0}};
        for (std::size_t i = 0; i < m.size() && i < 3; ++i)
            e.bytes[i] = static_cast<unsigned char>(m[i]);
        out.push_back(e);
    }
    return out;
}

void returnsWithin(int timeoutMs, const std::function<void()> &body) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::timeout) {
        ADD_FAILURE() << "did not return within " << timeoutMs << " ms";
        std::fflush(stdout);
        std::_Exit(1);
    }
    done.get();
}

} // namespace midi_test
