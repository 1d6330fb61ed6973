#include "platform/ErrorReport.h"

#include <cstdio>

namespace platform {

void reportError(const std::string &what) { std::fprintf(stderr, "Error: %s\n", what.c_str()); }

} // namespace platform
