// Values that are not numbers, or far outside a parameter's range, arriving
// over real UDP ("/set", a script-registered path, a script function called
// through "/exec") and through the host: non-finite ones are refused with an
// error line, the rest are clamped, and "Chorusy" keeps sounding.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace osc_test;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
constexpr int kChorusy = 8;
constexpr int kFeedback = 10;
// Chorusy's feedback, 21 %, as the host sees it.
constexpr float kChorusyFeedback = (21.f + 100.f) / 200.f;

const char kScript[] = R"(
function feedback(v) setParameter('Feedback', v) end
registerOSCPathForParameter('/fb', 'Feedback')
registerOSCPathForParameterNormalized('/mix', {'Bias', 'Feedback'})
)";

class RefusedValues : public ::testing::Test {
protected:
    void SetUp() override {
        scripts.write("values.lua", kScript);
        server = std::make_unique<ListeningPlugin>();
        ASSERT_TRUE(server->ok());
        port = server->port();
        // Chorusy, still listening on the same port.
        plugin().setProgram(kChorusy);
        plugin().setParameter(15, offsetToNormalised(port - basePort()));
        plugin().start(44100.f, 512);
        sync();
        ASSERT_FLOAT_EQ(plugin().getParameter(kFeedback), kChorusyFeedback);
        ASSERT_TRUE(soundsFinite(20));
    }
    vsthost::Plugin &plugin() { return server->plugin(); }
    void sync() { ASSERT_TRUE(pingUntilAnswered(client, port)); }
    void set(int id, float value) {
        client.send(port, "/set", [&](osc::OutboundPacketStream &p) { p << id << value; });
    }
    // Runs blocks of a 440 Hz sine through the plug-in; true when every
    // output sample is finite and below a bound no sane setting exceeds.
    bool soundsFinite(int blocks) {
        std::vector<float> inL(512), inR(512), outL(512), outR(512);
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < 512; ++i)
                inL[i] = inR[i] = 0.5f * std::sin(2.f * 3.14159265f * 440.f * float(phase++) / 44100.f);
            float *in[2] = {inL.data(), inR.data()}, *out[2] = {outL.data(), outR.data()};
            plugin().process(in, out, 512);
            for (int i = 0; i < 512; ++i)
                if (!(std::fabs(outL[i]) < 1e6f) || !(std::fabs(outR[i]) < 1e6f)) return false;
        }
        return true;
    }

    UserScripts scripts;
    std::unique_ptr<ListeningPlugin> server;
    OscClient client;
    int port = 0;
    long phase = 0;
};

TEST_F(RefusedValues, SetRefusesNonFiniteValuesWithAnErrorLineAndClampsTheRest) {
    StdoutCapture out;
    for (float bad : {kNaN, kInf, -kInf}) {
        set(kFeedback, bad);
        sync();
        EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), kChorusyFeedback) << bad;
        EXPECT_TRUE(soundsFinite(40)) << bad;
    }
    EXPECT_EQ(out.count("error while parsing message: /set: parameter value not finite in set\n"), 3) << out.text();

    set(kFeedback, 1e30f);
    set(9, -7.f); // Bias: 0..1
    sync();
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), 1.f);
    EXPECT_EQ(plugin().parameterDisplay(kFeedback), "100.0");
    EXPECT_FLOAT_EQ(plugin().getParameter(9), 0.f);
    EXPECT_TRUE(soundsFinite(260)) << "three seconds at 100 % feedback";
    EXPECT_EQ(out.count("\n"), 3) << "clamping is silent: " << out.text();

    // The speeds whose default 0 means "off" keep it; other values clamp.
    set(4, 0.f);
    set(2, -3.f);
    sync();
    EXPECT_EQ(plugin().parameterDisplay(4), "0");
    EXPECT_FLOAT_EQ(plugin().getParameter(2), 0.f);
}

TEST_F(RefusedValues, RegisteredPathsCheckEveryValueBeforeWritingAny) {
    StdoutCapture out;
    client.send(port, "/fb", [](osc::OutboundPacketStream &p) { p << kNaN; });
    // Bias would be fine, but the feedback scaled by 200 overflows: neither
    // is written.
    client.send(port, "/mix", [](osc::OutboundPacketStream &p) { p << 0.5f << 3e38f; });
    sync();
    EXPECT_EQ(out.text(), "error while parsing message: /fb: parameter value not finite in registered path\n"
                          "error while parsing message: /mix: parameter value not finite in registered path\n");
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), kChorusyFeedback);
    EXPECT_FLOAT_EQ(plugin().getParameter(9), 1.f);

    client.send(port, "/fb", [](osc::OutboundPacketStream &p) { p << -1e30f; });
    sync();
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), 0.f);
    client.send(port, "/mix", [](osc::OutboundPacketStream &p) { p << 0.25f << 9.f; });
    sync();
    EXPECT_FLOAT_EQ(plugin().getParameter(9), 0.25f);
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), 1.f);
    EXPECT_TRUE(soundsFinite(100));
}

TEST_F(RefusedValues, ScriptsAndTheHostGetTheSameTreatment) {
    StdoutCapture out;
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "feedback" << kNaN; });
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "feedback" << kInf; });
    sync();
    EXPECT_EQ(out.count("error while parsing message: /exec: failed to exec function\n"), 2) << out.text();
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), kChorusyFeedback);
    client.send(port, "/exec", [](osc::OutboundPacketStream &p) { p << "feedback" << 1e30f; });
    sync();
    EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), 1.f);
    EXPECT_TRUE(soundsFinite(40));

    // The host: non-finite keeps the previous value, the rest clamps to 0..1.
    plugin().setParameter(kFeedback, kChorusyFeedback);
    for (float bad : {kNaN, kInf, -kInf}) {
        plugin().setParameter(kFeedback, bad);
        EXPECT_FLOAT_EQ(plugin().getParameter(kFeedback), kChorusyFeedback) << bad;
    }
    for (int index : {0, 1, 9, kFeedback}) {
        plugin().setParameter(index, 2.f);
        EXPECT_FLOAT_EQ(plugin().getParameter(index), 1.f) << index;
        plugin().setParameter(index, -1.f);
        EXPECT_FLOAT_EQ(plugin().getParameter(index), 0.f) << index;
    }
    plugin().setParameter(1, 2.f);
    plugin().setParameter(kFeedback, 2.f);
    EXPECT_TRUE(soundsFinite(260));
}

} // namespace
