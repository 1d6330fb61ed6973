// The OSC server of the real plug-in, over UDP on loopback: where it
// listens, what each path answers, the error lines, and subscriptions.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace osc_test;

namespace {

constexpr float kNear = 1e-6f;

class OscServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.plugin().effect());
        ASSERT_TRUE(server.ok()) << "the plug-in did not start listening";
        port = server.port();
    }
    // Waits until every message sent so far has been handled.
    void sync() { ASSERT_TRUE(pingUntilAnswered(client, port)); }
    void sendIdUrlPath(const char *path, int id, const char *replyPath) {
        const std::string url = client.url();
        client.send(port, path, [&](osc::OutboundPacketStream &p) { p << id << url.c_str() << replyPath; });
    }

    ListeningPlugin server;
    OscClient client;
    int port = 0;
};

TEST(OscPort, FollowsTheOffsetAndTheProgram) {
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    OscClient client;
    const int a = pickFreeOffset();
    int b = pickFreeOffset();
    while (b == a)
        b = pickFreeOffset();

    // Offset 0: nothing listens.
    EXPECT_FALSE(pingUntilAnswered(client, basePort() + a, 300));

    plugin->setParameter(15, offsetToNormalised(a));
    EXPECT_TRUE(pingUntilAnswered(client, basePort() + a));
    EXPECT_FALSE(udpPortFree(basePort() + a));

    // Back to 0 closes the socket.
    plugin->setParameter(15, 0.f);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(udpPortFree(basePort() + a));

    // Each program keeps its own offset; selecting one moves the port.
    plugin->setParameter(15, offsetToNormalised(a));
    plugin->setProgram(1);
    plugin->setParameter(15, offsetToNormalised(b));
    EXPECT_TRUE(pingUntilAnswered(client, basePort() + b));
    EXPECT_TRUE(udpPortFree(basePort() + a));
    plugin->setProgram(0);
    EXPECT_TRUE(pingUntilAnswered(client, basePort() + a));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(udpPortFree(basePort() + b));
    plugin->setProgram(2); // offset 0: off
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(udpPortFree(basePort() + a));
}

// Closing an instance right after its port moved: the notify thread applies
// the move, perhaps while the OSC threads are being stopped; the close must
// end (a new listening run started then would never be stopped) and leave
// the port free.
TEST(OscPort, ClosingRightAfterAPortChangeEnds) {
    const int offset = pickFreeOffset();
    for (int round = 0; round < 25; ++round) {
        auto plugin = loadPlugin();
        ASSERT_TRUE(plugin);
        plugin->setParameter(15, offsetToNormalised(offset));
        if (round % 2) std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
        plugin.reset();
        EXPECT_TRUE(udpPortFree(basePort() + offset)) << "round " << round;
    }
}

TEST(OscPort, SecondInstanceOnTheSamePortDoesNotListenUntilMoved) {
    ListeningPlugin first;
    ASSERT_TRUE(first.ok());
    auto second = loadPlugin();
    ASSERT_TRUE(second);
    StdoutCapture out;
    const int firstOffset = first.port() - basePort();
    second->setParameter(15, offsetToNormalised(firstOffset));
    EXPECT_TRUE(out.waitFor("std::runtime_error in TaskMain(): unable to bind udp socket\n"));

    // The first still answers, and a "/set" reaches only the first.
    OscClient client;
    client.send(first.port(), "/set", [](osc::OutboundPacketStream &p) { p << 0 << 0.75f; });
    ASSERT_TRUE(pingUntilAnswered(client, first.port()));
    EXPECT_NEAR(first.plugin().getParameter(0), 0.75f, kNear);
    EXPECT_NEAR(second->getParameter(0), 0.f, kNear);

    // Moving the second to a free offset makes it listen there.
    const int moved = pickFreeOffset();
    second->setParameter(15, offsetToNormalised(moved));
    ASSERT_TRUE(pingUntilAnswered(client, basePort() + moved));
    client.send(basePort() + moved, "/set", [](osc::OutboundPacketStream &p) { p << 0 << 0.5f; });
    ASSERT_TRUE(pingUntilAnswered(client, basePort() + moved));
    EXPECT_NEAR(second->getParameter(0), 0.5f, kNear);
}

TEST_F(OscServer, PingAnswersWithItsAddressAndVersion) {
    const std::string url = client.url() + "/"; // a trailing slash is ignored
    client.send(port, "/ping", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/pong"; });
    auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/pong");
    ASSERT_EQ(got[0].types(), "ss");
    EXPECT_EQ(got[0].args[0].s, "osc.udp://127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(got[0].args[1].s, "Murmelo 1.1.0");
    // One message in a bundle with the time tag "immediately", sent from a
    // temporary port rather than the listening one.
    EXPECT_TRUE(got[0].wasBundled);
    EXPECT_EQ(got[0].timeTag, 1);
    EXPECT_NE(client.lastSenderPort(), port);
}

TEST_F(OscServer, SetStoresTheRealValueAndGetReadsIt) {
    server.plugin().clearCalls();
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 3 << 12.5f; });
    sendIdUrlPath("/get", 3, "/value");
    auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/value");
    ASSERT_EQ(got[0].types(), "if");
    EXPECT_EQ(got[0].args[0].i, 3);
    EXPECT_EQ(got[0].args[1].f, 12.5f);
    // Stored in real units: the host sees the hertz mapping of 12.5.
    EXPECT_NEAR(server.plugin().getParameter(3), std::log(12.5 / 0.5) / std::log(40.0), 1e-5);
    EXPECT_GE(server.plugin().countCalls(vst2::audioMasterUpdateDisplay), 1);
    EXPECT_EQ(server.plugin().countCalls(vst2::audioMasterAutomate), 0);
}

TEST_F(OscServer, AnswersInfoQueries) {
    sendIdUrlPath("/getInfo", 3, "/info");
    auto info = client.receive();
    ASSERT_EQ(info.size(), 1u);
    ASSERT_EQ(info[0].types(), "ifffsi");
    EXPECT_EQ(info[0].args[0].i, 3);
    EXPECT_EQ(info[0].args[1].f, 0.5f);
    EXPECT_EQ(info[0].args[2].f, 20.f);
    EXPECT_EQ(info[0].args[3].f, 5.f);
    EXPECT_EQ(info[0].args[4].s, "Speed (fine)");
    EXPECT_EQ(info[0].args[5].i, 8);

    const std::string url = client.url();
    client.send(port, "/getNumParameters", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/n"; });
    auto n = client.receive();
    ASSERT_EQ(n.size(), 1u);
    ASSERT_EQ(n[0].types(), "i");
    EXPECT_EQ(n[0].args[0].i, 16);

    sendIdUrlPath("/isParameterUsed", 15, "/used");
    auto used = client.receive();
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(used[0].types(), "iT");
    EXPECT_EQ(used[0].args[0].i, 15);
}

TEST_F(OscServer, GetAllSendsSixteenSeparateRepliesInOrder) {
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 10 << -50.f; });
    const std::string url = client.url();
    client.send(port, "/getAll", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/all"; });
    std::vector<Message> all;
    for (int i = 0; i < 16; ++i) {
        auto one = client.receive();
        ASSERT_EQ(one.size(), 1u) << "reply " << i;
        all.push_back(one[0]);
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(all[i].path, "/all");
        ASSERT_EQ(all[i].types(), "if");
        EXPECT_EQ(all[i].args[0].i, i);
    }
    EXPECT_EQ(all[10].args[1].f, -50.f);
    EXPECT_EQ(all[15].args[1].f, static_cast<float>(port - basePort()));
}

TEST_F(OscServer, PrintsOneLinePerBadMessageAndChangesNothing) {
    StdoutCapture out;
    const float before = server.plugin().getParameter(5);
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 16 << 1.f; });
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << -1 << 1.f; });
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 5; });
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 5 << "x"; });
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 5 << 1.f << 2.f; });
    client.send(port, "/Set", [](osc::OutboundPacketStream &p) { p << 5 << 1.f; });
    client.send(port, "/getInfo", [](osc::OutboundPacketStream &p) {
        p << 16 << "osc.udp://127.0.0.1:1"
          << "/x";
    });
    client.send(port, "/getAllRegistered", [](osc::OutboundPacketStream &p) { p << 1; });
    // "/get" with one argument too many sends nothing.
    const std::string url = client.url();
    client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 5 << url.c_str() << "/v" << 1; });
    sync();
    EXPECT_EQ(client.drain(100).size(), 0u);
    EXPECT_EQ(server.plugin().getParameter(5), before);
    EXPECT_EQ(out.text(), "error while parsing message: /set: parameter id out of range in set\n"
                          "error while parsing message: /set: parameter id out of range in set\n"
                          "error while parsing message: /set: missing argument\n"
                          "error while parsing message: /set: wrong argument type\n"
                          "error while parsing message: /set: too many arguments\n"
                          "error while parsing message: /getInfo: parameter id out of range in getInfo\n"
                          "error while parsing message: /getAllRegistered: too many arguments\n"
                          "error while parsing message: /get: too many arguments\n");
}

TEST_F(OscServer, BadReplyAddressesAreErrorsOfTheMessageOnly) {
    StdoutCapture out;
    auto get = [&](const std::string &url) {
        client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 1 << url.c_str() << "/v"; });
    };
    get("osc.udp://127.0.0.1");         // no colon
    get("127.0.0.1:");                  // no port
    get("127.0.0.1:junk");              // no digits
    get("127.0.0.1:70000");             // not a port
    get("127.0.0.1:-5");                // not a port
    get("no-such-host.invalid:9000");   // does not resolve
    get(std::string(2000, 'h') + ":1"); // only 1024 characters are read
    sync();
    EXPECT_EQ(out.count("error while parsing message: /get: no port in url\n"), 4);
    EXPECT_EQ(out.count("error while parsing message: /get: port out of range in url\n"), 2);
    EXPECT_EQ(out.count("error while parsing message: /get: unable to resolve host\n"), 1);
    // The server keeps serving, its values untouched.
    sendIdUrlPath("/get", 1, "/ok");
    auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].args[1].f, 1.f);
}

TEST_F(OscServer, SubscribersHearHostChangesOnly) {
    sendIdUrlPath("/registerUpdate", 3, "/speed");
    sendIdUrlPath("/registerUpdate", 3, "/speed"); // the same again: still one
    sendIdUrlPath("/registerUpdate", 3, "/speed2");
    sync();
    server.plugin().setParameter(3, 1.f);
    auto got = client.drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].path, "/speed");
    EXPECT_EQ(got[1].path, "/speed2");
    ASSERT_EQ(got[0].types(), "if");
    EXPECT_EQ(got[0].args[0].i, 3);
    EXPECT_EQ(got[0].args[1].f, 20.f);

    // Not subscribed, "/set", and program changes: no updates.
    server.plugin().setParameter(4, 1.f);
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 3 << 7.f; });
    sync();
    EXPECT_EQ(client.drain().size(), 0u);

    // "/getAllRegistered" tells every subscriber the current value.
    client.send(port, "/getAllRegistered");
    got = client.drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].path, "/speed");
    EXPECT_EQ(got[0].args[1].f, 7.f);

    sendIdUrlPath("/unregisterUpdate", 3, "/speed");
    sendIdUrlPath("/unregisterUpdate", 3, "/speed2");
    sync();
    server.plugin().setParameter(3, 0.f);
    EXPECT_EQ(client.drain().size(), 0u);
}

TEST_F(OscServer, UnregisterErrorsUseTheRegisterText) {
    StdoutCapture out;
    sendIdUrlPath("/unregisterUpdate", 16, "/x");
    sendIdUrlPath("/registerUpdate", -1, "/x");
    sync();
    EXPECT_EQ(
        out.count("error while parsing message: /unregisterUpdate: parameter id out of range in registerUpdate\n"), 1);
    EXPECT_EQ(out.count("error while parsing message: /registerUpdate: parameter id out of range in registerUpdate\n"),
              1);
}

} // namespace
