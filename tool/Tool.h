// Shared pieces of the murmelo command-line tool.
#pragma once

#include <string>
#include <vector>

namespace vsthost {
class Plugin;
}

namespace tool {

using Args = std::vector<std::string>;

struct Command {
    const char *name;
    int (*run)(Args);
    const char *help;
};
// The commands of this build in the order the usage lists them, ended by
// one without a name (tool/linux/Commands.cpp, tool/windows/Commands.cpp).
extern const Command kCommands[];

// Where the plug-in is: --plugin PATH (removed from args), else
// $MURMELO_PLUGIN, else the first readable one of defaultPluginPaths().
std::string takePluginPath(Args &args);

// Removes a flag from args; true when it was present.
bool takeFlag(Args &args, const std::string &flag);
// Removes "--name VALUE" from args into value; false when absent.  A flag
// without its value is an error (message in error).
bool takeOption(Args &args, const std::string &name, std::string &value, std::string &error);

// Reads "NAME=VALUE" (a Murmelo parameter and a value in its own unit) into
// the parameter index and the host's normalised value; false with a reason.
bool parseSetting(const std::string &setting, int &index, float &normalised, std::string &error);
// A parameter by its name (any case) or index; -1 when there is none.
int findParameter(const std::string &name);

// The program index for a name (any case) or an index; -1 when none.
int findProgram(vsthost::Plugin &p, const std::string &wanted);
// Selects a program (when one is named) and then applies each "NAME=VALUE"
// setting; false with a reason when either is unknown.
bool applyProgramAndSettings(vsthost::Plugin &p, const std::string &program, const std::vector<std::string> &settings,
                             std::string &error);

// A command's complaint about its arguments: "murmelo COMMAND: MESSAGE"
// and then its usage lines on standard error; returns 2, the exit status
// for bad usage.
int usageError(const char *command, const std::string &message, const char *usage);
// A command that could not do its work: "murmelo COMMAND: MESSAGE" on
// standard error; returns 1.
int failure(const char *command, const std::string &message);

int runInfo(Args args);
int runRender(Args args);
int runServe(Args args);
int runSnapshot(Args args);

} // namespace tool
