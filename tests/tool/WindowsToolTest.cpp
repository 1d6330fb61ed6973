// murmelo.exe as a Windows user meets it: the commands of this build, what
// it refuses and why, and files with names outside the ANSI code page,
// which reach it through cmd and the wide command line.
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h: libsndfile's wide-character open needs its types.
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <sndfile.h>

using namespace testing_support;

namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

// Runs murmelo.exe through cmd; standard output and error in out.
int tool(const std::string &arguments, std::string &out) {
    // cmd takes the whole line in quotes when it starts with a quote.
    return runCommand("\"" + quoted(toolPath()) + " " + arguments + " 2>&1\"", out);
}

struct WavInfo {
    bool opened = false;
    int rate = 0, channels = 0, format = 0;
    sf_count_t frames = 0;
    std::vector<float> samples;
};

WavInfo readWav(const std::string &path) {
    WavInfo w;
    SF_INFO info{};
    SNDFILE *f = sf_wchar_open(fs::u8path(path).c_str(), SFM_READ, &info);
    if (!f) return w;
    w.opened = true;
    w.rate = info.samplerate;
    w.channels = info.channels;
    w.format = info.format;
    w.frames = info.frames;
    w.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, w.samples.data(), info.frames);
    sf_close(f);
    return w;
}

TEST(WindowsTool, HelpListsThisBuildsCommandsOnly) {
    std::string out;
    ASSERT_EQ(tool("--help", out), 0) << out;
    for (const char *command : {"  info ", "  render ", "  serve "})
        EXPECT_NE(out.find(command), std::string::npos) << command << "\n" << out;
    EXPECT_EQ(out.find("snapshot"), std::string::npos) << "no editor, no snapshot:\n" << out;
    EXPECT_EQ(out.find("[--midi"), std::string::npos) << out;
    EXPECT_NE(out.find("no --midi: this build reads no MIDI files"), std::string::npos) << out;
    EXPECT_EQ(tool("snapshot out.png", out), 2) << out;
    EXPECT_NE(out.find("unknown command 'snapshot'"), std::string::npos) << out;
    ASSERT_EQ(tool("--version", out), 0);
    EXPECT_EQ(out, "murmelo " MURMELO_PROJECT_VERSION "\r\n");
}

TEST(WindowsTool, RenderRefusesWhatThisBuildCannotDo) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(tool("render " + quoted(dir.file("out.wav")) + " --midi song.mid", out), 2) << out;
    EXPECT_NE(out.find("unknown option '--midi' (this build reads no MIDI files)"), std::string::npos) << out;
    EXPECT_EQ(tool("render " + quoted(dir.file("out.flac")) + " --tail 0", out), 1) << out;
    EXPECT_NE(out.find("this build writes no such files; name it .wav, .aiff or .aif"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(fs::u8path(dir.file("out.flac")))) << "nothing written";
    EXPECT_FALSE(fs::exists(fs::u8path(dir.file("out.flac.partial"))));
}

TEST(WindowsTool, RendersToAndFromNamesBeyondTheCodePage) {
    TempDir dir;
    const std::string first = dir.file(u8"Grüße ø \u263A.wav"), second = dir.file(u8"\u97F3.aiff");
    std::string out;
    ASSERT_EQ(tool("render " + quoted(first) + " --tail 0", out), 0) << out;
    const WavInfo dry = readWav(first);
    ASSERT_TRUE(dry.opened) << out;
    EXPECT_EQ(dry.rate, 44100);
    EXPECT_EQ(dry.channels, 2);
    EXPECT_EQ(dry.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(dry.frames, 6 * 44100); // the demo, no tail

    // The rendered file as input, and an existing output replaced.
    ASSERT_EQ(tool("render " + quoted(first) + " " + quoted(second) + " --program Chorusy --tail 0", out), 0) << out;
    ASSERT_EQ(tool("render " + quoted(second) + " " + quoted(first) + " --program 0 --tail 0.5", out), 0) << out;
    const WavInfo aiff = readWav(second), again = readWav(first);
    ASSERT_TRUE(aiff.opened && again.opened);
    EXPECT_EQ(aiff.format, SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    EXPECT_EQ(aiff.frames, dry.frames);
    EXPECT_EQ(again.frames, dry.frames + 22050);
    EXPECT_NE(aiff.samples, std::vector<float>(aiff.samples.size(), 0.f));
    std::size_t files = 0;
    for (const auto &entry : fs::directory_iterator(fs::u8path(dir.path()))) {
        ++files;
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path().u8string();
    }
    EXPECT_EQ(files, 2u);
}

} // namespace
