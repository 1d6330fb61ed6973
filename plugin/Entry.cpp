// The exported entry point, under its two names.
#include "core/QrvMurmelo.h"

#include <new>

namespace {

vst2::AEffect *createInstance(vst2::HostCallback audioMaster) {
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.f) == 0) return nullptr;
    try {
        auto *effect = new (std::nothrow) murmelo::QrvMurmelo(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) vst2::AEffect *VSTPluginMain(vst2::HostCallback audioMaster) {
    return createInstance(audioMaster);
}

// Older hosts look the entry point up as "main": the same function under a
// second symbol name, without declaring a C++ main.
__attribute__((visibility("default"))) vst2::AEffect *vstPluginMainAlias(vst2::HostCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
}
