// Drives the real murmelo.so through our host library next to the literal
// transcription of the sound, fed the same values and the same pieces.
#pragma once

#include "bench/LiteralMurmelo.h"
#include "core/DisplayState.h"
#include "core/Parameters.h"
#include "core/Programs.h"
#include "core/QrvAuBase.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace sound {

struct Stereo {
    explicit Stereo(int n = 0) : left(n, 0.f), right(n, 0.f) {}
    int frames() const { return static_cast<int>(left.size()); }
    std::vector<float> left, right;
};

class Rig {
public:
    explicit Rig(int blockSize = 512, float rate = 44100.f) : rate(rate), capacity(scratchFor(blockSize)) {
        vsthost::HostOptions options;
        options.sampleRate = rate;
        options.blockSize = blockSize;
        plugin = testing_support::loadMurmelo(options);
        if (!plugin) return;
        plugin->start(rate, blockSize);
        useProgram(0);
    }
    explicit operator bool() const { return plugin != nullptr; }

    // Host-side changes, mirrored into the model's values.
    void useProgram(int index) {
        plugin->setProgram(index);
        std::memcpy(values, murmelo::factoryPrograms()[index].values, sizeof values);
    }
    void setNormalised(int index, float normalised) {
        plugin->setParameter(index, normalised);
        values[index] = murmelo::toRealValue(index, normalised);
    }
    void setSampleRate(float r) {
        plugin->dispatch(vst2::effSetSampleRate, 0, 0, nullptr, r);
        rate = r;
    }
    void setBlockSizeAndSampleRate(int size, float r) {
        plugin->dispatch(vst2::effSetBlockSizeAndSampleRate, 0, size, nullptr, r);
        rate = r;
        capacity = scratchFor(size);
    }
    // The plug-in's scratch holds the host's block size, never fewer than
    // 256 frames and never more than a delay line's 65536.
    static int scratchFor(int blockSize) { return std::clamp(blockSize, 256, 65536); }

    // Processes one host block through the plug-in.
    Stereo process(const Stereo &in) {
        Stereo out(in.frames());
        float *i[2] = {const_cast<float *>(in.left.data()), const_cast<float *>(in.right.data())};
        float *o[2] = {out.left.data(), out.right.data()};
        plugin->process(i, o, in.frames());
        return out;
    }
    // The same block through the literal model, in pieces that fit the
    // plug-in's scratch buffers (the host's last block size).
    Stereo model(const Stereo &in) {
        Stereo out(in.frames());
        for (int done = 0; done < in.frames();) {
            const int n = std::min(in.frames() - done, capacity);
            const float *i[2] = {in.left.data() + done, in.right.data() + done};
            float *o[2] = {out.left.data() + done, out.right.data() + done};
            literalModel.block(values, rate, i, o, n);
            done += n;
        }
        return out;
    }

    murmelo::DisplayState &display() {
        auto *fx = static_cast<murmelo::QrvAuBase *>(static_cast<vst2::AudioEffect *>(plugin->effect()->object));
        void *state = nullptr;
        fx->getProperty(murmelo::kPropertyDisplayState, 0, 0, &state);
        return *static_cast<murmelo::DisplayState *>(state);
    }
    float displayedSpeed() { return display().speedHz.load(); }
    float displayedSweepMs() { return display().sweepMs.load(); }

    std::unique_ptr<vsthost::Plugin> plugin;
    literal::Model literalModel;
    float values[murmelo::kNumParameters];
    float rate;
    int capacity;
};

} // namespace sound
