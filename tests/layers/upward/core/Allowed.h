// Includes the checker must let through: its own folder, a layer below,
// the generated headers and the standard library.
#pragma once
#include "core/Upward.h"
#include "murmelo/Version.h"
#include "vst2/vst2abi.h"
#include <vector>
