#include "tool/MidiFile.h"

namespace tool {

void MidiFeed::deliver(vsthost::Plugin &plugin, std::int64_t blockStart, std::int32_t frames) {
    std::vector<vsthost::Plugin::Midi> block;
    const std::int64_t blockEnd = blockStart + frames;
    for (; next < events.size() && events[next].frame < blockEnd; ++next) {
        const TimedMidi &e = events[next];
        // Events before the first block (none in practice) go at offset 0.
        const std::int64_t offset = e.frame > blockStart ? e.frame - blockStart : 0;
        block.push_back({static_cast<std::int32_t>(offset), {e.bytes[0], e.bytes[1], e.bytes[2]}});
    }
    if (!block.empty()) plugin.sendMidi(block);
}

} // namespace tool
