// murmelo render --midi: a standard MIDI file's messages reach the plug-in
// at their sample positions and move its parameters through the default
// MIDI script.
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <smf.h>
#include <sndfile.h>

using namespace testing_support;

namespace {

struct Cc {
    double seconds;
    int controller, value;
};

bool writeMidiFile(const std::string &path, const std::vector<Cc> &messages) {
    smf_t *smf = smf_new();
    smf_track_t *track = smf_track_new();
    smf_add_track(smf, track);
    for (const Cc &m : messages)
        smf_track_add_event_seconds(track, smf_event_new_from_bytes(0xB0, m.controller, m.value), m.seconds);
    const bool ok = smf_save(smf, path.c_str()) == 0;
    smf_delete(smf);
    return ok;
}

std::vector<float> readSamples(const std::string &path) {
    SF_INFO info{};
    std::vector<float> samples;
    if (SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info)) {
        samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
        sf_readf_float(f, samples.data(), info.frames);
        sf_close(f);
    }
    return samples;
}

class RenderMidi : public ::testing::Test {
protected:
    // No user scripts: the default MIDI script does the mapping.
    RenderMidi() : appData("APPDATA", home.path()) {}

    int render(const std::string &arguments, std::string &out) {
        return runCommand("'" + toolPath() + "' render " + arguments + " 2>&1", out);
    }
    std::string file(const std::string &name) const { return "'" + dir.file(name) + "'"; }

    TempDir home, dir;
    ScopedEnv appData;
};

TEST_F(RenderMidi, ControllersAtTheStartActLikeSettings) {
    ASSERT_TRUE(writeMidiFile(dir.file("mix.mid"), {{0, 0, 127}, {0, 2, 0}})); // Dry Level 1, Effect Level 0
    std::string out;
    ASSERT_EQ(render(file("midi.wav") + " --tail 0 --midi " + file("mix.mid"), out), 0) << out;
    ASSERT_EQ(render(file("set.wav") + " --tail 0 --set 'Dry Level=1' --set 'Effect Level=0'", out), 0) << out;
    ASSERT_EQ(render(file("plain.wav") + " --tail 0", out), 0) << out;
    const std::vector<float> midi = readSamples(dir.file("midi.wav"));
    ASSERT_FALSE(midi.empty());
    EXPECT_EQ(midi, readSamples(dir.file("set.wav")));
    EXPECT_NE(midi, readSamples(dir.file("plain.wav")));
}

TEST_F(RenderMidi, ALaterControllerTakesEffectAtItsBlock) {
    // Feedback to +100 at 0.5 s: frame 22050 lies in the block at 22016.
    ASSERT_TRUE(writeMidiFile(dir.file("fb.mid"), {{0.5, 14, 127}}));
    std::string out;
    ASSERT_EQ(render(file("midi.wav") + " --tail 0 --program Chorusy --midi " + file("fb.mid"), out), 0) << out;
    ASSERT_EQ(render(file("plain.wav") + " --tail 0 --program Chorusy", out), 0) << out;
    const std::vector<float> midi = readSamples(dir.file("midi.wav")), plain = readSamples(dir.file("plain.wav"));
    ASSERT_EQ(midi.size(), plain.size());
    ASSERT_GT(midi.size(), 2u * 44100);
    const std::size_t changeAt = 2 * 22016; // interleaved stereo
    EXPECT_TRUE(std::equal(midi.begin(), midi.begin() + changeAt, plain.begin()));
    EXPECT_FALSE(std::equal(midi.begin() + changeAt, midi.end(), plain.begin() + changeAt));
}

TEST_F(RenderMidi, TheAutomaticTailLastsToTheLastEvent) {
    ASSERT_TRUE(writeMidiFile(dir.file("late.mid"), {{35.0, 14, 64}}));
    std::string out;
    ASSERT_EQ(render(file("late.wav") + " --midi " + file("late.mid"), out), 0) << out;
    EXPECT_GT(readSamples(dir.file("late.wav")).size(), 2u * 35 * 44100);
}

TEST_F(RenderMidi, BadMidiFilesGetAClearError) {
    std::ofstream(dir.file("junk.mid")) << "MThd but not really a MIDI file";
    std::string out;
    EXPECT_EQ(render(file("a.wav") + " --midi " + file("missing.mid"), out), 1);
    EXPECT_NE(out.find("cannot read the MIDI file"), std::string::npos) << out;
    EXPECT_EQ(render(file("b.wav") + " --midi " + file("junk.mid"), out), 1);
    EXPECT_NE(out.find("cannot read the MIDI file"), std::string::npos) << out;
    EXPECT_EQ(render(file("c.wav") + " --midi", out), 2);
    std::ifstream a(dir.file("a.wav")), b(dir.file("b.wav"));
    EXPECT_FALSE(a.good() || b.good()) << "no output is written";
}

} // namespace
