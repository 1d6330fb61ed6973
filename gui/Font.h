// Fonts: FTGL fonts from TrueType files, rasterised at twice the asked size
// into one glyph texture and drawn at half scale, so text is drawn from
// glyphs with twice the resolution it needs.
//
// A font is loaded on the host's UI thread (while the layout runs) and used
// on the render thread afterwards; nothing else touches it.  Every metric is
// in window pixels.  Functions taking a Font* accept null and then measure 0
// and draw nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace QV {

struct FontCandidate {
    std::string name; // a readable path, or a font file name such as "arial.ttf"
    int size;         // points
};

class Font {
public:
    // The font in file at size points, or null when FTGL cannot load it.
    static std::unique_ptr<Font> open(const std::string &file, int size);
    // The font in a TrueType file held in memory, which must outlive the
    // font; name stands for the file in messages.  Null when it cannot load.
    static std::unique_ptr<Font> openMemory(const unsigned char *bytes, std::size_t length, const std::string &name,
                                            int size);
    ~Font();
    Font(const Font &) = delete;
    Font &operator=(const Font &) = delete;

    // False once release() has run.
    bool loaded() const;
    int size() const { return points; }
    const std::string &file() const { return path; }

    float textWidth(const char *text) const;
    float lineHeight() const;
    float descender() const;

    // [render] Loads the glyphs of characters 32 to 126, holding the
    // process-wide glyph lock.
    void preloadGlyphs();
    // [render] Draws text with its baseline starting at (x, y), in the current
    // colour.
    void drawText(const char *text, float x, float y);
    // Appends the glyph quads of text at (x, y) to array: four vertices of
    // five floats (s, t, x, y, z) per drawn glyph, corners upper-left,
    // lower-left, lower-right, upper-right.  Returns the vertices written.
    int layoutText(const char *text, std::vector<float> &array, float x, float y);
    // [render] Binds the glyph texture, uploading glyphs added since.
    void bindTexture();
    // Changes whenever the glyph texture grows, which moves every glyph's
    // texture coordinates: laid-out text must then be laid out again.
    unsigned layoutGeneration() const;
    // [render] Deletes the glyph texture and the FTGL font; the font is then
    // empty.  Runs while the GL context is still current.
    void release();

    // For tests: the glyph texture's size and how many glyphs it holds.
    int atlasWidth() const;
    int atlasHeight() const;
    int glyphCount() const;

    // The FTGL font behind it (defined in Font.cpp).
    class Face;

private:
    Font(std::unique_ptr<Face> face, const std::string &file, int size);
    std::unique_ptr<Face> face;
    std::string path;
    int points;
    unsigned texture = 0;
    unsigned uploadedVersion = 0;
};

// The file to open for a candidate name: the name itself when it is a
// readable file; else, when WINDIR is set, WINDIR/fonts/name when readable;
// else an installed font of the family the name implies (fontconfig).  Empty
// when none is found or the name is empty.
std::string resolveFontName(const std::string &name);
// The first candidate that resolves and loads, or null.  A file FTGL cannot
// load prints "Error: Unable to load font: <file>" and the next one is tried.
std::unique_ptr<Font> loadFont(const std::vector<FontCandidate> &candidates);
// What the editor loads its fonts with, so that text never vanishes: the
// first candidate that loads; else the system's default sans-serif font
// (fontconfig); else the font built into the plug-in, at the size of the
// last candidate (the layout's safe choice).  Falling back prints one line
// on standard error, once per process for each font fallen back to.  An
// empty list asks for no font and gets none.
std::unique_ptr<Font> loadFontOrFallback(const std::vector<FontCandidate> &candidates);
// The name the built-in font goes by (its file() and messages).
constexpr const char *kBuiltInFontName = "the built-in DejaVu Sans";

// Null-tolerant forms used by the elements.
float textWidth(Font *font, const char *text);
float lineHeight(Font *font);
float descender(Font *font);
void preloadGlyphs(Font *font);
void drawText(const char *text, Font *font, float x, float y);
int layoutText(const char *text, Font *font, std::vector<float> &array, float x, float y);

} // namespace QV
