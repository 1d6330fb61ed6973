// Finding installed fonts on Windows: the fonts folder, the registry's font
// lists and substitutes, the default sans-serif font, and paths FreeType can
// (or clearly cannot) open.  Runs in a wine prefix of its own: the tests
// install fonts into it (copies of a free font under other names) and take
// them out again.
#include "platform/FontLookup.h"
#include "tests/support/TestSupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

const wchar_t kFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const wchar_t kSubstitutesKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
// Every font file and registry entry a test adds has this mark, so a run
// that stopped half-way is cleaned up by the next.
const wchar_t kMark[] = L"murmelo-font-test";

std::wstring wide(const std::string &utf8) { return fs::u8path(utf8).wstring(); }
std::string utf8(const std::wstring &text) { return fs::path(text).u8string(); }

bool isAscii(const std::string &text) {
    for (unsigned char c : text)
        if (c > 0x7f) return false;
    return true;
}

std::wstring fontsFolder() {
    wchar_t windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows, n) + L"\\Fonts";
}

fs::path testFolder() { return fs::temp_directory_path() / kMark; }

// The same file, however it is spelled (short or long names, case).
bool sameFile(const std::string &a, const fs::path &b) {
    std::error_code error;
    return !a.empty() && fs::equivalent(fs::u8path(a), b, error);
}

struct Face {
    int error = -1;
    std::string family, style;
    bool scalable = false;
};

// The file as the editor's font code opens it: FreeType's FT_New_Face.
Face openFace(const std::string &path) {
    Face result;
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) return result;
    FT_Face face;
    result.error = FT_New_Face(library, path.c_str(), 0, &face);
    if (result.error == 0) {
        result.family = face->family_name ? face->family_name : "";
        result.style = face->style_name ? face->style_name : "";
        result.scalable = FT_IS_SCALABLE(face);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return result;
}

// A TrueType or OpenType file by its first four bytes.
bool hasOutlineFontSignature(const std::string &path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    char tag[4] = {};
    if (!in.read(tag, 4)) return false;
    const std::string t(tag, 4);
    return t == std::string("\0\1\0\0", 4) || t == "true" || t == "OTTO" || t == "ttcf";
}

// Letters and digits in lower case, as family names are compared.
std::string nameKey(const std::string &text) {
    std::string key;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c))) key += static_cast<char>(std::tolower(c));
    return key;
}

struct Entry {
    std::wstring name, data;
};

std::vector<Entry> registryEntries(const wchar_t *path) {
    std::vector<Entry> entries;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return entries;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384], data[4096];
        DWORD nameLength = 16384, dataSize = sizeof data, type;
        const LONG status =
            RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS && type == REG_SZ)
            entries.push_back({std::wstring(name, nameLength), std::wstring(data, wcsnlen(data, dataSize / 2))});
    }
    RegCloseKey(key);
    return entries;
}

void setEntry(const wchar_t *path, const std::wstring &name, const std::wstring &data) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const LONG status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void removeMarkedEntries(const wchar_t *path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    for (const Entry &entry : registryEntries(path))
        if (entry.name.find(L"Murmelo Test") == 0 || entry.data.find(kMark) != std::wstring::npos)
            RegDeleteValueW(key, entry.name.c_str());
    RegCloseKey(key);
}

void removeMarkedFiles() {
    std::error_code error;
    fs::remove_all(testFolder(), error);
    for (const auto &file : fs::directory_iterator(fontsFolder(), error))
        if (file.path().filename().wstring().find(kMark) == 0) fs::remove(file.path(), error);
}

// Fonts installed for one test: copies of DejaVu Sans (the editor's own
// last-resort font) under other names, in the fonts folder or a folder of
// their own, listed in the machine's font list.
class InstalledFonts : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }
    static void clean() {
        removeMarkedEntries(kFontsKey);
        removeMarkedEntries(kSubstitutesKey);
        removeMarkedFiles();
    }

    // A copy of the font at folder\name; its path.
    static fs::path copyFont(const fs::path &folder, const std::wstring &name) {
        fs::create_directories(folder);
        const fs::path target = folder / name;
        fs::copy_file(fs::u8path(MURMELO_FALLBACK_FONT_PATH), target, fs::copy_options::overwrite_existing);
        return target;
    }
    static fs::path copyIntoFontsFolder(const std::wstring &suffix) {
        return copyFont(fontsFolder(), std::wstring(kMark) + suffix);
    }
    static fs::path copyElsewhere(const std::wstring &name) { return copyFont(testFolder(), name); }
};

TEST(FontFamily, IsTheFileNameWithoutFolderOrExtension) {
    EXPECT_EQ(platform::fontFamilyOf("tahoma.ttf"), "tahoma");
    EXPECT_EQ(platform::fontFamilyOf("C:\\Windows\\Fonts\\Segoe UI.ttf"), "Segoe UI");
    EXPECT_EQ(platform::fontFamilyOf("fonts/arial"), "arial");
}

TEST(FontLookup, AMissingFamilyGivesNothingNotAFallback) {
    EXPECT_EQ(platform::findFontFile("NoSuchFamilyAnywhere.ttf"), "");
    EXPECT_EQ(platform::findFontFile(""), "");
    EXPECT_EQ(platform::findFontFile(".ttf"), "");
}

// What the prefix has: every outline font of the machine's list is found by
// its file name and by its family, and is a font FreeType opens.
TEST(FontLookup, FindsTheFontsThePrefixLists) {
    const std::wstring folder = fontsFolder();
    struct Listed {
        std::string family;
        std::wstring file;
    };
    std::vector<Listed> listed;
    for (const Entry &entry : registryEntries(kFontsKey)) {
        const std::size_t suffix = entry.name.rfind(L" (TrueType)");
        if (suffix == std::wstring::npos || entry.data.find(kMark) != std::wstring::npos) continue;
        const std::wstring file =
            entry.data.find(L'\\') == std::wstring::npos ? folder + L"\\" + entry.data : entry.data;
        if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            listed.push_back({utf8(entry.name.substr(0, suffix)), file});
    }
    for (const Listed &font : listed) {
        const std::string byFile = platform::findFontFile(utf8(font.file.substr(font.file.find_last_of(L'\\') + 1)));
        EXPECT_TRUE(sameFile(byFile, font.file)) << font.family << ": " << byFile;
        const std::string byFamily = platform::findFontFile(font.family + ".ttf");
        bool listedForFamily = false;
        for (const Listed &other : listed)
            listedForFamily =
                listedForFamily || (nameKey(other.family) == nameKey(font.family) && sameFile(byFamily, other.file));
        EXPECT_TRUE(listedForFamily) << font.family << ": " << byFamily;
        EXPECT_TRUE(hasOutlineFontSignature(byFamily)) << byFamily;
        const Face face = openFace(byFamily);
        EXPECT_EQ(face.error, 0) << byFamily;
        EXPECT_TRUE(face.scalable && !face.family.empty()) << byFamily;
    }
    std::cout << "[ info ] " << listed.size() << " outline fonts listed in the prefix, all looked up\n";
    EXPECT_FALSE(listed.empty()) << "wine lists the system's fonts (DejaVu at least) in the prefix";
}

// The fonts a layout names first: found exactly when the prefix has them.
TEST(FontLookup, TahomaAndArialAreFoundExactlyWhenInstalled) {
    const std::wstring folder = fontsFolder();
    for (const auto &font : {std::pair<std::string, std::string>{"tahoma.ttf", "Tahoma"}, {"arial.ttf", "Arial"}}) {
        bool installed = GetFileAttributesW((folder + L"\\" + wide(font.first)).c_str()) != INVALID_FILE_ATTRIBUTES;
        for (const Entry &entry : registryEntries(kFontsKey))
            if (entry.name == wide(font.second) + L" (TrueType)") {
                const std::wstring file =
                    entry.data.find(L'\\') == std::wstring::npos ? folder + L"\\" + entry.data : entry.data;
                installed = installed || GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
            }
        const std::string path = platform::findFontFile(font.first);
        std::cout << "[ info ] " << font.first << ": " << (path.empty() ? "not installed in this prefix" : path)
                  << "\n";
        EXPECT_EQ(!path.empty(), installed) << font.first;
        if (!path.empty()) {
            EXPECT_EQ(openFace(path).family, font.second);
        }
    }
}

TEST_F(InstalledFonts, TheFileInTheFontsFolderComesFirst) {
    const fs::path file = copyIntoFontsFolder(L"-plain.ttf");
    const std::string found = platform::findFontFile(utf8(file.filename().wstring()));
    EXPECT_TRUE(sameFile(found, file)) << found;
    EXPECT_EQ(openFace(found).error, 0);
    EXPECT_EQ(platform::findFontFile(utf8(file.filename().wstring()) + "x"), "");
}

TEST_F(InstalledFonts, TheListNamesFamiliesAndFiles) {
    const fs::path regular = copyElsewhere(L"serif-regular.ttf");
    const fs::path bold = copyElsewhere(L"serif-bold.ttf");
    const fs::path relative = copyIntoFontsFolder(L"-relative.ttf");
    setEntry(kFontsKey, L"Murmelo Test Serif Bold (TrueType)", bold.wstring());
    setEntry(kFontsKey, L"Murmelo Test Serif (TrueType)", regular.wstring());
    setEntry(kFontsKey, L"Murmelo Test Relative (TrueType)", relative.filename().wstring());
    setEntry(kFontsKey, L"Murmelo Test Gone (TrueType)", (testFolder() / L"gone.ttf").wstring());

    // The family without its spaces and in any case, as font file names are.
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestSerif.ttf"), regular));
    EXPECT_TRUE(sameFile(platform::findFontFile("murmelo test serif.ttf"), regular));
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestSerifBold.ttf"), bold));
    // A file name the list gives for another family's name.
    EXPECT_TRUE(sameFile(platform::findFontFile("serif-bold.ttf"), bold));
    // A bare file name in the list lies in the fonts folder.
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestRelative.ttf"), relative));
    // A listed file that is not there is no font.
    EXPECT_EQ(platform::findFontFile("MurmeloTestGone.ttf"), "");
    EXPECT_EQ(platform::findFontFile("MurmeloTest.ttf"), "") << "a family's prefix is not the family";
}

TEST_F(InstalledFonts, BitmapFontsDoNotCount) {
    const fs::path bitmap = copyElsewhere(L"bitmap.fon");
    setEntry(kFontsKey, L"Murmelo Test Bitmap", bitmap.wstring());
    EXPECT_EQ(platform::findFontFile("MurmeloTestBitmap.ttf"), "");
    EXPECT_EQ(platform::findFontFile("bitmap.fon"), "");
}

TEST_F(InstalledFonts, ADeclaredSubstituteStandsIn) {
    const fs::path serif = copyElsewhere(L"serif.ttf");
    setEntry(kFontsKey, L"Murmelo Test Serif (TrueType)", serif.wstring());
    setEntry(kSubstitutesKey, L"Murmelo Test Alias", L"Murmelo Test Serif");
    setEntry(kSubstitutesKey, L"Murmelo Test Charset,238", L"Murmelo Test Serif,238");
    setEntry(kSubstitutesKey, L"Murmelo Test Chain", L"Murmelo Test Alias");
    setEntry(kSubstitutesKey, L"Murmelo Test Loop A", L"Murmelo Test Loop B");
    setEntry(kSubstitutesKey, L"Murmelo Test Loop B", L"Murmelo Test Loop A");
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestAlias.ttf"), serif));
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestCharset.ttf"), serif));
    EXPECT_TRUE(sameFile(platform::findFontFile("MurmeloTestChain.ttf"), serif));
    EXPECT_EQ(platform::findFontFile("MurmeloTestLoopA.ttf"), "") << "a loop of substitutes ends";
}

// The dialog font first (on wine "MS Shell Dlg", which the substitutes make
// Tahoma), then Segoe UI, Tahoma, Microsoft Sans Serif and Arial.
TEST_F(InstalledFonts, DefaultSansFollowsTheDialogFontThenTheUsualFonts) {
    for (const char *file : {"segoeui.ttf", "tahoma.ttf", "micross.ttf", "arial.ttf"})
        if (!platform::findFontFile(file).empty())
            GTEST_SKIP() << file << " is installed in this prefix: the order cannot be shown with copies";
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const std::wstring dialogFont = metrics.lfMessageFont.lfFaceName;
    std::cout << "[ info ] dialog font: " << utf8(dialogFont) << "\n";
    if (!platform::findFontFile(utf8(dialogFont) + ".ttf").empty())
        GTEST_SKIP() << "the dialog font is installed: the order cannot be shown with copies";

    EXPECT_EQ(platform::defaultSansFontFile(), "") << "none of them is installed";
    const fs::path arial = copyElsewhere(L"arial.ttf");
    setEntry(kFontsKey, L"Arial (TrueType)", arial.wstring());
    EXPECT_TRUE(sameFile(platform::defaultSansFontFile(), arial));
    const fs::path micross = copyElsewhere(L"micross.ttf");
    setEntry(kFontsKey, L"Microsoft Sans Serif (TrueType)", micross.wstring());
    EXPECT_TRUE(sameFile(platform::defaultSansFontFile(), micross));
    const fs::path segoe = copyElsewhere(L"segoeui.ttf");
    setEntry(kFontsKey, L"Segoe UI (TrueType)", segoe.wstring());
    EXPECT_TRUE(sameFile(platform::defaultSansFontFile(), segoe));
    const fs::path dialog = copyElsewhere(L"dialog.ttf");
    setEntry(kFontsKey, dialogFont + L" (TrueType)", dialog.wstring());
    EXPECT_TRUE(sameFile(platform::defaultSansFontFile(), dialog)) << "the system's dialog font comes first";
    EXPECT_EQ(openFace(platform::defaultSansFontFile()).error, 0);
}

// A font file whose path goes beyond the ANSI code page: FreeType opens
// names in that code page, so the lookup gives the short name where there
// is one; the UTF-8 name itself fails in FreeType with an error, not a crash.
TEST_F(InstalledFonts, PathsBeyondTheCodePageAreGivenInAFormFreeTypeOpens) {
    const fs::path greek = copyFont(testFolder() / L"\u0393\u03c1\u03b1\u03bc\u03bc\u03b1\u03c4\u03b1",
                                    L"\u03b3\u03c1\u03b1\u03bc\u03bc\u03b1.ttf");
    setEntry(kFontsKey, L"Murmelo Test Greek (TrueType)", greek.wstring());
    const std::string found = platform::findFontFile("MurmeloTestGreek.ttf");
    ASSERT_TRUE(sameFile(found, greek)) << found;
    const Face asFound = openFace(found);
    const Face asUtf8 = openFace(greek.u8string());
    std::cout << "[ info ] code page " << GetACP() << "; found as " << found << "; FreeType: " << asFound.error
              << " for that, " << asUtf8.error << " for the UTF-8 name\n";
    if (GetACP() == CP_UTF8) {
        EXPECT_EQ(asUtf8.error, 0);
    } else {
        EXPECT_NE(asUtf8.error, 0) << "FreeType reads names in the ANSI code page";
    }
    if (isAscii(found) || GetACP() == CP_UTF8) {
        EXPECT_EQ(asFound.error, 0);
    }
}

} // namespace
