#include "platform/FontLookup.h"

#include "platform/windows/WideText.h"

#include <shlobj.h>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

const wchar_t kInstalledFonts[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const wchar_t kFontSubstitutes[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
// A substitute may name another one; a loop of them ends here.
constexpr int kSubstituteDepth = 4;

struct TextValue {
    std::wstring name, text;
};

std::wstring expanded(const std::wstring &text) {
    const DWORD n = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (n == 0) return text;
    std::wstring result(n, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), &result[0], n);
    if (written == 0 || written > n) return text;
    result.resize(written - 1);
    return result;
}

// The text values of a registry key, in the order the registry lists them.
void readTextValues(HKEY root, const wchar_t *path, std::vector<TextValue> &values) {
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD nameMax = 0, dataMax = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameMax, &dataMax, nullptr,
                     nullptr);
    std::vector<wchar_t> name(nameMax + 1);
    std::vector<wchar_t> data(dataMax / sizeof(wchar_t) + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data.data()), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A value that grew since the sizes were read is passed over.
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        std::wstring text(data.data(), dataSize / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        values.push_back({std::wstring(name.data(), nameLength), type == REG_EXPAND_SZ ? expanded(text) : text});
    }
    RegCloseKey(key);
}

// The machine's fonts, then the user's own (installed without
// administrator rights, listed with their full paths).
std::vector<TextValue> installedFonts() {
    std::vector<TextValue> fonts;
    readTextValues(HKEY_LOCAL_MACHINE, kInstalledFonts, fonts);
    readTextValues(HKEY_CURRENT_USER, kInstalledFonts, fonts);
    return fonts;
}

// Letters and digits only, in lower case: "Segoe UI" and "segoeui" are one
// name, as font file names often leave out the spaces of the family.
std::wstring nameKey(const std::wstring &text) {
    std::wstring key;
    for (wchar_t c : text)
        if (IsCharAlphaNumericW(c)) key += c;
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

bool sameText(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring baseName(const std::wstring &path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// The text before a comma: a substitute's name may carry a character set
// ("Arial CE,238").
std::wstring beforeComma(const std::wstring &text) { return text.substr(0, text.find(L',')); }

// The families of an entry of the font list: "Arial Bold (TrueType)" is
// the family "Arial Bold"; a collection names several, joined by " & ".
std::vector<std::wstring> entryFamilies(std::wstring name) {
    const std::size_t paren = name.rfind(L" (");
    if (paren != std::wstring::npos && !name.empty() && name.back() == L')') name.resize(paren);
    std::vector<std::wstring> families;
    std::size_t start = 0;
    for (;;) {
        const std::size_t join = name.find(L" & ", start);
        families.push_back(name.substr(start, join == std::wstring::npos ? std::wstring::npos : join - start));
        if (join == std::wstring::npos) break;
        start = join + 3;
    }
    return families;
}

std::wstring fontsFolder() {
    wchar_t path[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_FONTS, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
    const UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(path, n) + L"\\Fonts";
}

// An entry of the font list names a file in the fonts folder or gives a
// full path.
std::wstring resolved(const std::wstring &folder, const std::wstring &file) {
    const bool absolute =
        (!file.empty() && (file[0] == L'\\' || file[0] == L'/')) || (file.size() > 1 && file[1] == L':');
    return absolute || folder.empty() ? file : folder + L"\\" + file;
}

// An existing file FreeType can draw from: TrueType or OpenType outlines,
// not the bitmap fonts (.fon) of the same list.
bool isOutlineFontFile(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::wstring name = baseName(path);
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    const std::wstring extension = name.substr(dot);
    return sameText(extension, L".ttf") || sameText(extension, L".ttc") || sameText(extension, L".otf");
}

// The font file for a file name (may be empty) or its family: the file in
// the fonts folder, an entry of the list naming that file, an entry of the
// family, then the family's declared substitute.
std::wstring lookUp(const std::wstring &file, const std::wstring &family, int depth) {
    const std::wstring folder = fontsFolder();
    if (!file.empty() && !folder.empty() && isOutlineFontFile(folder + L"\\" + file)) return folder + L"\\" + file;
    const std::vector<TextValue> fonts = installedFonts();
    if (!file.empty())
        for (const TextValue &font : fonts)
            if (sameText(baseName(font.text), file) && isOutlineFontFile(resolved(folder, font.text)))
                return resolved(folder, font.text);
    const std::wstring key = nameKey(family);
    if (key.empty()) return std::wstring();
    for (const TextValue &font : fonts)
        for (const std::wstring &name : entryFamilies(font.name))
            if (nameKey(name) == key && isOutlineFontFile(resolved(folder, font.text)))
                return resolved(folder, font.text);
    if (depth >= kSubstituteDepth) return std::wstring();
    std::vector<TextValue> substitutes;
    readTextValues(HKEY_LOCAL_MACHINE, kFontSubstitutes, substitutes);
    for (const TextValue &substitute : substitutes) {
        const std::wstring standIn = beforeComma(substitute.text);
        if (nameKey(beforeComma(substitute.name)) != key || nameKey(standIn) == key) continue;
        const std::wstring path = lookUp(std::wstring(), standIn, depth + 1);
        if (!path.empty()) return path;
    }
    return std::wstring();
}

bool isAscii(const std::wstring &text) {
    for (wchar_t c : text)
        if (c > 0x7f) return false;
    return true;
}

// FreeType hands file names to the ANSI file calls, which read the bytes in
// the process's code page: UTF-8 beyond ASCII reaches them intact only when
// that code page is UTF-8.  The short (8.3) name, where the volume keeps
// one, is plain ASCII.
std::string openablePath(const std::wstring &path) {
    if (path.empty() || isAscii(path) || GetACP() == CP_UTF8) return narrow(path);
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring shortPath(size, L'\0');
        const DWORD n = GetShortPathNameW(path.c_str(), &shortPath[0], size);
        shortPath.resize(n < size ? n : 0);
        if (!shortPath.empty() && isAscii(shortPath)) return narrow(shortPath);
    }
    return narrow(path);
}

// The family the system writes its dialogs and messages in ("Segoe UI",
// or a name the font substitutes resolve, such as "MS Shell Dlg").
std::wstring messageFontFamily() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return std::wstring();
    return metrics.lfMessageFont.lfFaceName;
}

} // namespace

std::string findFontFile(const std::string &fileName) {
    const std::string family = fontFamilyOf(fileName);
    if (family.empty()) return std::string();
    return openablePath(lookUp(baseName(widen(fileName)), widen(family), 0));
}

std::string defaultSansFontFile() {
    const std::wstring system = messageFontFamily();
    std::wstring path = system.empty() ? std::wstring() : lookUp(std::wstring(), system, 0);
    // The user-interface fonts of the Windows versions, newest first.
    static const struct {
        const wchar_t *file, *family;
    } kUiFonts[] = {
        {L"segoeui.ttf", L"Segoe UI"},
        {L"tahoma.ttf", L"Tahoma"},
        {L"micross.ttf", L"Microsoft Sans Serif"},
        {L"arial.ttf", L"Arial"},
    };
    for (const auto &font : kUiFonts)
        if (path.empty()) path = lookUp(font.file, font.family, 0);
    return openablePath(path);
}

} // namespace platform
