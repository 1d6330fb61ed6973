#include "core/ParameterGroups.h"

#include "core/Parameters.h"

namespace murmelo {

namespace {

// The groups of the default layout, in the order their first parameter comes.
const char *const kGroupNames[kNumParameterGroups] = {
    "Mix", "Speed", "Depth", "Shape", "Chorus/Flange", "Speed LFO", "Depth LFO", "OSC",
};

struct HostGrouping {
    const char *shortLabel;
    int group;
};

const HostGrouping kGrouping[kNumParameters] = {
    {"Dry", 1},     {"Wet", 1},     {"SpdSfin", 2}, {"SpdFine", 2}, {"SpdCrse", 2}, {"DptFine", 3},
    {"DptCrse", 3}, {"Shape", 4},   {"Spread", 4},  {"Bias", 5},    {"Fdback", 5},  {"SLfoSpd", 6},
    {"SLfoDpt", 6}, {"DLfoSpd", 7}, {"DLfoDpt", 7}, {"OscPort", 8},
};

} // namespace

const char *parameterShortLabel(int index) { return kGrouping[index].shortLabel; }

int parameterGroup(int index) { return kGrouping[index].group; }

const char *parameterGroupName(int group) { return kGroupNames[group - 1]; }

int parametersInGroup(int group) {
    int n = 0;
    for (const HostGrouping &g : kGrouping)
        n += g.group == group ? 1 : 0;
    return n;
}

} // namespace murmelo
