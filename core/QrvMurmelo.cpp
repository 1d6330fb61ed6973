#include "core/QrvMurmelo.h"

#include "core/CFString.h"
#include "core/Kernel.h"
#include "core/Settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace murmelo {

std::atomic<int> oscBasePort{7000};

namespace {

constexpr char kProductName[] = "Murmelo";
constexpr char kReceiveMidi[] = "receiveVstMidiEvent";
constexpr int kNumChannels = 2;

// Every live instance, for the cross-instance script operations.
std::mutex instancesLock;
std::vector<QrvMurmelo *> &instances() {
    static std::vector<QrvMurmelo *> list;
    return list;
}

// Instances are selected by their "OSC Port Offset" compared as a float, so
// an offset of 3 does not select an instance whose value is 3.5.
bool hasOffset(QrvMurmelo &fx, int offset) {
    return fx.currentProgram()->getValue(kOscPortOffset) == static_cast<float>(offset);
}

} // namespace

void QrvMurmelo::setUpEffect() {
    canMono();
    canProcessReplacing();
    setNumInputs(kNumChannels);
    setNumOutputs(kNumChannels);
    setUniqueID(vst2::fourCC('Q', 'V', 'm', 'u'));

    const FactoryProgram *factory = factoryPrograms();
    for (int r = 0; r < kNumPrograms; ++r) {
        for (int j = 0; j < kNumParameters; ++j)
            programs[r]->setValue(j, factory[r].values[j]);
        if (factory[r].name->length() <= static_cast<std::size_t>(kProgramNameChars))
            programs[r]->setName(factory[r].name->c_str());
    }

    for (int c = 0; c < cEffect.numOutputs; ++c)
        if (AUKernelBase *kernel = createKernel()) kernels.push_back(kernel);
}

void QrvMurmelo::registerInstance() {
    std::lock_guard<std::mutex> guard(instancesLock);
    instances().push_back(this);
}

void QrvMurmelo::unregisterInstance() {
    std::lock_guard<std::mutex> guard(instancesLock);
    auto &list = instances();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void QrvMurmelo::startServices() {
    speedLfoPhase = 0.f;
    depthLfoPhase = 0.f;
    resizeScratchBuffers(blockSize);
    std::memset(&blockParams, 0, sizeof(blockParams));
    std::memset(&previousBlockParams, 0, sizeof(previousBlockParams));
    oscBasePort.store(readSettingInt(kSettingOscBasePort, 7000), std::memory_order_relaxed);
}

void QrvMurmelo::stopServices() {}

void QrvMurmelo::resume() { wantEvents(1); }

void QrvMurmelo::setBlockSize(vst2::VstInt32 size) {
    blockSize = size;
    resizeScratchBuffers(size);
}

void QrvMurmelo::setBlockSizeAndSampleRate(vst2::VstInt32 size, float rate) {
    // Resizing here too keeps a host that only ever sends this opcode from
    // handing us blocks larger than the scratch buffers.
    setSampleRate(rate);
    setBlockSize(size);
}

void QrvMurmelo::setProgram(vst2::VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram = program;
    applyOscPortOffset();
}

int QrvMurmelo::oscPort() {
    // The offset is the stored value truncated toward zero.
    const float v = currentProgram()->getValue(kOscPortOffset);
    const int offset = std::fabs(v) < 1e6f ? static_cast<int>(v) : 0;
    return offset != 0 ? oscBasePort.load(std::memory_order_relaxed) + offset : 0;
}

void QrvMurmelo::applyOscPortOffset() { oscHelper->requestPort(oscPort()); }

// [any, often audio] Nothing here locks or allocates: the editor got the
// value through its mailbox, the OSC server gets it through its queue, and a
// new "OSC Port Offset" is applied by the OSC server's notify thread.
void QrvMurmelo::parameterWritten(int index, float realValue, ParameterRoad road) {
    if (road != ParameterRoad::Host) return;
    if (index == kOscPortOffset) oscHelper->portOffsetChanged();
    oscHelper->parameterChanged(index, realValue);
}

void QrvMurmelo::notifyEditor(int index, float realValue) {
    if (editorView) editorView->setParameter(index, realValue);
}

vst2::VstInt32 QrvMurmelo::processEvents(vst2::VstEvents *events) { return midiHost->processMidiEvents(events); }

bool QrvMurmelo::getEffectName(char *text) {
    std::strcpy(text, kProductName);
    return true;
}

bool QrvMurmelo::getProductString(char *text) {
    std::strcpy(text, kProductName);
    return true;
}

vst2::VstInt32 QrvMurmelo::canDo(char *text) { return std::strcmp(text, kReceiveMidi) == 0 ? 1 : 0; }

int QrvMurmelo::getValueStrings(int, int, void *outputList) { return outputList ? kStatusInvalidParameter : kStatusOk; }

int QrvMurmelo::getProperty(int property, int, int, void *data) {
    if (!data) return kStatusInvalidParameter;
    if (property == kPropertyDisplayState) {
        *static_cast<void **>(data) = &displayState;
        return kStatusOk;
    }
    if (property != kPropertyParameterStringFromValue) return kStatusInvalidProperty;
    auto *request = static_cast<ParameterStringFromValue *>(data);
    request->text = nullptr;
    if (!isParameterIndex(request->parameter)) return kStatusInvalidParameter;
    const float v = request->value ? *request->value : value(request->parameter);
    const char *text = nullptr;
    const int status = parameterValueText(request->parameter, v, text);
    if (status == kStatusOk && text) request->text = CFString::constant(text);
    return status;
}

int QrvMurmelo::getPropertyInfo(int property, int, int, unsigned *size, bool *writable) {
    unsigned bytes = 0;
    if (property == kPropertyParameterStringFromValue)
        bytes = sizeof(ParameterStringFromValue);
    else if (property == kPropertyDisplayState)
        bytes = sizeof(void *);
    else
        return kStatusInvalidProperty;
    if (size) *size = bytes;
    if (writable) *writable = false;
    return kStatusOk;
}

int QrvMurmelo::setProperty(int, int, int, const void *, unsigned) { return kStatusInvalidProperty; }

// The hosts are told after the instance lock is released: a host whose
// update-display callback waits for its UI thread, while that thread creates
// or closes an instance (and so waits for the lock), would otherwise never
// return.  What is kept is only the host's callback and the AEffect address
// that names the instance to it; nothing of an instance closed meanwhile is
// read.
void QrvMurmelo::setOthersParameter(int offset, int index, float realValue) {
    if (!isParameterIndex(index)) return;
    struct Target {
        vst2::HostCallback host;
        vst2::AEffect *effect;
    };
    std::vector<Target> targets;
    {
        std::lock_guard<std::mutex> guard(instancesLock);
        for (QrvMurmelo *fx : instances()) {
            if (!hasOffset(*fx, offset)) continue;
            if (fx->writeParameter(index, realValue, ParameterRoad::Others))
                targets.push_back({fx->audioMaster, fx->getAeffect()});
        }
    }
    for (const Target &t : targets)
        if (t.host) t.host(t.effect, vst2::audioMasterUpdateDisplay, 0, 0, nullptr, 0.f);
}

float QrvMurmelo::getOthersParameter(int offset, int index) {
    if (!isParameterIndex(index)) return 0.f;
    std::lock_guard<std::mutex> guard(instancesLock);
    for (QrvMurmelo *fx : instances())
        if (hasOffset(*fx, offset)) return fx->currentProgram()->getValue(index);
    return 0.f;
}

void QrvMurmelo::setOthersGuiFlag(int offset, int flag, bool state) {
    if (flag < 0 || flag >= 8) return;
    std::lock_guard<std::mutex> guard(instancesLock);
    for (QrvMurmelo *fx : instances())
        if (hasOffset(*fx, offset)) fx->displayState.guiFlags[flag].store(state ? 1 : 0, std::memory_order_relaxed);
}

bool QrvMurmelo::getOthersGuiFlag(int offset, int flag) {
    if (flag < 0 || flag >= 8) return false;
    std::lock_guard<std::mutex> guard(instancesLock);
    for (QrvMurmelo *fx : instances())
        if (hasOffset(*fx, offset)) return fx->displayState.guiFlags[flag].load(std::memory_order_relaxed) != 0;
    return false;
}

} // namespace murmelo
