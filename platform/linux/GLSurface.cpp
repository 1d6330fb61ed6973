#include "platform/GLSurface.h"

#include "platform/ErrorReport.h"
#include "platform/linux/X11Errors.h"

#include <GL/glx.h>
#include <X11/Xutil.h>

namespace platform {

struct GLSurface::Impl {
    Display *display = nullptr;
    Window window = 0;
    GLXContext context = nullptr;

    XVisualInfo *windowVisual();
};

GLSurface::GLSurface() : impl(new Impl) {}
GLSurface::~GLSurface() { close(); }

XVisualInfo *GLSurface::Impl::windowVisual() {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || x11::takeError(display)) {
        reportError("cannot get the editor window's device context");
        return nullptr;
    }
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo *info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    int useGL = 0, doubleBuffer = 0;
    if (info && glXGetConfig(display, info, GLX_USE_GL, &useGL) == 0 && useGL &&
        glXGetConfig(display, info, GLX_DOUBLEBUFFER, &doubleBuffer) == 0 && doubleBuffer)
        return info;
    reportError("the editor window has no double-buffered OpenGL pixel format");
    return info; // still try: a context may work single-buffered
}

bool GLSurface::open(const DrawingTarget &target) {
    close();
    const std::string &displayName = target.displayName;
    impl->display = x11::openDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!impl->display) {
        reportError("cannot open the X display for rendering");
        return false;
    }
    impl->window = static_cast<Window>(target.drawable); // the window itself on X11
    XVisualInfo *info = impl->windowVisual();
    if (info) {
        impl->context = glXCreateContext(impl->display, info, nullptr, True);
        XFree(info);
    }
    if (!impl->context || x11::takeError(impl->display)) {
        reportError("cannot create the OpenGL context");
        impl->context = nullptr;
        return false;
    }
    if (!makeCurrent()) {
        reportError("cannot make the OpenGL context current");
        return false;
    }
    return true;
}

bool GLSurface::makeCurrent() {
    if (!impl->context) return false;
    return glXMakeCurrent(impl->display, impl->window, impl->context) && !x11::takeError(impl->display);
}

void GLSurface::releaseCurrent() {
    if (impl->display) glXMakeCurrent(impl->display, None, nullptr);
}

void GLSurface::swapBuffers() {
    if (impl->context) glXSwapBuffers(impl->display, impl->window);
}

void GLSurface::close() {
    if (!impl->display) return;
    releaseCurrent();
    if (impl->context) glXDestroyContext(impl->display, impl->context);
    impl->context = nullptr;
    x11::takeError(impl->display);
    x11::closeDisplay(impl->display);
    impl->display = nullptr;
}

} // namespace platform
