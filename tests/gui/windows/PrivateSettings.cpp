// The test's own settings on Windows: the plug-in has one registry key
// (HKEY_CURRENT_USER\Software\Quorvane\com.quorvane.murmelo) and no other,
// so its values are saved and removed for the test and put back afterwards,
// and the key is removed again when it was not there before.
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <vector>
#include <windows.h>

namespace guitest {

namespace {

constexpr wchar_t kKey[] = L"Software\\Quorvane\\com.quorvane.murmelo";

struct RawValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

std::vector<RawValue> allValues(HKEY key) {
    std::vector<RawValue> values;
    for (DWORD index = 0;; ++index) {
        std::vector<wchar_t> name(16384);
        DWORD nameLength = DWORD(name.size()), type = 0, size = 0;
        if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RawValue value{std::wstring(name.data(), nameLength), type, std::vector<BYTE>(size)};
        if (RegQueryValueExW(key, value.name.c_str(), nullptr, &value.type, size ? value.bytes.data() : nullptr,
                             &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            values.push_back(value);
        }
    }
    return values;
}

void deleteAll(HKEY key) {
    for (const RawValue &v : allValues(key))
        RegDeleteValueW(key, v.name.c_str());
}

} // namespace

struct PrivateSettings::Saved {
    bool existed = false;
    std::vector<RawValue> values;
};

PrivateSettings::PrivateSettings() : saved(std::make_unique<Saved>()) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    saved->existed = true;
    saved->values = allValues(key);
    deleteAll(key);
    if (!allValues(key).empty()) ADD_FAILURE() << "the settings key's values cannot be removed for the test";
    RegCloseKey(key);
}

PrivateSettings::~PrivateSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        deleteAll(key);
        RegCloseKey(key);
    }
    if (!saved->existed) {
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        return;
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "the settings key cannot be restored";
        return;
    }
    for (const RawValue &v : saved->values)
        RegSetValueExW(key, v.name.c_str(), 0, v.type, v.bytes.data(), DWORD(v.bytes.size()));
    RegCloseKey(key);
}

} // namespace guitest
