// The settings in the registry (the key com.quorvane.murmelo under
// HKEY_CURRENT_USER\Software\Quorvane): defaults, values written and read
// back through the plug-in and through reg.exe, values of the wrong type or
// size, long and non-ASCII skin names.  The key is the real one (the
// plug-in has no other), so every test saves what is there first and puts
// it back afterwards.
#include "core/QrvMurmelo.h"
#include "core/Settings.h"
#include "tests/core/SettingsExpectations.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <windows.h>

using namespace murmelo;

namespace {

constexpr wchar_t kKey[] = L"Software\\Quorvane\\com.quorvane.murmelo";
constexpr char kRegKey[] = "HKCU\\Software\\Quorvane\\com.quorvane.murmelo";

std::wstring wide(const std::string &utf8) { return std::filesystem::u8path(utf8).wstring(); }

struct RawValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

HKEY openKey(REGSAM access) {
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

std::vector<RawValue> allValues() {
    std::vector<RawValue> values;
    const HKEY key = openKey(KEY_QUERY_VALUE);
    if (!key) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RawValue value{std::wstring(name, nameLength), type, std::vector<BYTE>(size)};
        if (RegQueryValueExW(key, value.name.c_str(), nullptr, &value.type, size ? value.bytes.data() : nullptr,
                             &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            values.push_back(value);
        }
    }
    RegCloseKey(key);
    return values;
}

void deleteAllValues() {
    const HKEY key = openKey(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key) return;
    for (const RawValue &v : allValues())
        RegDeleteValueW(key, v.name.c_str());
    RegCloseKey(key);
}

void setRaw(const std::string &name, DWORD type, const void *bytes, std::size_t size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const LONG status =
        RegSetValueExW(key, wide(name).c_str(), 0, type, static_cast<const BYTE *>(bytes), static_cast<DWORD>(size));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << name;
}

// A REG_SZ value with its terminating zero, as the system's tools store it.
void setText(const std::string &name, const std::string &utf8) {
    const std::wstring text = wide(utf8);
    setRaw(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

std::optional<RawValue> rawValue(const std::string &name) {
    for (const RawValue &v : allValues())
        if (v.name == wide(name)) return v;
    return std::nullopt;
}

bool sameValue(const std::optional<RawValue> &a, const RawValue &b) {
    return a && a->type == b.type && a->bytes == b.bytes;
}

// reg.exe's listing of the key, run through cmd as a person would.
std::string regQuery() {
    std::string out;
    const int status = testing_support::runCommand(std::string("reg query \"") + kRegKey + "\"", out);
    EXPECT_EQ(status, 0) << out;
    return out;
}

// The line of reg.exe's listing that names the value ("    name    REG_DWORD    0x1c20").
std::string regLine(const std::string &listing, const std::string &name) {
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, name.size() + 4, name + "    ") == 0) return line;
    }
    return "";
}

vst2::VstIntPtr VST2_CALLBACK quietHost(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void *,
                                        float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// Saves the key's values and whether the key was there, empties it for the
// test and puts everything back afterwards.
class SettingsRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        if (const HKEY key = openKey(KEY_QUERY_VALUE)) {
            existed = true;
            RegCloseKey(key);
        }
        saved = allValues();
        deleteAllValues();
    }
    void TearDown() override {
        deleteAllValues();
        for (const RawValue &v : saved) {
            std::string name = std::filesystem::path(v.name).u8string();
            setRaw(name, v.type, v.bytes.data(), v.bytes.size());
        }
        if (!existed) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        oscBasePort = 7000;
    }

    void expectDefaults() { settings_test::expectDefaults(); }

    bool existed = false;
    std::vector<RawValue> saved;
};

std::string skinRead() {
    std::string skin = "<none>";
    readSettingString(kSettingSkin, skin);
    return skin;
}

} // namespace

TEST_F(SettingsRegistry, NothingStoredGivesTheDefaultsQuietly) {
    EXPECT_EQ(settingsLocation(), "HKEY_CURRENT_USER\\Software\\Quorvane\\com.quorvane.murmelo");
    ::testing::internal::CaptureStderr();
    expectDefaults();
    oscBasePort = 1234;
    QrvMurmelo instance(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7000);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a missing value is no error";

    RegDeleteKeyW(HKEY_CURRENT_USER, kKey); // no key at all
    expectDefaults();
}

TEST_F(SettingsRegistry, WrittenValuesAreReadBackByThePluginAndByReg) {
    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 7200));
    const auto stored = rawValue(kSettingOscBasePort);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->bytes, (std::vector<BYTE>{0x20, 0x1c, 0, 0}));

    // A new instance reads the base port when it is made; its OSC port is
    // that base plus the program's offset.
    QrvMurmelo instance(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7200);
    instance.setParameter(kOscPortOffset, toNormalisedValue(kOscPortOffset, 3.f));
    EXPECT_EQ(instance.oscPort(), 7203);

    ASSERT_TRUE(writeSettingInt(kSettingFloatingTooltip, 1));
    ASSERT_TRUE(writeSettingInt("Negative", -3));
    EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), 1);
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7200);
    EXPECT_EQ(readSettingInt("Negative", 0), -3);

    const std::string listing = regQuery();
    EXPECT_NE(listing.find("HKEY_CURRENT_USER\\Software\\Quorvane\\com.quorvane.murmelo"), std::string::npos)
        << listing;
    EXPECT_EQ(regLine(listing, "OSC Base Port"), "    OSC Base Port    REG_DWORD    0x1c20") << listing;
    EXPECT_EQ(regLine(listing, "Enable floating tooltip"), "    Enable floating tooltip    REG_DWORD    0x1")
        << listing;
    EXPECT_EQ(regLine(listing, "Negative"), "    Negative    REG_DWORD    0xfffffffd") << listing;
}

TEST_F(SettingsRegistry, ValuesWrittenByRegAreReadByThePlugin) {
    std::string out;
    ASSERT_EQ(testing_support::runCommand(
                  std::string("reg add \"") + kRegKey + "\" /v \"OSC Base Port\" /t REG_DWORD /d 7300 /f", out),
              0)
        << out;
    ASSERT_EQ(testing_support::runCommand(std::string("reg add \"") + kRegKey +
                                              "\" /v Skin /t REG_SZ /d \"\xce\xa9mega D\xc3\xa4mmerung\" /f",
                                          out),
              0)
        << out;
    QrvMurmelo instance(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7300);
    EXPECT_EQ(skinRead(), "\xce\xa9mega D\xc3\xa4mmerung"); // "Ωmega Dämmerung"
}

// Each read of such a value says so in one line on standard error and gives
// the default; the value stays as it is, and so do the others.
TEST_F(SettingsRegistry, ValuesOfTheWrongTypeOrSizeReadAsTheDefault) {
    const DWORD one = 1;
    setRaw(kSettingFloatingTooltip, REG_DWORD, &one, sizeof one); // a good value beside them
    const std::uint64_t wide64 = 7100;
    const std::uint32_t bigEndian = 0x1bbc0000;
    const BYTE two[2] = {0xbc, 0x1b};
    const BYTE four[4] = {0xbc, 0x1b, 0, 0};
    const wchar_t multi[] = L"Dusk\0Dawn\0";
    const struct {
        const char *what;
        const char *name;
        DWORD type;
        const void *bytes;
        std::size_t size;
    } cases[] = {
        {"text for a number", kSettingOscBasePort, REG_SZ, L"7100", 5 * sizeof(wchar_t)},
        {"two bytes", kSettingOscBasePort, REG_BINARY, two, sizeof two},
        {"four bytes, but binary", kSettingOscBasePort, REG_BINARY, four, sizeof four},
        {"a 64-bit number", kSettingOscBasePort, REG_QWORD, &wide64, sizeof wide64},
        {"a big-endian number", kSettingOscBasePort, REG_DWORD_BIG_ENDIAN, &bigEndian, sizeof bigEndian},
        {"a number for a text", kSettingSkin, REG_DWORD, &one, sizeof one},
        {"several texts", kSettingSkin, REG_MULTI_SZ, multi, sizeof multi},
        {"half a character", kSettingSkin, REG_SZ, "Dusk", 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        setRaw(c.name, c.type, c.bytes, c.size);
        const auto before = rawValue(c.name);
        ASSERT_TRUE(before);

        ::testing::internal::CaptureStderr();
        oscBasePort = 1234;
        { QrvMurmelo instance(quietHost); }
        const int port = readSettingInt(kSettingOscBasePort, 7000);
        std::string skin = "untouched";
        const bool gotSkin = readSettingString(kSettingSkin, skin);
        const std::string said = ::testing::internal::GetCapturedStderr();

        EXPECT_EQ(oscBasePort.load(), 7000);
        EXPECT_EQ(port, 7000);
        EXPECT_FALSE(gotSkin);
        EXPECT_EQ(skin, "untouched");
        // One line each from the instance (the port; the skin when it has an
        // editor) and from readSettingInt or readSettingString.
        const std::string line = std::string("Settings: the value \"") + c.name +
                                 "\" in HKEY_CURRENT_USER\\Software\\Quorvane\\com.quorvane.murmelo cannot be read as ";
        const bool isSkin = c.name == std::string(kSettingSkin);
        const long expectedLines = isSkin && !MURMELO_HAS_EDITOR ? 1 : 2;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), expectedLines) << said;
        EXPECT_EQ(said.rfind(line, 0), 0u) << said;

        EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), 1) << "the other values remain";
        ASSERT_TRUE(writeSettingInt("Written meanwhile", 5));
        EXPECT_TRUE(sameValue(rawValue(c.name), *before)) << "nothing is overwritten";
        EXPECT_TRUE(sameValue(rawValue(kSettingFloatingTooltip), RawValue{L"", REG_DWORD, {1, 0, 0, 0}}));

        HKEY key = openKey(KEY_SET_VALUE);
        ASSERT_TRUE(key);
        RegDeleteValueW(key, wide(c.name).c_str());
        RegCloseKey(key);
    }
}

// REG_SZ as the tools store it, without its terminating zero, or with more
// after it: the text up to the first zero.
TEST_F(SettingsRegistry, TextsWithAndWithoutTheirTerminatingZero) {
    setRaw(kSettingSkin, REG_SZ, L"Dusk", 4 * sizeof(wchar_t));
    EXPECT_EQ(skinRead(), "Dusk");
    setRaw(kSettingSkin, REG_SZ, L"Dusk\0junk", 10 * sizeof(wchar_t));
    EXPECT_EQ(skinRead(), "Dusk");
    setRaw(kSettingSkin, REG_SZ, L"", 0);
    EXPECT_EQ(skinRead(), "");
    setRaw(kSettingSkin, REG_EXPAND_SZ, L"%APPDATA%", 10 * sizeof(wchar_t));
    EXPECT_EQ(skinRead(), "%APPDATA%") << "taken as written";
}

// The stored text is UTF-16; the skin name is its UTF-8 text cut to 255
// bytes, never inside a character (two-, three- and four-byte characters,
// the last a surrogate pair in the registry).
TEST_F(SettingsRegistry, SkinIsCutAtItsFirst255BytesWithoutSplittingACharacter) {
    const std::string e2 = "\xc3\xa9", e3 = "\xe2\x82\xac", e4 = "\xf0\x9d\x84\x9e"; // é € 𝄞
    std::string ninety;
    for (int i = 0; i < 30; ++i)
        ninety += "\xe5\xa4\x9c"; // 夜
    std::string omegas;
    for (int i = 0; i < 100; ++i)
        omegas += "\xce\xa9"; // Ω
    const struct {
        std::string stored, read;
    } cases[] = {
        {std::string(300, 'k'), std::string(255, 'k')},
        {std::string(255, 'e'), std::string(255, 'e')},
        {std::string(254, 'u') + e2 + "zz", std::string(254, 'u')},
        {std::string(253, 'a') + e2 + "z", std::string(253, 'a') + e2},
        {std::string(253, 'a') + e3, std::string(253, 'a')},
        {std::string(254, 'a') + e3, std::string(254, 'a')},
        {std::string(252, 'a') + e3 + "x", std::string(252, 'a') + e3},
        {std::string(252, 'a') + e4, std::string(252, 'a')},
        {std::string(253, 'a') + e4, std::string(253, 'a')},
        {std::string(251, 'a') + e4 + "x", std::string(251, 'a') + e4},
        {omegas + ninety, omegas + ninety.substr(0, 54)}, // 200 + 18 x 3 bytes, the 19th would straddle
    };
    for (const auto &c : cases) {
        setText(kSettingSkin, c.stored);
        const std::string skin = skinRead();
        EXPECT_EQ(skin, c.read) << c.stored.size() << " bytes stored, " << skin.size() << " read";
        EXPECT_LE(skin.size(), 255u);
    }
}

TEST_F(SettingsRegistry, NonAsciiSkinNamesReadBackExactly) {
    for (const std::string &name : {
             std::string("D\xc3\xa4mmerung"),                       // Dämmerung
             std::string("\xce\xa9 \xe5\xa4\x9c \xf0\x9f\x8c\x99"), // Ω 夜 🌙
             std::string("Sk\xc3\xafns \xce\xa9/..\\x"),            // separators are only text here
             std::string("\xd0\x9d\xd0\xbe\xd1\x87\xd1\x8c"),       // Ночь
         }) {
        setText(kSettingSkin, name);
        EXPECT_EQ(skinRead(), name);
    }
    setText(kSettingSkin, "D\xc3\xa4mmerung");
    const std::string listing = regQuery();
    EXPECT_NE(listing.find("Skin    REG_SZ    D"), std::string::npos) << listing;
}
