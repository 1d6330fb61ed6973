// The test host on X11: a connection of its own, top-level windows on the
// default screen, XTest input and XGetImage.
#include "tests/gui/HostScreen.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <chrono>
#include <thread>

namespace guitest {

struct HostScreen::Impl {
    Display *dpy = nullptr;
};

HostScreen::HostScreen() : impl(std::make_unique<Impl>()) {
    // The server may be resetting after the last client of an earlier test
    // left; give it a moment.
    for (int attempt = 0; attempt < 50 && !impl->dpy; ++attempt) {
        impl->dpy = XOpenDisplay(nullptr);
        if (!impl->dpy) std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    if (!impl->dpy) ADD_FAILURE() << "these tests need an X display: run them under xvfb-run";
}

HostScreen::~HostScreen() {
    if (!impl->dpy) return;
    for (WindowHandle w : windows)
        XDestroyWindow(impl->dpy, Window(w));
    XCloseDisplay(impl->dpy);
}

WindowHandle HostScreen::createWindow(int width, int height, int x, int y) {
    Display *dpy = impl->dpy;
    if (!dpy) return 0;
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
    a.event_mask = StructureNotifyMask;
    Window w = XCreateWindow(dpy, DefaultRootWindow(dpy), x, y, unsigned(width), unsigned(height), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &a);
    XMapWindow(dpy, w);
    XEvent e;
    do
        XWindowEvent(dpy, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    windows.push_back(w);
    return w;
}

void HostScreen::destroyWindow(WindowHandle window) {
    if (!impl->dpy || !window) return;
    XDestroyWindow(impl->dpy, Window(window));
    XSync(impl->dpy, False);
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

std::vector<WindowHandle> HostScreen::children(WindowHandle window) {
    std::vector<WindowHandle> list;
    if (!impl->dpy || !window) return list;
    Window root = 0, parent = 0, *found = nullptr;
    unsigned count = 0;
    XSync(impl->dpy, False);
    if (XQueryTree(impl->dpy, Window(window), &root, &parent, &found, &count))
        for (unsigned i = 0; i < count; ++i)
            list.push_back(found[i]);
    if (found) XFree(found);
    return list;
}

WindowHandle HostScreen::firstChild(WindowHandle window) {
    const std::vector<WindowHandle> list = children(window);
    return list.empty() ? 0 : list.front();
}

Image HostScreen::grab(WindowHandle window, int width, int height) {
    Image image;
    Display *dpy = impl->dpy;
    if (!dpy || !window || width <= 0 || height <= 0) return image;
    XSync(dpy, False);
    XImage *xi = XGetImage(dpy, Window(window), 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!xi) return image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            std::uint8_t *out = &image.rgb[(std::size_t(y) * width + x) * 3];
            out[0] = std::uint8_t((p & xi->red_mask) >> 16);
            out[1] = std::uint8_t((p & xi->green_mask) >> 8);
            out[2] = std::uint8_t(p & xi->blue_mask);
        }
    XDestroyImage(xi);
    return image;
}

void HostScreen::moveTo(WindowHandle window, int height, float x, float y) {
    Display *dpy = impl->dpy;
    if (!dpy) return;
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(dpy, Window(window), DefaultRootWindow(dpy), 0, 0, &rootX, &rootY, &child);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX + int(x), rootY + (height - int(y)), CurrentTime);
    XFlush(dpy);
}

void HostScreen::button(int number, bool down) {
    if (!impl->dpy) return;
    XTestFakeButtonEvent(impl->dpy, unsigned(number), down, CurrentTime);
    XFlush(impl->dpy);
}

// Keys are keysyms already (Latin-1 characters are their own keysyms).
void HostScreen::key(Key key, bool down) {
    if (!impl->dpy) return;
    const KeyCode code = XKeysymToKeycode(impl->dpy, KeySym(key));
    if (!code) {
        ADD_FAILURE() << "no key on this keyboard types keysym " << key;
        return;
    }
    XTestFakeKeyEvent(impl->dpy, code, down, CurrentTime);
    XFlush(impl->dpy);
}

void HostScreen::typeKey(Key k) {
    key(k, true);
    key(k, false);
}

void HostScreen::focusWindow(WindowHandle window) {
    if (!impl->dpy) return;
    XSetInputFocus(impl->dpy, Window(window), RevertToParent, CurrentTime);
    XSync(impl->dpy, False);
}

void HostScreen::sync() {
    if (impl->dpy) XSync(impl->dpy, False);
}

void HostScreen::dispatch() {}

} // namespace guitest
