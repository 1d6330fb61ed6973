#include "vst2/AudioEffect.h"

#include <cstring>

namespace vst2 {

namespace {

// The arguments of one dispatcher call, as the host gave them.
struct Call {
    VstInt32 index;
    VstIntPtr value;
    void *ptr;
    float opt;
};

template <class Effect> using Handler = VstIntPtr (*)(Effect &, const Call &);

template <class Effect> struct OpcodeEntry {
    VstInt32 opcode;
    Handler<Effect> handler;
};

template <class Effect, std::size_t N>
Handler<Effect> findHandler(const OpcodeEntry<Effect> (&table)[N], VstInt32 opcode) {
    for (const auto &entry : table)
        if (entry.opcode == opcode) return entry.handler;
    return nullptr;
}

char *text(const Call &c) { return static_cast<char *>(c.ptr); }

// ---- trampolines the AEffect record points at -------------------------------

VstIntPtr VST2_CALLBACK dispatchEntry(AEffect *e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr,
                                      float opt) {
    AudioEffect *effect = AudioEffect::fromAeffect(e);
    if (!effect) return 0;
    try {
        if (opcode == effClose) {
            effect->dispatcher(opcode, index, value, ptr, opt);
            delete effect;
            return 1;
        }
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void VST2_CALLBACK setParameterEntry(AEffect *e, VstInt32 index, float value) {
    if (AudioEffect *effect = AudioEffect::fromAeffect(e)) {
        try {
            effect->setParameter(index, value);
        } catch (...) {
        }
    }
}

float VST2_CALLBACK getParameterEntry(AEffect *e, VstInt32 index) {
    AudioEffect *effect = AudioEffect::fromAeffect(e);
    if (!effect) return 0.f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.f;
    }
}

void silence(float **outputs, VstInt32 channels, VstInt32 frames) {
    if (!outputs || frames <= 0) return;
    for (VstInt32 c = 0; c < channels; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
}

void VST2_CALLBACK processReplacingEntry(AEffect *e, float **inputs, float **outputs, VstInt32 frames) {
    AudioEffect *effect = AudioEffect::fromAeffect(e);
    if (!effect || !inputs || !outputs || frames <= 0) return;
    try {
        effect->processReplacing(inputs, outputs, frames);
    } catch (...) {
        silence(outputs, e->numOutputs, frames);
    }
}

void VST2_CALLBACK processEntry(AEffect *e, float **inputs, float **outputs, VstInt32 frames) {
    AudioEffect *effect = AudioEffect::fromAeffect(e);
    if (!effect || !inputs || !outputs || frames <= 0) return;
    try {
        effect->process(inputs, outputs, frames);
    } catch (...) {
    }
}

void VST2_CALLBACK processDoubleEntry(AEffect *e, double **inputs, double **outputs, VstInt32 frames) {
    AudioEffect *effect = AudioEffect::fromAeffect(e);
    if (!effect || !inputs || !outputs || frames <= 0) return;
    try {
        effect->processDoubleReplacing(inputs, outputs, frames);
    } catch (...) {
    }
}

// ---- opcode tables ------------------------------------------------------------

VstIntPtr editorRect(AudioEffect &fx, const Call &c) {
    if (!fx.getEditor() || !c.ptr) return 0;
    return fx.getEditor()->getRect(static_cast<ERect **>(c.ptr)) ? 1 : 0;
}

const OpcodeEntry<AudioEffect> kBaseOpcodes[] = {
    {effOpen,
     [](AudioEffect &fx, const Call &) -> VstIntPtr {
         fx.open();
         return 0;
     }},
    {effClose,
     [](AudioEffect &fx, const Call &) -> VstIntPtr {
         fx.close();
         return 0;
     }},
    {effSetProgram,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.value >= 0 && c.value < fx.getNumPrograms()) fx.setProgram(static_cast<VstInt32>(c.value));
         return 0;
     }},
    {effGetProgram, [](AudioEffect &fx, const Call &) -> VstIntPtr { return fx.getProgram(); }},
    {effSetProgramName,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.ptr) fx.setProgramName(text(c));
         return 0;
     }},
    {effGetProgramName,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.ptr) fx.getProgramName(text(c));
         return 0;
     }},
    {effGetParamLabel,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.ptr) fx.getParameterLabel(c.index, text(c));
         return 0;
     }},
    {effGetParamDisplay,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.ptr) fx.getParameterDisplay(c.index, text(c));
         return 0;
     }},
    {effGetParamName,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.ptr) fx.getParameterName(c.index, text(c));
         return 0;
     }},
    {effSetSampleRate,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         fx.setSampleRate(c.opt);
         return 0;
     }},
    {effSetBlockSize,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         fx.setBlockSize(static_cast<VstInt32>(c.value));
         return 0;
     }},
    {effMainsChanged,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         if (c.value)
             fx.resume();
         else
             fx.suspend();
         return 0;
     }},
    {effEditGetRect, editorRect},
    {effEditOpen,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr { return fx.getEditor() && fx.getEditor()->open(c.ptr) ? 1 : 0; }},
    {effEditClose,
     [](AudioEffect &fx, const Call &) -> VstIntPtr {
         if (fx.getEditor()) fx.getEditor()->close();
         return 0;
     }},
    {effEditIdle,
     [](AudioEffect &fx, const Call &) -> VstIntPtr {
         if (fx.getEditor()) fx.getEditor()->idle();
         return 0;
     }},
    {effIdentify, [](AudioEffect &, const Call &) -> VstIntPtr { return fourCC('N', 'v', 'E', 'f'); }},
    {effGetChunk,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         return c.ptr ? fx.getChunk(static_cast<void **>(c.ptr), c.index != 0) : 0;
     }},
    {effSetChunk,
     [](AudioEffect &fx, const Call &c) -> VstIntPtr {
         return c.ptr ? fx.setChunk(c.ptr, static_cast<VstInt32>(c.value), c.index != 0) : 0;
     }},
};

VstIntPtr keyCall(AudioEffectX &fx, const Call &c, bool down) {
    if (!fx.getEditor()) return 0;
    VstKeyCode key{c.index, static_cast<unsigned char>(c.value), static_cast<unsigned char>(c.opt)};
    return (down ? fx.getEditor()->onKeyDown(key) : fx.getEditor()->onKeyUp(key)) ? 1 : 0;
}

VstIntPtr copyOut(bool (AudioEffectX::*getter)(char *), AudioEffectX &fx, const Call &c) {
    return c.ptr && (fx.*getter)(text(c)) ? 1 : 0;
}

const OpcodeEntry<AudioEffectX> kExtendedOpcodes[] = {
    {effProcessEvents,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         return c.ptr ? fx.processEvents(static_cast<VstEvents *>(c.ptr)) : 0;
     }},
    {effCanBeAutomated,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return fx.canParameterBeAutomated(c.index) ? 1 : 0; }},
    {effString2Parameter,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         return c.ptr && fx.string2parameter(c.index, text(c)) ? 1 : 0;
     }},
    {effGetParameterProperties,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         return c.ptr && fx.getParameterProperties(c.index, static_cast<VstParameterProperties *>(c.ptr)) ? 1 : 0;
     }},
    {effGetNumProgramCategories, [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getNumCategories(); }},
    {effGetProgramNameIndexed,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         return c.ptr && fx.getProgramNameIndexed(static_cast<VstInt32>(c.value), c.index, text(c)) ? 1 : 0;
     }},
    {effCopyProgram, [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return fx.copyProgram(c.index) ? 1 : 0; }},
    {effGetPlugCategory, [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getPlugCategory(); }},
    {effSetBlockSizeAndSampleRate,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         fx.setBlockSizeAndSampleRate(static_cast<VstInt32>(c.value), c.opt);
         return 0;
     }},
    {effSetBypass, [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return fx.setBypass(c.value != 0) ? 1 : 0; }},
    {effGetEffectName,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return copyOut(&AudioEffectX::getEffectName, fx, c); }},
    {effGetVendorString,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return copyOut(&AudioEffectX::getVendorString, fx, c); }},
    {effGetProductString,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return copyOut(&AudioEffectX::getProductString, fx, c); }},
    {effGetVendorVersion, [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getVendorVersion(); }},
    {effVendorSpecific,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return fx.vendorSpecific(c.index, c.value, c.ptr, c.opt); }},
    {effCanDo,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return c.ptr && text(c)[0] ? fx.canDo(text(c)) : 0; }},
    {effGetTailSize, [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getGetTailSize(); }},
    {effGetVstVersion, [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getVstVersion(); }},
    {effEditKeyDown, [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return keyCall(fx, c, true); }},
    {effEditKeyUp, [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return keyCall(fx, c, false); }},
    {effSetEditKnobMode,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr {
         return fx.getEditor() && fx.getEditor()->setKnobMode(static_cast<VstInt32>(c.value)) ? 1 : 0;
     }},
    {effGetCurrentMidiProgram,
     [](AudioEffectX &fx, const Call &c) -> VstIntPtr { return fx.getCurrentMidiProgram(c.index, c.ptr); }},
    {effGetNumMidiInputChannels,
     [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getNumMidiInputChannels(); }},
    {effGetNumMidiOutputChannels,
     [](AudioEffectX &fx, const Call &) -> VstIntPtr { return fx.getNumMidiOutputChannels(); }},
};

} // namespace

AudioEffect::AudioEffect(HostCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.f;
    cEffect.object = this;
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.processDoubleReplacing = processDoubleEntry;
}

AudioEffect::~AudioEffect() {
    delete editor;
    cEffect.object = nullptr;
}

AudioEffect *AudioEffect::fromAeffect(AEffect *effect) {
    if (!effect || effect->magic != kEffectMagic) return nullptr;
    return static_cast<AudioEffect *>(effect->object);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr, float opt) {
    Handler<AudioEffect> handler = findHandler(kBaseOpcodes, opcode);
    return handler ? handler(*this, Call{index, value, ptr, opt}) : 0;
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr, float opt) {
    Handler<AudioEffectX> handler = findHandler(kExtendedOpcodes, opcode);
    if (handler) return handler(*this, Call{index, value, ptr, opt});
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor *newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void *ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    VstIntPtr version = callHost(audioMasterVersion);
    return static_cast<VstInt32>(version);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

bool AudioEffect::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffect::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffect::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::wantEvents(VstInt32 filter) { return callHost(audioMasterWantMidi, 0, filter) != 0; }

} // namespace vst2
