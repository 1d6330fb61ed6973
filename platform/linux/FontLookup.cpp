#include "platform/FontLookup.h"

#include <fontconfig/fontconfig.h>
#include <mutex>
#include <vector>

namespace platform {

namespace {

std::mutex fontconfigLock; // fontconfig's current configuration is shared

// The families the configuration binds strongly to the request: the name
// itself and its declared stand-ins, not the weak generic fallbacks.
std::vector<std::string> strongFamilies(FcPattern *pattern) {
    std::vector<std::string> names;
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i)
        if (binding == FcValueBindingStrong && value.type == FcTypeString)
            names.push_back(reinterpret_cast<const char *>(value.u.s));
    return names;
}

bool hasFamily(FcPattern *font, const std::vector<std::string> &families) {
    FcChar8 *name;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        for (const std::string &family : families)
            if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8 *>(family.c_str())) == 0) return true;
    return false;
}

} // namespace

std::string findFontFile(const std::string &fileName) {
    const std::string family = fontFamilyOf(fileName);
    if (family.empty()) return "";
    std::lock_guard<std::mutex> guard(fontconfigLock);
    if (!FcInit()) return "";
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    const std::vector<std::string> families = strongFamilies(pattern);
    FcResult result;
    FcPattern *font = FcFontMatch(nullptr, pattern, &result);
    std::string path;
    FcChar8 *file;
    if (font && hasFamily(font, families) && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char *>(file);
    if (font) FcPatternDestroy(font);
    FcPatternDestroy(pattern);
    return path;
}

std::string defaultSansFontFile() {
    std::lock_guard<std::mutex> guard(fontconfigLock);
    if (!FcInit()) return "";
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif"));
    if (!pattern) return "";
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue); // FreeType draws it at any size
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *font = FcFontMatch(nullptr, pattern, &result);
    std::string path;
    FcChar8 *file;
    if (font && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char *>(file);
    if (font) FcPatternDestroy(font);
    FcPatternDestroy(pattern);
    return path;
}

} // namespace platform
