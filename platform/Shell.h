// The desktop's side of things: where the plug-in's own files are, and
// opening a document with the user's preferred application.  [ui]
#pragma once

#include <string>

namespace platform {

// The folder of the module (shared object, DLL or program) this code is
// linked into, without a trailing separator, as UTF-8; empty when it cannot
// be found.
std::string moduleFolder();

// [any] True when name is an executable file in one of the folders of
// PATH.  On Linux an empty entry is the current folder; on Windows empty
// entries are skipped, and the file is name with one of the extensions of
// %PATHEXT% added, or name itself when it ends in one.
bool onPath(const char *name);

// Opens path with the desktop's opener and returns at once: the opener runs
// on its own, detached from the host.  On Linux that is xdg-open; false,
// with an "Error" line, when it is not installed or cannot be started.  On
// Windows the shell opens it with the "open" verb; false, with an "Error"
// line giving the system's reason, when the shell refuses (a missing file,
// no application for its type).
bool openDocument(const std::string &path);

} // namespace platform
