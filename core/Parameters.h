// The 16 parameters: their fixed table, unit codes, the mapping between the
// host's normalised values and real values, and their display texts.
//
// Every subsystem works with real values in the parameter's own unit; only
// the host sees 0..1.  Values live in the current program as 32-bit floats.
//
// Roads a parameter change travels (who is told, on which thread).  Every
// road ends in QrvAuBase::writeParameter, the one write entry: it refuses a
// value that is not a finite number (nothing changes), clamps the rest to
// the parameter's range (clampToRange), stores the real value in the current
// program and tells the editor (queued, delivered on the editor's own
// thread); what else happens depends on the road:
//  1. Host automation / state restore: setParameter(index, normalised) on a
//     host thread (often the audio thread).  The normalised value is clamped
//     to 0..1 first; a non-finite one keeps the previous value (VST 2.x
//     cannot report an error).  Moves the OSC port when index 15 changes and
//     queues an OSC update when a client has subscribed to that parameter;
//     both without locking (the notify thread applies the port move).
//  2. Editor drag, text entry or a layout script's setParameter:
//     editParameter(index, real) on the host's UI thread.  Sends
//     audioMasterAutomate with the normalised value.  No OSC port move, no
//     OSC update.
//  3. MIDI script (audio thread, timer threads, OSC-triggered calls), the
//     cross-instance set of scripts, OSC "/set" and script-registered OSC
//     paths (OSC thread): asks the host to refresh its display.  OSC
//     subscribers are not told and the OSC port does not move.  Scripts get
//     a Lua error and OSC clients an error line for a non-finite value.
//     Cross-instance sets store under the process-wide instance lock and
//     call the hosts only after releasing it (ParameterRoad::Others).
//  4. Program change (UI thread): switches the current program and re-applies
//     its "OSC Port Offset" to the OSC server; the editor is not told.
//  5. Preferences: a new OSC base port re-applies parameter 15 through road 1.
// The audio thread reads all 16 values at the start of every block.
#pragma once

#include <cstddef>

namespace murmelo {

constexpr int kNumParameters = 16;

enum ParameterIndex {
    kDryLevel = 0,
    kEffectLevel,
    kSpeedSuperfine,
    kSpeedFine,
    kSpeedCoarse,
    kDepthFine,
    kDepthCoarse,
    kShape,
    kSpread,
    kBias,
    kFeedback,
    kSpeedLfoSpeed,
    kSpeedLfoDepth,
    kDepthLfoSpeed,
    kDepthLfoDepth,
    kOscPortOffset,
};

enum UnitCode {
    kUnitGeneric = 0,
    kUnitIndexed = 1,
    kUnitBoolean = 2,
    kUnitPercent = 3,
    kUnitSeconds = 4,
    kUnitHertz = 8,
    kUnitCents = 9,
    kUnitRelativeSemitones = 10,
    kUnitMidiNoteNumber = 11,
    kUnitDecibels = 13,
    kUnitLinearGain = 14,
    kUnitMixerFaderLevel = 17,
    kUnitPan = 18,
    kUnitTempo = 22,
    kUnitBeats = 23,
    kUnitMilliseconds = 24,
};

struct ParameterInfo {
    const char *name;
    int unit;
    float minimum;
    float maximum;
    float defaultValue;
};

// Speeds at or below these are "off"; the kernel and the display texts share them.
constexpr float kSuperfineSpeedOff = 0.001001f;
constexpr float kFineSpeedOff = 0.5005f;
constexpr float kCoarseSpeedOff = 10.01f;

// Longest name the host sees (the rest is cut).
constexpr std::size_t kParameterNameChars = 15;
// Display texts are at most this many characters (plus terminator).
constexpr std::size_t kParameterDisplayChars = 23;

bool isParameterIndex(int index);
// The table row for an index in 0..15.
const ParameterInfo &parameterInfo(int index);
bool isParameterUsed(int index);

// Label for a unit code; empty for codes without one.
const char *unitLabel(int unit);

// A finite real value limited to the parameter's range.  A value the table
// itself places outside the range (the defaults 0 of the superfine and
// coarse speeds, which mean "off") is kept as it is.
float clampToRange(int index, float real);

// Host mapping.  No clamping in either direction (writeParameter clamps).
float toRealValue(int index, float normalised);
// For hertz values at or below 0 (the "off" defaults 0 of the superfine and
// coarse speeds) the logarithm has no finite value; those report 0, the
// bottom of the range, which maps back to the minimum, itself "off".
float toNormalisedValue(int index, float real);

// Text of the string-from-value request for parameter index at value v.
// Returns 0 and sets hasText when the parameter has texts (hasText false when
// the value has none), or -10878 when the parameter has no texts at all.
int parameterValueText(int index, float v, const char *&text);

// The number formatting of the display fallback ("%.3f", "%.2f", ...).
void formatParameterNumber(float v, char *out, std::size_t size);

} // namespace murmelo
