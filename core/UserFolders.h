// The user's folders for skins and MIDI scripts.  Every call computes its
// answer anew.  [any]
#pragma once

#include <string>
#include <vector>

namespace murmelo {

// The user's application-data folder: $APPDATA when set (and not empty),
// otherwise the per-user data folder of the platform ($XDG_DATA_HOME, else
// ~/.local/share on Linux); empty when there is none, and then no skin or
// script is found.
std::string getUserFolder();
// The folder of skin `name` (…/Quorvane/Murmelo/Skins/name, or name.bundle
// when the first cannot be opened), or empty when neither can be opened or
// name is empty.  Skin files lie under folder + "/Contents/Resources/".
std::string findSkinFolder(const std::string &name);
// Appends the full paths of the readable "*.lua" files (regular files whose
// names end in ".lua", case as written) of the user's Scripts folder
// (…/Quorvane/Murmelo/Scripts/), in the order the file system lists them.
void listScripts(std::vector<std::string> &paths);

} // namespace murmelo
