// The MIDI scripting host: one Lua 5.1 interpreter per plug-in instance in
// which the user's MIDI scripts run.
//
// Scripts register handlers for kinds of MIDI events and timers (see
// LuaMIDIApi.h).  The host's event blocks are decoded here and every
// matching handler is called: first the handlers of the kind's "all" list,
// then those registered for the event's key, each list in registration order.
//
// Threads: the interpreter is entered from the thread that constructs the
// effect (script loading), the host's thread that delivers MIDI events, the
// timer-queue worker and the OSC thread.  Every use of the interpreter
// happens under luaLock.  The host's audio thread never waits for it: it
// only tries the lock, and when another thread holds it the block's events
// wait in a fixed-size queue for the next block that gets the lock (one
// block of latency more, only while a timer callback or an OSC call runs).  A timer callback never holds timersLock and
// luaLock together; a thread holding luaLock takes timersLock only briefly inside the timer functions.
#pragma once

#include "core/EffectServices.h"
#include "lua/ScriptBudget.h"
#include "midi/MidiEventQueue.h"
#include "platform/TimerQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct lua_State;

namespace vst2 {
struct VstEvents;
}
namespace murmelo {
class QrvMurmelo;
}

namespace QV {

enum class MidiEventKind {
    NoteOn,
    NoteOff,
    ControlChange,
    NRPN,
    ProgramChange,
    PolyPressure,
    PitchWheel,
    ChannelPressure
};

class LuaMIDIHelper : public murmelo::MidiScripting {
public:
    // Registry keys: light userdata holding the address of these texts.
    static const char kRefcon[];
    static const char kParamLookup[];
    static const char kTimerMetatable[];

    // Sets up empty tables, the locks and the timer queue; the interpreter
    // is created later by getLuaState().
    explicit LuaMIDIHelper(murmelo::QrvMurmelo *owner);
    ~LuaMIDIHelper() override;
    LuaMIDIHelper(const LuaMIDIHelper &) = delete;
    LuaMIDIHelper &operator=(const LuaMIDIHelper &) = delete;

    // [any] Dispatchers; channel is 0-based here and 1-based for scripts.
    virtual void noteOn(int channel, unsigned char note, unsigned char velocity, std::int32_t deltaFrames);
    virtual void noteOff(int channel, unsigned char note, unsigned char velocity, std::int32_t deltaFrames);
    // NRPN assembly (controllers 99, 98, 6, 38), then the CC dispatch.
    virtual void controlChange(int channel, unsigned char controller, unsigned char value, std::int32_t deltaFrames);
    virtual void pitchWheel(int channel, unsigned char lsb, unsigned char msb, std::int32_t deltaFrames);
    virtual bool isParameterUsed(int index);
    // Indicator flags 0..7; the product decides where they live.
    virtual void setGUIBoolValue(int id, bool flag) = 0;
    virtual bool getGUIBoolValue(int id) = 0;

    void programChange(int channel, unsigned char program);
    void channelPressure(int channel, unsigned char pressure);
    void polyPressure(int channel, unsigned char note, unsigned char pressure);

    // [any] The interpreter, created and its scripts run on first use; null
    // when it could not be created.
    lua_State *getLuaState();
    // [audio] Decodes the host's event block and dispatches it, after any
    // events still queued; when the interpreter is busy the MIDI events are
    // queued instead.  Never waits.  Returns 1.  Handlers run here get
    // ScriptBudget::kAudioBudget; their stops are counted and reported later
    // from the timer thread, never printed on the audio thread.
    int processMidiEvents(const vst2::VstEvents *events) override;
    // [audio] Delivers queued events if the interpreter is free; called at
    // the start of every audio block.  Without queued events it does nothing
    // at all (no lock is tried).
    void deliverQueuedMidi() override;
    // [any] Events lost because the queue was full, counted since the last
    // report (the next thread that leaves the interpreter, other than the
    // audio thread, prints it).
    std::uint32_t droppedMidiEvents() const { return droppedMidi.load(std::memory_order_relaxed); }

    // For the OSC server: the lock to hold while using the interpreter, and
    // the protected call to enter it with (under that lock, with the
    // runaway-script budget; the interpreter must exist, see getLuaState).
    // Returns lua_pcall's status; a call stopped for its time or memory is
    // reported on an "@@@" line.
    std::recursive_mutex &getLuaLock() { return luaLock; }
    int protectedCall(int nargs, int nresults);

    // [ui] Functions another subsystem adds to the interpreter (the OSC
    // server adds sendOSC and its path registrations): called while the
    // interpreter is set up, after the MIDI functions and before any script
    // runs.  Given before the first getLuaState.
    using ScriptExtension = std::function<void(lua_State *L)>;
    void setScriptExtension(ScriptExtension extension) { scriptExtension = std::move(extension); }
    murmelo::QrvMurmelo *getOwner() const { return owner; }

    // The MIDI host of an interpreter (registry key kRefcon).
    static LuaMIDIHelper *fromState(lua_State *L);

    // For the script functions (under luaLock).
    void addHandler(MidiEventKind kind, int ref);
    void addKeyedHandler(MidiEventKind kind, std::int32_t key, int ref);
    // Timers: a live timer's id (never reused; 0 when the system refuses),
    // cancelling by id (harmless when the timer is gone).
    std::uint64_t startTimer(int ref, std::uint32_t ms, bool periodic);
    void cancelTimer(std::uint64_t id);

protected:
    // Deletes the timer queue, waiting for callbacks in progress, then frees
    // every timer record.  Idempotent; a derived class calls it first in its
    // destructor, so no callback reaches a half-destroyed object.
    void stopTimers();

private:
    using HandlerList = std::vector<int>; // registry references
    using HandlerMap = std::map<std::int32_t, HandlerList>;
    struct TimerRecord {
        LuaMIDIHelper *host;
        int handler;
        platform::TimerQueue::Timer *timer;
        bool periodic;
        std::uint64_t id;
    };

    struct AudioDispatch;

    void createState();
    static int setUpState(lua_State *L);
    void runScripts();
    void runChunk(const char *what, int loadStatus);

    HandlerList &allList(MidiEventKind kind);
    HandlerMap *keyedMap(MidiEventKind kind);
    void dispatch(MidiEventKind kind, std::int32_t key, const int *args, int nargs);
    ScriptBudget::Outcome callHandler(int ref, const int *args, int nargs, const char *what);
    void timerFired(std::uint64_t id);
    void decodeMidi(const QueuedMidiEvent &event);
    void drainQueuedMidi();
    void reportDroppedMidi();
    void cancelStoppedTimer(std::uint64_t id);
    // Handler stops on the audio thread: counted there, printed by a
    // periodic timer that starts with the first handler.
    void noteAudioStop(const ScriptBudget::Outcome &outcome);
    void startStopReporter();
    void reportAudioStops();

    murmelo::QrvMurmelo *owner;
    ScriptExtension scriptExtension;
    lua_State *state = nullptr;
    std::recursive_mutex luaLock;
    HandlerList allNoteOn, allNoteOff, allCC, allNRPN, allProgramChange, allPolyPressure;
    HandlerMap noteOnMap, noteOffMap, ccMap, nrpnMap, programChangeMap, polyPressureMap;
    HandlerList pitchWheelList, channelPressureList;
    std::int32_t nrpnNumberLSB = 0, nrpnNumberMSB = 0, dataEntryLSB = 0, dataEntryMSB = 0;
    std::map<std::uint64_t, TimerRecord *> timers; // live timers by id
    std::uint64_t lastTimerId = 0;
    std::unique_ptr<platform::TimerQueue> timerQueue;
    std::mutex timersLock;
    std::unique_ptr<std::map<std::string, int>> paramLookup; // name -> index
    ScriptBudget budget;
    MidiEventQueue midiQueue;
    std::atomic<std::uint32_t> droppedMidi{0};
    bool dispatchingAudio = false; // under luaLock: inside processMidiEvents
    std::atomic<unsigned> audioTimeStops{0}, audioMemoryStops{0};
    platform::TimerQueue::Timer *stopReporter = nullptr; // under timersLock
};

} // namespace QV
