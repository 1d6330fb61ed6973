#include "tool/SnapshotImage.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>

namespace tool {

HostWindow::~HostWindow() {
    if (!display) return;
    if (window) XDestroyWindow(display, window);
    XCloseDisplay(display);
}

bool HostWindow::create(int width, int height, std::string &error) {
    display = XOpenDisplay(nullptr);
    if (!display) {
        const char *name = std::getenv("DISPLAY");
        error = std::string("cannot open X display ") + (name ? name : "(none)");
        return false;
    }
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(display, DefaultScreen(display));
    a.event_mask = StructureNotifyMask;
    window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, unsigned(width), unsigned(height), 0,
                           CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &a);
    XStoreName(display, window, "murmelo snapshot");
    XMapWindow(display, window);
    XEvent e;
    do
        XWindowEvent(display, window, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    return true;
}

std::string HostWindow::displayName() const { return display ? DisplayString(display) : ""; }

Picture HostWindow::grabChild(int width, int height, std::string &error) {
    Picture picture;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    if (!XQueryTree(display, window, &root, &parent, &children, &count) || count == 0) {
        error = "the editor made no window";
        return picture;
    }
    const Window child = children[0];
    XFree(children);
    XImage *image = XGetImage(display, child, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) {
        error = "cannot read the editor's pixels";
        return picture;
    }
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            std::uint8_t *out = &picture.rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            out[0] = std::uint8_t((p & image->red_mask) >> 16);
            out[1] = std::uint8_t((p & image->green_mask) >> 8);
            out[2] = std::uint8_t(p & image->blue_mask);
        }
    XDestroyImage(image);
    return picture;
}

bool writePng(const Picture &picture, const std::string &path, std::string &error) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    // libpng reports errors by longjmp: nothing with a destructor lives here.
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < picture.height; ++y)
            png_write_row(png, const_cast<png_bytep>(&picture.rgb[std::size_t(y) * std::size_t(picture.width) * 3]));
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        error = "cannot write " + path;
        std::remove(path.c_str());
    }
    return ok;
}

} // namespace tool
