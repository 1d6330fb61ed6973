// An OpenGL context drawing into a window, for the thread that renders it.
//
// The surface opens a display connection of its own (Xlib connections are
// not shared between threads here), makes a context for the window's visual
// and keeps it current on the calling thread.  All operations are [render]:
// only the thread that called open may use the surface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Where a render thread draws: the display connection (X11; empty on
// Windows), the window that shows the frames, and the drawable the context
// renders into.  The drawable is the window itself, or a hidden stand-in
// whose finished frames are copied into the window (see ChildWindow).
struct DrawingTarget {
    std::string displayName;
    std::uintptr_t window = 0;
    std::uintptr_t drawable = 0;
};

class GLSurface {
public:
    GLSurface();
    ~GLSurface(); // closes what is still open
    GLSurface(const GLSurface &) = delete;
    GLSurface &operator=(const GLSurface &) = delete;

    // Connects to the target's display, creates a context for its drawable
    // and makes it current.  Every failing step prints one "Error" line and
    // the next step is still tried; the result says whether a current
    // context exists.
    bool open(const DrawingTarget &target);
    bool makeCurrent();
    void releaseCurrent();
    // Shows the frame drawn in the back buffer.
    void swapBuffers();
    // Destroys the context and closes the connection.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform
