// The render thread's work seen from outside: textures, the label layer and
// its fallback, fonts drawn at every size the default layout uses, several
// editors at once, and set-up failures that must not take the host down.
#include "tests/gui/GuiTestSupport.h"

#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Group.h"
#include "gui/InfoDisplay.h"
#include "gui/TextField.h"
#include "gui/Texture.h"
#include "gui/ZephKnob.h"
#include "platform/FontLookup.h"

#include <cmath>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <png.h>

using namespace guitest;
using testing_support::TempDir;

namespace {

const Rgb kBackground = rgb(0.5f, 0.1f, 0.1f);

class EditorRender : public testing::Test {
protected:
    HostScreen screen;
};

void writeRgbaPng(const std::string &path, int width, int height) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(std::size_t(width) * 4, 0xc0);
    for (int y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

TEST_F(EditorRender, TexturesLoadOnlyWhenPowerOfTwoRgba) {
    TempDir dir;
    writeRgbaPng(dir.file("good.png"), 128, 64);
    writeRgbaPng(dir.file("odd.png"), 100, 64);
    OpenEditor e(screen);
    e.buildStandardTree();
    QV::TextureRecord *good = e.manager->addTexture(dir.file("good.png"));
    QV::TextureRecord *odd = e.manager->addTexture(dir.file("odd.png"));
    QV::TextureRecord *missing = e.manager->addTexture(dir.file("missing.png"));
    ASSERT_TRUE(e.open());
    EXPECT_NE(good->glName.load(), 0u);
    EXPECT_EQ(good->width, 128);
    EXPECT_EQ(good->height, 64);
    EXPECT_EQ(odd->glName.load(), 0u);
    EXPECT_EQ(missing->glName.load(), 0u);
    EXPECT_TRUE(odd->loadAttempted && missing->loadAttempted);
}

// Counts light label pixels under the "Fine" field.
int labelInk(OpenEditor &e, const StandardTree &t) {
    const Image image = e.grab();
    const QV::Box f = t.speedField->windowBounds();
    return image.countDifferent(int(f.minX), int(f.minY) - 4, int(f.maxX), int(f.minY) + 10, kBackground, 40);
}

TEST_F(EditorRender, LabelsShowWithoutFramebufferObjects) {
    testing_support::ScopedEnv disable("MURMELO_GL_DISABLE", "fbo");
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    EXPECT_FALSE(e.manager->labelsUseFramebuffer());
    EXPECT_GT(labelInk(e, t), 8);
    EXPECT_TRUE(nearColour(e.grab().at(300, 60), kBackground, 3));
}

TEST_F(EditorRender, TheLabelLayerIsRedrawnOnRequest) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    EXPECT_TRUE(e.manager->labelsUseFramebuffer());
    EXPECT_EQ(e.manager->labelLayerRenders(), 1u) << "drawn once at start";
    ASSERT_TRUE(e.waitFrames(5));
    EXPECT_EQ(e.manager->labelLayerRenders(), 1u) << "and not every frame";
    EXPECT_GT(labelInk(e, t), 8);
    t.speedField->setVisible(false);
    e.manager->requestLabelRedraw();
    ASSERT_TRUE(e.pumpUntil([&] { return e.manager->labelLayerRenders() == 2; }));
    ASSERT_TRUE(e.waitFrames(2));
    EXPECT_EQ(labelInk(e, t), 0) << "a hidden field's label is gone after the redraw";
}

TEST_F(EditorRender, WithoutAMainFontTheRestStillDraws) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    e.manager->setMainFont(nullptr);
    ASSERT_TRUE(e.open());
    const Image image = e.grab();
    EXPECT_EQ(image.countDifferent(0, 200, 400, 256, kBackground, 3), 0) << "no banner, title or info display";
    const QV::Box button = t.prefsButton->windowBounds();
    EXPECT_EQ(image.countDifferent(int(button.minX) + 2, int(button.minY) + 2, int(button.maxX) - 2,
                                   int(button.maxY) - 2, image.at(int(button.minX) + 2, int(button.minY) + 2), 3),
              0)
        << "no caption on the button";
    const QV::Point k = OpenEditor::centreOf(*t.speedKnob);
    EXPECT_FALSE(nearColour(image.at(int(k.x), int(k.y)), kBackground, 30)) << "the knobs are drawn";
}

TEST_F(EditorRender, TwoEditorsInOneProcess) {
    OpenEditor first(screen), second(screen, OpenEditor::kWidth, OpenEditor::kHeight, 600, 300);
    StandardTree &t1 = first.buildStandardTree();
    StandardTree &t2 = second.buildStandardTree();
    second.manager->setBackgroundColour(0.1f, 0.3f, 0.5f);
    ASSERT_TRUE(first.open());
    ASSERT_TRUE(second.open());
    ASSERT_TRUE(first.waitFrames(3));
    EXPECT_TRUE(nearColour(first.grab().at(300, 60), kBackground, 3));
    EXPECT_TRUE(nearColour(second.grab().at(300, 60), rgb(0.1f, 0.3f, 0.5f), 3));
    EXPECT_GT(labelInk(first, t1), 8);
    EXPECT_GT(labelInk(second, t2), 8);
    // Input reaches only the editor under the pointer.
    second.effect.setParameter(1, 0.2f);
    first.effect.setParameter(1, 0.2f);
    const QV::Point c = OpenEditor::centreOf(*t2.effectKnob);
    second.drag(c.x, c.y, c.x, c.y + 40);
    first.pump();
    EXPECT_NEAR(second.effect.normalised(1), 0.4f, 0.006f);
    EXPECT_FLOAT_EQ(first.effect.normalised(1), 0.2f);
    // Closing one leaves the other running.
    first.close();
    ASSERT_TRUE(second.waitFrames(3));
    EXPECT_TRUE(nearColour(second.grab().at(300, 60), rgb(0.1f, 0.3f, 0.5f), 3));
}

TEST_F(EditorRender, TheHostDestroyingItsWindowFirstDoesNotHurt) {
    OpenEditor e(screen);
    e.buildStandardTree();
    ASSERT_TRUE(e.open());
    screen.destroyWindow(e.hostWindow);
    e.pump(150);
    EXPECT_FALSE(e.manager->hasWindow());
    e.close();
}

TEST_F(EditorRender, SetUpFailuresAreReportedAndSurvived) {
    OpenEditor e(screen);
    e.buildStandardTree();
    e.hostWindow = 0x3fffff; // no such window
    testing::internal::CaptureStderr();
    EXPECT_FALSE(e.open());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Error: "), std::string::npos) << errors;
    EXPECT_FALSE(e.manager->renderRunning());
    e.close();
}

TEST_F(EditorRender, ASecondRenderTaskIsRefused) {
    OpenEditor e(screen);
    e.buildStandardTree();
    ASSERT_TRUE(e.open());
    testing::internal::CaptureStdout();
    e.manager->CreateRenderTask();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "double call to CreateRenderTask()\n");
    EXPECT_TRUE(e.waitFrames(2));
}

// ---- glyphs ----

// Draws the 95 printable characters in a grid, one per cell, in white.
class GlyphSheet : public QV::UIElement {
public:
    static constexpr int kColumns = 24, kCell = 40;
    explicit GlyphSheet(QV::Manager &m) : UIElement(m) {}
    static QV::Point origin(int i) { return {float((i % kColumns) * kCell + 10), float((i / kColumns) * kCell + 12)}; }
    void draw() override {
        QV::Font *f = font.load();
        if (!f) return;
        glColor3f(1, 1, 1);
        for (int i = 0; i < 95; ++i) {
            const char text[2] = {char(32 + i), 0};
            const QV::Point o = origin(i);
            f->drawText(text, o.x, o.y);
        }
    }
    std::atomic<QV::Font *> font{nullptr};
};

// The expected ink of one character, from FreeType directly: the glyph at
// twice the size, shown at half scale.
struct Reference {
    float left, right, bottom, top; // pixels from the pen position
    float mass;                     // sum of coverage, in whole pixels
};

Reference referenceGlyph(FT_Face face, char c) {
    Reference r{0, 0, 0, 0, 0};
    if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER) != 0) return r;
    const FT_Bitmap &b = face->glyph->bitmap;
    r.left = face->glyph->bitmap_left * 0.5f;
    r.right = (face->glyph->bitmap_left + int(b.width)) * 0.5f;
    r.top = face->glyph->bitmap_top * 0.5f;
    r.bottom = (face->glyph->bitmap_top - int(b.rows)) * 0.5f;
    for (unsigned y = 0; y < b.rows; ++y)
        for (unsigned x = 0; x < b.width; ++x)
            r.mass += b.buffer[y * unsigned(b.pitch) + x] / 255.f;
    r.mass /= 4;
    return r;
}

TEST_F(EditorRender, ThePrintableGlyphsDrawCorrectlyAtTheLayoutSizes) {
    const std::string files[2] = {platform::findFontFile("arial.ttf"), platform::findFontFile("DejaVu Sans")};
    ASSERT_NE(files[0], "");
    ASSERT_NE(files[1], "");
    OpenEditor e(screen, GlyphSheet::kColumns * GlyphSheet::kCell, 4 * GlyphSheet::kCell);
    e.manager->setBackgroundColour(0, 0, 0);
    auto *sheet = new GlyphSheet(*e.manager);
    e.manager->rootGroup().add(sheet);
    struct Face {
        std::string file;
        int size;
        QV::Font *font;
    };
    std::vector<Face> faces;
    for (const std::string &file : files)
        for (int size : {9, 10, 11, 12, 14})
            faces.push_back({file, size, e.manager->addExtraFont(QV::Font::open(file, size))});
    ASSERT_TRUE(e.open());
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    for (const Face &f : faces) {
        ASSERT_TRUE(f.font);
        EXPECT_EQ(f.font->glyphCount(), 94) << "preloaded into one texture";
        sheet->font.store(f.font);
        ASSERT_TRUE(e.waitFrames(3));
        const Image image = e.grab();
        FT_Face face;
        ASSERT_EQ(FT_New_Face(library, f.file.c_str(), 0, &face), 0);
        FT_Set_Char_Size(face, 0, FT_F26Dot6(2 * f.size * 64), 72, 72);
        int wrong = 0;
        for (int i = 0; i < 95; ++i) {
            const Reference r = referenceGlyph(face, char(32 + i));
            const QV::Point o = GlyphSheet::origin(i);
            const int x0 = int(o.x) - 10, y0 = int(o.y) - 12;
            float mass = 0, minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
            for (int y = y0; y < y0 + GlyphSheet::kCell; ++y)
                for (int x = x0; x < x0 + GlyphSheet::kCell; ++x) {
                    const Rgb p = image.at(x, y);
                    if (p.r < 8) continue;
                    mass += p.r / 255.f;
                    minX = std::min(minX, x - o.x);
                    maxX = std::max(maxX, x + 1 - o.x);
                    minY = std::min(minY, y - o.y);
                    maxY = std::max(maxY, y + 1 - o.y);
                }
            const bool inside = mass == 0 || (minX >= r.left - 1.5f && maxX <= r.right + 1.5f &&
                                              minY >= r.bottom - 1.5f && maxY <= r.top + 1.5f);
            const bool massRight = std::fabs(mass - r.mass) <= 0.25f * r.mass + 1.5f;
            if (!inside || !massRight) {
                ++wrong;
                ADD_FAILURE() << f.file << " " << f.size << "pt '" << char(32 + i) << "': ink " << mass << " in ["
                              << minX << ", " << maxX << "] x [" << minY << ", " << maxY << "], expected " << r.mass
                              << " in [" << r.left << ", " << r.right << "] x [" << r.bottom << ", " << r.top << "]";
            }
        }
        FT_Done_Face(face);
        if (wrong) saveArtefact(image, currentTestName() + "-" + std::to_string(f.size));
    }
    FT_Done_FreeType(library);
}

} // namespace
