// Our host library with modules of the Linux world: another maker's plug-in
// and shared objects that are no plug-in at all.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using vsthost::Plugin;

// Our host is not only tuned to our own plug-in: another maker's Linux
// VST 2.x plug-in loads, names itself and processes audio.
TEST(HostLibrary, LoadsAnotherMakersPlugin) {
    const std::string other = "/usr/lib/vst/3BandEQ-vst.so";
    if (access(other.c_str(), R_OK) != 0) GTEST_SKIP() << other << " is not installed";
    std::string error;
    auto plugin = Plugin::load(other, error);
    ASSERT_TRUE(plugin) << error;
    EXPECT_FALSE(plugin->effectName().empty());
    EXPECT_GT(plugin->effect()->numParams, 0);
    plugin->start(48000.f, 64);
    std::vector<float> in(64, 0.25f), outL(64, 9.f), outR(64, 9.f);
    float *ins[2] = {in.data(), in.data()};
    float *outs[2] = {outL.data(), outR.data()};
    plugin->process(ins, outs, 64);
    EXPECT_NE(outL[63], 9.f);
}

TEST(HostLibrary, ReportsModulesThatAreNotPlugins) {
    std::string error;
    EXPECT_FALSE(Plugin::load("/nonexistent/murmelo.so", error));
    EXPECT_NE(error.find("cannot load"), std::string::npos);
    EXPECT_FALSE(Plugin::load("libm.so.6", error));
    EXPECT_NE(error.find("neither VSTPluginMain nor main"), std::string::npos) << error;
}

} // namespace
