// The test user's settings on Windows: values of the settings key, written
// from "name = value" lines and listed back in the same shape.
#include "tests/layout/LayoutTestSupport.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <utility>
#include <vector>
#include <windows.h>

namespace layouttest {

namespace {

constexpr wchar_t kKey[] = L"Software\\Quorvane\\com.quorvane.murmelo";

std::wstring wide(const std::string &utf8) { return std::filesystem::u8path(utf8).wstring(); }
std::string utf8(const std::wstring &text) { return std::filesystem::path(text).u8string(); }

// A whole number that fits a REG_DWORD, as the plug-in stores integers.
bool wholeNumber(const std::string &text, DWORD &bits) {
    if (text.empty() || text.size() > 11) return false;
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (...) {
        return false;
    }
    if (used != text.size() || value < INT32_MIN || value > INT32_MAX) return false;
    bits = static_cast<DWORD>(static_cast<std::int32_t>(value));
    return true;
}

std::string trimmed(const std::string &text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The "name = value" lines of text (the tests write no sections or comments).
std::vector<std::pair<std::string, std::string>> settingLines(const std::string &text) {
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t equals = line.find('=');
        if (trimmed(line).empty()) continue;
        EXPECT_NE(equals, std::string::npos) << "not a setting: " << line;
        if (equals == std::string::npos) continue;
        lines.emplace_back(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return lines;
}

} // namespace

void UserSetup::writeSettings(const std::string &text) const {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto &[entryName, entryValue] : settingLines(text)) {
        const std::wstring name = wide(entryName);
        DWORD bits = 0;
        LONG status;
        if (wholeNumber(entryValue, bits)) {
            status =
                RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&bits), sizeof(bits));
        } else {
            const std::wstring value = wide(entryValue);
            status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                    DWORD((value.size() + 1) * sizeof(wchar_t)));
        }
        EXPECT_EQ(status, ERROR_SUCCESS) << entryName;
    }
    RegCloseKey(key);
}

std::string UserSetup::settingsText() const {
    std::string text;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return text;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        BYTE data[4096];
        DWORD nameLength = 16384, type = 0, size = sizeof(data);
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string value;
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD bits = 0;
            CopyMemory(&bits, data, sizeof(bits));
            value = std::to_string(static_cast<std::int32_t>(bits));
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::wstring wideValue(reinterpret_cast<const wchar_t *>(data), size / sizeof(wchar_t));
            wideValue.resize(wideValue.find(L'\0') == std::wstring::npos ? wideValue.size() : wideValue.find(L'\0'));
            value = utf8(wideValue);
        } else {
            value = "(type " + std::to_string(type) + ")";
        }
        text += utf8(std::wstring(name, nameLength)) + " = " + value + "\n";
    }
    RegCloseKey(key);
    return text;
}

} // namespace layouttest
