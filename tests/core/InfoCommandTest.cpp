// The command-line tool's "info" command on the real plug-in.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using testing_support::pluginPath;
using testing_support::runCommand;
using testing_support::toolPath;

TEST(InfoCommand, PrintsIdentityParametersAndPrograms) {
    std::string out;
    ASSERT_EQ(runCommand(toolPath() + " info --json --plugin " + pluginPath(), out), 0);
    auto d = nlohmann::json::parse(out);
    EXPECT_EQ(d["effectName"], "Murmelo");
    EXPECT_EQ(d["vendorString"], "Quorvane");
    EXPECT_EQ(d["uniqueID"], "QVmu");
    ASSERT_EQ(d["parameters"].size(), 16u);
    EXPECT_EQ(d["parameters"][2]["name"], "Speed (superfin");
    EXPECT_EQ(d["parameters"][3]["display"], "5.000");
    EXPECT_EQ(d["parameters"][3]["label"], "Hz");
    ASSERT_EQ(d["programs"].size(), 18u);
    EXPECT_EQ(d["programs"][13], "Play with the Coarse Speed");
    ASSERT_EQ(runCommand(toolPath() + " info --plugin " + pluginPath(), out), 0);
    EXPECT_NE(out.find("Thicker"), std::string::npos);
    EXPECT_NE(runCommand(toolPath() + " info --plugin /nonexistent.so 2>&1", out), 0);
    EXPECT_NE(out.find("cannot load"), std::string::npos);
}

} // namespace
