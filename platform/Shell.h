// The desktop's side of things: where the plug-in's own files are, and
// opening a document with the user's preferred application.  [ui]
#pragma once

#include <string>

namespace platform {

// The folder of the module (shared object or program) this code is linked
// into, without a trailing separator; empty when it cannot be found.
std::string moduleFolder();

// [any] True when name is an executable file in one of the folders of
// $PATH (an empty entry is the current folder).
bool onPath(const char *name);

// Opens path with the desktop's opener (xdg-open) and returns at once: the
// opener runs on its own, detached from the host.  False, with an "Error"
// line, when no opener is installed or it cannot be started.
bool openDocument(const std::string &path);

} // namespace platform
