// Which controls show which parameter, and the changes waiting for them.
#pragma once

#include "core/Parameters.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace murmelo {
class QrvAuBase;
}

namespace QV {

class Control;

// A copy of one row of the effect's parameter table, as the controls see it.
struct ParameterDescriptor {
    int index = -1;
    char name[52] = {};
    int unit = 0;
    float minimum = 0, maximum = 0, defaultValue = 0;
    int flags = 0;
    murmelo::QrvAuBase *effect = nullptr;

    // A parameter whose minimum, maximum and default are all 0 is unused.
    bool used() const { return !(minimum == 0 && maximum == 0 && defaultValue == 0); }
};

// One list of bound controls per parameter, and the pending changes.
//
// Pending changes are a mailbox per parameter rather than a list: a producer
// on any thread (the host's audio thread calls setParameter) stores the
// value and raises the parameter's bit, without a lock; the UI thread takes
// all raised bits at once and delivers the latest value of each.  Controls
// only ever show the latest value, so nothing visible is lost by merging,
// and the mailbox can neither fill up nor allocate.
class ParameterBinding {
public:
    using Callback = void (*)(void *user, Control *control, int index, float value);

    ParameterBinding(Callback callback, void *user);

    // [ui] Appends the control to the list of index; false (and nothing
    // bound) for an unused parameter or an index outside the table.
    bool bind(Control *control, const ParameterDescriptor &parameter);
    // [any]
    bool hasBindings(int index) const;
    // [any] Records a change of a parameter that has bound controls.
    void queue(int index, float value);
    // [ui] Delivers every pending change.
    void flush();
    // [ui] Calls the callback for every control bound to index.
    void deliver(int index, float value);

private:
    Callback callback;
    void *user;
    std::vector<Control *> bound[murmelo::kNumParameters];
    std::atomic<int> boundCount[murmelo::kNumParameters];
    std::atomic<float> pendingValue[murmelo::kNumParameters];
    std::atomic<std::uint32_t> pendingMask{0};
};

} // namespace QV
