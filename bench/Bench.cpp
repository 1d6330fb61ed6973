// murmelo-bench: what the sound costs.  Processes generated stereo audio at
// 44.1 kHz in blocks of 512 through processReplacing of the real plug-in
// (loaded through our host library), through each instruction-set variant of
// the rendering loop directly, through the literal per-sample loop (the
// yardstick), and through SoX's chorus and flanger when sox is installed.
// Prints nanoseconds per stereo frame, real-time factors and ratios.
#include "bench/BenchSupport.h"
#include "bench/LiteralMurmelo.h"
#include "core/KernelRender.h"
#include "host/VstHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace bench;

namespace {

constexpr float kRate = 44100.f;
constexpr int kBlock = 512;
// "Defaults" as real values, and the normalised "Depth LFO Depth" that turns
// its slow LFO on (real value 1), so every block crossfades.
const float kDefaults[16] = {0, 1, 0, 5, 0, 1, 0, 0, 0, 0, 0, 0.2f, 0, 0.5f, 0, 0};
constexpr int kDepthLfoDepth = 14;
constexpr float kDepthLfoOn = 0.2f;

struct Options {
    double seconds = 20;
    int repeats = 3;
    bool sox = true;
    bool kernelOnly = false;
    std::string plugin = MURMELO_PLUGIN_PATH;
};

bool parse(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue)
            o.seconds = std::atof(argv[++i]);
        else if (a == "--repeat" && hasValue)
            o.repeats = std::atoi(argv[++i]);
        else if (a == "--plugin" && hasValue)
            o.plugin = argv[++i];
        else if (a == "--no-sox")
            o.sox = false;
        else if (a == "--kernel")
            o.kernelOnly = true;
        else {
            std::fprintf(stderr,
                         "usage: murmelo-bench [--seconds S] [--repeat N] [--plugin PATH] [--no-sox] [--kernel]\n");
            return false;
        }
    }
    return o.seconds > 0 && o.repeats > 0;
}

// Steady: "Defaults" as it is.  Crossfading: its depth LFO on.
double pluginRun(vsthost::Plugin &p, const Stereo &in, Stereo &out, int program, bool lfo) {
    p.setProgram(program);
    if (lfo) p.setParameter(kDepthLfoDepth, kDepthLfoOn);
    const double ns = timeBlocks(in, out, kBlock, [&](float **i, float **o, int n) { p.process(i, o, n); });
    if (lfo) p.setParameter(kDepthLfoDepth, 0.f);
    return ns;
}

// Silence after a high-feedback program: half a second of the music first
// (untimed), then the timed silence.  Its tail used to crawl through
// subnormal floats; it must cost no more than the music does.
double tailRun(vsthost::Plugin &p, const Stereo &music, Stereo &out, int program) {
    p.setProgram(program);
    const int leadFrames = static_cast<int>(0.5f * kRate);
    Stereo lead(leadFrames < music.frames ? leadFrames : music.frames);
    std::copy(music.left.begin(), music.left.begin() + lead.frames, lead.left.begin());
    std::copy(music.right.begin(), music.right.begin() + lead.frames, lead.right.begin());
    Stereo leadOut(lead.frames);
    timeBlocks(lead, leadOut, kBlock, [&](float **i, float **o, int n) { p.process(i, o, n); });
    const Stereo silence(music.frames);
    return timeBlocks(silence, out, kBlock, [&](float **i, float **o, int n) { p.process(i, o, n); });
}

double literalRun(const Stereo &in, Stereo &out, bool lfo) {
    float values[16];
    std::memcpy(values, kDefaults, sizeof values);
    if (lfo) values[kDepthLfoDepth] = 1.f;
    literal::Model model;
    return timeBlocks(in, out, kBlock, [&](float **i, float **o, int n) { model.block(values, kRate, i, o, n); });
}

// The rendering loop alone, driven directly: the cost without block stage and host.
double variantRun(murmelo::RenderFunction render, const Stereo &in, Stereo &out, bool crossfade) {
    murmelo::BlockParams current{}, previous{};
    current.shapeWeights[0] = 1.f;
    current.sweep = 22.05f;
    current.speed = 5.f;
    previous = current;
    previous.sweep = 22.f;
    std::vector<float> delay[2], scratch[4];
    for (auto &d : delay)
        d.assign(65536, 0.f);
    for (auto &s : scratch)
        s.assign(kBlock, 0.f);
    float phase = 0.f;
    int w = 0;
    return timeBlocks(in, out, kBlock, [&](float **i, float **o, int n) {
        murmelo::KernelBlock b{&current, &previous, crossfade, kRate, 0.f, 1.f, n, 2, {}};
        for (int c = 0; c < 2; ++c)
            b.channels[c] = {i[c], o[c], delay[c].data(), w, phase, c, scratch[c].data(), scratch[2 + c].data()};
        render(b);
        phase = b.channels[0].phase;
        w = b.channels[0].writeIndex;
    });
}

struct Figures {
    double steady = 0, crossfade = 0, literalSteady = 0, literalCrossfade = 0, soxChorus = -1, soxFlanger = -1;
    double tightFlangeMusic = 0, tightFlangeTail = 0;
};

constexpr int kTightFlange = 16; // feedback 94 %: the longest-ringing loop

void runPlugin(vsthost::Plugin &p, const Options &o, const Stereo &in, Stereo &out, Figures &f) {
    f.steady = best(o.repeats, [&] { return pluginRun(p, in, out, 0, false); });
    f.crossfade = best(o.repeats, [&] { return pluginRun(p, in, out, 0, true); });
    report("plug-in, steady blocks (\"Defaults\")", f.steady, in.frames);
    report("plug-in, every block crossfading", f.crossfade, in.frames);
    std::printf("\nfactory programs through the plug-in:\n");
    for (int program = 0; program < 18; ++program) {
        const double ns = best(o.repeats, [&] { return pluginRun(p, in, out, program, false); });
        report(("  " + std::to_string(program) + " " + p.programNameIndexed(program)).c_str(), ns, in.frames);
        if (program == kTightFlange) f.tightFlangeMusic = ns;
    }
    f.tightFlangeTail = best(o.repeats, [&] { return tailRun(p, in, out, kTightFlange); });
    std::printf("\nsilence after half a second of music:\n");
    report("  16 Tight Flange, silent tail", f.tightFlangeTail, in.frames);
}

void runVariants(const Options &o, const Stereo &in, Stereo &out) {
    std::printf("\nrendering loop alone, per instruction set (steady / crossfading):\n");
    int count = 0;
    const murmelo::RenderVariant *variants = murmelo::renderVariants(count);
    for (int v = 0; v < count; ++v) {
        if (!variants[v].supported()) {
            std::printf("  %-10s not supported by this processor\n", variants[v].name);
            continue;
        }
        const double steady = best(o.repeats, [&] { return variantRun(variants[v].render, in, out, false); });
        const double fade = best(o.repeats, [&] { return variantRun(variants[v].render, in, out, true); });
        std::printf("  %-10s %7.2f / %7.2f ns per stereo frame\n", variants[v].name, steady / in.frames,
                    fade / in.frames);
    }
}

void runYardsticks(const Options &o, const Stereo &in, Stereo &out, Figures &f) {
    std::printf("\nyardsticks:\n");
    f.literalSteady = best(o.repeats, [&] { return literalRun(in, out, false); });
    f.literalCrossfade = best(o.repeats, [&] { return literalRun(in, out, true); });
    report("literal loop, steady", f.literalSteady, in.frames);
    report("literal loop, crossfading", f.literalCrossfade, in.frames);
    if (!o.sox) return;
    SoxRunner sox(in, kRate);
    if (!sox.available()) {
        std::printf("  sox not installed: SoX comparison skipped\n");
        return;
    }
    f.soxChorus = best(o.repeats, [&] { return sox.net("chorus 0.7 0.9 55 0.4 0.25 2 -t"); });
    f.soxFlanger = best(o.repeats, [&] { return sox.net("flanger"); });
    report("SoX chorus (file I/O subtracted)", f.soxChorus, in.frames);
    report("SoX flanger (file I/O subtracted)", f.soxFlanger, in.frames);
}

void ratio(const char *what, double slower, double faster, double target) {
    const double r = slower / faster;
    std::printf("  %-44s %6.2fx  (target %.0fx: %s)\n", what, r, target, r >= target ? "met" : "MISSED");
}

void summary(const Figures &f) {
    std::printf("\nratios:\n");
    const double tail = f.tightFlangeTail / f.tightFlangeMusic;
    std::printf("  %-44s %6.2fx  (target at most 1x: %s)\n", "silent tail / music, \"Tight Flange\"", tail,
                tail <= 1.0 ? "met" : "MISSED");
    ratio("literal loop / plug-in, steady", f.literalSteady, f.steady, 5);
    ratio("literal loop / plug-in, crossfading", f.literalCrossfade, f.crossfade, 4);
    if (f.soxChorus > 0) {
        ratio("SoX chorus / plug-in, steady", f.soxChorus, f.steady, 2);
        std::printf("  %-44s %6.2fx\n", "SoX chorus / plug-in, crossfading", f.soxChorus / f.crossfade);
        std::printf("  %-44s %6.2fx\n", "SoX flanger / plug-in, steady", f.soxFlanger / f.steady);
    }
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parse(argc, argv, o)) return 2;
    std::string error;
    vsthost::HostOptions host;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto plugin = vsthost::Plugin::load(o.plugin, error, host);
    if (!plugin) {
        std::fprintf(stderr, "murmelo-bench: %s\n", error.c_str());
        return 1;
    }
    plugin->start(kRate, kBlock);
    const Stereo in = testSignal(static_cast<int>(o.seconds * kRate), kRate);
    Stereo out(in.frames);
    std::printf("%.0f s of stereo audio at 44.1 kHz in blocks of %d, best of %d runs\n\n", o.seconds, kBlock,
                o.repeats);
    Figures f;
    if (o.kernelOnly) {
        runVariants(o, in, out);
        return 0;
    }
    runPlugin(*plugin, o, in, out, f);
    runVariants(o, in, out);
    runYardsticks(o, in, out, f);
    summary(f);
    return 0;
}
