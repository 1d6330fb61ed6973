// Process clock.  [any]
#pragma once

namespace platform {

// Whole milliseconds of wall-clock time since the process started.
long long processMilliseconds();

} // namespace platform
