// What murmelo snapshot needs of the X server: a top-level window standing
// in for a host's editor window, the picture of the editor inside it, and
// writing that picture as a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header

namespace tool {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // rows top first, 3 bytes per pixel
};

class HostWindow {
public:
    HostWindow() = default;
    ~HostWindow();
    HostWindow(const HostWindow &) = delete;
    HostWindow &operator=(const HostWindow &) = delete;

    // Connects to $DISPLAY and maps a window of that size.
    bool create(int width, int height, std::string &error);
    unsigned long id() const { return window; }
    std::string displayName() const;
    // The pixels of the window the editor made inside this one.
    Picture grabChild(int width, int height, std::string &error);

private:
    _XDisplay *display = nullptr;
    unsigned long window = 0;
};

// False, with the reason, when the file cannot be written.
bool writePng(const Picture &picture, const std::string &path, std::string &error);

} // namespace tool
