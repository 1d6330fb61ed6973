// The embedded default script's CC map, watched through a probe script that
// runs after it and logs all 16 values.
#include "tests/midi/MidiTestSupport.h"

#include <cmath>
#include <sstream>

using namespace midi_test;

namespace {

const char kProbe[] = R"(
local function dump(tag)
  local values = {}
  for i = 0, 15 do values[#values + 1] = string.format('%.9g', getParameter(i)) end
  log(tag .. ' ' .. table.concat(values, ','))
end
requestAllCC(function() dump('cc') end)
requestAllNoteOn(function() dump('note') end)
)";

class DefaultMidiScript : public MidiScripts {
protected:
    void SetUp() override {
        writeScript("probe.lua", kProbe);
        plugin = load();
        ASSERT_TRUE(plugin);
        ASSERT_EQ(loadOutput, "");
    }

    // The 16 values after one message, as the probe saw them.
    std::vector<double> after(const std::vector<Plugin::Midi> &message) {
        clearLog();
        plugin->sendMidi(message);
        std::vector<double> values;
        const std::vector<std::string> lines = logLines();
        if (lines.size() != 1) {
            ADD_FAILURE() << "expected one probe line, got " << lines.size();
            return std::vector<double>(16, NAN);
        }
        std::istringstream in(lines[0].substr(lines[0].find(' ') + 1));
        std::string item;
        while (std::getline(in, item, ','))
            values.push_back(std::stod(item));
        return values;
    }
    double afterCC(int controller, int value, int channel = 1) {
        return after(cc(channel, controller, value))[mapped(controller)];
    }
    static int mapped(int controller) {
        for (const Row &r : kRows)
            if (r.cc == controller) return r.param;
        return 0;
    }

    struct Row {
        int cc, param;
        double at0, at127;
    };
    static constexpr Row kRows[] = {
        {0, 0, 0, 1},     {2, 1, 0, 1},       {3, 2, 0.001, 1},    {4, 3, 0.5, 20},
        {5, 4, 10, 5000}, {8, 5, 0, 10},      {9, 6, 0, 400},      {11, 7, 0, 4},
        {12, 8, 0, 1},    {13, 9, 0, 1},      {14, 10, -100, 100}, {15, 11, 0.05, 20},
        {16, 12, 0, 10},  {17, 13, 0.05, 20}, {18, 14, 0, 5},      {19, 15, 0, 100},
    };
    std::unique_ptr<Plugin> plugin;
};

constexpr DefaultMidiScript::Row DefaultMidiScript::kRows[];

double tolerance(double x) { return 1e-5 * std::max(1.0, std::fabs(x)); }

TEST_F(DefaultMidiScript, MapsEveryParameterFromItsMinimumToItsMaximum) {
    for (const Row &r : kRows) {
        EXPECT_NEAR(afterCC(r.cc, 0), r.at0, tolerance(r.at0)) << "CC " << r.cc;
        EXPECT_NEAR(afterCC(r.cc, 127), r.at127, tolerance(r.at127)) << "CC " << r.cc;
    }
}

TEST_F(DefaultMidiScript, ScalesByRangeUnitAndCurve) {
    // Around zero: 64 is exactly the middle, each half linear.
    EXPECT_EQ(afterCC(14, 64), 0.0);
    EXPECT_NEAR(afterCC(14, 32), -50.0, 1e-4);
    EXPECT_NEAR(afterCC(14, 96), -100.0 + 200.0 * (0.5 + 32 * 0.5 / 63), 1e-4);
    // Hertz: exponential.
    EXPECT_NEAR(afterCC(4, 64), 0.5 * std::pow(40.0, 64 / 127.0), 1e-4);
    EXPECT_NEAR(afterCC(5, 100), 10 * std::pow(500.0, 100 / 127.0), 1e-2);
    // Indexed: rounded.  64/127 * 100 = 50.39.
    EXPECT_EQ(afterCC(19, 64), 50.0);
    EXPECT_EQ(afterCC(19, 1), 1.0);
    // Shape is generic, not rounded.
    EXPECT_NEAR(afterCC(11, 64), 64 * 4 / 127.0, 1e-5);
    // Every channel is heard.
    EXPECT_NEAR(afterCC(0, 127, 16), 1.0, 1e-6);
    EXPECT_NEAR(afterCC(0, 0, 9), 0.0, 1e-6);
}

TEST_F(DefaultMidiScript, AvoidedAndUnmappedControllersChangeNothing) {
    const std::vector<double> before = after(noteOn(1, 60, 1));
    for (int controller : {1, 6, 7, 10, 38, 64, 98, 99, 20, 21, 50, 100, 127})
        for (int value : {0, 64, 127})
            EXPECT_EQ(after(cc(1, controller, value)), before) << "CC " << controller;
}

TEST_F(DefaultMidiScript, ReachesTheHostAsADisplayRefreshAndANewValue) {
    plugin->clearCalls();
    plugin->sendMidi(cc(1, 14, 127));
    EXPECT_GE(plugin->countCalls(vst2::audioMasterUpdateDisplay), 1);
    EXPECT_EQ(plugin->countCalls(vst2::audioMasterAutomate), 0);
    EXPECT_NEAR(plugin->getParameter(10), 1.0, 1e-6);
    EXPECT_EQ(plugin->parameterDisplay(10), "100.0");
    plugin->sendMidi(cc(1, 14, 0));
    EXPECT_NEAR(plugin->getParameter(10), 0.0, 1e-6);
}

} // namespace
