// Our own effect and editor base classes for the VST 2.x interface.
//
// AudioEffect holds the state every effect shares (host callback, sample rate,
// block size, program and parameter counts, the AEffect record) and turns the
// host's opcodes into virtual calls with the interface's customary defaults.
// AudioEffectX adds the 2.x opcodes.  Derived classes override only what they
// change.  No exception leaves these entry points: a throwing override is
// answered with 0 (or silence on the audio path).
#pragma once

#include "vst2/vst2abi.h"

#include <atomic>

namespace vst2 {

class AEffEditor;

// Key code handed to effEditKeyDown / effEditKeyUp.
struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

class AudioEffect {
public:
    AudioEffect(HostCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect &) = delete;
    AudioEffect &operator=(const AudioEffect &) = delete;

    // [ui] entry for every opcode; the default implementation dispatches
    // through the opcode table in AudioEffect.cpp.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }

    // [audio]
    virtual void processReplacing(float **, float **, VstInt32) {}
    virtual void process(float **, float **, VstInt32) {}
    virtual void processDoubleReplacing(double **, double **, VstInt32) {}

    // [any] parameter entry points
    virtual void setParameter(VstInt32, float) {}
    virtual float getParameter(VstInt32) { return 0.f; }
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char *) {}
    virtual void getProgramName(char *name) { name[0] = 0; }
    virtual void getParameterLabel(VstInt32, char *label) { label[0] = 0; }
    virtual void getParameterDisplay(VstInt32, char *text) { text[0] = 0; }
    virtual void getParameterName(VstInt32, char *text) { text[0] = 0; }

    virtual VstInt32 getChunk(void **, bool) { return 0; }
    virtual VstInt32 setChunk(void *, VstInt32, bool) { return 0; }

    // Attaches an editor the effect then owns; sets or clears the has-editor flag.
    virtual void setEditor(AEffEditor *newEditor);
    AEffEditor *getEditor() const { return editor; }

    AEffect *getAeffect() { return &cEffect; }
    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }
    VstInt32 getNumPrograms() const { return numPrograms; }
    VstInt32 getNumParams() const { return numParams; }

    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 n) { cEffect.numInputs = n; }
    void setNumOutputs(VstInt32 n) { cEffect.numOutputs = n; }
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }

    // [any] host callbacks; 0 when the host has no callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void *ptr = nullptr, float opt = 0.f);
    VstInt32 getMasterVersion();
    bool beginEdit(VstInt32 index);
    bool endEdit(VstInt32 index);
    bool updateDisplay();

    // The effect object behind an AEffect handed back by a host, or null.
    static AudioEffect *fromAeffect(AEffect *effect);

protected:
    void setFlag(VstInt32 flag, bool state);

    HostCallback audioMaster;
    AEffEditor *editor = nullptr;
    float sampleRate = 44100.f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    // Switched on the UI thread, read by the audio, OSC and script threads.
    std::atomic<VstInt32> curProgram{0};
    AEffect cEffect{};
};

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(HostCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr, float opt) override;

    virtual VstInt32 processEvents(VstEvents *) { return 0; }
    virtual bool canParameterBeAutomated(VstInt32) { return true; }
    virtual bool string2parameter(VstInt32, char *) { return false; }
    virtual VstInt32 getNumCategories() { return 1; }
    // Fills in the host's record for one parameter; false when there is none.
    virtual bool getParameterProperties(VstInt32, VstParameterProperties *) { return false; }
    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char *) { return false; }
    virtual bool copyProgram(VstInt32) { return false; }
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char *) { return false; }
    virtual bool getVendorString(char *) { return false; }
    virtual bool getProductString(char *) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void *, float) { return 0; }
    virtual VstInt32 canDo(char *) { return 0; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getCurrentMidiProgram(VstInt32, void *) { return -1; }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    // Called for effSetBlockSizeAndSampleRate.
    virtual void setBlockSizeAndSampleRate(VstInt32 size, float rate) {
        blockSize = size;
        sampleRate = rate;
    }

    // Asks the host for MIDI events (audioMasterWantMidi).
    bool wantEvents(VstInt32 filter = 1);
};

// The editor base: geometry and window life, forwarded from the dispatcher.
class AEffEditor {
public:
    explicit AEffEditor(AudioEffect *effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor &) = delete;
    AEffEditor &operator=(const AEffEditor &) = delete;

    virtual bool getRect(ERect **rect) {
        *rect = nullptr;
        return false;
    }
    // [ui] ptr is the host's parent window (an X11 window id on Linux).
    virtual bool open(void *ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode &) { return false; }
    virtual bool onKeyUp(VstKeyCode &) { return false; }
    virtual bool setKnobMode(VstInt32) { return false; }

    AudioEffect *getEffect() { return effect; }
    // The host's parent window while open (an X11 window id on Linux).
    void *getSystemWindow() const { return systemWindow; }

protected:
    AudioEffect *effect;
    void *systemWindow = nullptr;
};

} // namespace vst2
