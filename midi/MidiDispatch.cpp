// Decoding the host's MIDI events and calling the scripts' handlers.
#include "midi/LuaMIDIHelper.h"

#include "lua/LuaSupport.h"
#include "vst2/vst2abi.h"

#include <lauxlib.h>
#include <lua.h>

namespace QV {

namespace {

enum : int {
    kStatusNoteOff = 0x80,
    kStatusNoteOn = 0x90,
    kStatusPolyPressure = 0xA0,
    kStatusControlChange = 0xB0,
    kStatusProgramChange = 0xC0,
    kStatusChannelPressure = 0xD0,
    kStatusPitchWheel = 0xE0,
    kStatusSystem = 0xF0,
};

enum : int {
    kControllerDataEntryMSB = 6,
    kControllerDataEntryLSB = 38,
    kControllerNrpnLSB = 98,
    kControllerNrpnMSB = 99,
};

} // namespace

// Small RAII marker: handlers called while it lives run on the audio thread.
struct LuaMIDIHelper::AudioDispatch {
    LuaMIDIHelper &host;
    explicit AudioDispatch(LuaMIDIHelper &h) : host(h) { host.dispatchingAudio = true; }
    ~AudioDispatch() { host.dispatchingAudio = false; }
};

int LuaMIDIHelper::processMidiEvents(const vst2::VstEvents *events) {
    std::unique_lock<std::recursive_mutex> lock(luaLock, std::try_to_lock);
    if (lock.owns_lock()) drainQueuedMidi();
    if (!events) return 1;
    for (int i = 0; i < events->numEvents; ++i) {
        const vst2::VstEvent *event = events->events[i];
        if (!event || event->type != vst2::kVstMidiType) continue; // sysex and others
        const auto *midi = reinterpret_cast<const vst2::VstMidiEvent *>(event);
        const QueuedMidiEvent e{{static_cast<unsigned char>(midi->midiData[0]),
                                 static_cast<unsigned char>(midi->midiData[1]),
                                 static_cast<unsigned char>(midi->midiData[2])},
                                midi->deltaFrames};
        if (lock.owns_lock()) {
            const AudioDispatch onAudio(*this); // only ever set under the lock
            decodeMidi(e);
        } else if (!midiQueue.push(e))
            droppedMidi.fetch_add(1, std::memory_order_relaxed);
    }
    return 1;
}

void LuaMIDIHelper::deliverQueuedMidi() {
    if (midiQueue.empty()) return;
    std::unique_lock<std::recursive_mutex> lock(luaLock, std::try_to_lock);
    if (lock.owns_lock()) drainQueuedMidi();
}

// [audio, under luaLock]
void LuaMIDIHelper::drainQueuedMidi() {
    const AudioDispatch onAudio(*this);
    QueuedMidiEvent e;
    while (midiQueue.pop(e))
        decodeMidi(e);
}

// [any thread but the audio thread, after leaving the interpreter]
void LuaMIDIHelper::reportDroppedMidi() {
    const std::uint32_t dropped = droppedMidi.exchange(0, std::memory_order_relaxed);
    if (dropped) reportScriptProblem("%u MIDI events dropped: the interpreter was busy too long\n", dropped);
}

void LuaMIDIHelper::decodeMidi(const QueuedMidiEvent &event) {
    const int status = event.bytes[0];
    if (status < kStatusNoteOff || status >= kStatusSystem) return;
    const int channel = status & 0x0F;
    const unsigned char data1 = event.bytes[1] & 0x7F;
    const unsigned char data2 = event.bytes[2] & 0x7F;
    const std::int32_t delta = event.deltaFrames;
    switch (status & 0xF0) {
    case kStatusPolyPressure:
        polyPressure(channel, data1, data2);
        break;
    case kStatusControlChange:
        controlChange(channel, data1, data2, delta);
        break;
    case kStatusProgramChange:
        programChange(channel, data1);
        break;
    case kStatusChannelPressure:
        channelPressure(channel, data1);
        break;
    case kStatusPitchWheel:
        pitchWheel(channel, data1, data2, delta);
        break;
    case kStatusNoteOn:
        if (data2 != 0) {
            noteOn(channel, data1, data2, delta);
            break;
        }
        noteOff(channel, data1, data2, delta); // velocity 0 means note off
        break;
    default:
        noteOff(channel, data1, data2, delta);
        break;
    }
}

void LuaMIDIHelper::noteOn(int channel, unsigned char note, unsigned char velocity, std::int32_t) {
    const int args[] = {channel + 1, note, velocity};
    dispatch(MidiEventKind::NoteOn, note, args, 3);
}

void LuaMIDIHelper::noteOff(int channel, unsigned char note, unsigned char velocity, std::int32_t) {
    const int args[] = {channel + 1, note, velocity};
    dispatch(MidiEventKind::NoteOff, note, args, 3);
}

void LuaMIDIHelper::controlChange(int channel, unsigned char controller, unsigned char value, std::int32_t) {
    // The running NRPN state is shared by all channels; luaLock guards it
    // like everything else the dispatch touches.
    std::lock_guard<std::recursive_mutex> guard(luaLock);
    switch (controller) {
    case kControllerNrpnMSB:
        nrpnNumberMSB = value;
        break;
    case kControllerNrpnLSB:
        nrpnNumberLSB = value;
        break;
    case kControllerDataEntryMSB:
    case kControllerDataEntryLSB: {
        (controller == kControllerDataEntryMSB ? dataEntryMSB : dataEntryLSB) = value;
        const int number = nrpnNumberMSB * 128 + nrpnNumberLSB;
        const int args[] = {channel + 1, number, dataEntryMSB * 128 + dataEntryLSB};
        dispatch(MidiEventKind::NRPN, number, args, 3);
        break;
    }
    default:
        break;
    }
    const int args[] = {channel + 1, controller, value};
    dispatch(MidiEventKind::ControlChange, controller, args, 3);
}

void LuaMIDIHelper::pitchWheel(int channel, unsigned char lsb, unsigned char msb, std::int32_t) {
    const int args[] = {channel + 1, lsb + msb * 128};
    dispatch(MidiEventKind::PitchWheel, 0, args, 2);
}

void LuaMIDIHelper::programChange(int channel, unsigned char program) {
    const int args[] = {channel + 1, program};
    dispatch(MidiEventKind::ProgramChange, program, args, 2);
}

void LuaMIDIHelper::channelPressure(int channel, unsigned char pressure) {
    const int args[] = {channel + 1, pressure};
    dispatch(MidiEventKind::ChannelPressure, 0, args, 2);
}

void LuaMIDIHelper::polyPressure(int channel, unsigned char note, unsigned char pressure) {
    const int args[] = {channel + 1, note, pressure};
    dispatch(MidiEventKind::PolyPressure, note, args, 3);
}

LuaMIDIHelper::HandlerList &LuaMIDIHelper::allList(MidiEventKind kind) {
    switch (kind) {
    case MidiEventKind::NoteOn:
        return allNoteOn;
    case MidiEventKind::NoteOff:
        return allNoteOff;
    case MidiEventKind::ControlChange:
        return allCC;
    case MidiEventKind::NRPN:
        return allNRPN;
    case MidiEventKind::ProgramChange:
        return allProgramChange;
    case MidiEventKind::PolyPressure:
        return allPolyPressure;
    case MidiEventKind::PitchWheel:
        return pitchWheelList;
    case MidiEventKind::ChannelPressure:
        break;
    }
    return channelPressureList;
}

LuaMIDIHelper::HandlerMap *LuaMIDIHelper::keyedMap(MidiEventKind kind) {
    switch (kind) {
    case MidiEventKind::NoteOn:
        return &noteOnMap;
    case MidiEventKind::NoteOff:
        return &noteOffMap;
    case MidiEventKind::ControlChange:
        return &ccMap;
    case MidiEventKind::NRPN:
        return &nrpnMap;
    case MidiEventKind::ProgramChange:
        return &programChangeMap;
    case MidiEventKind::PolyPressure:
        return &polyPressureMap;
    case MidiEventKind::PitchWheel:
    case MidiEventKind::ChannelPressure:
        break;
    }
    return nullptr;
}

void LuaMIDIHelper::addHandler(MidiEventKind kind, int ref) {
    startStopReporter();
    allList(kind).push_back(ref);
}

void LuaMIDIHelper::addKeyedHandler(MidiEventKind kind, std::int32_t key, int ref) {
    startStopReporter();
    if (HandlerMap *map = keyedMap(kind)) (*map)[key].push_back(ref);
}

// Handlers registered while the event is being dispatched (a handler may
// register more) are called from the next event on: the list lengths are
// taken first, and elements are read by index because the lists may grow.
void LuaMIDIHelper::dispatch(MidiEventKind kind, std::int32_t key, const int *args, int nargs) {
    std::lock_guard<std::recursive_mutex> guard(luaLock);
    if (!state) return;
    const HandlerList &all = allList(kind);
    const std::size_t allCount = all.size();
    // Map nodes stay put when keys are added, so the keyed list found now
    // stays valid while the handlers run.
    const HandlerMap *map = keyedMap(kind);
    const HandlerList *keyed = nullptr;
    if (map) {
        const auto found = map->find(key);
        if (found != map->end()) keyed = &found->second;
    }
    const std::size_t keyedCount = keyed ? keyed->size() : 0;
    for (std::size_t i = 0; i < allCount; ++i)
        callHandler(all[i], args, nargs, "a MIDI handler");
    for (std::size_t i = 0; i < keyedCount; ++i)
        callHandler((*keyed)[i], args, nargs, "a MIDI handler");
}

// Calls one handler under luaLock (held by the caller) with no results;
// an error it raises is discarded, and the stack is left as it was.  A stop
// for time or memory is reported: at once, or from the timer thread when
// the handler ran on the audio thread.
ScriptBudget::Outcome LuaMIDIHelper::callHandler(int ref, const int *args, int nargs, const char *what) {
    lua_State *L = state;
    ScriptBudget::Outcome outcome;
    const int top = lua_gettop(L);
    if (!lua_checkstack(L, nargs + 1)) return outcome;
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    for (int i = 0; i < nargs; ++i)
        lua_pushinteger(L, args[i]);
    const auto limit = dispatchingAudio ? ScriptBudget::kAudioBudget : ScriptBudget::kBudget;
    budget.call(L, nargs, 0, &outcome, limit);
    lua_settop(L, top);
    if (!outcome.stopped()) return outcome;
    if (dispatchingAudio)
        noteAudioStop(outcome);
    else
        reportScriptProblem("%s: %s\n", what, outcome.text);
    return outcome;
}

// [audio] No printing here: the counts wait for the reporter.
void LuaMIDIHelper::noteAudioStop(const ScriptBudget::Outcome &outcome) {
    (outcome.outOfMemory ? audioMemoryStops : audioTimeStops).fetch_add(1, std::memory_order_relaxed);
}

// [timer] One line per kind of stop seen since the last report.
void LuaMIDIHelper::reportAudioStops() {
    const struct {
        std::atomic<unsigned> &count;
        const char *text;
    } kinds[] = {{audioTimeStops, ScriptBudget::kRanTooLongOnAudio}, {audioMemoryStops, ScriptBudget::kOutOfMemory}};
    for (const auto &kind : kinds) {
        const unsigned n = kind.count.exchange(0, std::memory_order_relaxed);
        if (n == 1) reportScriptProblem("a MIDI handler: %s\n", kind.text);
        if (n > 1) reportScriptProblem("a MIDI handler: %s (%u times)\n", kind.text, n);
    }
}

} // namespace QV
