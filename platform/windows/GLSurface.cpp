#include "platform/GLSurface.h"

#include "platform/ErrorReport.h"
#include "platform/windows/WideText.h"

#include <vector>
#include <windows.h>

#include <GL/gl.h>

namespace platform {

namespace {

constexpr GLenum kBgra = 0x80E1; // GL_BGRA (EXT_bgra, core since 1.2)

void reportLastError(const char *what) { reportError(std::string(what) + ": " + systemMessage(GetLastError())); }

} // namespace

struct GLSurface::Impl {
    HWND window = nullptr, drawable = nullptr;
    HDC dc = nullptr;       // the drawable's
    HDC windowDc = nullptr; // the window's, when frames are copied into it
    HGLRC context = nullptr;
    std::vector<unsigned char> pixels; // one frame, bottom row first, BGRA

    bool setPixelFormat();
    void presentFrame();
};

GLSurface::GLSurface() : impl(new Impl) {}
GLSurface::~GLSurface() { close(); }

// Double-buffered RGBA with 24 colour and 16 depth bits, drawn to a window.
bool GLSurface::Impl::setPixelFormat() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (!format) {
        reportLastError("no OpenGL pixel format with double buffer, RGBA, 24 colour bits and 16 depth bits");
        return false;
    }
    if (!SetPixelFormat(dc, format, &pfd)) {
        reportLastError("cannot set the editor window's pixel format");
        return false;
    }
    return true;
}

bool GLSurface::open(const DrawingTarget &target) {
    close();
    impl->window = reinterpret_cast<HWND>(target.window);
    impl->drawable = reinterpret_cast<HWND>(target.drawable);
    impl->dc = GetDC(impl->drawable);
    if (impl->drawable != impl->window) impl->windowDc = GetDC(impl->window);
    if (!impl->dc || (impl->drawable != impl->window && !impl->windowDc)) {
        reportLastError("cannot get the editor window's device context");
        return false;
    }
    impl->setPixelFormat(); // a context may still work with what the window has
    impl->context = wglCreateContext(impl->dc);
    if (!impl->context) {
        reportLastError("cannot create the OpenGL context");
        return false;
    }
    if (!makeCurrent()) {
        reportLastError("cannot make the OpenGL context current");
        return false;
    }
    return true;
}

bool GLSurface::makeCurrent() { return impl->context && wglMakeCurrent(impl->dc, impl->context); }

void GLSurface::releaseCurrent() {
    if (impl->context) wglMakeCurrent(nullptr, nullptr);
}

void GLSurface::Impl::presentFrame() {
    RECT r;
    if (!GetClientRect(window, &r)) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    pixels.resize(std::size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, kBgra, GL_UNSIGNED_BYTE, pixels.data());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h; // positive: bottom row first, as GL reads
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(windowDc, 0, 0, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), pixels.data(), &info, DIB_RGB_COLORS);
    GdiFlush();
}

void GLSurface::swapBuffers() {
    if (!impl->context) return;
    if (impl->windowDc)
        impl->presentFrame();
    else
        SwapBuffers(impl->dc);
}

void GLSurface::close() {
    if (impl->context) {
        releaseCurrent();
        wglDeleteContext(impl->context);
        impl->context = nullptr;
    }
    if (impl->dc) ReleaseDC(impl->drawable, impl->dc);
    if (impl->windowDc) ReleaseDC(impl->window, impl->windowDc);
    impl->dc = impl->windowDc = nullptr;
    impl->window = impl->drawable = nullptr;
}

} // namespace platform
