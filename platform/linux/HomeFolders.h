// The folders of the Linux settings file: the home folder, the XDG
// configuration folder, and making the folders on the way to a file.
#pragma once

#include <string>

namespace platform {

// The user's home folder ($HOME, else the password database); empty when unknown.
std::string homeFolder();
// The per-user configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config; empty when there is no home folder.
std::string userConfigFolder();
// Creates path and any missing parents with the given mode; true when the
// folder exists afterwards.
bool makeFolders(const std::string &path, unsigned mode);

} // namespace platform
