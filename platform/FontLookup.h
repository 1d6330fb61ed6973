// Finding an installed font for a Windows font file name.  [any]
#pragma once

#include <string>

namespace platform {

// The file of an installed font for the family a font file name implies
// ("tahoma.ttf" -> Tahoma, "arial.ttf" -> Arial): the family itself or one
// the system configuration declares as its stand-in (fontconfig's aliases
// on Linux, such as Arial -> Liberation Sans; the font substitutes of the
// Windows registry, such as MS Shell Dlg -> Tahoma).  On Windows the file
// itself in the fonts folder comes first, then the registry's list of
// installed fonts, by file name or family.  A generic fallback does not
// count, so a missing family gives an empty result and the caller can try
// its next candidate.  Only outline fonts (TrueType, OpenType) are found.
//
// The path is UTF-8.  FreeType opens file names in the system's ANSI code
// page on Windows; a path beyond ASCII is given by its short (8.3) form
// where the file system has one, and otherwise as it is, which FreeType
// then fails to open (the caller reports that font and goes on).
std::string findFontFile(const std::string &fileName);

// The file of the system's default sans-serif font, or empty when there is
// none.  On Linux the font configuration chooses it (whatever family that
// is); on Windows it is the family of the system's dialog text, else the
// first installed of Segoe UI, Tahoma, Microsoft Sans Serif and Arial.
std::string defaultSansFontFile();

// The family implied by a font file name: the base name without its
// extension.
std::string fontFamilyOf(const std::string &fileName);

} // namespace platform
