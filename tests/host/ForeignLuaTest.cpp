// A host process that already holds another Lua, as Ardour's does: its
// executable exports lua_* and luaL_* names without symbol versions into the
// global scope.  The trap library defines every name of our Lua that way,
// each reporting its name and aborting when called, and is loaded with
// RTLD_GLOBAL before the plug-in.  Instances whose Lua calls reached the
// host's copy would end this program; the plug-in must carry its own.
#include "tests/layout/LayoutTestSupport.h"
#include "tests/osc/OscTestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace osc_test;

namespace {

void *trapLibrary = nullptr;

class ForeignLuaInProcess : public ::testing::Environment {
public:
    void SetUp() override { trapLibrary = dlopen(MURMELO_LUA_TRAP_PATH, RTLD_NOW | RTLD_GLOBAL); }
};
::testing::Environment *const foreignLua = ::testing::AddGlobalTestEnvironment(new ForeignLuaInProcess);

// A MIDI handler, a timer, an OSC-callable function: each changes a parameter.
const char kScript[] = R"(
requestCC(20, function(channel, controller, value) setParameter('Bias', value / 127) end)
requestTimedCallback(0.01, function() setParameter('Spread', 1) end)
function shapeFromOsc(v) setParameter('Shape', v) end
)";

constexpr int kSpread = 8, kShape = 7, kBias = 9;

std::vector<vsthost::Plugin::Midi> midiCc(int channel, int controller, int value) {
    vsthost::Plugin::Midi m{0,
                            {static_cast<unsigned char>(0xB0 | (channel - 1)), static_cast<unsigned char>(controller),
                             static_cast<unsigned char>(value)}};
    return {m};
}

void processBlocks(vsthost::Plugin &plugin, int blocks) {
    std::vector<float> in0(512, 0.1f), in1(512, 0.1f), out0(512), out1(512);
    float *inputs[] = {in0.data(), in1.data()};
    float *outputs[] = {out0.data(), out1.data()};
    for (int i = 0; i < blocks; ++i)
        plugin.process(inputs, outputs, 512);
}

TEST(ForeignLua, TheTrapStandsInTheGlobalScopeAndFires) {
    ASSERT_NE(trapLibrary, nullptr) << dlerror();
    void *global = dlsym(RTLD_DEFAULT, "luaL_newstate");
    ASSERT_EQ(global, dlsym(trapLibrary, "luaL_newstate")) << "the trap's name is the one the process sees";
    EXPECT_DEATH(reinterpret_cast<void (*)()>(global)(), "foreign Lua called: luaL_newstate");
}

TEST(ForeignLua, TwoInstancesRunTheirScriptsTimersAndOsc) {
    ASSERT_NE(trapLibrary, nullptr);
    UserScripts scripts;
    scripts.write("private.lua", kScript);
    ListeningPlugin first, second;
    ASSERT_TRUE(first.ok() && second.ok());
    OscClient client;
    for (ListeningPlugin *server : {&first, &second}) {
        vsthost::Plugin &plugin = server->plugin();
        plugin.start(44100.f, 512);
        plugin.sendMidi(midiCc(1, 20, 127));
        processBlocks(plugin, 2);
        EXPECT_FLOAT_EQ(plugin.getParameter(kBias), 1.f) << "MIDI handler";
        EXPECT_TRUE(testing_support::waitFor([&] { return plugin.getParameter(kSpread) == 1.f; })) << "timer callback";
        client.send(server->port(), "/exec", [](osc::OutboundPacketStream &p) { p << "shapeFromOsc" << 4.f; });
        ASSERT_TRUE(pingUntilAnswered(client, server->port()));
        EXPECT_FLOAT_EQ(plugin.getParameter(kShape), 1.f) << "/exec";
    }
}

TEST(ForeignLua, TwoEditorsRunTheirLayoutScripts) {
    ASSERT_NE(trapLibrary, nullptr);
    guitest::HostScreen screen;
    layouttest::PluginEditor one(screen), two(screen);
    EXPECT_EQ(one.rect(), std::make_pair(520, 256));
    ASSERT_TRUE(one.open());
    ASSERT_TRUE(two.open());
    one.idle(100);
    two.idle(100);
    two.close();
    one.close();
}

} // namespace
