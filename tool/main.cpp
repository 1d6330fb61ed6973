// murmelo: the command-line companion of the plug-in.
#include "tool/Tool.h"

#include <cstdio>
#include <cstring>

namespace {

struct Command {
    const char *name;
    int (*run)(tool::Args);
    const char *help;
};

const Command kCommands[] = {
    {"info", tool::runInfo, "info [--json] [--plugin PATH]   identity, parameters and programs"},
    {"render", tool::runRender,
     "render [IN] OUT [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--block N] [--rate HZ]\n"
     "         [--tail SECONDS] [--plugin PATH]   audio (or the built-in demo) through the plug-in\n"
     "  render --list-programs   the programs"},
    {"serve", tool::runServe,
     "serve [--offset N] [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--input FILE] [--plugin PATH]\n"
     "         one instance, headless, driven over OSC (UDP port: base port + N); Ctrl-C stops"},
    {"snapshot", tool::runSnapshot,
     "snapshot OUT.png [--program NAME|INDEX] [--skin NAME|FOLDER] [--hover PARAM]   a picture of the editor"},
};

void usage() {
    std::fprintf(stderr, "usage: murmelo COMMAND [options]\ncommands:\n");
    for (const Command &c : kCommands) std::fprintf(stderr, "  %s\n", c.help);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    for (const Command &c : kCommands)
        if (!std::strcmp(argv[1], c.name)) return c.run(tool::Args(argv + 2, argv + argc));
    std::fprintf(stderr, "murmelo: unknown command '%s'\n", argv[1]);
    usage();
    return 2;
}
