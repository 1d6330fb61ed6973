// murmelo: the command-line companion of the plug-in.
#include "core/QrvMurmelo.h"
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
     "         [--tail SECONDS] [--midi FILE.mid] [--plugin PATH]\n"
     "         audio (or the built-in demo) through the plug-in\n"
     "  render --list-programs [--plugin PATH]   the programs"},
    {"serve", tool::runServe,
     "serve [--offset N] [--program NAME|INDEX] [--set \"NAME=VALUE\" ...] [--input FILE] [--plugin PATH]\n"
     "         one instance, headless, driven over OSC (UDP port: base port + N); Ctrl-C stops"},
    {"snapshot", tool::runSnapshot,
     "snapshot OUT.png [--program NAME|INDEX] [--skin NAME|FOLDER] [--hover PARAM]   a picture of the editor"},
};

void usage(FILE *to) {
    std::fprintf(to, "usage: murmelo COMMAND [options]\n       murmelo --version\ncommands:\n");
    for (const Command &c : kCommands)
        std::fprintf(to, "  %s\n", c.help);
}

bool isHelp(const char *arg) { return !std::strcmp(arg, "--help") || !std::strcmp(arg, "-h"); }

// "murmelo COMMAND --help" anywhere among the command's arguments.
bool asksForHelp(int argc, char **argv) {
    for (int i = 2; i < argc; ++i)
        if (isHelp(argv[i])) return true;
    return false;
}

void printVersion() {
    const int v = murmelo::kMurmeloVersion;
    std::printf("murmelo %d.%d.%d\n", (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || isHelp(argv[1])) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        printVersion();
        return 0;
    }
    for (const Command &c : kCommands) {
        if (std::strcmp(argv[1], c.name)) continue;
        if (!asksForHelp(argc, argv)) return c.run(tool::Args(argv + 2, argv + argc));
        std::printf("usage: murmelo %s\n", c.help);
        return 0;
    }
    std::fprintf(stderr, "murmelo: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
