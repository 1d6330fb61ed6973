// The dispatcher driven in-process: packets handed straight to the effect's
// OSC server, for what has no network-visible answer (registered paths, the
// update queue's producer side).
#include "core/QrvMurmelo.h"
#include "midi/MurmeloLuaMIDIHelper.h"
#include "osc/OSCHelper.h"
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include <lua.h>

#include <oscpack/osc/OscOutboundPacketStream.h>

using namespace murmelo;

namespace {

vst2::VstIntPtr VST2_CALLBACK quietHost(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void *,
                                        float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

constexpr auto kAdded = QV::OSCHelper::Registration::Added;

class OscDispatch : public ::testing::Test {
protected:
    // Hands one message with float arguments to the server.
    void deliver(const char *path, std::initializer_list<float> values) {
        char buffer[1024];
        osc::OutboundPacketStream p(buffer, sizeof(buffer));
        p << osc::BeginMessage(path);
        for (float v : values)
            p << v;
        p << osc::EndMessage;
        osc().ProcessPacket(p.Data(), static_cast<int>(p.Size()), IpEndpointName("127.0.0.1", 9));
    }
    float value(int index) { return fx.currentProgram()->getValue(index); }
    QV::OSCHelper &osc() { return *fx.getOSCHelper(); }

    QrvMurmelo fx{quietHost};
};

TEST_F(OscDispatch, NormalizedPathMapsZeroToOneOntoTheRange) {
    const ParameterInfo &fine = parameterInfo(kSpeedFine);
    ASSERT_EQ(osc().registerPath("/fine", {{kSpeedFine, fine.minimum, fine.maximum - fine.minimum}}), kAdded);
    deliver("/fine", {0.5f});
    EXPECT_EQ(value(kSpeedFine), 10.25f);
    deliver("/fine", {0.f});
    EXPECT_EQ(value(kSpeedFine), 0.5f);
}

TEST_F(OscDispatch, EveryRegistrationOfAPathActs) {
    ASSERT_EQ(osc().registerPath("/levels", {{kDryLevel, 0.f, 1.f}, {kEffectLevel, 0.f, 1.f}}), kAdded);
    ASSERT_EQ(osc().registerPath("/levels", {{kFeedback, 0.f, 100.f}, {kSpread, 0.f, 1.f}}), kAdded);
    // Another length under the same path is refused; the first stays.
    EXPECT_EQ(osc().registerPath("/levels", {{kBias, 0.f, 1.f}}), QV::OSCHelper::Registration::InconsistentSizes);
    deliver("/levels", {0.25f, 0.5f});
    EXPECT_EQ(value(kDryLevel), 0.25f);
    EXPECT_EQ(value(kEffectLevel), 0.5f);
    EXPECT_EQ(value(kFeedback), 25.f);
    EXPECT_EQ(value(kSpread), 0.5f);
    EXPECT_EQ(value(kBias), 0.f);
}

TEST_F(OscDispatch, RegisteredPathsReadExactlyTheirArgumentsAndNeverTakeABuiltInPath) {
    // The fixed paths keep their meaning: "/set" cannot be taken over, but
    // another spelling of it is an ordinary path.
    EXPECT_EQ(osc().registerPath("/set", {{kShape, 0.f, 4.f}}), QV::OSCHelper::Registration::BuiltInPath);
    EXPECT_EQ(osc().registerPath("/ping", {{kShape, 0.f, 4.f}}), QV::OSCHelper::Registration::BuiltInPath);
    ASSERT_EQ(osc().registerPath("/Set", {{kShape, 0.f, 4.f}}), kAdded);
    deliver("/Set", {0.5f});
    EXPECT_EQ(value(kShape), 2.f);

    osc_test::StdoutCapture out;
    deliver("/Set", {0.25f, 0.5f});
    deliver("/Set", {});
    deliver("/set", {0.5f});
    EXPECT_EQ(value(kShape), 2.f);
    EXPECT_EQ(out.text(), "error while parsing message: /Set: too many arguments\n"
                          "error while parsing message: /Set: missing argument\n"
                          "error while parsing message: /set: wrong argument type\n");
}

TEST_F(OscDispatch, RegistrationsAreCapped) {
    const std::size_t cap = QV::OSCHelper::kMaxPathRegistrations;
    for (std::size_t i = 0; i < cap; ++i)
        ASSERT_EQ(osc().registerPath("/p" + std::to_string(i), {{kShape, 0.f, 1.f}}), kAdded) << i;
    EXPECT_EQ(osc().registerPath("/one-more", {{kShape, 0.f, 1.f}}), QV::OSCHelper::Registration::TooMany);
    EXPECT_EQ(osc().registerPath("/p0", {{kShape, 0.f, 1.f}}), QV::OSCHelper::Registration::TooMany);
    // Those in place still act; the refused one is an unknown path.
    deliver("/p1023", {3.f});
    EXPECT_EQ(value(kShape), 3.f);
    deliver("/one-more", {1.f});
    EXPECT_EQ(value(kShape), 3.f);
}

TEST_F(OscDispatch, OnlySubscribedHostChangesAreQueued) {
    fx.setParameter(kSpread, 0.5f);
    QV::SetParamQueue::Entry e;
    EXPECT_FALSE(osc().getQueue().Read(e));
    EXPECT_FALSE(osc().isRegisteredForUpdate(kSpread));
    EXPECT_EQ(osc().getQueue().writePosition(), 0);
}

TEST_F(OscDispatch, StopAndStartAgainWarnsOnlyWhileRunning) {
    osc_test::StdoutCapture out;
    osc().startTask();
    EXPECT_EQ(out.text(), "Warning: Attempt to recreate OSC task\n");
    osc().stopTask();
    osc().stopTask();
    osc().startTask();
    EXPECT_EQ(out.count("Warning"), 1);
}

// Whatever "/exec" and "/call" meet (results, errors, refusals, bad
// arguments), the interpreter's stack is left as it was.
TEST(OscScriptsInProcess, TheInterpreterStackIsLeftAsItWas) {
    osc_test::UserScripts scripts;
    scripts.write("s.lua", "function two() return 1, 2 end\nfunction bad() error('x') end\n"
                           "function flag() return true end\n");
    QrvMurmelo fx(quietHost);
    lua_State *L = fx.getMidiHost()->getLuaState();
    ASSERT_TRUE(L);
    const int top = lua_gettop(L);
    osc_test::StdoutCapture quiet;
    auto deliver = [&](const char *path, const std::function<void(osc::OutboundPacketStream &)> &fill) {
        char buffer[512];
        osc::OutboundPacketStream p(buffer, sizeof(buffer));
        p << osc::BeginMessage(path);
        fill(p);
        p << osc::EndMessage;
        fx.getOSCHelper()->ProcessPacket(p.Data(), static_cast<int>(p.Size()), IpEndpointName("127.0.0.1", 9));
    };
    const char *url = "127.0.0.1:9";
    for (const char *name : {"two", "bad", "flag", "missing", "loadstring", "print"}) {
        deliver("/call", [&](osc::OutboundPacketStream &p) { p << name << url << "/r" << 1 << "s"; });
        deliver("/exec", [&](osc::OutboundPacketStream &p) { p << name << true << 2.5; });
        deliver("/exec", [&](osc::OutboundPacketStream &p) { p << name << 'c'; });
        deliver("/call", [&](osc::OutboundPacketStream &p) {
            p << name << "nowhere"
              << "/r";
        });
        EXPECT_EQ(lua_gettop(L), top) << name;
    }
    EXPECT_EQ(quiet.count("error while parsing message: "), 4 + 3 + 6 + 6) << quiet.text();
}

// Closing an instance right after moving its port, while its OSC thread may
// be setting up the listening socket, still ends the thread at once.
TEST(OscLifetime, ClosingWhileAPortIsBeingOpened) {
    osc_test::basePort(); // this process's own settings
    for (int n = 0; n < 200; ++n) {
        const auto start = std::chrono::steady_clock::now();
        {
            QrvMurmelo fx(quietHost);
            fx.setParameter(kOscPortOffset, osc_test::offsetToNormalised(osc_test::pickFreeOffset()));
        }
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "round " << n;
    }
}

} // namespace
