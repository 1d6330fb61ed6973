// write-setting NAME VALUE: stores one integer setting the way the plug-in
// does (core/Settings.cpp), so a check outside our code (reg.exe, run from
// Linux) can read what a Windows program left in the registry.
#include "core/Settings.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    char *end = nullptr;
    const long value = argc == 3 ? std::strtol(argv[2], &end, 10) : 0;
    if (argc != 3 || !end || *end != '\0') {
        std::fprintf(stderr, "usage: write-setting NAME VALUE\n");
        return 2;
    }
    if (!murmelo::writeSettingInt(argv[1], static_cast<int>(value))) {
        std::fprintf(stderr, "write-setting: cannot store \"%s\" in %s\n", argv[1],
                     murmelo::settingsLocation().c_str());
        return 1;
    }
    return 0;
}
