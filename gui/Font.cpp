#include "gui/Font.h"

#include "core/Resources.h"
#include "gui/GL.h"
#include "gui/GlyphAtlas.h"
#include "platform/ErrorReport.h"
#include "platform/FontLookup.h"
#include "platform/Paths.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

namespace QV {

namespace {

// Serialises glyph loading and face creation and deletion of every font in
// the process: several editors' threads may do these at once, and they share
// FreeType's library object.
std::mutex &glyphLock() {
    static std::mutex lock;
    return lock;
}

bool readable(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

} // namespace

// An FTGL font whose glyphs are rendered into our own atlas, so that text
// can be drawn from one texture with one draw call, or laid out into a
// vertex array.  FTGL keeps the face, sizes, metrics, kerning and the walk
// over a string; each glyph's Render emits one quad into the current sink.
class Font::Face : public FTFont {
public:
    struct Sink {
        std::vector<float> *out;
        float x, y; // baseline start, whole pixels
        int vertices;
    };

    Face(const char *file, int size) : FTFont(file), atlas(size * 2 * 10) {}
    // From bytes that outlive the face (FreeType reads them as it goes).
    Face(const unsigned char *bytes, std::size_t length, int size) : FTFont(bytes, length), atlas(size * 2 * 10) {}

    GlyphAtlas atlas;
    Sink *sink = nullptr;

protected:
    FTGlyph *MakeGlyph(FT_GlyphSlot slot) override;
};

namespace {

class AtlasGlyph : public FTGlyph {
public:
    AtlasGlyph(FT_GlyphSlot slot, GlyphAtlas &atlas, Font::Face &owner);
    const FTPoint &Render(const FTPoint &pen, int renderMode) override;

private:
    void emit(const FTPoint &pen);
    GlyphAtlas &atlas;
    Font::Face &owner;
    FTPoint advance;
    int left = 0, top = 0, width = 0, height = 0, atlasX = 0, atlasY = 0;
};

AtlasGlyph::AtlasGlyph(FT_GlyphSlot slot, GlyphAtlas &atlas, Font::Face &owner)
    : FTGlyph(slot), atlas(atlas), owner(owner), advance(slot->advance.x / 64.0, slot->advance.y / 64.0) {
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0 || slot->format != FT_GLYPH_FORMAT_BITMAP) return;
    const FT_Bitmap &bitmap = slot->bitmap;
    const int w = int(bitmap.width), h = int(bitmap.rows), pitch = bitmap.pitch;
    if (w == 0 || h == 0) return;
    // Shown at half size, a glyph is only sharp and whole when every output
    // pixel covers exactly 2 x 2 texels: linear filtering then averages them.
    // So the bitmap is padded to start at an even offset from the pen and to
    // have an even size, and emit() puts the quad on whole pixels.
    const int padLeft = slot->bitmap_left & 1, padTop = slot->bitmap_top & 1;
    const int paddedW = (w + padLeft + 1) & ~1, paddedH = (h + padTop + 1) & ~1;
    std::vector<unsigned char> padded(std::size_t(paddedW) * paddedH, 0);
    for (int row = 0; row < h; ++row) {
        // A negative pitch stores the bottom row first.
        const unsigned char *src =
            bitmap.buffer + std::ptrdiff_t(pitch >= 0 ? row : h - 1 - row) * (pitch >= 0 ? pitch : -pitch);
        std::copy(src, src + w, &padded[std::size_t(row + padTop) * paddedW + padLeft]);
    }
    if (!atlas.add(padded.data(), paddedW, paddedH, paddedW, atlasX, atlasY)) return;
    left = slot->bitmap_left - padLeft;
    top = slot->bitmap_top + padTop;
    width = paddedW;
    height = paddedH;
}

const FTPoint &AtlasGlyph::Render(const FTPoint &pen, int) {
    if (owner.sink && width > 0) emit(pen);
    return advance;
}

void AtlasGlyph::emit(const FTPoint &pen) {
    Font::Face::Sink &sink = *owner.sink;
    const float x0 = sink.x + std::floor(float(pen.X() + left) * 0.5f + 0.5f);
    const float y1 = sink.y + std::floor(float(pen.Y() + top) * 0.5f + 0.5f);
    const float x1 = x0 + width / 2, y0 = y1 - height / 2;
    const float s0 = float(atlasX) / atlas.width(), s1 = float(atlasX + width) / atlas.width();
    const float t0 = float(atlasY) / atlas.height(), t1 = float(atlasY + height) / atlas.height();
    const float quad[20] = {s0, t0, x0, y1, 0, s0, t1, x0, y0, 0, s1, t1, x1, y0, 0, s1, t0, x1, y1, 0};
    sink.out->insert(sink.out->end(), quad, quad + 20);
    sink.vertices += 4;
}

} // namespace

FTGlyph *Font::Face::MakeGlyph(FT_GlyphSlot slot) { return new AtlasGlyph(slot, atlas, *this); }

namespace {

// Sets the face's size, or drops a face FTGL could not load or size.
void sizeOrDrop(std::unique_ptr<Font::Face> &face, int size) {
    if (face->Error() || !face->FaceSize(unsigned(size > 0 ? size * 2 : 2), 72)) face.reset();
}

} // namespace

std::unique_ptr<Font> Font::open(const std::string &file, int size) {
    std::unique_ptr<Face> face;
    {
        std::lock_guard<std::mutex> guard(glyphLock());
        face.reset(new Face(file.c_str(), size));
        sizeOrDrop(face, size);
    }
    if (!face) return nullptr;
    return std::unique_ptr<Font>(new Font(std::move(face), file, size));
}

std::unique_ptr<Font> Font::openMemory(const unsigned char *bytes, std::size_t length, const std::string &name,
                                       int size) {
    if (!bytes || length == 0) return nullptr;
    std::unique_ptr<Face> face;
    {
        std::lock_guard<std::mutex> guard(glyphLock());
        face.reset(new Face(bytes, length, size));
        sizeOrDrop(face, size);
    }
    if (!face) return nullptr;
    return std::unique_ptr<Font>(new Font(std::move(face), name, size));
}

Font::Font(std::unique_ptr<Face> face, const std::string &file, int size)
    : face(std::move(face)), path(file), points(size) {}

Font::~Font() {
    std::lock_guard<std::mutex> guard(glyphLock());
    face.reset();
}

bool Font::loaded() const { return face != nullptr; }

float Font::textWidth(const char *text) const { return face ? face->Advance(text) * 0.5f : 0.f; }
float Font::lineHeight() const { return face ? face->LineHeight() * 0.5f : 0.f; }
float Font::descender() const { return face ? face->Descender() * 0.5f : 0.f; }

void Font::preloadGlyphs() {
    if (!face) return;
    char all[96];
    for (int c = 32; c <= 126; ++c)
        all[c - 32] = char(c);
    all[95] = 0;
    std::lock_guard<std::mutex> guard(glyphLock());
    face->Advance(all);
}

int Font::layoutText(const char *text, std::vector<float> &array, float x, float y) {
    if (!face || !text) return 0;
    Face::Sink sink{&array, std::floor(x), std::floor(y), 0};
    face->sink = &sink;
    face->Render(text);
    face->sink = nullptr;
    return sink.vertices;
}

void Font::bindTexture() {
    if (!face) return;
    const GlyphAtlas &atlas = face->atlas;
    if (!texture) glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (uploadedVersion == atlas.version()) return;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlas.width(), atlas.height(), 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                 atlas.pixels());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    uploadedVersion = atlas.version();
}

void Font::drawText(const char *text, float x, float y) {
    if (!face || !text || !*text) return;
    static thread_local std::vector<float> quads;
    quads.clear();
    const int vertices = layoutText(text, quads, x, y);
    if (vertices == 0) return;
    bindTexture();
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glInterleavedArrays(GL_T2F_V3F, 0, quads.data());
    glDrawArrays(GL_QUADS, 0, vertices);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

unsigned Font::layoutGeneration() const { return face ? face->atlas.sizeVersion() : 0; }

void Font::release() {
    if (texture) glDeleteTextures(1, &texture);
    texture = 0;
    uploadedVersion = 0;
    std::lock_guard<std::mutex> guard(glyphLock());
    face.reset();
}

int Font::atlasWidth() const { return face ? face->atlas.width() : 0; }
int Font::atlasHeight() const { return face ? face->atlas.height() : 0; }
int Font::glyphCount() const { return face ? int(face->atlas.version() - 1) : 0; }

std::string resolveFontName(const std::string &name) {
    if (name.empty()) return "";
    if (readable(name)) return name;
    std::string windir;
    if (platform::environmentValue("WINDIR", windir)) {
        const std::string systemPath = windir + platform::kPathSeparator + "fonts" + platform::kPathSeparator + name;
        if (readable(systemPath)) return systemPath;
    }
    return platform::findFontFile(name);
}

std::unique_ptr<Font> loadFont(const std::vector<FontCandidate> &candidates) {
    for (const FontCandidate &candidate : candidates) {
        const std::string file = resolveFontName(candidate.name);
        if (file.empty()) continue;
        if (auto font = Font::open(file, candidate.size)) return font;
        platform::reportError("Unable to load font: " + file);
    }
    return nullptr;
}

namespace {

// One line on standard error the first time text falls back to a given
// font in this process: each opening of the editor loads several fonts, and
// a host may open it many times.
void reportFallback(const std::vector<FontCandidate> &candidates, const std::string &used) {
    static std::mutex lock;
    static std::set<std::string> reported;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!reported.insert(used).second) return;
    }
    std::string wanted;
    for (const FontCandidate &candidate : candidates)
        wanted += (wanted.empty() ? "" : ", ") + candidate.name;
    std::fprintf(stderr, "murmelo: none of the layout's fonts (%s) is installed; drawing text with %s\n",
                 wanted.c_str(), used.c_str());
}

std::unique_ptr<Font> systemSansFont(int size) {
    const std::string file = platform::defaultSansFontFile();
    return file.empty() ? nullptr : Font::open(file, size);
}

std::unique_ptr<Font> builtInFont(int size) {
    const murmelo::DataBuffer bytes = murmelo::loadResource(murmelo::kResourceFallbackFont);
    // Embedded bytes live as long as the module: the font may keep reading them.
    return bytes.ownsData() ? nullptr : Font::openMemory(bytes.data(), bytes.length(), kBuiltInFontName, size);
}

} // namespace

std::unique_ptr<Font> loadFontOrFallback(const std::vector<FontCandidate> &candidates) {
    if (candidates.empty()) return nullptr;
    if (auto font = loadFont(candidates)) return font;
    // The last entry is the layout's safe choice; its size suits the layout.
    const int size = candidates.back().size;
    std::unique_ptr<Font> font = systemSansFont(size);
    if (!font) font = builtInFont(size);
    if (font) reportFallback(candidates, font->file());
    return font;
}

float textWidth(Font *font, const char *text) { return font ? font->textWidth(text) : 0.f; }
float lineHeight(Font *font) { return font ? font->lineHeight() : 0.f; }
float descender(Font *font) { return font ? font->descender() : 0.f; }
void preloadGlyphs(Font *font) {
    if (font) font->preloadGlyphs();
}
void drawText(const char *text, Font *font, float x, float y) {
    if (font) font->drawText(text, x, y);
}
int layoutText(const char *text, Font *font, std::vector<float> &array, float x, float y) {
    return font ? font->layoutText(text, array, x, y) : 0;
}

} // namespace QV
