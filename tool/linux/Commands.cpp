// The commands of the Linux build: all of them.
#include "tool/Tool.h"

namespace tool {

const Command kCommands[] = {
    {"info", runInfo, "info [--json] [--plugin PATH]   identity, parameters and programs"},
    {"render", runRender,
     "render [IN] OUT [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--block N] [--rate HZ]\n"
     "         [--tail SECONDS] [--midi FILE.mid] [--plugin PATH]\n"
     "         audio (or the built-in demo) through the plug-in\n"
     "  render --list-programs [--plugin PATH]   the programs"},
    {"serve", runServe,
     "serve [--offset N] [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--input FILE] [--plugin PATH]\n"
     "         one instance, headless, driven over OSC (UDP port: base port + N); Ctrl-C stops"},
    {"snapshot", runSnapshot,
     "snapshot OUT.png [--program NAME|INDEX] [--skin NAME|FOLDER] [--hover PARAM]   a picture of the editor"},
    {nullptr, nullptr, nullptr},
};

} // namespace tool
