// Nothing the host calls waits on the scripts or on the network: the audio
// thread keeps its pace while timer callbacks and "/exec" run, host names
// are never looked up, and effClose returns at once.
//
// This program replaces the system's host-name lookups for the whole
// process (-rdynamic lets murmelo.so and oscpack bind to them): a name in
// the domain "slow.test" takes kSlowLookupMs, like a silent name server.
#include "tests/midi/MidiTestSupport.h"
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <thread>

using namespace osc_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSlowLookupMs = 6000;
std::atomic<int> slowLookups{0};

bool isSlowName(const char *name) { return name && std::strstr(name, "slow.test") != nullptr; }

void lookUpSlowly() {
    slowLookups.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(kSlowLookupMs));
}

template <class Fn> Fn next(const char *name) { return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name)); }

} // namespace

extern "C" {
struct hostent *gethostbyname(const char *name) {
    if (isSlowName(name)) {
        lookUpSlowly();
        h_errno = HOST_NOT_FOUND;
        return nullptr;
    }
    return next<struct hostent *(*)(const char *)>("gethostbyname")(name);
}
int getaddrinfo(const char *node, const char *service, const struct addrinfo *hints, struct addrinfo **res) {
    if (isSlowName(node)) {
        lookUpSlowly();
        return EAI_NONAME;
    }
    using Fn = int (*)(const char *, const char *, const struct addrinfo *, struct addrinfo **);
    return next<Fn>("getaddrinfo")(node, service, hints, res);
}
}

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Spins the interpreter for the given seconds.
const char kSpinScript[] = R"(
function spin(seconds)
  local stop = time() + seconds
  while time() < stop do end
end
local last, seen, outOfOrder = -1, 0, 0
requestAllCC(function(channel, cc, value)
  if cc == 20 then
    if last >= 0 and value ~= (last + 1) % 128 then outOfOrder = outOfOrder + 1 end
    last, seen = value, seen + 1
  end
end)
function ccReport() return seen, outOfOrder end
requestPeriodicCallback(0.25, function() spin(0.15) end)
)";

class Waits : public ::testing::Test {
protected:
    void SetUp() override {
        scripts.write("spin.lua", kSpinScript);
        const std::string to = std::to_string(client.port());
        scripts.write("send.lua", "requestNoteOn(60, function() sendOSC('osc.udp://mixer.slow.test:" + to +
                                      "', '/slow', {1}) end)\n"
                                      "requestNoteOn(61, function() sendOSC('osc.udp://localhost:" +
                                      to + "', '/fast', {2}) end)\n");
        server = std::make_unique<ListeningPlugin>();
        ASSERT_TRUE(server->ok());
        port = server->port();
        slowLookups = 0;
    }
    vsthost::Plugin &plugin() { return server->plugin(); }
    // One host block of 256 frames after one CC 20 carrying value; its
    // duration in milliseconds.
    double block(int value) {
        static float in[256], out[2][256];
        float *inputs[2] = {in, in}, *outputs[2] = {out[0], out[1]};
        const Clock::time_point start = Clock::now();
        plugin().sendMidi(midi_test::cc(1, 20, value % 128));
        plugin().process(inputs, outputs, 256);
        return msSince(start);
    }
    std::vector<Message> call(const char *function) {
        const std::string url = client.url();
        client.send(port, "/call", [&](osc::OutboundPacketStream &p) { p << function << url.c_str() << "/r"; });
        return client.receive(3000);
    }

    UserScripts scripts;
    std::unique_ptr<ListeningPlugin> server;
    OscClient client;
    int port = 0;
};

// The timer spins 150 ms of every 250; "/exec" spins 400 ms twice.  MIDI
// arrives with every block at the real-time pace of 256 frames at 44.1 kHz.
TEST_F(Waits, AudioBlocksKeepTheirPaceWhileScriptsRunElsewhere) {
    StdoutCapture quiet;
    std::vector<double> durations;
    const Clock::time_point start = Clock::now();
    int sent = 0;
    for (int exec = 0; msSince(start) < 2000; ++sent) {
        if ((sent == 40 || sent == 200) && exec++ < 2)
            client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "spin" << 0.4f; });
        durations.push_back(block(sent));
        std::this_thread::sleep_for(std::chrono::microseconds(5800));
    }
    const double longest = *std::max_element(durations.begin(), durations.end());
    RecordProperty("longest_block_us", static_cast<int>(longest * 1000));
    RecordProperty("blocks", static_cast<int>(durations.size()));
    EXPECT_LT(longest, 25.0) << "the audio thread waited for the interpreter";

    // Every event reaches the handler once, in order, by the block after the
    // interpreter is free again.
    ASSERT_TRUE(pingUntilAnswered(client, port));
    client.drain(200); // late answers to the pings; meanwhile a timer callback may run
    block(sent++);
    std::vector<Message> got;
    for (int attempt = 0; attempt < 20; ++attempt) {
        got = call("ccReport");
        ASSERT_EQ(got.size(), 1u);
        ASSERT_EQ(got[0].types(), "ff");
        if (got[0].args[0].f == sent) break;
        block(sent++); // the timer held the interpreter at the last block
    }
    EXPECT_EQ(got[0].args[0].f, sent);
    EXPECT_EQ(got[0].args[1].f, 0.f) << "events out of order";
}

// A reply to a host name is refused at once, "localhost" still answers, and
// the server keeps serving.
TEST_F(Waits, ReplyHostNamesAreNeverLookedUp) {
    StdoutCapture out;
    const Clock::time_point start = Clock::now();
    client.send(port, "/get", [](osc::OutboundPacketStream &p) {
        p << 0 << "osc.udp://studio.slow.test:9000"
          << "/r";
    });
    ASSERT_TRUE(pingUntilAnswered(client, port, 3000));
    EXPECT_LT(msSince(start), 1000.0);
    EXPECT_TRUE(out.waitFor("error while parsing message: /get: unable to resolve host\n"));
    EXPECT_EQ(slowLookups.load(), 0);

    for (const char *host : {"localhost", "LocalHost", "127.0.0.1"}) {
        const std::string url = "osc.udp://" + std::string(host) + ":" + std::to_string(client.port());
        client.send(port, "/getNumParameters", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/n"; });
        auto got = client.receive(2000);
        ASSERT_EQ(got.size(), 1u) << host;
        EXPECT_EQ(got[0].path, "/n");
    }
    for (const char *bad : {"1.2.3", "1.2.3.4.5", "256.0.0.1", "1..2.3", "127.0.0.1x", ""}) {
        const std::string url = "osc.udp://" + std::string(bad) + ":" + std::to_string(client.port());
        client.send(port, "/getNumParameters", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/n"; });
    }
    ASSERT_TRUE(pingUntilAnswered(client, port));
    EXPECT_EQ(out.count("/getNumParameters: unable to resolve host\n"), 6);
}

// sendOSC from a MIDI handler runs on the audio thread: a host name there
// sends nothing and costs nothing; "localhost" arrives.
TEST_F(Waits, SendOscFromAHandlerNeverLooksUpANameOnTheAudioThread) {
    const Clock::time_point start = Clock::now();
    plugin().sendMidi(midi_test::noteOn(1, 60, 100));
    plugin().sendMidi(midi_test::noteOn(1, 61, 100));
    EXPECT_LT(msSince(start), 500.0);
    auto got = client.receive(2000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/fast");
    EXPECT_EQ(slowLookups.load(), 0);
}

// effClose while a reply to a host name is being handled.
TEST_F(Waits, EffCloseReturnsWithinASecondWhileAReplyHostIsPending) {
    StdoutCapture quiet;
    client.send(port, "/getAll", [](osc::OutboundPacketStream &p) {
        p << "osc.udp://desk.slow.test:9000"
          << "/r";
    });
    client.send(port, "/ping", [](osc::OutboundPacketStream &p) {
        p << "osc.udp://desk.slow.test:9000"
          << "/r";
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point start = Clock::now();
    server.reset();
    EXPECT_LT(msSince(start), 1000.0);
}

} // namespace
