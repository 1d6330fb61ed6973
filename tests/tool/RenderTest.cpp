// murmelo render, run as a command on real files: the demo, mono, stereo and
// multichannel input, formats, settings in the parameters' own units, the
// tail, the progress bar and every kind of bad input.
#include "core/Parameters.h"
#include "tests/support/TestSupport.h"
#include "tool/Audio.h"
#include "tool/Tool.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace testing_support;

namespace {

struct Sound {
    int rate = 0, channels = 0;
    std::vector<float> samples; // interleaved
    sf_count_t frames() const { return channels ? static_cast<sf_count_t>(samples.size()) / channels : 0; }
    float at(sf_count_t frame, int channel) const { return samples[frame * channels + channel]; }
};

bool writeSound(const std::string &path, const Sound &s, int format) {
    SF_INFO info{};
    info.samplerate = s.rate;
    info.channels = s.channels;
    info.format = format;
    SNDFILE *f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_writef_float(f, s.samples.data(), s.frames());
    return sf_close(f) == 0;
}

Sound readSound(const std::string &path, int *format = nullptr) {
    SF_INFO info{};
    Sound s;
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return s;
    s.rate = info.samplerate;
    s.channels = info.channels;
    s.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(f, s.samples.data(), info.frames);
    sf_close(f);
    if (format) *format = info.format;
    return s;
}

Sound tone(int channels, int frames, int rate = 44100) {
    Sound s{rate, channels, {}};
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s.samples.push_back(0.5f * static_cast<float>(std::sin(0.05 * i * (c + 1))));
    return s;
}

// Runs the tool; returns the exit status, with standard output and error in out.
int render(const std::string &arguments, std::string &out) {
    return runCommand("'" + toolPath() + "' render " + arguments + " 2>&1", out);
}

std::string quoted(const std::string &path) { return "'" + path + "'"; }

TEST(Render, TheDemoThroughChorusyIsWhatAHostHears) {
    TempDir dir;
    std::string out;
    const std::string file = dir.file("demo.wav");
    ASSERT_EQ(render(quoted(file) + " --program Chorusy --tail 0", out), 0) << out;
    EXPECT_NE(out.find(file), std::string::npos) << out;
    EXPECT_NE(out.find("Chorusy"), std::string::npos) << out;
    const Sound s = readSound(file);
    ASSERT_EQ(s.channels, 2);
    EXPECT_EQ(s.rate, 44100);
    // The same demo through the plug-in in blocks of 512, as the tool does.
    std::vector<float> left, right;
    tool::synthesiseDemo(44100, left, right);
    ASSERT_EQ(s.frames(), static_cast<sf_count_t>(left.size()));
    auto plugin = loadMurmelo();
    ASSERT_TRUE(plugin);
    plugin->setProgram(8);
    plugin->start(44100.f, 512);
    double difference = 0, energy = 0, width = 0;
    std::vector<float> l(512), r(512);
    for (std::size_t done = 0; done < left.size(); done += 512) {
        const int n = static_cast<int>(std::min<std::size_t>(512, left.size() - done));
        float *i[2] = {left.data() + done, right.data() + done}, *o[2] = {l.data(), r.data()};
        plugin->process(i, o, n);
        for (int k = 0; k < n; ++k) {
            difference += std::fabs(s.at(done + k, 0) - l[k]) + std::fabs(s.at(done + k, 1) - r[k]);
            energy += l[k] * l[k];
            width += (l[k] - r[k]) * (l[k] - r[k]);
        }
    }
    EXPECT_EQ(difference, 0.0);
    EXPECT_GT(energy / left.size(), 1e-3); // not silent
    EXPECT_GT(width / left.size(), 1e-4);  // "Spread" makes it stereo
}

TEST(Render, MonoInputIsTwoIdenticalChannels) {
    TempDir dir;
    ASSERT_TRUE(writeSound(dir.file("mono.wav"), tone(1, 30000), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    std::string out;
    ASSERT_EQ(render(quoted(dir.file("mono.wav")) + " " + quoted(dir.file("out.flac")) +
                         " --program Flangey --set Spread=0 --tail 0.5",
                     out),
              0)
        << out;
    int format = 0;
    const Sound s = readSound(dir.file("out.flac"), &format);
    EXPECT_EQ(format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    ASSERT_EQ(s.channels, 2);
    EXPECT_EQ(s.frames(), 30000 + 22050);
    float largest = 0.f;
    for (sf_count_t i = 0; i < s.frames(); ++i) {
        ASSERT_EQ(s.at(i, 0), s.at(i, 1)) << i;
        largest = std::max(largest, std::fabs(s.at(i, 0)));
    }
    EXPECT_GT(largest, 0.1f);
}

TEST(Render, StereoAiffAtItsOwnRate) {
    TempDir dir;
    ASSERT_TRUE(writeSound(dir.file("in.aiff"), tone(2, 20000, 48000), SF_FORMAT_AIFF | SF_FORMAT_PCM_24));
    std::string out;
    ASSERT_EQ(
        render(quoted(dir.file("in.aiff")) + " " + quoted(dir.file("out.aif")) + " --program 2 --block 100 --tail 0",
               out),
        0)
        << out;
    int format = 0;
    const Sound s = readSound(dir.file("out.aif"), &format);
    EXPECT_EQ(format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    EXPECT_EQ(s.rate, 48000);
    EXPECT_EQ(s.frames(), 20000);
    EXPECT_NE(s.at(10000, 0), s.at(10000, 1)); // the channels were not mixed
}

TEST(Render, TheDefaultTailCoversTheLongestDelay) {
    TempDir dir;
    Sound click{44100, 1, std::vector<float>(4410, 0.f)};
    click.samples[0] = 1.f;
    ASSERT_TRUE(writeSound(dir.file("click.wav"), click, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    std::string out;
    // "Simple Delay": echoes every 12304 frames, 71 % feedback.
    ASSERT_EQ(
        render(quoted(dir.file("click.wav")) + " " + quoted(dir.file("out.wav")) + " --program \"simple delay\"", out),
        0)
        << out;
    const Sound s = readSound(dir.file("out.wav"));
    ASSERT_GT(s.frames(), 4410 + 65536);
    EXPECT_LT(s.frames(), 44100 * 30);
    sf_count_t lastLoud = 0;
    for (sf_count_t i = 0; i < s.frames(); ++i)
        if (std::fabs(s.at(i, 0)) >= 1e-4f) lastLoud = i;
    EXPECT_GT(lastLoud, 12304 * 20); // many echoes made it
    EXPECT_GE(s.frames() - lastLoud, 65536);
    EXPECT_NEAR(s.at(12303, 0) + s.at(12304, 0), 1.f, 0.01f); // the first echo, 12303.9 frames on
}

TEST(Render, ListsThePrograms) {
    std::string out;
    ASSERT_EQ(render("--list-programs", out), 0);
    EXPECT_NE(out.find(" 8  Chorusy\n"), std::string::npos) << out;
    EXPECT_NE(out.find("17  Thicker\n"), std::string::npos) << out;
}

TEST(Render, DrawsAProgressBarOnATerminal) {
    std::string out;
    if (runCommand("command -v script", out) != 0) GTEST_SKIP() << "no script(1) to make a terminal";
    TempDir dir;
    const std::string command = quoted(toolPath()) + " render " + quoted(dir.file("out.wav"));
    ASSERT_EQ(runCommand("script -qfec \"" + command + "\" /dev/null", out), 0) << out;
    EXPECT_NE(out.find("rendering ["), std::string::npos) << out;
    ASSERT_EQ(render(quoted(dir.file("out.wav")), out), 0); // not a terminal: no bar
    EXPECT_EQ(out.find("rendering ["), std::string::npos) << out;
}

TEST(Render, BadInputGetsAClearErrorAndLosesNothing) {
    TempDir dir;
    ASSERT_TRUE(writeSound(dir.file("quad.wav"), tone(4, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    ASSERT_TRUE(writeSound(dir.file("in.wav"), tone(2, 1000), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    { std::ofstream(dir.file("keep.wav")) << "precious"; }
    const std::string keep = quoted(dir.file("keep.wav")), in = quoted(dir.file("in.wav"));
    const struct {
        std::string arguments;
        int status;
        const char *message;
    } cases[] = {
        {quoted(dir.file("quad.wav")) + " " + keep, 1, "has 4 channels"},
        {quoted(dir.file("missing.wav")) + " " + keep, 1, "cannot read"},
        {in + " " + keep + " --rate 48000", 1, "--rate applies to the demo"},
        {in + " " + quoted(dir.file("out.mp9")), 1, "cannot tell the format"},
        {keep + " --program Nonesuch", 2, "no program \"Nonesuch\""},
        {keep + " --program 18", 2, "no program \"18\""},
        {keep + " --set Shape", 2, "NAME=VALUE"},
        {keep + " --set Wobble=3", 2, "no parameter \"Wobble\""},
        {keep + " --set \"Speed (fine)=30\"", 2, "takes 0.5 to 20 Hz"},
        {keep + " --set \"Feedback=much\"", 2, "not a value of \"Feedback\""},
        {keep + " --block 0", 2, "--block wants"},
        {keep + " --rate 1000", 2, "--rate wants"},
        {keep + " --tail -1", 2, "--tail wants"},
        {keep + " --bogus", 2, "unknown option"},
        {"", 2, "no output file"},
        {in + " " + keep + " third.wav", 2, "too many files"},
        {keep + " --plugin " + quoted(dir.file("none.so")), 1, "none.so"},
    };
    for (const auto &c : cases) {
        std::string out;
        EXPECT_EQ(render(c.arguments, out), c.status) << c.arguments << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.arguments << "\n" << out;
    }
    std::ifstream kept(dir.file("keep.wav"));
    std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "precious");
}

TEST(Render, SettingsAreReadInTheParametersOwnUnits) {
    int index = -1;
    float normalised = -1.f;
    std::string error;
    ASSERT_TRUE(tool::parseSetting("Shape=Tri", index, normalised, error)) << error;
    EXPECT_EQ(index, murmelo::kShape);
    EXPECT_EQ(normalised, 0.75f);
    ASSERT_TRUE(tool::parseSetting(" speed (FINE) = 20 hz ", index, normalised, error)) << error;
    EXPECT_EQ(index, murmelo::kSpeedFine);
    EXPECT_FLOAT_EQ(normalised, 1.f);
    ASSERT_TRUE(tool::parseSetting("Feedback=-100%", index, normalised, error)) << error;
    EXPECT_EQ(normalised, 0.f);
    ASSERT_TRUE(tool::parseSetting("Speed (coarse)=off", index, normalised, error)) << error;
    EXPECT_EQ(normalised, 0.f);
    ASSERT_TRUE(tool::parseSetting("Speed (superfine)=0", index, normalised, error)) << error;
    EXPECT_EQ(normalised, 0.f);
    ASSERT_TRUE(tool::parseSetting("10=50", index, normalised, error)) << error; // by index
    EXPECT_EQ(index, murmelo::kFeedback);
    EXPECT_FLOAT_EQ(murmelo::toRealValue(index, normalised), 50.f);
    ASSERT_TRUE(tool::parseSetting("Speed LFO Speed=2", index, normalised, error)) << error;
    EXPECT_NEAR(murmelo::toRealValue(index, normalised), 2.f, 1e-5);
    EXPECT_FALSE(tool::parseSetting("Speed LFO Speed=0.01", index, normalised, error));
    EXPECT_FALSE(tool::parseSetting("Depth (fine)=5 Hz", index, normalised, error));
    EXPECT_FALSE(tool::parseSetting("Dry Level=nan", index, normalised, error));
}

TEST(Render, AFailedWriteNamesTheOutputTheUserGave) {
    TempDir dir;
    std::string out;
    const std::string nowhere = dir.file("no/such/folder/out.wav");
    EXPECT_EQ(render(quoted(nowhere) + " --tail 0", out), 1) << out;
    EXPECT_NE(out.find("cannot write '" + nowhere + "'"), std::string::npos) << out;
    EXPECT_EQ(out.find(".partial"), std::string::npos) << out;

    // A file-size limit makes the writes themselves fail part-way.
    const std::string file = dir.file("big.wav");
    const std::string limited =
        "(trap '' XFSZ; ulimit -f 16; " + quoted(toolPath()) + " render " + quoted(file) + " --tail 0) 2>&1";
    EXPECT_EQ(runCommand(limited, out), 1) << out;
    EXPECT_NE(out.find("cannot write '" + file + "'"), std::string::npos) << out;
    EXPECT_EQ(out.find(".partial"), std::string::npos) << out;
    EXPECT_NE(runCommand("ls " + quoted(dir.path()) + " | grep big", out), 0) << "nothing left behind: " << out;
}

TEST(Tool, EveryCommandAnswersHelpAndTheToolItsVersion) {
    for (const std::string command : {"info", "render", "serve", "snapshot"}) {
        std::string out; // standard output only: help is not an error
        EXPECT_EQ(runCommand(quoted(toolPath()) + " " + command + " --help", out), 0) << command;
        EXPECT_EQ(out.rfind("usage: murmelo " + command + " ", 0), 0u) << out;
        EXPECT_EQ(out.find("unknown option"), std::string::npos) << out;
        EXPECT_EQ(runCommand(quoted(toolPath()) + " " + command + " -h 2>/dev/null", out), 0) << command;
    }
    std::string out;
    EXPECT_EQ(runCommand(quoted(toolPath()) + " render out.wav --program Chorusy --help", out), 0);
    EXPECT_EQ(out.rfind("usage: murmelo render", 0), 0u) << "help wins over the other arguments: " << out;
    EXPECT_EQ(runCommand(quoted(toolPath()) + " --version", out), 0);
    EXPECT_EQ(out, "murmelo 1.1.0\n");
    EXPECT_EQ(runCommand(quoted(toolPath()) + " --help", out), 0);
    EXPECT_NE(out.find("murmelo --version"), std::string::npos) << out;
}

} // namespace
