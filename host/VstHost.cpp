#include "host/VstHost.h"

#include "platform/DynamicLibrary.h"

#include <cstring>

namespace vsthost {

using EntryPoint = vst2::AEffect *(VST2_CALLBACK *)(vst2::HostCallback);

// A loaded module; released when the last instance made from it is gone.
class Module {
public:
    platform::DynamicLibrary library;
    void *symbol(const char *name) { return library.symbol(name); }
};

namespace {

// The instance being created on this thread: the entry point calls back
// before the host has an AEffect to look the instance up by.
thread_local Plugin *constructing = nullptr;

// Guards the host's field of every AEffect: a plug-in may call back from its
// own threads (timers) before the entry point has returned.
std::mutex instanceFieldLock;

constexpr std::size_t kTextBuffer = 256;

} // namespace

Plugin::Plugin(std::shared_ptr<Module> module, HostOptions options) : module(std::move(module)), hostOptions(options) {}

std::unique_ptr<Plugin> Plugin::load(const std::string &path, std::string &error, HostOptions options) {
    auto module = std::make_shared<Module>();
    std::string reason;
    if (!module->library.open(path, reason)) {
        error = "cannot load " + path + ": " + reason;
        return nullptr;
    }
    auto entry = reinterpret_cast<EntryPoint>(module->symbol("VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<EntryPoint>(module->symbol("main"));
    if (!entry) {
        error = path + " exports neither VSTPluginMain nor main";
        return nullptr;
    }
    std::unique_ptr<Plugin> plugin(new Plugin(module, options));
    constructing = plugin.get();
    vst2::AEffect *effect = entry(&Plugin::callback);
    constructing = nullptr;
    if (!effect) {
        error = path + ": the entry point returned no instance";
        return nullptr;
    }
    if (effect->magic != vst2::kEffectMagic) {
        error = path + ": the instance has no VST 2.x magic";
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> guard(instanceFieldLock);
        effect->resvd1 = reinterpret_cast<std::intptr_t>(plugin.get());
    }
    plugin->aeffect = effect;
    plugin->dispatch(vst2::effOpen);
    plugin->dispatch(vst2::effSetSampleRate, 0, 0, nullptr, options.sampleRate);
    plugin->dispatch(vst2::effSetBlockSize, 0, options.blockSize);
    return plugin;
}

Plugin::~Plugin() {
    if (aeffect) {
        suspend();
        dispatch(vst2::effClose);
    }
}

std::intptr_t Plugin::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void *ptr, float opt) {
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

std::string Plugin::text(std::int32_t opcode, std::int32_t index, std::intptr_t value) {
    char buffer[kTextBuffer] = {};
    dispatch(opcode, index, value, buffer);
    buffer[kTextBuffer - 1] = 0;
    return buffer;
}

std::string Plugin::programNameIndexed(int index) {
    char buffer[kTextBuffer] = {};
    if (!dispatch(vst2::effGetProgramNameIndexed, index, 0, buffer)) return {};
    buffer[kTextBuffer - 1] = 0;
    return buffer;
}

std::intptr_t Plugin::canDo(const char *capability) {
    return dispatch(vst2::effCanDo, 0, 0, const_cast<char *>(capability));
}

float Plugin::getParameter(int index) { return aeffect->getParameter(aeffect, index); }

void Plugin::setParameter(int index, float normalised) { aeffect->setParameter(aeffect, index, normalised); }

void Plugin::suspend() {
    if (resumed) dispatch(vst2::effMainsChanged, 0, 0);
    resumed = false;
}

void Plugin::resume() {
    dispatch(vst2::effMainsChanged, 0, 1);
    resumed = true;
}

void Plugin::start(float sampleRate, std::int32_t blockSize) {
    suspend();
    dispatch(vst2::effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(vst2::effSetBlockSize, 0, blockSize);
    resume();
}

void Plugin::process(float **inputs, float **outputs, std::int32_t frames) {
    aeffect->processReplacing(aeffect, inputs, outputs, frames);
}

std::intptr_t Plugin::sendMidi(const std::vector<Midi> &messages) {
    std::vector<vst2::VstMidiEvent> events(messages.size());
    // VstEvents declares two pointers; allocate room for all of them.
    std::vector<unsigned char> block(sizeof(vst2::VstEvents) + messages.size() * sizeof(vst2::VstEvent *));
    auto *list = reinterpret_cast<vst2::VstEvents *>(block.data());
    list->numEvents = static_cast<std::int32_t>(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        vst2::VstMidiEvent &e = events[i];
        e.type = vst2::kVstMidiType;
        e.byteSize = sizeof(vst2::VstMidiEvent);
        e.deltaFrames = messages[i].deltaFrames;
        std::memcpy(e.midiData, messages[i].bytes, 3);
        list->events[i] = reinterpret_cast<vst2::VstEvent *>(&e);
    }
    return dispatch(vst2::effProcessEvents, 0, 0, list);
}

std::vector<HostCall> Plugin::calls() const {
    std::lock_guard<std::mutex> guard(callsLock);
    return recorded;
}

int Plugin::countCalls(std::int32_t opcode) const {
    std::lock_guard<std::mutex> guard(callsLock);
    int n = 0;
    for (const HostCall &c : recorded)
        n += c.opcode == opcode;
    return n;
}

void Plugin::clearCalls() {
    std::lock_guard<std::mutex> guard(callsLock);
    recorded.clear();
}

void Plugin::onCall(std::function<void(const HostCall &)> newObserver) {
    std::lock_guard<std::mutex> guard(callsLock);
    observer = std::move(newObserver);
}

std::intptr_t VST2_CALLBACK Plugin::callback(vst2::AEffect *effect, std::int32_t opcode, std::int32_t index,
                                             std::intptr_t value, void *ptr, float opt) {
    Plugin *self = constructing;
    {
        std::lock_guard<std::mutex> guard(instanceFieldLock);
        if (effect && effect->resvd1) self = reinterpret_cast<Plugin *>(effect->resvd1);
    }
    if (!self) return opcode == vst2::audioMasterVersion ? vst2::kVstVersion : 0;
    HostCall call{opcode, index, value, opt, std::this_thread::get_id()};
    std::function<void(const HostCall &)> notify;
    {
        std::lock_guard<std::mutex> guard(self->callsLock);
        self->recorded.push_back(call);
        notify = self->observer;
    }
    if (notify) notify(call);
    return self->answer(call, ptr);
}

std::intptr_t Plugin::answer(const HostCall &call, void *ptr) {
    switch (call.opcode) {
    case vst2::audioMasterVersion:
        return hostOptions.hostVersion;
    case vst2::audioMasterCurrentId:
        return aeffect ? aeffect->uniqueID : 0;
    case vst2::audioMasterGetSampleRate:
        return static_cast<std::intptr_t>(hostOptions.sampleRate);
    case vst2::audioMasterGetBlockSize:
        return hostOptions.blockSize;
    case vst2::audioMasterGetVendorString:
        if (ptr) std::strcpy(static_cast<char *>(ptr), "Murmelo project");
        return ptr ? 1 : 0;
    case vst2::audioMasterGetProductString:
        if (ptr) std::strcpy(static_cast<char *>(ptr), "vsthost");
        return ptr ? 1 : 0;
    case vst2::audioMasterGetVendorVersion:
        return 1;
    case vst2::audioMasterAutomate:
    case vst2::audioMasterBeginEdit:
    case vst2::audioMasterEndEdit:
    case vst2::audioMasterUpdateDisplay:
    case vst2::audioMasterWantMidi:
    case vst2::audioMasterSizeWindow:
        return 1;
    default:
        return 0;
    }
}

} // namespace vsthost
