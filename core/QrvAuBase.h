// The maker's common plug-in base: programs, kernels, the property interface
// and the parameter texts every product shares.
#pragma once

#include "core/Programs.h"
#include "vst2/AudioEffect.h"

#include <vector>

namespace murmelo {

class AUKernelBase;

// Status codes of the property interface.
constexpr int kStatusOk = 0;
constexpr int kStatusInvalidParameter = -10878;
constexpr int kStatusInvalidProperty = -10879;

// Property ids.
constexpr int kPropertyParameterStringFromValue = 33;
constexpr int kPropertyDisplayState = 64001;

// The 12-byte (on 32-bit) string-from-value request of property 33.
struct ParameterStringFromValue {
    int parameter;
    const float *value;   // null: the current value
    class CFString *text; // result, one reference for the caller, or null
};

using PropertyListenerProc = void (*)(void *userData, int property);

struct PropertyListener {
    int property;
    PropertyListenerProc procedure;
    void *userData;
};

class QrvAuBase : public vst2::AudioEffectX {
public:
    QrvAuBase(vst2::HostCallback audioMaster, int numPrograms, int numParams);
    ~QrvAuBase() override;

    void processReplacing(float **inputs, float **outputs, vst2::VstInt32 frames) override;
    void setParameter(vst2::VstInt32 index, float value) override;
    float getParameter(vst2::VstInt32 index) override;
    void getParameterLabel(vst2::VstInt32 index, char *label) override;
    void getParameterDisplay(vst2::VstInt32 index, char *text) override;
    void getParameterName(vst2::VstInt32 index, char *text) override;
    bool getParameterProperties(vst2::VstInt32 index, vst2::VstParameterProperties *p) override;
    void setProgramName(char *name) override;
    void getProgramName(char *name) override;
    bool getProgramNameIndexed(vst2::VstInt32 category, vst2::VstInt32 index, char *text) override;
    bool getVendorString(char *text) override;

    virtual AUKernelBase *createKernel() = 0;
    virtual int getValueStrings(int scope, int parameter, void *outputList);
    virtual int getProperty(int property, int scope, int element, void *data);
    virtual int getPropertyInfo(int property, int scope, int element, unsigned *size, bool *writable);
    virtual int setProperty(int property, int scope, int element, const void *data, unsigned size);
    virtual int addPropertyListener(int property, PropertyListenerProc procedure, void *userData);
    virtual int removePropertyListener(int property, PropertyListenerProc procedure);
    virtual void *getDisplayState() = 0;

    // [ui] the editor's edit entry: store, tell the editor, inform the host.
    virtual void editParameter(int index, float realValue);

    QrvProgram *currentProgram() { return programs[curProgram]; }
    QrvProgram *program(int index) { return programs[index]; }
    const std::vector<AUKernelBase *> &getKernels() const { return kernels; }
    const std::vector<PropertyListener> &getPropertyListeners() const { return propertyListeners; }

protected:
    // Called for parameter changes that the editor should hear about.
    virtual void notifyEditor(int index, float realValue);
    // Real value of parameter index in the current program.
    float value(int index) { return currentProgram()->getValue(index); }

    QrvProgram *programs[kNumPrograms];
    std::vector<AUKernelBase *> kernels;
    std::vector<PropertyListener> propertyListeners;
};

} // namespace murmelo
