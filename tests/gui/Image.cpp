// Screenshots, colours and test artefacts, the same on every system.
#include "tests/gui/HostScreen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <png.h>

namespace guitest {

Rgb Image::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    const std::size_t i = (std::size_t(height - 1 - y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

int Image::countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += !nearColour(at(x, y), colour, tolerance);
    return n;
}

bool Image::savePng(const std::string &path) const {
    if (width <= 0 || height <= 0) return false;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, &rgb[std::size_t(y) * width * 3]);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

bool nearColour(Rgb a, Rgb b, int t) {
    return std::abs(a.r - b.r) <= t && std::abs(a.g - b.g) <= t && std::abs(a.b - b.b) <= t;
}

Rgb rgb(float r, float g, float b) { return {int(r * 255 + 0.5f), int(g * 255 + 0.5f), int(b * 255 + 0.5f)}; }

Rgb blend(float r, float g, float b, float a, Rgb u) {
    return {int(r * 255 * a + u.r * (1 - a) + 0.5f), int(g * 255 * a + u.g * (1 - a) + 0.5f),
            int(b * 255 * a + u.b * (1 - a) + 0.5f)};
}

std::string currentTestName() {
    const auto *info = testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : "unknown";
}

std::string saveArtefact(const Image &image, const std::string &name) {
    const std::string dir = MURMELO_ARTEFACT_DIR;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::u8path(dir), ignored);
    std::string file = name;
    for (char &c : file)
        if (c == '/' || c == ' ') c = '_';
    const std::string path = dir + "/" + file + ".png";
    image.savePng(path);
    return path;
}

} // namespace guitest
