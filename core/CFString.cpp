#include "core/CFString.h"

#include <cstring>
#include <map>
#include <mutex>

namespace murmelo {

void CFType::retain() {
    if (!interned) references.fetch_add(1, std::memory_order_relaxed);
}

void CFType::release() {
    if (interned) return;
    if (references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

CFString *CFString::constant(const char *text) {
    static std::mutex lock;
    // Leaked on purpose: interned texts live until the process ends, and the
    // map must outlive every static that might still hold one.
    static auto *interned = new std::map<std::string, CFString *>;
    std::lock_guard<std::mutex> guard(lock);
    auto found = interned->find(text);
    if (found != interned->end()) return found->second;
    CFString *made = new CFString(text, true);
    interned->emplace(text, made);
    return made;
}

CFString *CFString::create(const std::string &text) { return new CFString(text, false); }

bool CFString::copyTo(char *buffer, std::size_t bufferSize) const {
    if (!buffer || bufferSize < text.size() + 1) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace murmelo
