#include "core/Programs.h"

#include "core/CFString.h"

#include <cstring>

namespace murmelo {

QrvProgramBasic::QrvProgramBasic() : name{} {
    for (auto &v : values)
        v.store(0.f, std::memory_order_relaxed);
}

void QrvProgramBasic::setName(const char *text) {
    if (!text) return;
    std::strncpy(name, text, sizeof(name));
    name[sizeof(name) - 1] = 0;
}

namespace {

struct FactoryRow {
    const char *name;
    int valuesGiven;
    float values[kNumParameters];
};

// Columns: Dry Level, Effect Level, Speed (superfine), Speed (fine),
// Speed (coarse), Depth (fine), Depth (coarse), Shape, Spread, Bias,
// Feedback, Speed LFO Speed, Speed LFO Depth, Depth LFO Speed,
// Depth LFO Depth, OSC Port Offset.
const FactoryRow kFactoryRows[kNumPrograms] = {
    {"Defaults", 0, {}},
    {"Wobbly", 16, {0, 1, 0.001f, 8.998f, 10, 3.55f, 0, 0, 0, 0, 0, 0.2f, 0, 0.5f, 0, 0}},
    {"Ensemble", 16, {0.87f, 0.915f, 0.001f, 5.098f, 10, 1.8f, 0, 0, 0.155f, 0, 0, 0.2f, 0, 0.5f, 0, 0}},
    {"Opposites", 16, {0, 1, 0.001f, 2.563f, 10, 3.8f, 8, 4, 0.485f, 0, 0, 0.2f, 0, 0.5f, 0, 0}},
    {"Watch Out", 16, {0, 1, 0.001f, 1.978f, 10, 0.4f, 16, 1, 0, 0, 0, 0.2f, 0, 0.5f, 0, 0}},
    {"Mangly", 16, {0, 1, 0.001f, 4.415f, 359.3f, 1.4f, 78, 0, 0, 0, 0, 0.2f, 10, 0.5f, 0, 0}},
    {"Some Depth LFO", 16, {0.585f, 0.96f, 0.001f, 5, 10, 1, 0, 0, 0, 0, 0, 0.2f, 0, 0.5f, 1.175f, 0}},
    {"Some Speed LFO", 16, {0.585f, 0.96f, 0.001f, 2.173f, 10, 1, 0, 0, 0, 0, 0, 0.3f, 2.85f, 0.5f, 0, 0}},
    {"Chorusy", 16, {0.76f, 0.945f, 0.001f, 4.415f, 10, 4.1f, 0, 0, 0.405f, 1, 21, 0.2f, 0, 4.59f, 0.425f, 0}},
    {"Flangey", 16, {0.38f, 0.945f, 0.001f, 18.162f, 10, 4, 0, 0, 0.405f, 1, 72, 0.2f, 0, 0.201f, 1.6f, 0}},
    {"Simple Delay", 16, {1, 1, 0.001f, 5, 10, 1, 278, 0, 0, 1, 71, 0.2f, 0, 0.6f, 0, 0}},
    {"Wobbly Delay", 16, {1, 1, 0.001f, 6.837f, 10, 1, 368, 0, 0, 0.985f, 74, 0.2f, 1.2f, 0.6f, 0, 0}},
    {"More Mangly",
     16,
     {0, 1, 0.001f, 6.837f, 84.85f, 1, 334, 3.3f, 0.23f, 0.365f, 66, 0.2f, 4.75f, 6.585f, 3.575f, 0}},
    {"Play with the Coarse Speed",
     16,
     {0, 1, 0.001f, 6.837f, 783.45f, 1, 278, 1.66f, 0.345f, 0.73f, -93, 1.597f, 5.2f, 0.3f, 4.975f, 0}},
    {"All Over The Place",
     16,
     {0, 1, 0.051f, 0.5f, 10, 1, 88, 0.42f, 0.06f, 0.355f, 83, 0.37f, 2.9f, 0.929f, 1.575f, 0}},
    {"Drunken Dub", 16, {0, 1, 0.021f, 0.5f, 10, 1, 0, 0, 0, 0.975f, 81, 0.2f, 0.015f, 0.5f, 0, 0}},
    {"Tight Flange", 16, {0, 1, 0.237f, 0.5f, 10, 0.085f, 0, 0, 0, 0.42f, 94, 0.2f, 0, 0.5f, 0, 0}},
    {"Thicker", 16, {0.955f, 1, 0.001f, 4.887f, 10, 3.635f, 0, 0, 0.265f, 0.91f, -1, 0.3f, 1.6f, 0.5f, 1.025f, 0}},
};

} // namespace

const FactoryProgram *factoryPrograms() {
    // Built once per process, the first time an instance asks.
    static const auto *table = [] {
        auto *programs = new FactoryProgram[kNumPrograms];
        for (int r = 0; r < kNumPrograms; ++r) {
            const FactoryRow &row = kFactoryRows[r];
            programs[r].name = CFString::constant(row.name);
            programs[r].valuesGiven = row.valuesGiven;
            for (int j = 0; j < kNumParameters; ++j)
                programs[r].values[j] = j < row.valuesGiven ? row.values[j] : parameterInfo(j).defaultValue;
        }
        return programs;
    }();
    return table;
}

} // namespace murmelo
