#include "platform/SettingsStore.h"

#include "platform/windows/WideText.h"

#include <cstdint>
#include <windows.h>

namespace platform {

namespace {

// Longest text value read: more than any preference needs, and a bound on
// what a stray value can make us allocate.
constexpr DWORD kMaxTextBytes = 64 * 1024;

std::wstring makerKey(const std::string &maker) { return L"Software\\" + widen(maker); }

// Opens the product's key for reading, creating "Software\<maker>" on the way
// as the writers would, so a first read leaves the maker's key in place.
// Null when the product's key does not exist.
HKEY openForReading(const std::string &maker, const std::string &product) {
    HKEY makerHandle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, makerKey(maker).c_str(), 0, nullptr, 0, KEY_READ | KEY_CREATE_SUB_KEY,
                        nullptr, &makerHandle, nullptr) != ERROR_SUCCESS)
        makerHandle = nullptr;
    HKEY productHandle = nullptr;
    const LONG opened = makerHandle
                            ? RegOpenKeyExW(makerHandle, widen(product).c_str(), 0, KEY_QUERY_VALUE, &productHandle)
                            : RegOpenKeyExW(HKEY_CURRENT_USER, (makerKey(maker) + L"\\" + widen(product)).c_str(), 0,
                                            KEY_QUERY_VALUE, &productHandle);
    if (makerHandle) RegCloseKey(makerHandle);
    return opened == ERROR_SUCCESS ? productHandle : nullptr;
}

struct RawValue {
    DWORD type = REG_NONE;
    std::basic_string<BYTE> bytes;
};

StoredRead queryValue(const std::string &maker, const std::string &product, const std::string &name, RawValue &value) {
    const HKEY key = openForReading(maker, product);
    if (!key) return StoredRead::missing;
    const std::wstring wideName = widen(name);
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS && size <= kMaxTextBytes) {
        value.bytes.assign(size, 0);
        status = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, size ? &value.bytes[0] : nullptr, &size);
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND) return StoredRead::missing;
    if (status != ERROR_SUCCESS || size > kMaxTextBytes) return StoredRead::unreadable;
    return StoredRead::ok;
}

} // namespace

std::string settingsLocation(const std::string &maker, const std::string &product) {
    return "HKEY_CURRENT_USER\\Software\\" + maker + "\\" + product;
}

StoredRead readStoredInteger(const std::string &maker, const std::string &product, const std::string &name,
                             int &value) {
    RawValue raw;
    const StoredRead read = queryValue(maker, product, name, raw);
    if (read != StoredRead::ok) return read;
    if (raw.type != REG_DWORD || raw.bytes.size() != sizeof(std::uint32_t)) return StoredRead::unreadable;
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | raw.bytes[static_cast<std::size_t>(i)];
    value = static_cast<int>(bits);
    return StoredRead::ok;
}

StoredRead readStoredText(const std::string &maker, const std::string &product, const std::string &name,
                          std::string &text) {
    RawValue raw;
    const StoredRead read = queryValue(maker, product, name, raw);
    if (read != StoredRead::ok) return read;
    if ((raw.type != REG_SZ && raw.type != REG_EXPAND_SZ) || raw.bytes.size() % sizeof(wchar_t) != 0)
        return StoredRead::unreadable;
    // The stored text may or may not end with its terminator (or several).
    std::wstring wide(raw.bytes.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) CopyMemory(&wide[0], raw.bytes.data(), raw.bytes.size());
    const std::size_t end = wide.find(L'\0');
    if (end != std::wstring::npos) wide.resize(end);
    text = narrow(wide);
    return StoredRead::ok;
}

bool writeStoredInteger(const std::string &maker, const std::string &product, const std::string &name, int value) {
    HKEY key = nullptr;
    const std::wstring path = makerKey(maker) + L"\\" + widen(product);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const DWORD bits = static_cast<DWORD>(value);
    const LONG status =
        RegSetValueExW(key, widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&bits), sizeof(bits));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace platform
