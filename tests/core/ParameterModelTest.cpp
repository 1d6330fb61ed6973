// Parameters and programs through the host's eyes: mapping, texts, programs.
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class ParameterModel : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = loadMurmelo();
        ASSERT_TRUE(plugin);
    }
    // Sets a real value through the host mapping and reads the display.
    std::string displayAt(int index, float normalised) {
        plugin->setParameter(index, normalised);
        return plugin->parameterDisplay(index);
    }
    std::unique_ptr<vsthost::Plugin> plugin;
};

TEST_F(ParameterModel, NamesAndLabels) {
    const char *names[16] = {
        "Dry Level",       "Effect Level",    "Speed (superfin", "Speed (fine)",   "Speed (coarse)", "Depth (fine)",
        "Depth (coarse)",  "Shape",           "Spread",          "Bias",           "Feedback",       "Speed LFO Speed",
        "Speed LFO Depth", "Depth LFO Speed", "Depth LFO Depth", "OSC Port Offset"};
    const char *labels[16] = {"", "", "Hz", "Hz", "Hz", "%", "%", "", "", "", "%", "Hz", "", "Hz", "", ""};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(plugin->parameterName(i), names[i]);
        EXPECT_EQ(plugin->parameterLabel(i), labels[i]);
    }
    // Names occupy exactly 16 bytes, zero-filled.
    char buffer[32];
    std::memset(buffer, 'x', sizeof(buffer));
    plugin->dispatch(vst2::effGetParamName, 7, 0, buffer);
    for (int i = 5; i < 16; ++i)
        EXPECT_EQ(buffer[i], 0);
    EXPECT_EQ(buffer[16], 'x');
}

TEST_F(ParameterModel, MapsBetweenNormalisedAndReal) {
    plugin->setParameter(3, 0.f);
    EXPECT_EQ(plugin->parameterDisplay(3), "0"); // 0.5 Hz is "off"
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 0.f);
    plugin->setParameter(3, 1.f);
    EXPECT_EQ(plugin->parameterDisplay(3), "20.00");
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 1.f);
    plugin->setParameter(3, std::log(10.f) / std::log(40.f));
    EXPECT_EQ(plugin->parameterDisplay(3), "5.000");
    EXPECT_NEAR(plugin->getParameter(3), 0.6242, 1e-4);
    EXPECT_EQ(displayAt(15, 0.5f), "50");
    EXPECT_EQ(displayAt(15, 0.504f), "50");
    EXPECT_EQ(displayAt(15, 0.506f), "51");
    EXPECT_FLOAT_EQ(plugin->getParameter(15), 0.51f);
    EXPECT_EQ(displayAt(10, 0.25f), "-50.000");
    EXPECT_FLOAT_EQ(plugin->getParameter(10), 0.25f);
    // Values outside 0..1 count as their nearer end.
    EXPECT_EQ(displayAt(6, 1.5f), "400.0");
    EXPECT_FLOAT_EQ(plugin->getParameter(6), 1.f);
    EXPECT_EQ(displayAt(6, -0.5f), "0.000");
}

TEST_F(ParameterModel, SpeedsAtZeroReportTheBottomOfTheRange) {
    // "Speed (superfine)" and "Speed (coarse)" default to 0, below their
    // minimum: reported as 0, which maps back to the minimum, also "off".
    for (int index : {2, 4}) {
        const float x = plugin->getParameter(index);
        EXPECT_TRUE(std::isfinite(x));
        EXPECT_EQ(x, 0.f);
        EXPECT_EQ(plugin->parameterDisplay(index), "0");
        plugin->setParameter(index, x);
        EXPECT_EQ(plugin->parameterDisplay(index), "0");
    }
}

TEST_F(ParameterModel, DisplayTexts) {
    auto shapeAt = [&](float shape) { return displayAt(7, shape / 4.f); };
    EXPECT_EQ(shapeAt(1.004f), "Saw Up");
    EXPECT_EQ(shapeAt(1.006f), "1.006");
    EXPECT_EQ(shapeAt(4.f), "Square");
    EXPECT_EQ(shapeAt(0.f), "Sine");
    EXPECT_EQ(shapeAt(2.f), "Saw Down");
    EXPECT_EQ(shapeAt(2.998f), "Tri");
    EXPECT_EQ(displayAt(0, 0.5f), "0.500");
    EXPECT_EQ(plugin->parameterLabel(0), "");
    EXPECT_EQ(displayAt(10, 0.855f), "71.00");
    EXPECT_EQ(plugin->parameterLabel(10), "%");
    EXPECT_EQ(displayAt(10, 0.f), "-100.000");
    EXPECT_EQ(displayAt(15, 0.f), "Off");
    EXPECT_EQ(displayAt(15, 0.03f), "3");
    EXPECT_EQ(displayAt(6, 0.625f), "250.0");
    EXPECT_EQ(displayAt(4, 1.f), "5000");
    // "Speed (superfine)" 0.002: normalised log(2)/log(1000).
    EXPECT_EQ(displayAt(2, std::log(2.f) / std::log(1000.f)), "0.002");
    EXPECT_EQ(displayAt(4, 0.f), "0");
}

TEST_F(ParameterModel, NewInstanceIsOnTheDefaults) {
    EXPECT_EQ(plugin->program(), 0);
    EXPECT_EQ(plugin->programName(), "Defaults");
    const char *expected[16] = {"0.000", "1.000", "0",     "5.000", "0",     "1.000", "0.000", "Sine",
                                "0.000", "0.000", "0.000", "0.200", "0.000", "0.500", "0.000", "Off"};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(plugin->parameterDisplay(i), expected[i]) << i;
}

TEST_F(ParameterModel, FactoryPrograms) {
    const char *names[18] = {"Defaults",
                             "Wobbly",
                             "Ensemble",
                             "Opposites",
                             "Watch Out",
                             "Mangly",
                             "Some Depth LFO",
                             "Some Speed LFO",
                             "Chorusy",
                             "Flangey",
                             "Simple Delay",
                             "Wobbly Delay",
                             "More Mangly",
                             "Play with the Coarse Speed",
                             "All Over The Place",
                             "Drunken Dub",
                             "Tight Flange",
                             "Thicker"};
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(plugin->programNameIndexed(i), names[i]);
    EXPECT_EQ(plugin->programNameIndexed(18), "");
    plugin->setProgram(1);
    EXPECT_EQ(plugin->parameterDisplay(4), "0"); // coarse 10 is "off"
    EXPECT_EQ(plugin->parameterDisplay(3), "8.998");
    plugin->setProgram(13);
    EXPECT_EQ(plugin->programName(), "Play with the Coarse Speed");
    EXPECT_EQ(plugin->parameterDisplay(4), "783.5");
    EXPECT_EQ(plugin->parameterDisplay(10), "-93.000");
    EXPECT_EQ(plugin->parameterDisplay(7), "1.660");
    plugin->setProgram(9);
    EXPECT_EQ(plugin->parameterDisplay(3), "18.16");
    EXPECT_EQ(plugin->parameterDisplay(14), "1.600");
}

TEST_F(ParameterModel, ProgramsAreEditedInPlace) {
    plugin->setProgram(8);
    plugin->setParameter(10, 0.f);
    char name[] = "A name that is much longer than thirty-one characters";
    plugin->dispatch(vst2::effSetProgramName, 0, 0, name);
    plugin->setProgram(2);
    EXPECT_EQ(plugin->programName(), "Ensemble");
    plugin->setProgram(8);
    EXPECT_EQ(plugin->parameterDisplay(10), "-100.000");
    EXPECT_EQ(plugin->programName(), "A name that is much longer than");
    EXPECT_EQ(plugin->programName().size(), 31u);
    EXPECT_EQ(plugin->programNameIndexed(8), "A name that is much longer than");
    char empty[] = "";
    plugin->dispatch(vst2::effSetProgramName, 0, 0, empty);
    EXPECT_EQ(plugin->programNameIndexed(8), "");
}

} // namespace
