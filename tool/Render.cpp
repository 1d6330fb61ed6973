// murmelo render: audio through the plug-in, loaded through our host library
// exactly as a host loads it.
//
//   murmelo render [IN] OUT [--program NAME|INDEX] [--set "NAME=VALUE" ...]
//                  [--block N] [--rate HZ] [--tail SECONDS] [--midi FILE.mid]
//                  [--plugin PATH]
//   murmelo render --list-programs
//
// Without IN it renders the embedded demo.  After the input the plug-in keeps
// running on silence: --tail SECONDS exactly, or by default until 65536
// frames (the longest delay) in a row stay below -80 dBFS, at most 30 s.
// --midi delivers a standard MIDI file's messages at their sample positions
// (see MidiFile.h); the automatic tail then lasts at least to its last event.
// The Windows build reads no MIDI files and has no --midi.
#include "host/VstHost.h"
#include "tool/Audio.h"
#include "tool/MidiFile.h"
#include "tool/Tool.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace tool {

namespace {

constexpr int kLongestDelay = 65536;
constexpr float kQuietLevel = 1e-4f; // -80 dBFS
constexpr double kMaximumAutoTail = 30.0;

struct RenderOptions {
    std::string input, output, program, plugin, midi;
    std::vector<std::string> settings;
    int block = 512;
    int rate = 0;     // 0: the input's rate, 44100 for the demo
    double tail = -1; // seconds; negative: until quiet
    bool listPrograms = false;
};

std::string usage() {
    return std::string("usage: murmelo render [IN] OUT [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] "
                       "[--block N] [--rate HZ] [--tail SECONDS] ") +
           (kReadsMidiFiles ? "[--midi FILE.mid] " : "") +
           "[--plugin PATH]\n"
           "       murmelo render --list-programs [--plugin PATH]\n";
}

int usageError(const std::string &message) { return tool::usageError("render", message, usage().c_str()); }

int failure(const std::string &message) { return tool::failure("render", message); }

bool number(const std::string &text, double low, double high, double &out) {
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == 0 && out >= low && out <= high;
}

// Takes every option out of args; what is left are IN and OUT.
bool takeOptions(Args &args, RenderOptions &o, std::string &error) {
    o.listPrograms = takeFlag(args, "--list-programs");
    std::string value;
    takeOption(args, "--program", o.program, error);
    while (takeOption(args, "--set", value, error))
        o.settings.push_back(value);
    double v = 0;
    if (takeOption(args, "--block", value, error)) {
        if (number(value, 1, 1 << 20, v) && v == std::floor(v))
            o.block = static_cast<int>(v);
        else
            error = "--block wants a whole number of frames from 1 to 1048576, not '" + value + "'";
    }
    if (takeOption(args, "--rate", value, error)) {
        if (number(value, 8000, 384000, v) && v == std::floor(v))
            o.rate = static_cast<int>(v);
        else
            error = "--rate wants a whole number of hertz from 8000 to 384000, not '" + value + "'";
    }
    if (takeOption(args, "--tail", value, error) && !number(value, 0, 3600, o.tail))
        error = "--tail wants seconds from 0 to 3600, not '" + value + "'";
    if (kReadsMidiFiles) takeOption(args, "--midi", o.midi, error);
    o.plugin = takePluginPath(args);
    for (const std::string &a : args)
        if (a.size() > 1 && a[0] == '-' && error.empty())
            error = "unknown option '" + a + "'" + (a == "--midi" ? " (this build reads no MIDI files)" : "");
    if (!error.empty()) return false;
    if (o.listPrograms) return true;
    if (args.empty() || args.size() > 2) {
        error = args.empty() ? "no output file" : "too many files";
        return false;
    }
    o.output = args.back();
    if (args.size() == 2) o.input = args.front();
    return true;
}

int listPrograms(vsthost::Plugin &p) {
    for (int i = 0; i < p.effect()->numPrograms; ++i)
        std::printf("%2d  %s\n", i, p.programNameIndexed(i).c_str());
    return 0;
}

// Runs the input and then the tail through the plug-in into the writer.
class Renderer {
public:
    Renderer(vsthost::Plugin &p, AudioWriter &w, int block, int rate, MidiFeed midi)
        : plugin(p), writer(w), midi(std::move(midi)), block(block), rate(rate) {
        out.resize(block);
    }
    bool run(AudioSource &source, double tail, std::string &error) {
        const double inputSeconds = static_cast<double>(source.frames()) / rate;
        Progress progress(inputSeconds + (tail >= 0 ? tail : kLongestDelay / static_cast<double>(rate)), rate);
        StereoBlock in;
        while (source.read(in, block) > 0) {
            if (!step(in, in.frames, error)) return false;
            progress.update(done);
        }
        const bool ok = runTail(tail, progress, error);
        progress.finish();
        return ok;
    }
    std::int64_t frames() const { return done; }

private:
    bool runTail(double tail, Progress &progress, std::string &error) {
        StereoBlock silence;
        silence.resize(block);
        std::int64_t limit = static_cast<std::int64_t>((tail >= 0 ? tail : kMaximumAutoTail) * rate + 0.5);
        if (tail < 0) limit = std::max(limit, midi.endFrame() - done);
        for (std::int64_t t = 0; t < limit; t += block) {
            if (tail < 0 && quietRun >= kLongestDelay && done >= midi.endFrame()) break;
            if (!step(silence, static_cast<int>(std::min<std::int64_t>(block, limit - t)), error)) return false;
            progress.update(done);
        }
        return true;
    }
    bool step(StereoBlock &in, int n, std::string &error) {
        float *i[2] = {in.left.data(), in.right.data()};
        float *o[2] = {out.left.data(), out.right.data()};
        midi.deliver(plugin, done, n);
        plugin.process(i, o, n);
        for (int k = 0; k < n; ++k)
            quietRun = std::fabs(out.left[k]) < kQuietLevel && std::fabs(out.right[k]) < kQuietLevel ? quietRun + 1 : 0;
        done += n;
        return writer.write(out, n, error);
    }

    vsthost::Plugin &plugin;
    AudioWriter &writer;
    MidiFeed midi;
    StereoBlock out;
    int block, rate;
    std::int64_t done = 0, quietRun = 0;
};

std::unique_ptr<AudioSource> openSource(RenderOptions &o, std::string &error) {
    if (o.input.empty()) {
        if (o.rate == 0) o.rate = 44100;
        return demoSource(o.rate);
    }
    auto source = openAudioFile(o.input, error);
    if (!source) return nullptr;
    if (o.rate != 0 && o.rate != source->rate()) {
        error = "--rate applies to the demo; '" + o.input + "' plays at " + std::to_string(source->rate()) + " Hz";
        return nullptr;
    }
    o.rate = source->rate();
    return source;
}

void summary(const RenderOptions &o, vsthost::Plugin &p, const Renderer &r, const AudioWriter &w) {
    const double peakDb = w.peak() > 0.f ? 20.0 * std::log10(w.peak()) : -INFINITY;
    std::printf("wrote %s: %.2f s at %d Hz, %s through program %d \"%s\", peak %.1f dBFS\n", o.output.c_str(),
                static_cast<double>(r.frames()) / o.rate, o.rate, o.input.empty() ? "the demo" : o.input.c_str(),
                p.program(), p.programName().c_str(), peakDb);
    if (w.clips()) std::fprintf(stderr, "murmelo render: the output clips; a .wav or .aiff keeps the peaks\n");
}

} // namespace

// The program index for a name (any case) or an index.
int findProgram(vsthost::Plugin &p, const std::string &wanted) {
    const int count = p.effect()->numPrograms;
    for (int i = 0; i < count; ++i)
        if (strcasecmp(p.programNameIndexed(i).c_str(), wanted.c_str()) == 0) return i;
    double v = 0;
    if (number(wanted, 0, count - 1, v) && v == std::floor(v)) return static_cast<int>(v);
    return -1;
}

bool applyProgramAndSettings(vsthost::Plugin &p, const std::string &program, const std::vector<std::string> &settings,
                             std::string &error) {
    if (!program.empty()) {
        const int index = findProgram(p, program);
        if (index < 0) {
            error = "no program \"" + program + "\" (murmelo render --list-programs lists them)";
            return false;
        }
        p.setProgram(index);
    }
    for (const std::string &s : settings) {
        int index = 0;
        float normalised = 0.f;
        if (!parseSetting(s, index, normalised, error)) return false;
        p.setParameter(index, normalised);
    }
    return true;
}

int runRender(Args args) {
    RenderOptions o;
    std::string error;
    if (!takeOptions(args, o, error)) return usageError(error);
    auto source = o.listPrograms ? nullptr : openSource(o, error);
    if (!o.listPrograms && !source) return failure(error);
    vsthost::HostOptions host;
    host.sampleRate = static_cast<float>(o.rate ? o.rate : 44100);
    host.blockSize = o.block;
    auto plugin = vsthost::Plugin::load(o.plugin, error, host);
    if (!plugin) return failure(error);
    if (o.listPrograms) return listPrograms(*plugin);
    if (!applyProgramAndSettings(*plugin, o.program, o.settings, error)) return usageError(error);
    std::vector<TimedMidi> midi;
    if (!o.midi.empty() && !readMidiFile(o.midi, o.rate, midi, error)) return failure(error);
    plugin->start(host.sampleRate, o.block);
    AudioWriter writer;
    if (!writer.open(o.output, o.rate, error)) return failure(error);
    Renderer renderer(*plugin, writer, o.block, o.rate, MidiFeed(std::move(midi)));
    if (!renderer.run(*source, o.tail, error) || !writer.commit(error)) return failure(error);
    summary(o, *plugin, renderer, writer);
    return 0;
}

} // namespace tool
