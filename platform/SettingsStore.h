// Per-user values kept under a maker's and a product's names, shared by
// every process of the user.  Each call opens the store anew and closes it
// before returning; nothing is cached.  [any]
//
// Windows: the registry, HKEY_CURRENT_USER\Software\<maker>\<product>,
// integers as REG_DWORD and texts as REG_SZ.  Linux: the text file
// <configuration folder>/<maker>/<product>.ini, one "name = value" line each.
#pragma once

#include <string>

namespace platform {

enum class StoredRead {
    ok,
    missing,    // no store, or no value of that name
    unreadable, // a value is there but cannot be read as asked (wrong type or size, not a number)
};

// Where the values live, for messages and documents: a file path or a
// registry key; empty when the user has no such place.
std::string settingsLocation(const std::string &maker, const std::string &product);

StoredRead readStoredInteger(const std::string &maker, const std::string &product, const std::string &name, int &value);
StoredRead readStoredText(const std::string &maker, const std::string &product, const std::string &name,
                          std::string &text);
// Stores an integer and keeps every other value; false when it could not be
// written (an unreadable store is never overwritten).
bool writeStoredInteger(const std::string &maker, const std::string &product, const std::string &name, int value);

} // namespace platform
