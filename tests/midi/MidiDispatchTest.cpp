// MIDI from the host reaching script handlers: decoding, argument values,
// handler order, NRPN assembly, and what is ignored.
#include "tests/midi/MidiTestSupport.h"

#include <cstddef>
#include <cstring>

using namespace midi_test;

namespace {

const char kLogEverything[] = R"(
requestAllNoteOn(function(c, n, v) log('on', c, n, v) end)
requestAllNoteOff(function(c, n, v) log('off', c, n, v) end)
requestAllCC(function(c, n, v) log('cc', c, n, v) end)
requestAllNRPN(function(c, n, v) log('nrpn', c, n, v) end)
requestAllProgramChange(function(c, p) log('program', c, p) end)
requestAllPolyPressure(function(c, n, p) log('poly', c, n, p) end)
requestPitchWheel(function(c, v) log('wheel', c, v) end)
requestChannelPressure(function(c, p) log('pressure', c, p) end)
)";

using Lines = std::vector<std::string>;

// A raw event list of our own making (sysex, garbage, null entries).
struct EventList {
    std::vector<vst2::VstMidiEvent> events;
    std::vector<unsigned char> block;

    vst2::VstEvents *build(int count) {
        block.assign(sizeof(vst2::VstEvents) + events.size() * sizeof(void *), 0);
        auto *list = reinterpret_cast<vst2::VstEvents *>(block.data());
        list->numEvents = count;
        for (std::size_t i = 0; i < events.size(); ++i)
            list->events[i] = reinterpret_cast<vst2::VstEvent *>(&events[i]);
        return list;
    }
    // The event pointers live past the two the declaration names.
    vst2::VstEvent **slots() {
        return reinterpret_cast<vst2::VstEvent **>(block.data() + offsetof(vst2::VstEvents, events));
    }
    void add(int type, std::initializer_list<int> bytes) {
        vst2::VstMidiEvent e{};
        e.type = type;
        e.byteSize = sizeof(e);
        int i = 0;
        for (int b : bytes)
            e.midiData[i++] = static_cast<char>(b);
        events.push_back(e);
    }
};

TEST_F(MidiScripts, DecodesEveryKindWithOneBasedChannels) {
    writeScript("log.lua", kLogEverything);
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->sendMidi(midi({{0x90, 60, 100},
                                     {0x91, 60, 0}, // note-on with velocity 0 is a note-off
                                     {0x8F, 61, 64},
                                     {0xA2, 62, 33},
                                     {0xC3, 7},
                                     {0xD4, 90},
                                     {0xE0, 0, 64}, // centre
                                     {0xE5, 127, 127},
                                     {0xE6, 1, 0}})),
              1);
    EXPECT_EQ(logLines(), (Lines{"on 1 60 100", "off 2 60 0", "off 16 61 64", "poly 3 62 33", "program 4 7",
                                 "pressure 5 90", "wheel 1 8192", "wheel 6 16383", "wheel 7 1"}));
}

TEST_F(MidiScripts, AssemblesNrpnsAcrossChannels) {
    writeScript("log.lua",
                std::string(kLogEverything) + "requestNRPN(130, function(c, n, v) log('nrpn130', c, n, v) end)\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    // Number MSB on channel 1, LSB on channel 2: the state is shared.
    plugin->sendMidi(midi({{0xB0, 99, 1}, {0xB1, 98, 2}, {0xB0, 38, 5}, {0xB2, 6, 3}}));
    EXPECT_EQ(logLines(), (Lines{"cc 1 99 1", "cc 2 98 2", "nrpn 1 130 5", "nrpn130 1 130 5", "cc 1 38 5",
                                 "nrpn 3 130 389", "nrpn130 3 130 389", "cc 3 6 3"}));
    // The state is kept between blocks and never reset.
    clearLog();
    plugin->sendMidi(cc(1, 38, 0));
    EXPECT_EQ(logLines(), (Lines{"nrpn 1 130 384", "nrpn130 1 130 384", "cc 1 38 0"}));
}

TEST_F(MidiScripts, CallsAllHandlersBeforeKeyedOnesInRegistrationOrder) {
    writeScript("order.lua", R"(
local function twice(c, n, v) log('twice') end
requestCC(20, function() log('k1') end)
requestAllCC(function() log('a1') end)
requestCC(20, function() log('k2') end)
requestCC(21, function() log('other key') end)
requestAllCC(function() log('a2') end)
requestCC(20, twice)
requestCC(20, twice)
requestNoteOn(300, function() log('never') end)
requestNoteOn(-1, function() log('never') end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(cc(1, 20, 1));
    EXPECT_EQ(logLines(), (Lines{"a1", "a2", "k1", "k2", "twice", "twice"}));
    clearLog();
    plugin->sendMidi(midi({{0x90, 300 & 0x7F, 1}, {0x90, 127, 1}}));
    EXPECT_TRUE(logLines().empty());
}

TEST_F(MidiScripts, IgnoresSystemMessagesSysexAndGarbage) {
    writeScript("log.lua", kLogEverything);
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EventList list;
    list.add(vst2::kVstSysExType, {0xF0, 0x7E, 0xF7});
    list.add(vst2::kVstMidiType, {0xF0, 1, 2});       // system exclusive start as a MIDI event
    list.add(vst2::kVstMidiType, {0xF8});             // clock
    list.add(vst2::kVstMidiType, {0xFF});             // reset
    list.add(vst2::kVstMidiType, {0x45, 0x90, 1});    // a data byte where the status belongs
    list.add(12345, {0x90, 60, 100});                 // unknown event type
    list.add(vst2::kVstMidiType, {0x90, 0xBC, 0xFF}); // data bytes masked to 7 bits
    EXPECT_EQ(plugin->dispatch(vst2::effProcessEvents, 0, 0, list.build(7)), 1);
    EXPECT_EQ(logLines(), (Lines{"on 1 60 127"}));

    // A null list, an empty one, a negative count and null entries.
    clearLog();
    plugin->dispatch(vst2::effProcessEvents, 0, 0, nullptr);
    EXPECT_EQ(plugin->dispatch(vst2::effProcessEvents, 0, 0, list.build(0)), 1);
    EXPECT_EQ(plugin->dispatch(vst2::effProcessEvents, 0, 0, list.build(-3)), 1);
    vst2::VstEvents *withHoles = list.build(7);
    for (int i = 0; i < 6; ++i)
        list.slots()[i] = nullptr;
    EXPECT_EQ(plugin->dispatch(vst2::effProcessEvents, 0, 0, withHoles), 1);
    EXPECT_EQ(logLines(), (Lines{"on 1 60 127"}));
}

TEST_F(MidiScripts, DiscardsHandlerErrorsAndKeepsTheStackBalanced) {
    writeScript("errors.lua", R"(
count = 0
requestAllCC(function() error('handler failed') end)
requestAllCC(function() local t = nil; return t.field end)
requestAllCC(function() count = count + 1 end)
requestAllCC(function(c, n, v) return 1, 2, 3, 4, 5 end)
requestNoteOn(1, function() log('count', count) end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    // Far more calls than the interpreter's stack could take if each one
    // left something behind.
    std::vector<Plugin::Midi> block(1000, Plugin::Midi{0, {0xB0, 30, 1}});
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 20; ++i)
        plugin->sendMidi(block);
    plugin->sendMidi(noteOn(1, 1, 1));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "handler errors are not reported";
    EXPECT_EQ(logLines(), (Lines{"count 20000"}));
}

TEST_F(MidiScripts, HandlersRegisteredDuringDispatchRunFromTheNextEvent) {
    writeScript("grow.lua", R"(
requestAllCC(function(c, n, v)
  log('outer', v)
  requestAllCC(function(c, n, v) log('added', v) end)
  requestCC(40, function(c, n, v) log('added keyed', v) end)
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(cc(1, 40, 1));
    EXPECT_EQ(logLines(), (Lines{"outer 1"}));
    clearLog();
    plugin->sendMidi(cc(1, 40, 2));
    EXPECT_EQ(logLines(), (Lines{"outer 2", "added 2", "added keyed 2"}));
}

} // namespace
