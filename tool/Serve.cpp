// murmelo serve: one headless instance, driven over OSC.
//
//   murmelo serve [--offset N] [--program NAME|INDEX] [--set "NAME=VALUE" ...]
//                 [--input FILE] [--plugin PATH]
//
// Loads the plug-in through our host library, selects the program, sets
// "OSC Port Offset" to N (default 1), and processes audio in real time:
// silence, or FILE over and over.  It prints the UDP port it listens on once
// the instance answers "/ping" there, and stops cleanly on Ctrl-C.
#include "core/Settings.h"
#include "host/VstHost.h"
#include "tool/Audio.h"
#include "tool/System.h"
#include "tool/Tool.h"

#include <oscpack/ip/UdpSocket.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace tool {

namespace {

constexpr int kBlock = 512;
constexpr int kOffsetParameter = 15;
constexpr int kMaxOffset = 100;
constexpr int kAnswerWaitMs = 3000;

struct ServeOptions {
    std::string program, input, plugin;
    std::vector<std::string> settings;
    int offset = 1;
};

constexpr char kUsage[] = "usage: murmelo serve [--offset N] [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] "
                          "[--input FILE] [--plugin PATH]\n";

int usageError(const std::string &message) { return tool::usageError("serve", message, kUsage); }

int failure(const std::string &message) { return tool::failure("serve", message); }

bool takeOptions(Args &args, ServeOptions &o, std::string &error) {
    std::string value;
    if (takeOption(args, "--offset", value, error)) {
        char *end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (end == value.c_str() || *end || n < 1 || n > kMaxOffset)
            error = "--offset wants a whole number from 1 to 100, not '" + value + "'";
        o.offset = static_cast<int>(n);
    }
    takeOption(args, "--program", o.program, error);
    takeOption(args, "--input", o.input, error);
    while (takeOption(args, "--set", value, error))
        o.settings.push_back(value);
    o.plugin = takePluginPath(args);
    if (!args.empty() && error.empty()) error = "unexpected argument '" + args.front() + "'";
    return error.empty();
}

bool udpPortFree(int port) {
    try {
        UdpReceiveSocket probe(IpEndpointName(IpEndpointName::ANY_ADDRESS, port));
        return true;
    } catch (const std::runtime_error &) {
        return false;
    }
}

// Sends "/ping" to the instance every 100 ms until it answers (the OSC
// thread binds its socket a moment after the offset is set).
bool answersPing(int port) {
    return loopbackAnswers(
        port,
        [](int ownPort) {
            const std::string url = "osc.udp://127.0.0.1:" + std::to_string(ownPort);
            char buffer[256];
            osc::OutboundPacketStream ping(buffer, sizeof(buffer));
            ping << osc::BeginMessage("/ping") << url.c_str() << "/serve" << osc::EndMessage;
            return std::string(ping.Data(), ping.Size());
        },
        kAnswerWaitMs);
}

bool configure(vsthost::Plugin &p, const ServeOptions &o, std::string &error) {
    if (!applyProgramAndSettings(p, o.program, o.settings, error)) return false;
    // Stored as floor(100 x + 0.5): exactly the offset.
    p.setParameter(kOffsetParameter, static_cast<float>(o.offset) / kMaxOffset);
    return true;
}

void silence(StereoBlock &block) {
    block.resize(kBlock);
    std::fill(block.left.begin(), block.left.end(), 0.f);
    std::fill(block.right.begin(), block.right.end(), 0.f);
}

// The next block of the input, starting the file again at its end; silence
// when there is no input (or it can no longer be read).
void nextInput(StereoBlock &in, std::unique_ptr<AudioSource> &source, const std::string &path) {
    if (!source) return;
    if (source->read(in, kBlock) > 0) return;
    std::string error;
    source = openAudioFile(path, error);
    if (!source || source->read(in, kBlock) == 0) {
        source.reset();
        silence(in);
    }
}

// Processes blocks at the pace of the sample rate until Ctrl-C.
void serve(vsthost::Plugin &p, std::unique_ptr<AudioSource> source, const std::string &path, int rate) {
    StereoBlock in, out;
    silence(in);
    out.resize(kBlock);
    const auto blockTime = std::chrono::nanoseconds(static_cast<long long>(1e9 * kBlock / rate));
    auto next = std::chrono::steady_clock::now();
    while (!stopRequested()) {
        nextInput(in, source, path);
        float *i[2] = {in.left.data(), in.right.data()};
        float *o[2] = {out.left.data(), out.right.data()};
        p.process(i, o, in.frames);
        next += blockTime;
        std::this_thread::sleep_until(next);
    }
}

} // namespace

int runServe(Args args) {
    ServeOptions o;
    std::string error;
    if (!takeOptions(args, o, error)) return usageError(error);
    std::unique_ptr<AudioSource> source;
    if (!o.input.empty() && !(source = openAudioFile(o.input, error))) return failure(error);
    const int port = murmelo::readSettingInt(murmelo::kSettingOscBasePort, 7000) + o.offset;
    if (port < 1 || port > 65535) return failure("the OSC port " + std::to_string(port) + " is not a UDP port");
    if (!udpPortFree(port)) return failure("UDP port " + std::to_string(port) + " is in use");

    vsthost::HostOptions host;
    if (source) host.sampleRate = static_cast<float>(source->rate());
    host.blockSize = kBlock;
    auto plugin = vsthost::Plugin::load(o.plugin, error, host);
    if (!plugin) return failure(error);
    if (!configure(*plugin, o, error)) return usageError(error);
    plugin->start(host.sampleRate, kBlock);
    std::fflush(stdout);
    if (!answersPing(port)) return failure("the instance does not answer on UDP port " + std::to_string(port));
    watchStopRequests();
    const std::string playing = source ? "playing " + o.input : "processing silence";
    std::printf("murmelo serve: OSC on UDP port %d, program %d \"%s\", %s; Ctrl-C stops\n", port, plugin->program(),
                plugin->programName().c_str(), playing.c_str());
    std::fflush(stdout);
    serve(*plugin, std::move(source), o.input, static_cast<int>(host.sampleRate));
    plugin.reset();
    std::printf("murmelo serve: stopped\n");
    std::fflush(stdout);
    stopFinished();
    return 0;
}

} // namespace tool
