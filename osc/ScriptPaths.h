// The OSC paths that reach into the MIDI interpreter: "/exec" and "/call"
// run a global function of the scripts, "/startNote" and "/stopNote" play a
// note into the MIDI handlers.  They raise the dispatcher's path errors
// (osc::Exception) and leave the interpreter's stack as they found it.
//
// A network client may call the scripts' own functions and the script API,
// but never the globals that load or run code from files or strings, or
// that change environments: dofile, loadfile, load, loadstring, require,
// module, setfenv, getfenv, collectgarbage, whatever name they are found
// under (the standard library's package.loadlib, os.execute and io.popen
// too, should a script make one of them a global).  Nor the script
// functions that reach beyond this instance: setOthersParameter,
// getOthersParameter, setOthersGUIBoolValue, getOthersGUIBoolValue (other
// instances in the host), sendOSC (any address a client names) and
// registerOSCPathForParameter[Normalized] (this instance's address space);
// the scripts' own functions may still call them.  A refused name fails
// like a missing function: "failed to exec function".
#pragma once

#include <oscpack/osc/OscOutboundPacketStream.h>
#include <oscpack/osc/OscReceivedElements.h>

namespace QV {

class LuaMIDIHelper;

// "/exec": runs the global function name with the arguments [first, end).
// [osc]
void execScriptFunction(LuaMIDIHelper &host, const char *name, osc::ReceivedMessageArgumentIterator first,
                        osc::ReceivedMessageArgumentIterator end);

// "/call": the same, then adds its first 16 results, up to the first nil, to
// reply: numbers (and numeric strings) as float32, other strings as
// strings.  [osc]
void callScriptFunction(LuaMIDIHelper &host, const char *name, osc::ReceivedMessageArgumentIterator first,
                        osc::ReceivedMessageArgumentIterator end, osc::OutboundPacketStream &reply);

// "/startNote" (on) and "/stopNote": i note, f velocity.  Handlers see
// channel 2, the note as a byte and the low 8 bits of velocity x 127.
// Without a MIDI host the arguments are read and nothing is played.  [osc]
void playScriptNote(LuaMIDIHelper *host, const osc::ReceivedMessage &m, bool on);

// The velocity byte of an OSC velocity (1.0 gives 127).
unsigned char velocityByte(float velocity);

} // namespace QV
