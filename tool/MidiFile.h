// MIDI from a standard MIDI file for `murmelo render --midi FILE.mid`: the
// file's channel messages at their sample positions, handed to the plug-in
// block by block through effProcessEvents.
#pragma once

#include "host/VstHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

struct TimedMidi {
    std::int64_t frame; // sample position from the start of the render
    unsigned char bytes[3];
};

// Whether this build reads MIDI files: the Windows build does not (libsmf
// needs glib, which is not built for Windows), and its render command has
// no --midi.
extern const bool kReadsMidiFiles;

// Reads the channel messages (note, controller, program, pressure, pitch
// wheel) of every track in time order, tempo changes applied, placed at
// sampleRate.  Meta events, system exclusive and system messages are left
// out.  False with a reason in error when the file cannot be read.
bool readMidiFile(const std::string &path, double sampleRate, std::vector<TimedMidi> &events, std::string &error);

// Delivers a time-ordered event list block by block.
class MidiFeed {
public:
    MidiFeed() = default;
    explicit MidiFeed(std::vector<TimedMidi> events) : events(std::move(events)) {}

    // Sends the events with frame in [blockStart, blockStart + frames) in
    // one effProcessEvents call, each at its offset in the block; nothing
    // when there are none.
    void deliver(vsthost::Plugin &plugin, std::int64_t blockStart, std::int32_t frames);
    // The frame just after the last event (0 without events).
    std::int64_t endFrame() const { return events.empty() ? 0 : events.back().frame + 1; }
    std::size_t size() const { return events.size(); }

private:
    std::vector<TimedMidi> events;
    std::size_t next = 0;
};

} // namespace tool
