// The real plug-in module (murmelo.so, murmelo.dll) as a host sees it:
// identity, dispatcher answers and what a careless host may throw at it.
#include "tests/support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace testing_support;
using vsthost::Plugin;

namespace {

constexpr std::int32_t kQVmu = ('Q' << 24) | ('V' << 16) | ('m' << 8) | 'u';

class HostBoundary : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = loadMurmelo();
        ASSERT_TRUE(plugin);
    }
    std::unique_ptr<Plugin> plugin;
};

TEST_F(HostBoundary, ReportsItsIdentity) {
    vst2::AEffect *e = plugin->effect();
    EXPECT_EQ(e->magic, vst2::kEffectMagic);
    EXPECT_EQ(e->uniqueID, kQVmu);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numPrograms, 18);
    EXPECT_EQ(e->numParams, 16);
    // 0x19 with the editor, 0x18 in builds without one.
    const std::int32_t editor = MURMELO_HAS_EDITOR ? vst2::effFlagsHasEditor : 0;
    EXPECT_EQ(e->flags, editor | vst2::effFlagsCanMono | vst2::effFlagsCanReplacing);
    if (MURMELO_HAS_EDITOR) {
        // Hosts size their editor window before the first opening.
        vst2::ERect *r = nullptr;
        EXPECT_EQ(plugin->dispatch(vst2::effEditGetRect, 0, 0, &r), 1);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->right - r->left, 520);
        EXPECT_EQ(r->bottom - r->top, 256);
    }
    EXPECT_EQ(e->flags & vst2::effFlagsProgramChunks, 0);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(plugin->effectName(), "Murmelo");
    EXPECT_EQ(plugin->productString(), "Murmelo");
    EXPECT_EQ(plugin->vendorString(), "Quorvane");
    EXPECT_EQ(plugin->dispatch(vst2::effGetEffectName, 0, 0, std::string(64, 'x').data()), 1);
    EXPECT_EQ(plugin->dispatch(vst2::effGetVendorVersion), 0x00010100);
    EXPECT_EQ(plugin->dispatch(vst2::effGetVstVersion), 2400);
    EXPECT_EQ(plugin->dispatch(vst2::effGetPlugCategory), 1);
    EXPECT_EQ(plugin->dispatch(vst2::effIdentify), 0x4E764566);
}

TEST_F(HostBoundary, AnswersTheOpcodeTable) {
    EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 1);
    for (const char *other : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstTimeInfo", "offline",
                              "bypass", "midiProgramNames", "ReceiveVstMidiEvent", "x"})
        EXPECT_EQ(plugin->canDo(other), 0) << other;
    void *chunk = nullptr;
    EXPECT_EQ(plugin->dispatch(vst2::effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(plugin->dispatch(vst2::effSetChunk, 0, 16, &chunk), 0);
    EXPECT_EQ(plugin->dispatch(vst2::effCanBeAutomated, 7), 1);
    EXPECT_EQ(plugin->dispatch(vst2::effGetNumProgramCategories), 1);
    EXPECT_EQ(plugin->dispatch(vst2::effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin->dispatch(vst2::effGetTailSize), 0);
    for (auto op : {vst2::effString2Parameter, vst2::effGetParameterProperties, vst2::effCopyProgram,
                    vst2::effSetBypass, vst2::effGetInputProperties, vst2::effGetOutputProperties,
                    vst2::effSetSpeakerArrangement, vst2::effVendorSpecific, vst2::effGetNumMidiInputChannels,
                    vst2::effGetNumMidiOutputChannels, vst2::effGetSpeakerArrangement, vst2::effStartProcess})
        EXPECT_EQ(plugin->dispatch(op, 0, 0, nullptr), 0) << "opcode " << op;
    for (std::int32_t unknown : {80, 99, 1000, -1, -1000})
        EXPECT_EQ(plugin->dispatch(unknown, 3, 4, nullptr, 1.f), 0) << "opcode " << unknown;
}

TEST_F(HostBoundary, ResumeAsksForMidi) {
    plugin->clearCalls();
    plugin->resume();
    ASSERT_EQ(plugin->countCalls(vst2::audioMasterWantMidi), 1);
    for (const auto &c : plugin->calls()) {
        if (c.opcode == vst2::audioMasterWantMidi) {
            EXPECT_EQ(c.value, 1);
        }
    }
    EXPECT_EQ(plugin->sendMidi({{0, {0xB0, 7, 100}}}), 1);
}

TEST_F(HostBoundary, SurvivesCarelessHosts) {
    plugin->setProgram(3);
    for (auto op : {vst2::effGetParamName, vst2::effGetParamLabel, vst2::effGetParamDisplay, vst2::effGetProgramName,
                    vst2::effSetProgramName, vst2::effGetProgramNameIndexed, vst2::effCanDo, vst2::effGetEffectName,
                    vst2::effGetVendorString, vst2::effGetProductString, vst2::effProcessEvents, vst2::effGetChunk,
                    vst2::effEditGetRect})
        plugin->dispatch(op, 0, 0, nullptr);
    EXPECT_EQ(plugin->dispatch(vst2::effCanDo, 0, 0, const_cast<char *>("")), 0);
    for (int bad : {-1, 16, 17, 1 << 30, -(1 << 30)}) {
        plugin->setParameter(bad, 0.7f);
        EXPECT_EQ(plugin->getParameter(bad), 0.f);
        EXPECT_EQ(plugin->parameterName(bad), "");
        EXPECT_EQ(plugin->parameterLabel(bad), "");
        EXPECT_EQ(plugin->parameterDisplay(bad), "");
        EXPECT_EQ(plugin->dispatch(vst2::effGetProgramNameIndexed, bad), 0);
    }
    // 2^40 on 64-bit hosts: cut to an int it would read as program 0.
    const std::intptr_t huge = std::intptr_t(1) << (sizeof(std::intptr_t) > 4 ? 40 : 30);
    for (std::intptr_t bad : {std::intptr_t(18), std::intptr_t(-1), huge}) {
        plugin->dispatch(vst2::effSetProgram, 0, bad);
        EXPECT_EQ(plugin->program(), 3);
    }
    plugin->setProgram(-5);
    plugin->setProgram(18);
    EXPECT_EQ(plugin->programName(), "Opposites");
    // Nothing changed anywhere.
    for (int i = 0; i < 16; ++i)
        plugin->parameterDisplay(i);
    EXPECT_EQ(plugin->parameterDisplay(7), "Square");
}

// What Ardour, Reaper and Bitwig ask for: full names, short labels and the
// editor's groups, numbered in parameter order so each group is adjacent.
TEST_F(HostBoundary, DescribesParametersWithFullNamesAndGroups) {
    const char *const groups[16] = {
        "Mix",   "Mix",           "Speed",         "Speed",     "Speed",     "Depth",     "Depth",     "Shape",
        "Shape", "Chorus/Flange", "Chorus/Flange", "Speed LFO", "Speed LFO", "Depth LFO", "Depth LFO", "OSC"};
    int lastCategory = 0;
    for (int i = 0; i < 16; ++i) {
        vst2::VstParameterProperties p;
        std::memset(&p, 0x55, sizeof p); // the host's buffer may hold anything
        ASSERT_EQ(plugin->dispatch(vst2::effGetParameterProperties, i, 0, &p), 1) << i;
        const std::string shortName = plugin->parameterName(i);
        EXPECT_EQ(std::string(p.label).substr(0, shortName.size()), shortName) << i;
        EXPECT_EQ(p.flags, vst2::kVstParameterSupportsDisplayCategory) << i;
        EXPECT_GT(std::strlen(p.shortLabel), 0u) << i;
        EXPECT_LT(std::strlen(p.shortLabel), sizeof p.shortLabel) << i;
        EXPECT_STREQ(p.categoryLabel, groups[i]) << i;
        EXPECT_TRUE(p.category == lastCategory || p.category == lastCategory + 1) << "adjacent groups, " << i;
        lastCategory = p.category;
        int members = 0;
        for (const char *g : groups)
            members += std::strcmp(g, groups[i]) == 0 ? 1 : 0;
        EXPECT_EQ(p.numParametersInCategory, members) << i;
        EXPECT_EQ(p.stepFloat, 0.f);
        EXPECT_EQ(p.displayIndex, 0);
    }
    EXPECT_EQ(lastCategory, 8);
    vst2::VstParameterProperties p{};
    ASSERT_EQ(plugin->dispatch(vst2::effGetParameterProperties, 2, 0, &p), 1);
    EXPECT_STREQ(p.label, "Speed (superfine)") << "longer than effGetParamName's 15 characters";
    EXPECT_STREQ(p.shortLabel, "SpdSfin");
    EXPECT_EQ(plugin->dispatch(vst2::effGetParameterProperties, 16, 0, &p), 0);
    EXPECT_EQ(plugin->dispatch(vst2::effGetParameterProperties, -1, 0, &p), 0);
    EXPECT_EQ(plugin->dispatch(vst2::effGetParameterProperties, 0, 0, nullptr), 0);
}

TEST(EntryPoint, RefusesHostsThatAnswerNoVersion) {
    vsthost::HostOptions old;
    old.hostVersion = 0;
    std::string error;
    auto plugin = Plugin::load(pluginPath(), error, old);
    EXPECT_FALSE(plugin);
    EXPECT_NE(error.find("no instance"), std::string::npos) << error;
}

TEST(EntryPoint, ManyInstancesLiveSideBySide) {
    auto a = loadMurmelo(), b = loadMurmelo();
    ASSERT_TRUE(a && b);
    a->setProgram(8);
    a->setParameter(10, 1.f);
    EXPECT_EQ(b->program(), 0);
    EXPECT_EQ(b->parameterDisplay(10), "0.000");
    EXPECT_EQ(a->parameterDisplay(10), "100.0");
}

} // namespace
