// A layout script's sendOSC reaching a real UDP socket, read with the OSC
// tests' client (POSIX sockets: Linux only).
#include "tests/layout/LayoutTestSupport.h"
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include "core/Parameters.h"

using layouttest::PluginEditor;
using layouttest::UserSetup;

TEST(LayoutOsc, ScriptsSendOscToAUdpSocket) {
    guitest::HostScreen screen;
    osc_test::OscClient client;
    UserSetup user;
    user.writeSettings("Skin = Sender\n");
    user.writeSkin("Sender", "function getWindowSize() return 200, 100 end\n"
                             "function createUI() setBackgroundColour(0, 0, 1) sendOSC(\"" +
                                 client.url() +
                                 "\", \"/layout/opened\", { getParameter(\"Feedback\"), \"hi\" }) end\n");
    PluginEditor e(screen);
    e.plugin().setParameter(murmelo::kFeedback, 0.75f); // 50 %
    ASSERT_TRUE(e.open());
    const std::vector<osc_test::Message> got = client.receive(3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].path, "/layout/opened");
    EXPECT_EQ(got[0].types(), "fs");
    EXPECT_FLOAT_EQ(got[0].args[0].f, 50.f);
    EXPECT_EQ(got[0].args[1].s, "hi");
}
