// The commands of the Windows build.  It has no editor yet, so no snapshot,
// and reads no MIDI files (libsmf needs glib, which is not built for
// Windows), so render has no --midi.
#include "tool/Tool.h"

namespace tool {

const Command kCommands[] = {
    {"info", runInfo, "info [--json] [--plugin PATH]   identity, parameters and programs"},
    {"render", runRender,
     "render [IN] OUT [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--block N] [--rate HZ]\n"
     "         [--tail SECONDS] [--plugin PATH]\n"
     "         audio (or the built-in demo) through the plug-in (OUT: .wav, .aiff or .aif)\n"
     "         (no --midi: this build reads no MIDI files)\n"
     "  render --list-programs [--plugin PATH]   the programs"},
    {"serve", runServe,
     "serve [--offset N] [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--input FILE] [--plugin PATH]\n"
     "         one instance, headless, driven over OSC (UDP port: base port + N); Ctrl-C stops"},
    {nullptr, nullptr, nullptr},
};

} // namespace tool
