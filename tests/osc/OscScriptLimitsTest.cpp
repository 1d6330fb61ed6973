// What a network client and a script may not do through OSC: reach other
// instances, other addresses or the address space from "/exec" and
// "/call", take over a built-in path, or register paths without end.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

using namespace osc_test;

namespace {

constexpr int kFeedback = 10; // -100..100 %

const char kScript[] = R"(
relay = setOthersParameter
sender = sendOSC
function mine(value) setOthersParameter(0, 'Feedback', value) end
function theirs() return getOthersParameter(0, 'Feedback') end
registerOSCPathForParameter('/ping', 'Bias')
registerOSCPathForParameter('/mine', 'Bias')
for i = 1, 1100 do registerOSCPathForParameter('/many/' .. i, 'Shape') end
)";

class OscScriptLimits : public ::testing::Test {
protected:
    void SetUp() override {
        scripts.write("limits.lua", kScript);
        {
            StdoutCapture out;
            server = std::make_unique<ListeningPlugin>();
            loadOutput = out.text();
        }
        StdoutCapture quiet;
        other = loadPlugin(); // OSC off: "OSC Port Offset" 0
        ASSERT_TRUE(server->ok());
        ASSERT_TRUE(other);
        port = server->port();
    }
    void exec(const std::function<void(osc::OutboundPacketStream &)> &fill) { client.send(port, "/exec", fill); }
    void sync() { ASSERT_TRUE(pingUntilAnswered(client, port)); }

    UserScripts scripts;
    std::unique_ptr<ListeningPlugin> server;
    std::unique_ptr<vsthost::Plugin> other;
    std::string loadOutput;
    OscClient client;
    int port = 0;
};

TEST_F(OscScriptLimits, ExecCannotReachBeyondTheInstance) {
    const float before = other->getParameter(kFeedback);
    OscClient bystander;
    const std::string bystanderUrl = bystander.url();
    StdoutCapture out;
    for (const char *name : {"setOthersParameter", "relay"})
        exec([&](osc::OutboundPacketStream &p) { p << name << 0 << "Feedback" << 1e30f; });
    exec([](osc::OutboundPacketStream &p) { p << "setOthersGUIBoolValue" << 0 << 1 << true; });
    for (const char *name : {"sendOSC", "sender"})
        exec([&](osc::OutboundPacketStream &p) { p << name << bystanderUrl.c_str() << "/hello"; });
    exec([](osc::OutboundPacketStream &p) {
        p << "registerOSCPathForParameter"
          << "/taken" << 0;
    });
    exec([](osc::OutboundPacketStream &p) {
        p << "registerOSCPathForParameterNormalized"
          << "/taken" << 0;
    });
    const std::string url = client.url();
    for (const char *name : {"getOthersParameter", "getOthersGUIBoolValue"})
        client.send(port, "/call", [&](osc::OutboundPacketStream &p) { p << name << url.c_str() << "/r" << 0 << 1; });
    sync();
    EXPECT_EQ(out.count("error while parsing message: /exec: failed to exec function\n"), 7) << out.text();
    EXPECT_EQ(out.count("error while parsing message: /call: failed to exec function\n"), 2) << out.text();
    EXPECT_EQ(other->getParameter(kFeedback), before);
    EXPECT_EQ(bystander.drain(200).size(), 0u) << "sendOSC ran for a network client";
    EXPECT_EQ(client.drain(100).size(), 0u);
    const float dry = server->plugin().getParameter(0);
    client.send(port, "/taken", [](osc::OutboundPacketStream &p) { p << 1.f; });
    sync();
    EXPECT_EQ(server->plugin().getParameter(0), dry) << "a network client registered a path";

    // The scripts' own functions may still use them.
    exec([](osc::OutboundPacketStream &p) { p << "mine" << 50.f; });
    sync();
    EXPECT_FLOAT_EQ(other->getParameter(kFeedback), 0.75f);
    client.send(port, "/call", [&](osc::OutboundPacketStream &p) { p << "theirs" << url.c_str() << "/r"; });
    const auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].types(), "f");
    EXPECT_EQ(got[0].args[0].f, 50.f);
}

TEST_F(OscScriptLimits, BuiltInPathsCannotBeTakenAndRegistrationsAreCapped) {
    EXPECT_NE(loadOutput.find("@@@ /ping is a built-in OSC path and cannot be registered\n"), std::string::npos)
        << loadOutput;
    // "/mine" and "/many/1" .. "/many/1023" fill the 1,024 places.
    const std::string refused = "@@@ too many registered OSC paths (at most 1024); /many/1024 was not registered\n";
    EXPECT_NE(loadOutput.find(refused), std::string::npos) << loadOutput;
    std::size_t refusals = 0;
    for (std::size_t at = loadOutput.find("@@@ too many"); at != std::string::npos;
         at = loadOutput.find("@@@ too many", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 1100u - 1023u);

    EXPECT_TRUE(pingUntilAnswered(client, port)) << "/ping still answers";
    vsthost::Plugin &plugin = server->plugin();
    client.send(port, "/many/1023", [](osc::OutboundPacketStream &p) { p << 3.f; });
    client.send(port, "/mine", [](osc::OutboundPacketStream &p) { p << 0.5f; });
    sync();
    EXPECT_FLOAT_EQ(plugin.getParameter(7), 3.f / 4.f);
    EXPECT_FLOAT_EQ(plugin.getParameter(9), 0.5f);
    StdoutCapture out;
    client.send(port, "/many/1024", [](osc::OutboundPacketStream &p) { p << 1.f; });
    sync();
    EXPECT_FLOAT_EQ(plugin.getParameter(7), 3.f / 4.f) << "a refused path changes nothing";
    EXPECT_EQ(out.text(), "");
}

} // namespace
