#include "platform/linux/X11Errors.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform::x11 {

namespace {

struct Connection {
    Display *display;
    int firstError;
};

// Guards installing and removing the handler (Xlib calls); never held while
// the handler runs.
std::mutex installLock;
// Guards the list below; the handler takes only this one.
std::mutex registryLock;
std::vector<Connection> connections;
XErrorHandler previousHandler = nullptr;
bool installed = false;

int handleError(Display *display, XErrorEvent *error) {
    XErrorHandler forward = nullptr;
    {
        std::lock_guard<std::mutex> guard(registryLock);
        for (Connection &c : connections) {
            if (c.display != display) continue;
            if (c.firstError == 0) c.firstError = error->error_code;
            return 0;
        }
        forward = previousHandler;
    }
    return forward ? forward(display, error) : 0;
}

void install() {
    if (installed) return;
    XErrorHandler old = XSetErrorHandler(handleError);
    std::lock_guard<std::mutex> guard(registryLock);
    previousHandler = old;
    installed = true;
}

void uninstall() {
    if (!installed) return;
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> guard(registryLock);
        previous = previousHandler;
        installed = false;
    }
    // Someone may have installed a handler after ours; leave theirs alone.
    XErrorHandler current = XSetErrorHandler(previous);
    if (current != handleError) XSetErrorHandler(current);
}

} // namespace

Display *openDisplay(const char *name) {
    std::lock_guard<std::mutex> guard(installLock);
    Display *display = XOpenDisplay(name);
    if (!display) return nullptr;
    install();
    std::lock_guard<std::mutex> registry(registryLock);
    connections.push_back({display, 0});
    return display;
}

void closeDisplay(Display *display) {
    if (!display) return;
    std::lock_guard<std::mutex> guard(installLock);
    XSync(display, False);
    XCloseDisplay(display);
    bool last;
    {
        std::lock_guard<std::mutex> registry(registryLock);
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [display](const Connection &c) { return c.display == display; }),
                          connections.end());
        last = connections.empty();
    }
    if (last) uninstall();
}

int takeError(Display *display) {
    XSync(display, False);
    std::lock_guard<std::mutex> guard(registryLock);
    for (Connection &c : connections) {
        if (c.display != display) continue;
        const int code = c.firstError;
        c.firstError = 0;
        return code;
    }
    return 0;
}

} // namespace platform::x11
