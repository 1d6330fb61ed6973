// A small VST 2.x host: loads a plug-in module, creates an instance through
// its entry point with a host callback that records every call, and drives
// the dispatcher, parameters, events and processing.  Used by the tests and
// the command-line tool; it loads other makers' Linux VST 2.x plug-ins too.
#pragma once

#include "vst2/vst2abi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vsthost {

// One call the plug-in made to the host.
struct HostCall {
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    float opt;
    std::thread::id thread;
};

struct HostOptions {
    // What the host answers to audioMasterVersion (0 refuses instances).
    std::intptr_t hostVersion = vst2::kVstVersion;
    float sampleRate = 44100.f;
    std::int32_t blockSize = 512;
};

class Module;

class Plugin {
public:
    // Loads the module at path and creates one instance.  Null with a reason
    // in error when the module cannot be loaded, has no entry point, or the
    // entry point returns no valid instance.
    static std::unique_ptr<Plugin> load(const std::string &path, std::string &error, HostOptions options = {});
    ~Plugin(); // effClose, then the module is released

    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    vst2::AEffect *effect() const { return aeffect; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void *ptr = nullptr,
                           float opt = 0.f);

    // Texts through the dispatcher, read from a generous zeroed buffer.
    std::string text(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0);
    std::string effectName() { return text(vst2::effGetEffectName); }
    std::string vendorString() { return text(vst2::effGetVendorString); }
    std::string productString() { return text(vst2::effGetProductString); }
    std::string parameterName(int index) { return text(vst2::effGetParamName, index); }
    std::string parameterLabel(int index) { return text(vst2::effGetParamLabel, index); }
    std::string parameterDisplay(int index) { return text(vst2::effGetParamDisplay, index); }
    std::string programName() { return text(vst2::effGetProgramName); }
    // Empty when the plug-in answers 0.
    std::string programNameIndexed(int index);
    std::intptr_t canDo(const char *capability);

    float getParameter(int index);
    void setParameter(int index, float normalised);
    int program() { return static_cast<int>(dispatch(vst2::effGetProgram)); }
    void setProgram(int index) { dispatch(vst2::effSetProgram, 0, index); }

    // Sample rate, block size and resume, as hosts do before processing.
    void start(float sampleRate, std::int32_t blockSize);
    // Hosts only suspend what they resumed; some plug-ins insist on that.
    void suspend();
    void resume();
    // processReplacing with one buffer per channel.
    void process(float **inputs, float **outputs, std::int32_t frames);
    // Sends raw MIDI messages (up to 3 bytes each) at the given frame offsets.
    struct Midi {
        std::int32_t deltaFrames;
        unsigned char bytes[3];
    };
    std::intptr_t sendMidi(const std::vector<Midi> &messages);

    // Every call the plug-in made to the host so far, in order.
    std::vector<HostCall> calls() const;
    int countCalls(std::int32_t opcode) const;
    void clearCalls();
    // Called (on the plug-in's thread) for every host call, after recording.
    void onCall(std::function<void(const HostCall &)> observer);

    const HostOptions &options() const { return hostOptions; }

private:
    Plugin(std::shared_ptr<Module> module, HostOptions options);
    static std::intptr_t VST2_CALLBACK callback(vst2::AEffect *effect, std::int32_t opcode, std::int32_t index,
                                                std::intptr_t value, void *ptr, float opt);
    std::intptr_t answer(const HostCall &call, void *ptr);

    std::shared_ptr<Module> module;
    HostOptions hostOptions;
    vst2::AEffect *aeffect = nullptr;
    bool resumed = false;
    mutable std::mutex callsLock;
    std::vector<HostCall> recorded;
    std::function<void(const HostCall &)> observer;
};

} // namespace vsthost
