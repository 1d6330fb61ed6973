// murmelo: the command-line companion of the plug-in.
#include "core/QrvMurmelo.h"
#include "tool/System.h"
#include "tool/Tool.h"

#include <cstdio>

namespace {

using tool::Command;
using tool::kCommands;

void usage(FILE *to) {
    std::fprintf(to, "usage: murmelo COMMAND [options]\n       murmelo --version\ncommands:\n");
    for (const Command *c = kCommands; c->name; ++c)
        std::fprintf(to, "  %s\n", c->help);
}

bool isHelp(const std::string &arg) { return arg == "--help" || arg == "-h"; }

// "murmelo COMMAND --help" anywhere among the command's arguments.
bool asksForHelp(const tool::Args &args) {
    for (std::size_t i = 1; i < args.size(); ++i)
        if (isHelp(args[i])) return true;
    return false;
}

void printVersion() {
    const int v = murmelo::kMurmeloVersion;
    std::printf("murmelo %d.%d.%d\n", (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
}

} // namespace

int main(int argc, char **argv) {
    const tool::Args args = tool::commandArguments(argc, argv);
    if (args.empty() || isHelp(args[0])) {
        usage(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        printVersion();
        return 0;
    }
    for (const Command *c = kCommands; c->name; ++c) {
        if (args[0] != c->name) continue;
        if (!asksForHelp(args)) return c->run(tool::Args(args.begin() + 1, args.end()));
        std::printf("usage: murmelo %s\n", c->help);
        return 0;
    }
    std::fprintf(stderr, "murmelo: unknown command '%s'\n", args[0].c_str());
    usage(stderr);
    return 2;
}
