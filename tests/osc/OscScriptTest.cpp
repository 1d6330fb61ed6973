// OSC and the MIDI scripts, over UDP against the real plug-in: "/exec" and
// "/call", the note paths, sendOSC and script-registered paths.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

using namespace osc_test;

namespace {

// The functions the tests call; results come back through "/call".
const char kScript[] = R"(
function answer() return 1, 'a', nil, 2 end
function boolean() return true end
function seventeen() return 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17 end
function numericText() return '2.5', 'x' end
function remember(...)
  local parts = {}
  for i = 1, select('#', ...) do
    local v = select(i, ...)
    parts[#parts + 1] = type(v) .. ':' .. tostring(v)
  end
  remembered = table.concat(parts, ' ')
end
function recall() return remembered end
function fails() error('boom') end
function versions() return majorVersion .. '.' .. minorVersion .. '.' .. dotVersion, version end
requestAllNoteOn(function(channel, note, velocity) lastOn = channel .. ' ' .. note .. ' ' .. velocity end)
requestAllNoteOff(function(channel, note, velocity) lastOff = channel .. ' ' .. note .. ' ' .. velocity end)
function notes() return lastOn, lastOff end
myLoader = loadstring
registerOSCPathForParameterNormalized('/fine', 'Speed (fine)')
registerOSCPathForParameterNormalized('/levels', {'Dry Level', 'Effect Level'})
registerOSCPathForParameterNormalized('/levels', 'Feedback')
registerOSCPathForParameter('/raw', {10, 'Bias'})
)";

class OscScripts : public ::testing::Test {
protected:
    void SetUp() override {
        scripts.write("osc.lua", kScript);
        StdoutCapture out;
        server = std::make_unique<ListeningPlugin>();
        loadOutput = out.text();
        ASSERT_TRUE(server->ok());
        port = server->port();
    }
    // "/call" of a function without arguments; the reply's messages.
    std::vector<Message> call(const char *function) {
        sendCall(function);
        return client.receive();
    }
    void sendCall(const char *function) {
        const std::string url = client.url();
        client.send(port, "/call", [&](osc::OutboundPacketStream &p) { p << function << url.c_str() << "/r"; });
    }
    std::string recalled() {
        auto got = call("recall");
        return got.size() == 1 && got[0].types() == "s" ? got[0].args[0].s : "<nothing>";
    }
    void sync() { ASSERT_TRUE(pingUntilAnswered(client, port)); }

    UserScripts scripts;
    std::unique_ptr<ListeningPlugin> server;
    std::string loadOutput;
    OscClient client;
    int port = 0;
};

TEST_F(OscScripts, CallRepliesWithResultsUpToTheFirstNil) {
    auto got = call("answer");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/r");
    ASSERT_EQ(got[0].types(), "fs");
    EXPECT_EQ(got[0].args[0].f, 1.f);
    EXPECT_EQ(got[0].args[1].s, "a");

    got = call("seventeen"); // the first 16 only
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), std::string(16, 'f'));
    EXPECT_EQ(got[0].args[15].f, 16.f);

    got = call("numericText");
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "fs");
    EXPECT_EQ(got[0].args[0].f, 2.5f);
}

TEST_F(OscScripts, CallAndExecErrors) {
    StdoutCapture out;
    sendCall("boolean");
    sendCall("fails");
    sendCall("noSuchFunction");
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "remember" << 'c'; });
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << 5; });
    client.send(port, "/exec");
    sync();
    EXPECT_EQ(client.drain(100).size(), 0u);
    EXPECT_EQ(out.text(), "error while parsing message: /call: unhandled argument type return from call\n"
                          "error while parsing message: /call: failed to exec function\n"
                          "error while parsing message: /call: failed to exec function\n"
                          "error while parsing message: /exec: unhandled argument type to exec\n"
                          "error while parsing message: /exec: wrong argument type\n"
                          "error while parsing message: /exec: missing argument\n");
    // The interpreter is still in order afterwards.
    auto got = call("answer");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].types(), "fs");
}

TEST_F(OscScripts, ExecPassesEveryArgumentType) {
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) {
        p << "remember" << true << false << osc::OscNil << 7 << static_cast<osc::int64>(1) << 0.5f << 2.25 << "text";
    });
    EXPECT_EQ(recalled(), "boolean:true boolean:false nil:nil number:7 number:1 number:0.5 number:2.25 string:text");
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "remember"; });
    EXPECT_EQ(recalled(), "");
}

// A network client reaches the scripts' functions, never the code loaders.
TEST_F(OscScripts, CodeLoadersAreRefused) {
    testing_support::TempDir dir;
    const std::string marker = dir.file("ran");
    const std::string chunk = "io.open('" + marker + "', 'w'):close()";
    std::ofstream(dir.file("chunk.lua")) << chunk;
    StdoutCapture out;
    const std::string file = dir.file("chunk.lua");
    for (const char *loader : {"dofile", "loadfile", "require", "module"})
        client.send(port, "/exec", [&](osc::OutboundPacketStream &p) { p << loader << file.c_str(); });
    for (const char *loader : {"loadstring", "load", "myLoader"}) {
        const std::string url = client.url();
        client.send(port, "/call",
                    [&](osc::OutboundPacketStream &p) { p << loader << url.c_str() << "/r" << chunk.c_str(); });
    }
    for (const char *other : {"setfenv", "getfenv", "collectgarbage"})
        client.send(port, "/exec", [&](osc::OutboundPacketStream &p) { p << other << 1; });
    sync();
    EXPECT_EQ(out.count("error while parsing message: /exec: failed to exec function\n"), 7) << out.text();
    EXPECT_EQ(out.count("error while parsing message: /call: failed to exec function\n"), 3) << out.text();
    EXPECT_EQ(client.drain(100).size(), 0u);
    EXPECT_FALSE(std::ifstream(marker).good()) << "a loader ran";
}

TEST_F(OscScripts, NotesReachTheHandlersOnChannelTwo) {
    client.send(port, "/startNote", [](osc::OutboundPacketStream &p) { p << 60 << 0.5f; });
    client.send(port, "/stopNote", [](osc::OutboundPacketStream &p) { p << 61 << 1.f; });
    auto got = call("notes");
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "ss");
    EXPECT_EQ(got[0].args[0].s, "2 60 63");
    EXPECT_EQ(got[0].args[1].s, "2 61 127");

    // Velocity 0 is still a note-on; the note and velocity are bytes.
    client.send(port, "/startNote", [](osc::OutboundPacketStream &p) { p << 256 + 64 << 0.f; });
    got = call("notes");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].args[0].s, "2 64 0");
    client.send(port, "/startNote", [](osc::OutboundPacketStream &p) { p << 1 << 2.f; });
    client.send(port, "/startNote", [](osc::OutboundPacketStream &p) { p << 2 << NAN; });
    got = call("notes");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].args[0].s, "2 2 0");

    StdoutCapture out;
    client.send(port, "/startNote", [](osc::OutboundPacketStream &p) { p << 60; });
    client.send(port, "/stopNote", [](osc::OutboundPacketStream &p) { p << 60 << 1.f << 1; });
    sync();
    EXPECT_EQ(out.text(), "error while parsing message: /startNote: missing argument\n"
                          "error while parsing message: /stopNote: too many arguments\n");
}

TEST_F(OscScripts, RegisteredPaths) {
    EXPECT_NE(loadOutput.find("@@@ inconsistent sizes in RegisterOSCPathForParameter\n"), std::string::npos)
        << loadOutput;
    client.send(port, "/fine", [](osc::OutboundPacketStream &p) { p << 0.5f; });
    client.send(port, "/levels", [](osc::OutboundPacketStream &p) { p << 0.25f << 1.f; });
    client.send(port, "/raw", [](osc::OutboundPacketStream &p) { p << -30.f << 0.75f; });
    sync();
    vsthost::Plugin &plugin = server->plugin();
    EXPECT_NEAR(plugin.getParameter(3), std::log(10.25 / 0.5) / std::log(40.0), 1e-6); // 10.25 Hz
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.25f);
    EXPECT_FLOAT_EQ(plugin.getParameter(1), 1.f);
    EXPECT_FLOAT_EQ(plugin.getParameter(10), (-30.f + 100.f) / 200.f);
    EXPECT_FLOAT_EQ(plugin.getParameter(9), 0.75f);

    StdoutCapture out;
    client.send(port, "/levels", [](osc::OutboundPacketStream &p) { p << 0.5f; });
    client.send(port, "/fine", [](osc::OutboundPacketStream &p) { p << 1; });
    sync();
    EXPECT_EQ(out.text(), "error while parsing message: /levels: missing argument\n"
                          "error while parsing message: /fine: wrong argument type\n");
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.25f);
}

// sendOSC from a MIDI handler while the instance does not listen.
TEST(OscSendFromScripts, TypeStringsAndErrors) {
    OscClient client;
    const std::string url = client.url();
    UserScripts scripts;
    scripts.write("send.lua", "target = '" + url + R"('
function report(f)
  local ok, err = pcall(f)
  sendOSC(target, '/report', {ok and 'ok' or (string.gsub(err, '^.-:%d+: ', ''))})
end
requestNoteOn(1, function() sendOSC(target, '/plain') end)
requestNoteOn(2, function() sendOSC(target, '/typed', 'if', {1, 2}) end)
requestNoteOn(3, function() sendOSC(target, '/values', {2.5, '7', 'text', nil, 'end'}) end)
requestNoteOn(4, function() sendOSC(target, '/ints', 'iii', {'7', 2.9, -2.9}) end)
requestNoteOn(5, function() report(function() sendOSC(target, '/x', 'i', {1, 2}) end) end)
requestNoteOn(6, function() report(function() sendOSC(target, '/x', {true}) end) end)
requestNoteOn(7, function() report(function() sendOSC(target, '/x', 5) end) end)
requestNoteOn(8, function() report(function() sendOSC(target) end) end)
requestNoteOn(9, function() sendOSC('osc.udp://127.0.0.1', '/noport'); sendOSC(target, '/after') end)
requestNoteOn(10, function() sendOSC(target, '/extra', 'i', {1}, 'ignored') end)
)");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    auto note = [&](int n) {
        plugin->sendMidi({{0, {0x90, static_cast<unsigned char>(n), 100}}});
        return client.receive();
    };
    auto got = note(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/plain");
    EXPECT_EQ(got[0].types(), "");
    EXPECT_TRUE(got[0].wasBundled);

    got = note(2);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "if");
    EXPECT_EQ(got[0].args[0].i, 1);
    EXPECT_EQ(got[0].args[1].f, 2.f);

    got = note(3);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "ffsNs");
    EXPECT_EQ(got[0].args[1].f, 7.f);

    got = note(4);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "iii");
    EXPECT_EQ(got[0].args[0].i, 7);
    EXPECT_EQ(got[0].args[1].i, 2);
    EXPECT_EQ(got[0].args[2].i, -2);

    const char *errors[] = {"format string length mismatch in sendOSC", "unhandled argument type return from call",
                            "bad argument #3 to 'sendOSC' (table expected, got number)",
                            "bad argument #2 to 'sendOSC' (string expected, got no value)"};
    for (int n = 5; n <= 8; ++n) {
        got = note(n);
        ASSERT_EQ(got.size(), 1u) << n;
        ASSERT_EQ(got[0].types(), "s");
        EXPECT_EQ(got[0].args[0].s, errors[n - 5]);
    }

    got = note(9); // nothing for the url without a port
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/after");

    got = note(10); // with any other number of arguments, none are sent
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].types(), "");
}

} // namespace

// The version is written once, in the build's project(VERSION): the host,
// the OSC address space and the script globals all report that one.
TEST_F(OscScripts, EveryPartReportsTheBuildsVersion) {
    const std::string text = MURMELO_PROJECT_VERSION;
    int major = -1, minor = -1, dot = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d.%d.%d", &major, &minor, &dot), 3) << text;

    EXPECT_EQ(server->plugin().dispatch(vst2::effGetVendorVersion), (major << 16) | (minor << 8) | dot);

    const std::string url = client.url();
    client.send(port, "/ping", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/pong"; });
    auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "ss");
    EXPECT_EQ(got[0].args[1].s, "Murmelo " + text);

    got = call("versions");
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].types(), "sf");
    EXPECT_EQ(got[0].args[0].s, text);
    EXPECT_EQ(got[0].args[1].f, static_cast<float>(major * 10000 + minor * 100 + dot));
}
