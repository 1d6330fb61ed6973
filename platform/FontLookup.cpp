#include "platform/FontLookup.h"

namespace platform {

std::string fontFamilyOf(const std::string &fileName) {
    std::string base = fileName.substr(fileName.find_last_of("/\\") + 1);
    const std::size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

} // namespace platform
