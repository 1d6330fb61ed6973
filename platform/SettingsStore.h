// The per-user settings store on Linux: one small INI file per product,
// <configuration folder>/<maker>/<file name>, its values in the unnamed
// section at the top.  Every call opens the file anew; a write reads the
// file, changes one value and replaces the whole file atomically, under a
// lock on its folder, so concurrent writers (threads or processes) never
// lose each other's values and a crash never leaves half a file.  [any]
#pragma once

#include <string>

namespace platform {

// The settings file's path; empty when the user has no configuration folder.
std::string settingsFilePath(const std::string &maker, const std::string &fileName);

// The stored text of name; false when the file or the name is missing, the
// file cannot be read, or it is not INI text.
bool readStoredValue(const std::string &file, const std::string &name, std::string &value);

// Stores value under name, keeping every other value the file holds.  A file
// that is not INI text (binary garbage) is replaced; lines the parser
// rejects are dropped.  False, with the file untouched, when it exists but
// cannot be read, or when it cannot be written; false too for a name or
// value that a line of the file cannot hold (line breaks, "=" in the name,
// white space at either end, comment marks).
bool writeStoredValue(const std::string &file, const std::string &name, const std::string &value);

} // namespace platform
