// Per-channel audio kernels.  A kernel is plain state plus a process
// function; it owns no host types and may be driven without a host.
#pragma once

namespace murmelo {

class QrvAuBase;

class AUKernelBase {
public:
    explicit AUKernelBase(QrvAuBase *owner) : owner(owner) {}
    virtual ~AUKernelBase() = default;
    AUKernelBase(const AUKernelBase &) = delete;
    AUKernelBase &operator=(const AUKernelBase &) = delete;

    virtual void reset() {}
    // [audio] one channel of one block; never allocates, locks or throws.
    virtual void process(const float *input, float *output, int frames, int channelCount, bool &silence) = 0;

protected:
    QrvAuBase *owner;
};

} // namespace murmelo
