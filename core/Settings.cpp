#include "core/Settings.h"

#include "platform/SettingsStore.h"

#include <charconv>

namespace murmelo {

namespace {

// The store lives in the maker's folder, in a file named after the product's
// reverse-domain identifier.
constexpr char kMakerFolder[] = "Quorvane";
constexpr char kSettingsFileName[] = "com.quorvane.murmelo.ini";
constexpr std::size_t kMaxSettingText = 255;

std::string settingsFile() { return platform::settingsFilePath(kMakerFolder, kSettingsFileName); }

bool parseInt(const std::string &text, int &value) {
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && begin != end;
}

// At most max bytes of text, never ending inside a UTF-8 sequence.
std::string cutText(const std::string &text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

} // namespace

std::string settingsFilePath() { return settingsFile(); }

int readSettingInt(const char *name, int defaultValue) {
    std::string text;
    int value = 0;
    if (!platform::readStoredValue(settingsFile(), name, text) || !parseInt(text, value)) return defaultValue;
    return value;
}

bool writeSettingInt(const char *name, int value) {
    return platform::writeStoredValue(settingsFile(), name, std::to_string(value));
}

bool readSettingString(const char *name, std::string &text) {
    std::string stored;
    if (!platform::readStoredValue(settingsFile(), name, stored)) return false;
    text = cutText(stored, kMaxSettingText);
    return true;
}

} // namespace murmelo
