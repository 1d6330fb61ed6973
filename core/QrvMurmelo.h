// Murmelo's effect object: identity, programs, the block stage and kernels,
// and the services (MIDI scripts, OSC, editor) that hang off the effect.
#pragma once

#include "core/BlockParams.h"
#include "core/BlockStage.h"
#include "core/DisplayState.h"
#include "core/EffectServices.h"
#include "core/MurmeloKernel.h"
#include "core/QrvAuBase.h"
#include "murmelo/Version.h"

#include <atomic>
#include <vector>

namespace QV {
class OSCHelper;
class Editor;
} // namespace QV

namespace murmelo {

// Process-wide OSC base port: 7000 until an instance reads the stored setting.
extern std::atomic<int> oscBasePort;

class MurmeloLuaMIDIHelper;

// The effect object's construction and destruction live with the assembly
// (plugin/MurmeloAssembly.cpp): they make and wire the MIDI host, the OSC
// server and the editor, which this class reaches only through the
// interfaces of core/EffectServices.h.
class QrvMurmelo : public QrvAuBase {
public:
    explicit QrvMurmelo(vst2::HostCallback audioMaster);
    ~QrvMurmelo() override;

    // [ui]
    void resume() override;
    void setBlockSize(vst2::VstInt32 size) override;
    void setBlockSizeAndSampleRate(vst2::VstInt32 size, float rate) override;
    void setProgram(vst2::VstInt32 program) override;
    // [audio]
    void processReplacing(float **inputs, float **outputs, vst2::VstInt32 frames) override;
    // [audio] hands the host's events to the MIDI scripting host.
    vst2::VstInt32 processEvents(vst2::VstEvents *events) override;

    bool getEffectName(char *text) override;
    bool getProductString(char *text) override;
    vst2::VstInt32 getVendorVersion() override { return kMurmeloVersion; }
    vst2::VstInt32 canDo(char *text) override;
    vst2::VstInt32 getPlugCategory() override { return vst2::kPlugCategEffect; }

    AUKernelBase *createKernel() override;
    int getValueStrings(int scope, int parameter, void *outputList) override;
    int getProperty(int property, int scope, int element, void *data) override;
    int getPropertyInfo(int property, int scope, int element, unsigned *size, bool *writable) override;
    int setProperty(int property, int scope, int element, const void *data, unsigned size) override;
    void *getDisplayState() override { return &displayState; }

    virtual void startServices();
    virtual void stopServices();
    virtual int getVersion() { return kMurmeloVersion; }

    // Cross-instance operations for MIDI scripts: act on every instance whose
    // "OSC Port Offset" equals offset (sets) or read the first match (gets,
    // 0 when none matches).  [any]
    static void setOthersParameter(int offset, int index, float realValue);
    static float getOthersParameter(int offset, int index);
    static void setOthersGuiFlag(int offset, int flag, bool state);
    static bool getOthersGuiFlag(int offset, int flag);

    // [any] The OSC port the current program asks for: base port plus the
    // "OSC Port Offset" truncated toward zero, or 0 (off) for offset 0.
    int oscPort();

    DisplayState &display() { return displayState; }
    // The editor (owned through the base class), the MIDI host and the OSC
    // server, for tools and tests (defined with the assembly).
    QV::Editor *getEditorView();
    MurmeloLuaMIDIHelper *getMidiHost();
    QV::OSCHelper *getOSCHelper();

protected:
    // [any] Forwards the change to the editor, which queues it for its controls.
    void notifyEditor(int index, float realValue) override;
    // [any] Host writes move the OSC port (index 15) and reach subscribers.
    void parameterWritten(int index, float realValue, ParameterRoad road) override;

private:
    // [ui] The construction steps that need no service: identity and
    // channels, the factory programs, one kernel per output.
    void setUpEffect();
    // [ui] Enters or leaves the list the cross-instance operations walk.
    void registerInstance();
    void unregisterInstance();
    // [ui] scratch for crossfades: one block per output channel in each buffer.
    void resizeScratchBuffers(int frames);
    // [audio] the per-block order for one piece that fits the scratch buffers.
    void processBlock(float *const *inputs, float *const *outputs, int frames);
    // [audio] block stage: phase alignment, block parameters, change test, display.
    void runBlockStage(int frames);
    void runKernels(float *const *inputs, float *const *outputs, int frames);
    // [audio] renders the block the cheap way when input and lines are silent.
    bool runSilence(float *const *inputs, float *const *outputs, int frames);
    // [audio] clears the delay lines and silences the block when it wrote
    // anything that is not a finite number.
    void guardDelayLines(const int *starts, float *const *outputs, int frames);
    CMurmeloKernel *kernelAt(std::size_t index) const;
    // Applies the current program's "OSC Port Offset" to the OSC server.
    void applyOscPortOffset();

    MidiScripting *midiHost = nullptr; // owned; made by the assembly
    BlockParams blockParams{};
    BlockParams previousBlockParams{};
    bool blockParamsChanged = false;
    std::vector<float> oldOutput;
    std::vector<float> oldDelayWrites;
    DisplayState displayState;
    float speedLfoPhase = 0.f;
    float depthLfoPhase = 0.f;
    // What the kernels read for the block being rendered.
    KernelShared kernelShared;
    OscControl *oscHelper = nullptr;     // owned; made by the assembly
    ParameterView *editorView = nullptr; // owned through the base class
};

} // namespace murmelo
