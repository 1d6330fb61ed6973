// The user's folders and the file system's folder operations.  Every call
// looks at the environment and the disk anew.  [any]
#pragma once

#include <string>
#include <vector>

namespace platform {

// '/' on Linux, '\\' on Windows.
extern const char kPathSeparator;

// The value of an environment variable; false when it is unset or empty.
bool environmentValue(const char *name, std::string &value);
// The per-user data folder used when %APPDATA% is not set: $XDG_DATA_HOME
// when it is an absolute path, else ~/.local/share; empty when there is no
// home folder.  On Windows "C:\Documents and Settings\<%USERNAME%>" +
// "\Application Data", empty when USERNAME is not set either.
std::string userDataFolder();

// True when path is a folder this process can open and list.
bool canOpenFolder(const std::string &path);
// True when path is a regular file (after symbolic links) this process can
// open for reading.  Folders, dangling links and devices are not.
bool canReadFile(const std::string &path);
// Appends the names in folder (not "." or "..") in the order the file system
// lists them; false when the folder cannot be opened.
bool listFolder(const std::string &path, std::vector<std::string> &names);

} // namespace platform
