#include "tool/Audio.h"
#include "tool/System.h"

#include <cstdio>

namespace tool {

namespace {
constexpr int kWidth = 40;
}

Progress::Progress(double totalSeconds, int rate)
    : enabled(standardErrorIsTerminal() && totalSeconds > 1.0), total(totalSeconds), rate(rate) {}

void Progress::update(std::int64_t framesDone) {
    if (!enabled) return;
    const double seconds = static_cast<double>(framesDone) / rate;
    int percent = static_cast<int>(100.0 * seconds / total);
    if (percent > 99) percent = 99; // 100 only when finished (a tail may run on)
    if (percent == lastPercent) return;
    lastPercent = percent;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < percent * kWidth / 100 ? '#' : '-';
    bar[kWidth] = 0;
    std::fprintf(stderr, "\rrendering [%s] %3d%%  %.1f s", bar, percent, seconds);
    std::fflush(stderr);
}

void Progress::finish() {
    if (!enabled || lastPercent < 0) return;
    std::fprintf(stderr, "\r%*s\r", kWidth + 40, "");
    std::fflush(stderr);
}

} // namespace tool
