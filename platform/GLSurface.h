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

class GLSurface {
public:
    GLSurface();
    ~GLSurface(); // closes what is still open
    GLSurface(const GLSurface &) = delete;
    GLSurface &operator=(const GLSurface &) = delete;

    // Connects to displayName, creates a context for window and makes it
    // current.  Every failing step prints one "Error" line and the next step
    // is still tried; the result says whether a current context exists.
    bool open(const std::string &displayName, std::uintptr_t window);
    bool makeCurrent();
    void releaseCurrent();
    void swapBuffers();
    // Destroys the context and closes the connection.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform
