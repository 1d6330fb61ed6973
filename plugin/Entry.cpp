// The exported entry point.
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

// Older hosts look the entry point up as "main": the link gives this one
// function that second name (--defsym on Linux, murmelo.def on Windows)
// rather than declaring a C++ main here.
extern "C" vst2::AEffect *VSTPluginMain(vst2::HostCallback audioMaster) { return createInstance(audioMaster); }
