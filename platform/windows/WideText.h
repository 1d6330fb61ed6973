// UTF-8 text (what the rest of the code speaks) to and from the UTF-16 text
// of the wide-character Windows calls, and the system's texts for errors.
#pragma once

#include <string>

namespace platform {

// Invalid UTF-8 sequences become U+FFFD.
std::wstring widen(const std::string &text);
// Unpaired surrogates become U+FFFD.
std::string narrow(const wchar_t *text, int length = -1);
inline std::string narrow(const std::wstring &text) { return narrow(text.c_str(), static_cast<int>(text.size())); }
// The system's text for an error code (GetLastError()), without the line
// break it ends with, followed by the code.
std::string systemMessage(unsigned long code);

} // namespace platform
