// Our own declaration of the VST 2.x binary interface, written from the
// published ABI facts (record layouts, opcode numbers, calling convention).
// This is the only file in the project that knows those numbers.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VST2_CALLBACK __cdecl
#else
#define VST2_CALLBACK
#endif

// Hosts built with the vendor headers use 8-byte packing on Windows and the
// platform's natural alignment elsewhere; both give the layouts asserted below.
#if defined(_WIN32)
#pragma pack(push, 8)
#endif

namespace vst2 {

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using HostCallback = VstIntPtr(VST2_CALLBACK *)(AEffect *effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                void *ptr, float opt);
using DispatcherProc = VstIntPtr(VST2_CALLBACK *)(AEffect *effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                  void *ptr, float opt);
using ProcessProc = void(VST2_CALLBACK *)(AEffect *effect, float **inputs, float **outputs, VstInt32 sampleFrames);
using ProcessDoubleProc = void(VST2_CALLBACK *)(AEffect *effect, double **inputs, double **outputs,
                                                VstInt32 sampleFrames);
using SetParameterProc = void(VST2_CALLBACK *)(AEffect *effect, VstInt32 index, float value);
using GetParameterProc = float(VST2_CALLBACK *)(AEffect *effect, VstInt32 index);

constexpr VstInt32 fourCC(char a, char b, char c, char d) {
    return (VstInt32(a) << 24) | (VstInt32(b) << 16) | (VstInt32(c) << 8) | VstInt32(d);
}

constexpr VstInt32 kEffectMagic = fourCC('V', 's', 't', 'P');
constexpr VstInt32 kVstVersion = 2400;

// The record a plug-in hands to its host.
struct AEffect {
    VstInt32 magic;
    DispatcherProc dispatcher;
    ProcessProc process; // accumulating, deprecated
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1; // reserved for the host
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void *object; // the plug-in's own object
    void *user;
    VstInt32 uniqueID;
    VstInt32 version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum EffectFlags : VstInt32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Opcodes the host sends to the plug-in's dispatcher.
enum EffectOpcode : VstInt32 {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,
};
static_assert(effIdentify == 22 && effProcessEvents == 25 && effCanDo == 51 && effGetVstVersion == 58 &&
                  effSetBlockSizeAndSampleRate == 43 && effGetNumMidiOutputChannels == 79,
              "effect opcode numbering");

// Opcodes the plug-in sends to the host callback.
enum HostOpcode : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion,
    audioMasterCurrentId,
    audioMasterIdle,
    audioMasterPinConnected,
    audioMasterWantMidi = 6,
    audioMasterGetTime,
    audioMasterProcessEvents,
    audioMasterSetTime,
    audioMasterTempoAt,
    audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization,
    audioMasterIOChanged,
    audioMasterNeedIdle,
    audioMasterSizeWindow,
    audioMasterGetSampleRate,
    audioMasterGetBlockSize,
    audioMasterGetInputLatency,
    audioMasterGetOutputLatency,
    audioMasterGetPreviousPlug,
    audioMasterGetNextPlug,
    audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel,
    audioMasterGetAutomationState,
    audioMasterOfflineStart,
    audioMasterOfflineRead,
    audioMasterOfflineWrite,
    audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass,
    audioMasterSetOutputSampleRate,
    audioMasterGetOutputSpeakerArrangement,
    audioMasterGetVendorString,
    audioMasterGetProductString,
    audioMasterGetVendorVersion,
    audioMasterVendorSpecific,
    audioMasterSetIcon,
    audioMasterCanDo,
    audioMasterGetLanguage,
    audioMasterOpenWindow,
    audioMasterCloseWindow,
    audioMasterGetDirectory,
    audioMasterUpdateDisplay,
    audioMasterBeginEdit,
    audioMasterEndEdit,
    audioMasterOpenFileSelector,
    audioMasterCloseFileSelector,
    audioMasterEditFile,
    audioMasterGetChunkFile,
    audioMasterGetInputSpeakerArrangement,
};
static_assert(audioMasterUpdateDisplay == 42 && audioMasterBeginEdit == 43 && audioMasterEndEdit == 44 &&
                  audioMasterGetVendorString == 32,
              "host opcode numbering");

enum PlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect,
    kPlugCategSynth,
};

// Buffer sizes the interface itself promises; real hosts pass larger ones.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxEffectNameLen = 32;

enum VstEventType : VstInt32 {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

struct VstEvent {
    VstInt32 type;
    VstInt32 byteSize; // size of the event after these first two fields
    VstInt32 deltaFrames;
    VstInt32 flags;
    char data[16];
};

struct VstMidiEvent {
    VstInt32 type; // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4]; // status and up to two data bytes
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent {
    VstInt32 type; // kVstSysExType
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char *sysexDump;
    VstIntPtr resvd2;
};

// A block of events; the real array length is numEvents.
struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent *events[2];
};

// What effGetParameterProperties fills in for one parameter.
enum VstParameterFlags : VstInt32 {
    kVstParameterIsSwitch = 1 << 0,
    kVstParameterUsesIntegerMinMax = 1 << 1,
    kVstParameterUsesFloatStep = 1 << 2,
    kVstParameterUsesIntStep = 1 << 3,
    kVstParameterSupportsDisplayIndex = 1 << 4,
    kVstParameterSupportsDisplayCategory = 1 << 5,
    kVstParameterCanRamp = 1 << 6,
};

constexpr int kVstMaxLabelLen = 64;
constexpr int kVstMaxShortLabelLen = 8;
constexpr int kVstMaxCategLabelLen = 24;

struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[kVstMaxLabelLen]; // the full name, unlike effGetParamName's 8 promised bytes
    VstInt32 flags;
    VstInt32 minInteger;
    VstInt32 maxInteger;
    VstInt32 stepInteger;
    VstInt32 largeStepInteger;
    char shortLabel[kVstMaxShortLabelLen];
    std::int16_t displayIndex;
    std::int16_t category; // 1-based; parameters of one category are adjacent
    std::int16_t numParametersInCategory;
    std::int16_t reserved;
    char categoryLabel[kVstMaxCategLabelLen];
    char future[16];
};

// Editor rectangle, in pixels.
struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// Layouts are part of the contract with every host binary.
static_assert(sizeof(VstEvent) == 32 && sizeof(VstMidiEvent) == 32, "event size");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "midi data offset");
static_assert(sizeof(ERect) == 8, "ERect size");
static_assert(sizeof(VstParameterProperties) == 152 && offsetof(VstParameterProperties, flags) == 76 &&
                  offsetof(VstParameterProperties, shortLabel) == 96 &&
                  offsetof(VstParameterProperties, categoryLabel) == 112,
              "VstParameterProperties layout");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(AEffect) == 144, "AEffect size (32-bit)");
static_assert(offsetof(AEffect, object) == 64 && offsetof(AEffect, uniqueID) == 72, "AEffect layout (32-bit)");
static_assert(offsetof(VstEvents, events) == 8, "VstEvents layout (32-bit)");
#else
static_assert(sizeof(AEffect) == 192, "AEffect size (64-bit)");
static_assert(offsetof(AEffect, numPrograms) == 40 && offsetof(AEffect, resvd1) == 64, "AEffect layout (64-bit)");
static_assert(offsetof(AEffect, object) == 96 && offsetof(AEffect, uniqueID) == 112, "AEffect layout (64-bit)");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect layout (64-bit)");
static_assert(offsetof(VstEvents, events) == 16, "VstEvents layout (64-bit)");
#endif

} // namespace vst2

#if defined(_WIN32)
#pragma pack(pop)
#endif
