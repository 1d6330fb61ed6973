// A first program for the Windows toolchain: it uses each library of the
// cross-built prefix the way the plug-in will and prints what it saw, one
// line per library.  The same source is built for Linux against the libraries
// the Linux plug-in uses, and the two outputs must be equal line for line.
//
//   toolchain_smoke FONT.ttf
#include <FTGL/ftgl.h>
#include <GL/glew.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <lua.hpp>
#include <oscpack/ip/UdpSocket.h>
#include <oscpack/osc/OscOutboundPacketStream.h>
#include <oscpack/osc/OscReceivedElements.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool g_unwound = false;

struct UnwindWitness {
    ~UnwindWitness() { g_unwound = true; }
};

// A Lua error raised below a C++ frame must unwind it: Lua is built as C++.
int raiseThroughCxx(lua_State *L) {
    UnwindWitness witness;
    return luaL_error(L, "boom");
}

bool checkLua() {
    lua_State *L = luaL_newstate();
    luaL_openlibs(L);
    lua_register(L, "raise", raiseThroughCxx);
    const char *chunk = "local ok, err = pcall(raise)\n"
                        "return string.format('%d %.17g %s %s', 6 * 7, (0.1 + 0.2) * 3, tostring(ok), err)";
    bool ok = luaL_dostring(L, chunk) == 0;
    std::printf("lua: %s unwound=%d\n", ok ? lua_tostring(L, -1) : "failed", g_unwound ? 1 : 0);
    lua_close(L);
    return ok && g_unwound;
}

size_t buildMessage(char *buffer, size_t size, const char *address, int value) {
    osc::OutboundPacketStream p(buffer, size);
    p << osc::BeginBundleImmediate << osc::BeginMessage(address) << value << 0.25f << "text" << true << osc::EndMessage
      << osc::EndBundle;
    return p.Size();
}

void printMessage(const char *tag, const osc::ReceivedMessage &m) {
    osc::ReceivedMessageArgumentStream args = m.ArgumentStream();
    osc::int32 i;
    float f;
    const char *s;
    bool b;
    args >> i >> f >> s >> b >> osc::EndMessage;
    std::printf("%s: %s %d %g %s %d\n", tag, m.AddressPattern(), (int)i, f, s, b ? 1 : 0);
}

void printPacket(const char *tag, const char *data, size_t size) {
    osc::ReceivedPacket packet(data, (osc::osc_bundle_element_size_t)size);
    osc::ReceivedBundle bundle(packet);
    printMessage(tag, osc::ReceivedMessage(*bundle.ElementsBegin()));
}

bool checkOscPackets() {
    char buffer[256];
    size_t size = buildMessage(buffer, sizeof buffer, "/murmelo/smoke", 7);
    std::printf("osc: %zu bytes\n", size);
    printPacket("osc", buffer, size);
    return true;
}

// Binds the first free port from 47800 on the loopback address.
int bindLoopback(UdpSocket &socket) {
    for (int port = 47800; port < 47900; ++port) {
        try {
            socket.Bind(IpEndpointName("127.0.0.1", port));
            return port;
        } catch (const std::exception &) {
        }
    }
    return -1;
}

bool checkUdp() {
    UdpSocket receiver;
    int port = bindLoopback(receiver);
    if (port < 0) {
        std::printf("udp: no free port\n");
        return false;
    }
    char out[256], in[256];
    size_t size = buildMessage(out, sizeof out, "/murmelo/udp", 3);
    UdpTransmitSocket(IpEndpointName("127.0.0.1", port)).Send(out, size);
    IpEndpointName from;
    size_t got = receiver.ReceiveFrom(from, in, sizeof in);
    char fromText[IpEndpointName::ADDRESS_STRING_LENGTH];
    from.AddressAsString(fromText);
    printPacket("udp", in, got);
    std::printf("udp: from %s\n", fromText);
    return got == size && std::memcmp(in, out, size) == 0;
}

// PNG: a 4x3 RGBA image encoded into memory and decoded back.
struct Bytes {
    std::vector<unsigned char> data;
    size_t readAt = 0;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->data.insert(out->data.end(), data, data + length);
}

void readBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *in = static_cast<Bytes *>(png_get_io_ptr(png));
    if (in->readAt + length > in->data.size()) png_error(png, "short read");
    std::memcpy(data, in->data.data() + in->readAt, length);
    in->readAt += length;
}

const int kWidth = 4, kHeight = 3;

std::vector<unsigned char> makePixels() {
    std::vector<unsigned char> pixels(kWidth * kHeight * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (unsigned char)(i * 37 + 11);
    return pixels;
}

Bytes encodePng(std::vector<unsigned char> &pixels) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, writeBytes, nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows;
    for (int y = 0; y < kHeight; ++y)
        rows.push_back(&pixels[y * kWidth * 4]);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool checkPng() {
    std::vector<unsigned char> pixels = makePixels();
    Bytes file = encodePng(pixels);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &file, readBytes);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    png_bytepp rows = png_get_rows(png, info);
    bool same = width == kWidth && height == kHeight;
    for (int y = 0; same && y < kHeight; ++y)
        same = std::memcmp(rows[y], &pixels[y * kWidth * 4], kWidth * 4) == 0;
    png_destroy_read_struct(&png, &info, nullptr);
    std::printf("png: %ux%u %s\n", (unsigned)width, (unsigned)height, same ? "same" : "different");
    return same;
}

bool checkFreetype(const char *fontPath) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontPath, 0, &face) != 0) {
        std::printf("freetype: cannot open %s\n", fontPath);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, 32);
    FT_Load_Char(face, 'M', FT_LOAD_RENDER);
    std::printf("freetype: %s %s glyphs=%ld advance=%ld bitmap=%ux%u\n", face->family_name, face->style_name,
                (long)face->num_glyphs, (long)face->glyph->advance.x, face->glyph->bitmap.width,
                face->glyph->bitmap.rows);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

// Pixmap glyphs are plain memory until drawn, so no GL context is needed.
bool checkFtgl(const char *fontPath) {
    FTPixmapFont font(fontPath);
    if (font.Error() != 0 || !font.FaceSize(24)) {
        std::printf("ftgl: cannot open %s (error %d)\n", fontPath, font.Error());
        return false;
    }
    std::printf("ftgl: ascender=%.3f descender=%.3f line=%.3f advance=%.3f\n", font.Ascender(), font.Descender(),
                font.LineHeight(), font.Advance("Murmelo"));
    return true;
}

bool checkGlew() {
    std::printf("glew: %s, %s\n", reinterpret_cast<const char *>(glewGetString(GLEW_VERSION)),
                reinterpret_cast<const char *>(glewGetErrorString(GLEW_OK)));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: toolchain_smoke FONT.ttf\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    bool ok = checkLua();
    ok = checkOscPackets() && ok;
    try {
        ok = checkUdp() && ok;
    } catch (const std::exception &e) {
        std::printf("udp: %s\n", e.what());
        ok = false;
    }
    ok = checkPng() && ok;
    ok = checkFreetype(argv[1]) && ok;
    ok = checkFtgl(argv[1]) && ok;
    ok = checkGlew() && ok;
    std::printf("smoke: %s\n", ok ? "all passed" : "FAILED");
    return ok ? 0 : 1;
}
