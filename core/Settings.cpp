#include "core/Settings.h"

#include "platform/SettingsStore.h"

#include <cstdio>

namespace murmelo {

namespace {

constexpr char kMaker[] = "Quorvane";
constexpr char kProduct[] = "com.quorvane.murmelo";
constexpr std::size_t kMaxSettingText = 255;

// At most max bytes of text, never ending inside a UTF-8 sequence.
std::string cutText(const std::string &text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

void reportUnreadable(const char *name, const char *what) {
    std::fprintf(stderr, "Settings: the value \"%s\" in %s cannot be read as %s; using the default\n", name,
                 settingsLocation().c_str(), what);
}

} // namespace

std::string settingsLocation() { return platform::settingsLocation(kMaker, kProduct); }

int readSettingInt(const char *name, int defaultValue) {
    int value = 0;
    switch (platform::readStoredInteger(kMaker, kProduct, name, value)) {
    case platform::StoredRead::ok:
        return value;
    case platform::StoredRead::unreadable:
        reportUnreadable(name, "a whole number");
        return defaultValue;
    case platform::StoredRead::missing:
        break;
    }
    return defaultValue;
}

bool writeSettingInt(const char *name, int value) {
    return platform::writeStoredInteger(kMaker, kProduct, name, value);
}

bool readSettingString(const char *name, std::string &text) {
    std::string stored;
    switch (platform::readStoredText(kMaker, kProduct, name, stored)) {
    case platform::StoredRead::ok:
        text = cutText(stored, kMaxSettingText);
        return true;
    case platform::StoredRead::unreadable:
        reportUnreadable(name, "text");
        return false;
    case platform::StoredRead::missing:
        break;
    }
    return false;
}

} // namespace murmelo
