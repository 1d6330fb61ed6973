// The Windows build reads no MIDI files: libsmf needs glib, which is not
// built for Windows.  render takes no --midi there, so nothing asks.
#include "tool/MidiFile.h"

namespace tool {

const bool kReadsMidiFiles = false;

bool readMidiFile(const std::string &path, double, std::vector<TimedMidi> &, std::string &error) {
    error = "cannot read the MIDI file " + path + ": this build reads no MIDI files";
    return false;
}

} // namespace tool
