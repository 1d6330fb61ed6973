// What the effect object asks of the services built above it: the MIDI
// scripting host, the OSC server and the editor.  The effect knows them only
// through these interfaces; the assembly (plugin/) makes the real ones,
// which implement them, and hands them to the effect.
#pragma once

#include "vst2/vst2abi.h"

namespace murmelo {

class MidiScripting {
public:
    virtual ~MidiScripting() = default;
    // [audio] The host's event block into the scripts; never waits.
    virtual int processMidiEvents(const vst2::VstEvents *events) = 0;
    // [audio] Events that waited for a busy interpreter, at the start of a
    // block; nothing at all when none waits.
    virtual void deliverQueuedMidi() = 0;
};

class OscControl {
public:
    virtual ~OscControl() = default;
    // [ui] Moves the server to this port (0: off).
    virtual void requestPort(int port) = 0;
    // [any] The current program's "OSC Port Offset" changed; never waits.
    virtual void portOffsetChanged() = 0;
    // [any] A host-facing parameter change, for subscribers; never waits.
    virtual void parameterChanged(int index, float realValue) = 0;
};

class ParameterView {
public:
    virtual ~ParameterView() = default;
    // [any] A parameter changed: shown by the open editor, if any.
    virtual void setParameter(int index, float realValue) = 0;
};

} // namespace murmelo
