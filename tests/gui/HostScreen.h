// The test's part of a host on the real screen: top-level host windows,
// input as the system's input devices deliver it, and pixels read back from
// what is shown.  Linux: an X connection of its own, XTest input and
// XGetImage (tests/gui/linux/HostScreen.cpp).  Windows: top-level Win32
// windows, SendInput and GDI copies from the screen
// (tests/gui/windows/HostScreen.cpp).  Screenshots and colour arithmetic
// are shared (tests/gui/Image.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

struct Rgb {
    int r, g, b;
};

// A screenshot; pixels addressed with the window's own bottom-left origin.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // rows from the top, 3 bytes a pixel
    Rgb at(int x, int y) const;
    bool savePng(const std::string &path) const;
    // Pixels in [x0, x1) x [y0, y1) farther than tolerance (per channel) from colour.
    int countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance = 12) const;
};

// Whether the colours differ by at most tolerance in every channel.  (Not
// "near": windows.h defines that word away.)
bool nearColour(Rgb a, Rgb b, int tolerance = 6);
Rgb rgb(float r, float g, float b);
// a over b with a's alpha.
Rgb blend(float r, float g, float b, float a, Rgb under);

// Saves a screenshot as a test artefact (Testing/artefacts/<name>.png in the
// build tree) and returns its path.
std::string saveArtefact(const Image &image, const std::string &name);
// The current test's name, for artefacts.
std::string currentTestName();

// Keys for HostScreen::key and typeKey.  A printable key is its character
// ('0'..'9', '.', '-', letters); the others have these names.  Their values
// are X keysyms (as are the Latin-1 characters), which the Windows side
// maps to virtual keys.
using Key = unsigned long;
constexpr Key kKeyShift = 0xffe1;     // the left Shift key
constexpr Key kKeyControl = 0xffe3;   // the left Control key
constexpr Key kKeyAlt = 0xffe9;       // the left Alt key
constexpr Key kKeyReturn = 0xff0d;    // Return (Enter)
constexpr Key kKeyEscape = 0xff1b;    // Escape
constexpr Key kKeyBackSpace = 0xff08; // Backspace

// Window handles are the system's (an X11 window id, an HWND) as integers.
using WindowHandle = std::uintptr_t;

class HostScreen {
public:
    HostScreen(); // fails the test when there is no screen to open windows on
    ~HostScreen();
    HostScreen(const HostScreen &) = delete;
    HostScreen &operator=(const HostScreen &) = delete;

    // A visible top-level window whose inside is exactly width x height
    // pixels at (x, y) of the screen, black until something draws, like a
    // host's editor window.  0 when none could be made (the test has failed).
    WindowHandle createWindow(int width, int height, int x = 0, int y = 0);
    void destroyWindow(WindowHandle window);
    // The window's children, in the system's order; the first of them or 0.
    std::vector<WindowHandle> children(WindowHandle window);
    WindowHandle firstChild(WindowHandle window);
    // What the screen shows of the window: width x height pixels from its
    // top-left corner.  An empty image when it cannot be read.
    Image grab(WindowHandle window, int width, int height);

    // Input as the user's devices give it, at window coordinates
    // (bottom-left origin, y up; height is the window's).
    void moveTo(WindowHandle window, int height, float x, float y);
    // Buttons 1, 2, 3: left, middle, right.
    void button(int number, bool down);
    void key(Key key, bool down);
    void typeKey(Key key);
    void focusWindow(WindowHandle window);
    // Waits until the input sent so far has been taken by the system.
    void sync();
    // Hands this thread's pending window messages to their window
    // procedures (Windows, where a window's input arrives that way); nothing
    // to do on X11, whose events wait until their reader asks.  Every loop
    // that waits for the editor calls it.
    void dispatch();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
    std::vector<WindowHandle> windows;
};

} // namespace guitest
