// The editor's own window inside the host's editor window, and its input.
//
// Window handles are the system's (an X11 window id, an HWND) held in a
// std::uintptr_t.  On X11 the window lives on a display connection of its
// own, so its events reach us only when we read them (on the host's UI
// thread, when the editor idles), whatever toolkit the host uses.  On
// Windows the host's message loop delivers them to the window procedure,
// which queues them and calls the arrival handler at once.  The window has an OpenGL-capable
// visual (double buffer, RGBA, 24 colour bits, 16 depth bits) so a render
// thread can draw into it through GLSurface.  Destroying the object destroys
// the window and closes the connection: no event can arrive afterwards.
#pragma once

#include "platform/GLSurface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Modifier keys held at the moment of an event.
enum ModifierKey : unsigned {
    kKeyShift = 1,
    kKeyControl = 2,
    kKeyAlt = 4,
};

struct WindowEvent {
    enum Kind {
        kMotion,        // pointer moved (x, y, modifiers)
        kButtonPress,   // left, middle or right button (x, y, modifiers, button)
        kButtonRelease, // one of those released
        kCharacter,     // a key that types a character (character, modifiers)
        kFocusIn,       // the window got the keyboard focus
        kFocusOut,      // the window lost the keyboard focus
    };
    Kind kind = kMotion;
    int x = 0, y = 0;       // pixels, origin at the window's top-left corner
    unsigned modifiers = 0; // ModifierKey bits
    int button = 0;         // 1 left, 2 middle, 3 right
    int character = 0;
    // Button events: the server's clock in milliseconds (wraps), for telling
    // a double click from two clicks; 0 when unknown.
    unsigned long time = 0;
};

class ChildWindow {
public:
    ChildWindow();
    ~ChildWindow(); // [ui]
    ChildWindow(const ChildWindow &) = delete;
    ChildWindow &operator=(const ChildWindow &) = delete;

    // [ui] Creates the window at (0, 0) inside parent (an X11 window id) and
    // shows it.  Every failing step prints one "Error" line; the result says
    // whether a window exists.
    bool create(std::uintptr_t parent, int width, int height);
    bool exists() const;
    std::uintptr_t id() const;
    // Where a render thread draws this window's frames.
    DrawingTarget drawingTarget() const;

    // [ui] Called when events arrived without being asked for (Windows: from
    // the window procedure, on the UI thread); the handler reads them with
    // nextEvent.  Where events wait until read, it is never called.
    void setArrivalHandler(std::function<void()> handler);
    // [ui] The next event of this window, without waiting; false when none
    // is pending.  Consecutive pointer motions are merged into the last.
    bool nextEvent(WindowEvent &event);
    // [ui] Sends every pointer event to this window until ungrabPointer.
    bool grabPointer();
    void ungrabPointer();
    // [ui] Gives this window the keyboard focus.
    bool takeKeyboardFocus();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform
