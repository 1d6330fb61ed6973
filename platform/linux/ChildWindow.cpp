#include "platform/ChildWindow.h"

#include "platform/ErrorReport.h"
#include "platform/linux/X11Errors.h"

#include <GL/glx.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace platform {

namespace {

constexpr long kEventMask = ExposureMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask |
                            FocusChangeMask | StructureNotifyMask;

unsigned modifiersOf(unsigned state) {
    unsigned m = 0;
    if (state & ShiftMask) m |= kKeyShift;
    if (state & ControlMask) m |= kKeyControl;
    if (state & Mod1Mask) m |= kKeyAlt;
    return m;
}

bool isTrackedButton(unsigned button) { return button >= Button1 && button <= Button3; }

} // namespace

struct ChildWindow::Impl {
    Display *display = nullptr;
    Window window = 0;
    Colormap colormap = 0;

    XVisualInfo *chooseVisual(int screen);
    void useGLVisual(int screen, Visual *&visual, int &depth, XSetWindowAttributes &attributes,
                     unsigned long &valueMask);
    bool translate(XEvent &xe, WindowEvent &event);
    void skipToLastMotion(XEvent &xe);
};

ChildWindow::ChildWindow() : impl(new Impl) {}

ChildWindow::~ChildWindow() {
    Display *display = impl->display;
    if (!display) return;
    // The host may have destroyed our window with its parent already; the
    // error that would cause is recorded and dropped.
    if (impl->window) XDestroyWindow(display, impl->window);
    if (impl->colormap) XFreeColormap(display, impl->colormap);
    x11::takeError(display);
    x11::closeDisplay(display);
}

XVisualInfo *ChildWindow::Impl::chooseVisual(int screen) {
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8,   GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE,
                        8,        GLX_DEPTH_SIZE,   16,           None};
    int errorBase, eventBase;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) return nullptr;
    return glXChooseVisual(display, screen, attributes);
}

// Fills in the visual, depth and colormap of a GL-capable window, or leaves
// the parent's (with an "Error" line) when the server offers no such visual.
void ChildWindow::Impl::useGLVisual(int screen, Visual *&visual, int &depth, XSetWindowAttributes &attributes,
                                    unsigned long &valueMask) {
    XVisualInfo *info = chooseVisual(screen);
    if (!info) {
        reportError("no OpenGL visual with double buffer, RGBA, 24 colour bits and 16 depth bits");
        return;
    }
    visual = info->visual;
    depth = info->depth;
    colormap = XCreateColormap(display, RootWindow(display, screen), visual, AllocNone);
    attributes.colormap = colormap;
    valueMask |= CWColormap;
    XFree(info);
}

bool ChildWindow::create(std::uintptr_t parent, int width, int height) {
    if (impl->display) return impl->window != 0;
    impl->display = x11::openDisplay(nullptr);
    Display *display = impl->display;
    if (!display) {
        reportError("cannot open the X display for the editor window");
        return false;
    }
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, static_cast<Window>(parent), &parentAttributes) || x11::takeError(display)) {
        reportError("the host's editor window does not exist");
        return false;
    }
    XSetWindowAttributes attributes{};
    attributes.event_mask = kEventMask;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None; // the render thread paints every pixel
    unsigned long valueMask = CWEventMask | CWBorderPixel | CWBackPixmap;
    Visual *visual = CopyFromParent;
    int depth = CopyFromParent;
    impl->useGLVisual(XScreenNumberOfScreen(parentAttributes.screen), visual, depth, attributes, valueMask);
    impl->window = XCreateWindow(display, static_cast<Window>(parent), 0, 0, width > 0 ? width : 1,
                                 height > 0 ? height : 1, 0, depth, InputOutput, visual, valueMask, &attributes);
    XStoreName(display, impl->window, "Window");
    XMapWindow(display, impl->window);
    if (x11::takeError(display)) {
        reportError("cannot create the editor window");
        impl->window = 0;
        return false;
    }
    return true;
}

bool ChildWindow::exists() const { return impl->window != 0; }
std::uintptr_t ChildWindow::id() const { return impl->window; }
void ChildWindow::setArrivalHandler(std::function<void()>) {} // events wait for nextEvent
DrawingTarget ChildWindow::drawingTarget() const {
    return {impl->display ? DisplayString(impl->display) : "", impl->window, impl->window};
}

void ChildWindow::Impl::skipToLastMotion(XEvent &xe) {
    XEvent next;
    while (XPending(display)) {
        XPeekEvent(display, &next);
        if (next.type != MotionNotify || next.xmotion.window != xe.xmotion.window ||
            next.xmotion.state != xe.xmotion.state)
            return;
        XNextEvent(display, &xe);
    }
}

bool ChildWindow::Impl::translate(XEvent &xe, WindowEvent &event) {
    switch (xe.type) {
    case MotionNotify:
        skipToLastMotion(xe);
        event = {WindowEvent::kMotion, xe.xmotion.x, xe.xmotion.y, modifiersOf(xe.xmotion.state), 0, 0};
        return true;
    case ButtonPress:
    case ButtonRelease: {
        if (!isTrackedButton(xe.xbutton.button)) return false;
        const auto kind = xe.type == ButtonPress ? WindowEvent::kButtonPress : WindowEvent::kButtonRelease;
        event = {kind, xe.xbutton.x, xe.xbutton.y, modifiersOf(xe.xbutton.state), int(xe.xbutton.button), 0};
        event.time = static_cast<unsigned long>(xe.xbutton.time);
        return true;
    }
    case KeyPress: {
        char text[8];
        KeySym symbol;
        const int n = XLookupString(&xe.xkey, text, sizeof(text), &symbol, nullptr);
        if (n < 1) return false;
        event = {WindowEvent::kCharacter, 0, 0, modifiersOf(xe.xkey.state), 0, static_cast<unsigned char>(text[0])};
        return true;
    }
    case FocusIn:
    case FocusOut:
        // Focus moving between our window and its (non-existent) children or
        // following the pointer is no change for us.
        if (xe.xfocus.detail == NotifyInferior || xe.xfocus.detail == NotifyPointer) return false;
        event = {xe.type == FocusIn ? WindowEvent::kFocusIn : WindowEvent::kFocusOut, 0, 0, 0, 0, 0};
        return true;
    case DestroyNotify:
        // The host destroyed its window, and ours with it.
        if (xe.xdestroywindow.window == window) window = 0;
        return false;
    default:
        return false;
    }
}

bool ChildWindow::nextEvent(WindowEvent &event) {
    Display *display = impl->display;
    if (!display || !impl->window) return false;
    while (XPending(display)) {
        XEvent xe;
        XNextEvent(display, &xe);
        if (impl->translate(xe, event)) return true;
    }
    return false;
}

bool ChildWindow::grabPointer() {
    if (!impl->window) return false;
    const int result =
        XGrabPointer(impl->display, impl->window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    return result == GrabSuccess;
}

void ChildWindow::ungrabPointer() {
    if (!impl->window) return;
    XUngrabPointer(impl->display, CurrentTime);
    XFlush(impl->display);
}

bool ChildWindow::takeKeyboardFocus() {
    if (!impl->window) return false;
    XSetInputFocus(impl->display, impl->window, RevertToParent, CurrentTime);
    return x11::takeError(impl->display) == 0;
}

} // namespace platform
