// Finding an installed font for a Windows font file name.  [any]
#pragma once

#include <string>

namespace platform {

// The file of an installed font for the family a font file name implies
// ("tahoma.ttf" -> Tahoma, "arial.ttf" -> Arial): the family itself or one
// the system configuration declares as its stand-in (Arial -> Liberation
// Sans).  A generic fallback does not count, so a missing family gives an
// empty result and the caller can try its next candidate.
std::string findFontFile(const std::string &fileName);

// The file of the system's default sans-serif font as the font
// configuration chooses it (whatever family that is), or empty when the
// configuration knows no font file at all.
std::string defaultSansFontFile();

// The family implied by a font file name: the base name without its
// extension.
std::string fontFamilyOf(const std::string &fileName);

} // namespace platform
