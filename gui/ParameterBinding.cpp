#include "gui/ParameterBinding.h"

namespace QV {

ParameterBinding::ParameterBinding(Callback callback, void *user) : callback(callback), user(user) {
    for (auto &count : boundCount)
        count.store(0, std::memory_order_relaxed);
    for (auto &value : pendingValue)
        value.store(0.f, std::memory_order_relaxed);
}

bool ParameterBinding::bind(Control *control, const ParameterDescriptor &parameter) {
    const int i = parameter.index;
    if (!murmelo::isParameterIndex(i) || !parameter.used()) return false;
    bound[i].push_back(control);
    boundCount[i].store(static_cast<int>(bound[i].size()), std::memory_order_release);
    return true;
}

bool ParameterBinding::hasBindings(int index) const {
    return murmelo::isParameterIndex(index) && boundCount[index].load(std::memory_order_acquire) > 0;
}

void ParameterBinding::queue(int index, float value) {
    if (!hasBindings(index)) return;
    pendingValue[index].store(value, std::memory_order_relaxed);
    pendingMask.fetch_or(std::uint32_t(1) << index, std::memory_order_release);
}

void ParameterBinding::flush() {
    std::uint32_t mask = pendingMask.exchange(0, std::memory_order_acquire);
    for (int i = 0; mask != 0; ++i, mask >>= 1)
        if (mask & 1) deliver(i, pendingValue[i].load(std::memory_order_relaxed));
}

void ParameterBinding::deliver(int index, float value) {
    if (!murmelo::isParameterIndex(index)) return;
    for (Control *control : bound[index])
        callback(user, control, index, value);
}

} // namespace QV
