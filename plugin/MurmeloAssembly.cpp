// The effect object's construction and destruction: the one place that
// knows every subsystem.  It makes the MIDI host, the OSC server and the
// editor, wires them to each other and hands them to the effect, which
// reaches them only through core/EffectServices.h.
#include "core/QrvMurmelo.h"
#include "midi/MurmeloLuaMIDIHelper.h"
#include "osc/OSCHelper.h"
#include "osc/OscLuaApi.h"
#include "plugin/EditorAssembly.h"

namespace murmelo {

namespace {

MurmeloLuaMIDIHelper *midiOf(MidiScripting *m) { return static_cast<MurmeloLuaMIDIHelper *>(m); }
QV::OSCHelper *oscOf(OscControl *o) { return static_cast<QV::OSCHelper *>(o); }

} // namespace

// [ui] Start-up in the documented order: the MIDI host and its scripts (which
// may send OSC and register OSC paths, so the OSC server exists first and
// its script functions join the interpreter), the effect itself while every
// program still holds the defaults, the OSC threads, then the editor (in a
// build that has one).
QrvMurmelo::QrvMurmelo(vst2::HostCallback audioMaster) : QrvAuBase(audioMaster, kNumPrograms, kNumParameters) {
    displayState.clear();
    auto *midi = new MurmeloLuaMIDIHelper(this);
    auto *osc = new QV::OSCHelper(this, midi);
    midiHost = midi;
    oscHelper = osc;
    midi->setScriptExtension([osc](lua_State *L) { QV::registerOscScriptFunctions(L, osc); });
    midi->getLuaState();

    setUpEffect();
    startServices();
    osc->startTask();

    editorView = createEditor(this);

    registerInstance();
}

QrvMurmelo::~QrvMurmelo() {
    // An editor still open has a render thread reading the programs and the
    // display state: it stops before anything goes.  The editor object
    // itself, with its Lua state, is deleted last, by the base class.
    closeEditor(this);
    unregisterInstance();
    // The OSC threads end first: "/exec", "/call" and the note paths enter
    // the scripts.  Then the MIDI host ends its timers (whose callbacks may
    // still send OSC or register paths) and closes the interpreter; the OSC
    // server object goes last.
    QV::OSCHelper *osc = getOSCHelper();
    osc->stopTask();
    delete getMidiHost();
    midiHost = nullptr;
    delete osc;
    oscHelper = nullptr;
}

MurmeloLuaMIDIHelper *QrvMurmelo::getMidiHost() { return midiOf(midiHost); }
QV::OSCHelper *QrvMurmelo::getOSCHelper() { return oscOf(oscHelper); }

} // namespace murmelo
