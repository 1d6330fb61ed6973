// Per-user preferences that outlive the instance and the host's run, kept
// under the maker "Quorvane" and the product "com.quorvane.murmelo": in the
// registry (HKEY_CURRENT_USER\Software\Quorvane\com.quorvane.murmelo) on
// Windows, in $XDG_CONFIG_HOME (else ~/.config)/Quorvane/com.quorvane.murmelo.ini
// on Linux.  Every operation opens the store anew; nothing is cached here.
// A value that is there but cannot be read (wrong type or size, not a
// number) is reported on standard error and counts as absent.  [any]
#pragma once

#include <string>

namespace murmelo {

constexpr char kSettingOscBasePort[] = "OSC Base Port";               // integer, default 7000
constexpr char kSettingFloatingTooltip[] = "Enable floating tooltip"; // integer switch, default 0
constexpr char kSettingSkin[] = "Skin";                               // text, default empty

// Where the settings live now (the environment is read anew): the file's
// path or the registry key; empty when the user has no configuration folder.
std::string settingsLocation();

// The stored integer, or defaultValue when absent, unreadable or not a number.
int readSettingInt(const char *name, int defaultValue);
// Stores an integer, keeping every other value; false when it could not be written.
bool writeSettingInt(const char *name, int value);
// Replaces text with the stored text (its first 255 bytes, never cutting a
// UTF-8 character) and returns true; leaves text unchanged and returns false
// when there is none.
bool readSettingString(const char *name, std::string &text);

} // namespace murmelo
