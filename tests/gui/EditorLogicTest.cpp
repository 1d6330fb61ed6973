// The editor's rules that need no window: parameter binding and its
// mailbox, hints, hit testing, text entry, knob arithmetic, value texts,
// font lookup and PNG decoding.
#include "tests/gui/GuiTestSupport.h"

#include "core/Parameters.h"
#include "core/Resources.h"
#include "core/Settings.h"
#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/GlyphAtlas.h"
#include "gui/Group.h"
#include "gui/TextField.h"
#include "gui/Texture.h"
#include "gui/ZephKnob.h"
#include "platform/FontLookup.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <png.h>
#include <thread>

using namespace guitest;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

// A manager for the real effect, with no window.
struct Headless {
    PrivateSettings settings;
    TestEffect effect;
    vst2::AEffEditor editor{&effect};
    QV::Manager manager{editor};
    Headless() { effect.manager.store(&manager); }
    ~Headless() { effect.manager.store(nullptr); }
};

// A control that records what it is told.
class RecordingControl : public QV::Control {
public:
    RecordingControl(int index, QV::Manager &m) : Control(index, m) {}
    void parameterChanged(const QV::ParameterDescriptor &d, float value) override {
        seen.push_back({d.index, value});
        Control::parameterChanged(d, value);
    }
    std::vector<std::pair<int, float>> seen;
};

TEST(ParameterBinding, ChangesReachOnlyBoundControlsAndOnlyUsedParameters) {
    Headless h;
    *h.manager.adjustParameter(4) = QV::ParameterDescriptor(); // minimum, maximum and default all 0
    h.manager.adjustParameter(4)->index = 4;
    EXPECT_EQ(h.manager.adjustParameter(16), nullptr);
    auto *unused = new RecordingControl(4, h.manager);
    auto *bound = new RecordingControl(2, h.manager);
    h.manager.queueParameterChange(4, 0.5f);
    h.manager.queueParameterChange(6, 0.5f); // nothing bound: dropped
    h.manager.queueParameterChange(2, 0.25f);
    h.manager.queueParameterChange(2, 0.5f); // the latest value wins
    h.manager.queueParameterChange(99, 1.f); // out of range: ignored
    h.manager.flushParameterChanges();
    EXPECT_TRUE(unused->seen.empty());
    ASSERT_EQ(bound->seen.size(), 1u);
    EXPECT_EQ(bound->seen[0], std::make_pair(2, 0.5f));
    h.manager.flushParameterChanges();
    EXPECT_EQ(bound->seen.size(), 1u) << "delivered once";
    h.manager.refreshAllControls();
    EXPECT_EQ(bound->seen.size(), 2u);
    EXPECT_TRUE(unused->seen.empty());
}

// Many producers (the host's threads), one consumer (the UI thread): every
// parameter ends at the last value written and never goes backwards.
TEST(ParameterBinding, MailboxStress) {
    std::vector<std::vector<float>> delivered(murmelo::kNumParameters);
    QV::ParameterBinding binding(
        [](void *user, QV::Control *, int index, float value) {
            (*static_cast<std::vector<std::vector<float>> *>(user))[std::size_t(index)].push_back(value);
        },
        &delivered);
    int dummy = 0;
    for (int i = 0; i < murmelo::kNumParameters; ++i) {
        QV::ParameterDescriptor d;
        d.index = i;
        d.maximum = 1;
        binding.bind(reinterpret_cast<QV::Control *>(&dummy), d);
    }
    constexpr int kProducers = 4, kPerProducer = 1000000;
    std::atomic<int> done{0};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            // Producer p owns parameters p, p + 4, p + 8, p + 12.
            for (int n = 1; n <= kPerProducer; ++n)
                binding.queue(p + 4 * (n % 4), float(n));
            done.fetch_add(1);
        });
    while (done.load() < kProducers)
        binding.flush();
    for (auto &t : producers)
        t.join();
    binding.flush();
    for (int i = 0; i < murmelo::kNumParameters; ++i) {
        const auto &values = delivered[std::size_t(i)];
        ASSERT_FALSE(values.empty());
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << "parameter " << i;
        const int last = kPerProducer - ((kPerProducer - i / 4) % 4 + 4) % 4;
        EXPECT_EQ(values.back(), float(last)) << "parameter " << i;
    }
}

TEST(Hints, DefaultsThenNewTextsGetLowerIdentifiers) {
    Headless h;
    EXPECT_EQ(h.manager.addHint("first"), -2) << "an empty table starts at -2";
    h.manager.loadDefaultHints();
    EXPECT_EQ(h.manager.hint(-2), QV::Manager::defaultHints()[0]);
    EXPECT_EQ(h.manager.addHint("second"), -3);
    EXPECT_EQ(h.manager.addHint("third"), -4);
    EXPECT_EQ(h.manager.addHint("second"), -3) << "an equal text keeps its identifier";
    EXPECT_EQ(h.manager.hint(-4), "third");
    EXPECT_EQ(h.manager.hint(-9), "");
}

TEST(Manager, ConstructionReadsTheFloatingTooltipPreference) {
    PrivateSettings settings;
    TestEffect effect;
    vst2::AEffEditor editor(&effect);
    ASSERT_TRUE(murmelo::writeSettingInt(murmelo::kSettingFloatingTooltip, 1));
    { QV::Manager m(editor); }
    EXPECT_TRUE(QV::Manager::floatingTooltip());
    ASSERT_TRUE(murmelo::writeSettingInt(murmelo::kSettingFloatingTooltip, 0));
    { QV::Manager m(editor); }
    EXPECT_FALSE(QV::Manager::floatingTooltip());
}

TEST(HitTesting, FirstChildWinsHiddenGroupsAreNeverHitGroupsOnlyWhileHovering) {
    Headless h;
    std::string log;
    auto *group = new QV::NamedGroup(h.manager, "G");
    h.manager.rootGroup().add(group);
    auto *a = new HoverProbe(h.manager, "a", {0, 0, 0, 20, 20, 0}, log);
    auto *b = new HoverProbe(h.manager, "b", {10, 0, 0, 30, 20, 0}, log);
    group->add(a);
    group->add(b);
    group->setOffset(100, 100);
    EXPECT_EQ(h.manager.rootGroup().hitTest({115, 110}), a) << "overlap: the first added wins";
    EXPECT_EQ(h.manager.rootGroup().hitTest({125, 110}), b);
    EXPECT_EQ(h.manager.rootGroup().hitTest({95, 110}), nullptr) << "presses never hit a group";
    group->setVisible(false);
    EXPECT_FALSE(a->isVisible());
    EXPECT_EQ(h.manager.rootGroup().hitTest({115, 110}), nullptr);
}

TEST(Hover, TheNewElementIsEnteredBeforeTheOldIsLeft) {
    Headless h;
    std::string log;
    auto *a = new HoverProbe(h.manager, "a", {0, 0, 0, 20, 20, 0}, log);
    auto *b = new HoverProbe(h.manager, "b", {21, 0, 0, 40, 20, 0}, log);
    h.manager.rootGroup().add(a);
    h.manager.rootGroup().add(b);
    h.manager.hover({5, 5});
    h.manager.hover({6, 6});
    h.manager.hover({30, 5});
    h.manager.hover({60, 5});
    EXPECT_EQ(log, "enter a; enter b; leave a; leave b; ");
    EXPECT_EQ(h.manager.hoveredElement(), nullptr);
}

TEST(KnobArithmetic, DragClampsSnapsAndRestarts) {
    Headless h;
    auto *knob = new QV::ZephKnob(7, h.manager, nullptr, "", 0, 0, 35); // Shape 0..4
    h.manager.rootGroup().add(knob);
    h.effect.setParameter(7, 0.5f);
    h.manager.flushParameterChanges();
    h.manager.mousePress({17, 17}, 0);
    EXPECT_EQ(h.manager.editedParameter(), 7);
    h.manager.mouseMotion({17, 37}, 0);
    EXPECT_FLOAT_EQ(h.effect.real(7), 0.6f * 4);
    h.manager.mouseMotion({17, 57}, QV::kModifierControl); // restart, then snap
    EXPECT_FLOAT_EQ(h.effect.real(7), 2.0f);
    h.manager.mouseMotion({17, 257}, QV::kModifierControl);
    EXPECT_FLOAT_EQ(h.effect.real(7), 4.0f) << "0.6 + 200 * 0.005 is clamped to 1";
    h.manager.mouseMotion({17, 100}, QV::kModifierControl);
    EXPECT_FLOAT_EQ(h.effect.real(7), 3.0f) << "0.6 + 43 * 0.005 = 0.815: 3.26, snapped to 3";
    h.manager.mouseRelease({17, 257}, 0);
    EXPECT_EQ(h.manager.editedParameter(), -1);
    EXPECT_EQ(h.effect.gestures(), "B7 A7 E7 B7 A7 E7");
}

TEST(KnobArithmetic, ControlSnapsHertzKnobsToWholeHertz) {
    Headless h;
    auto *knob = new QV::ZephKnob(3, h.manager, nullptr, "", 0, 0, 35); // Speed (fine), 0.5..20 Hz, logarithmic
    h.manager.rootGroup().add(knob);
    h.effect.setParameter(3, 0.4f);
    h.manager.flushParameterChanges();
    h.manager.mousePress({17, 17}, QV::kModifierControl);
    for (int dy = 10; dy <= 120; dy += 10) {
        h.manager.mouseMotion({17, 17.f + dy}, QV::kModifierControl);
        const float expected = std::floor(murmelo::toRealValue(3, 0.4f + dy * 0.005f) + 0.5f);
        EXPECT_FLOAT_EQ(h.effect.real(3), expected) << "dy " << dy;
        EXPECT_NEAR(knob->value(), murmelo::toNormalisedValue(3, expected), 1e-6f) << "dy " << dy;
    }
    h.manager.mouseMotion({17, -300}, QV::kModifierControl);
    EXPECT_FLOAT_EQ(h.effect.real(3), 1.0f) << "0.5 Hz rounds to 1: the lowest whole step";
    h.manager.mouseRelease({17, -300}, QV::kModifierControl);

    auto *lfo = new QV::ZephKnob(11, h.manager, nullptr, "", 50, 0, 35); // Speed LFO Speed, 0.05..20 Hz
    h.manager.rootGroup().add(lfo);
    h.effect.setParameter(11, 0.1f);
    h.manager.mousePress({67, 17}, QV::kModifierControl);
    h.manager.mouseMotion({67, 15}, QV::kModifierControl);
    EXPECT_FLOAT_EQ(h.effect.real(11), 0.05f) << "0 Hz is outside the range: its end instead";
    h.manager.mouseMotion({67, 300}, QV::kModifierControl);
    EXPECT_FLOAT_EQ(h.effect.real(11), 20.0f);
    h.manager.mouseRelease({67, 300}, QV::kModifierControl);
}

TEST(KnobArithmetic, DoubleClickResetsToTheDefault) {
    Headless h;
    h.manager.adjustParameter(8)->unit = murmelo::kUnitBoolean;        // Spread, 0..1, shown as a switch
    auto *dry = new QV::ZephKnob(0, h.manager, nullptr, "", 0, 0, 35); // Dry Level, default 0
    auto *toggle = new QV::ZephKnob(8, h.manager, nullptr, "", 50, 0, 35);
    auto *other = new QV::ZephKnob(1, h.manager, nullptr, "", 100, 0, 35); // Effect Level
    for (QV::ZephKnob *knob : {dry, toggle, other})
        h.manager.rootGroup().add(knob);
    auto click = [&](QV::Point p, unsigned long time, int button = 1) {
        h.manager.mousePress(p, 0, time, button);
        h.manager.mouseRelease(p, 0);
    };
    auto dryAfter = [&](const std::function<void()> &clicks) {
        h.effect.setParameter(0, 0.6f);
        clicks();
        return h.effect.real(0);
    };
    EXPECT_FLOAT_EQ(dryAfter([&] { click({17, 17}, 1000), click({19, 15}, 1390); }), 0.0f);
    EXPECT_FLOAT_EQ(dryAfter([&] { click({17, 17}, 5000), click({17, 17}, 5401); }), 0.6f) << "too slow";
    EXPECT_FLOAT_EQ(dryAfter([&] { click({17, 17}, 7000), click({17, 22}, 7100); }), 0.6f) << "too far";
    EXPECT_FLOAT_EQ(dryAfter([&] { click({17, 17}, 9000, 3), click({17, 17}, 9100); }), 0.6f) << "other button";
    EXPECT_FLOAT_EQ(dryAfter([&] { click({117, 17}, 11000), click({17, 17}, 11100); }), 0.6f) << "other knob";
    EXPECT_FLOAT_EQ(dryAfter([&] {
                        h.manager.mousePress({17, 17}, 0), h.manager.mouseRelease({17, 17}, 0);
                        h.manager.mousePress({17, 17}, 0), h.manager.mouseRelease({17, 17}, 0);
                    }),
                    0.6f)
        << "presses without a time";
    EXPECT_FLOAT_EQ(dryAfter([&] {
                        click({17, 17}, 0xFFFFFF00UL), click({17, 17}, 0x64UL);
                    }),
                    0.0f)
        << "across the wrap of the server's clock";
    // A drag followed by a quick press is no double click.
    EXPECT_FLOAT_EQ(dryAfter([&] {
                        h.manager.mousePress({17, 17}, 0, 20000, 1);
                        h.manager.mouseMotion({17, 37}, 0);
                        h.manager.mouseRelease({17, 37}, 0);
                        h.effect.setParameter(0, 0.6f);
                        click({17, 17}, 20200);
                    }),
                    0.6f);
    // The second press of a double click drags from the default.
    h.effect.setParameter(0, 0.6f);
    click({17, 17}, 30000);
    h.manager.mousePress({17, 17}, 0, 30200, 1);
    h.manager.mouseMotion({17, 37}, 0);
    h.manager.mouseRelease({17, 37}, 0);
    EXPECT_NEAR(h.effect.real(0), 0.1f, 1e-5f);
    // A switch toggles on every press, double click or not.
    h.effect.setParameter(8, 0.0f);
    click({67, 17}, 40000);
    click({67, 17}, 40100);
    click({67, 17}, 40200);
    EXPECT_FLOAT_EQ(h.effect.real(8), 1.0f);
}

TEST(TextEntry, AcceptsNumbersByTheRules) {
    Headless h;
    auto *field = new QV::TextField(3, h.manager, "", 0, 0, 40, 12); // Speed (fine), 0.5..20
    h.manager.rootGroup().add(field);
    const float before = h.effect.real(3);
    h.manager.mousePress({5, 5}, 0);
    h.manager.mouseRelease({5, 5}, 0);
    EXPECT_EQ(h.manager.focusedField(), field);
    EXPECT_FALSE(field->keyChar(13)) << "Return on an empty buffer changes nothing";
    EXPECT_EQ(h.effect.real(3), before);
    for (char c : std::string("1-2..5a"))
        field->keyChar(c);
    EXPECT_EQ(field->typedText(), "12.5") << "a '-' after a digit, a second '.' and letters are ignored";
    EXPECT_TRUE(field->keyChar(8));
    EXPECT_EQ(field->typedText(), "12.");
    field->keyChar('5');
    h.effect.clearCalls();
    EXPECT_TRUE(field->keyChar(13));
    EXPECT_FLOAT_EQ(h.effect.real(3), 12.5f);
    EXPECT_EQ(h.effect.gestures(), "B3 A3 E3");
    EXPECT_FALSE(field->isEditing());
    // A leading minus; at most 15 characters.
    for (char c : std::string("-1234567890123456789"))
        field->keyChar(c);
    EXPECT_EQ(field->typedText(), "-12345678901234");
    // Another press ends editing without setting anything.
    h.manager.mousePress({500, 500}, 0);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(h.manager.focusedField(), nullptr);
    EXPECT_FLOAT_EQ(h.effect.real(3), 12.5f);
}

TEST(TextEntry, ValueTextsUseTheFormatOrTheDisplayTextCutToSixteen) {
    TestEffect effect;
    char out[QV::TextField::kBufferSize];
    QV::TextField::formatValue("%.2f", &effect, 3, 12.345f, out);
    EXPECT_STREQ(out, "12.35");
    effect.setParameter(7, 0.25f); // Shape 1: "Saw Up"
    char display[64];
    effect.getParameterDisplay(7, display);
    QV::TextField::formatValue("", &effect, 7, 1.f, out);
    EXPECT_STREQ(out, display);
    QV::TextField::formatValue("%.10f seconds", &effect, 3, 0.25f, out);
    EXPECT_STREQ(out, "0.2500000000 se") << "cut to 15 characters and the terminator";
    // A layout script's format that would read a string is not used.
    EXPECT_FALSE(QV::TextField::isFloatFormat("%s"));
    EXPECT_FALSE(QV::TextField::isFloatFormat("%f %f"));
    EXPECT_FALSE(QV::TextField::isFloatFormat("%n"));
    EXPECT_TRUE(QV::TextField::isFloatFormat("%+08.3lf Hz (100%%)"));
    QV::TextField::formatValue("%s", &effect, 7, 1.f, out);
    EXPECT_STREQ(out, display);
}

TEST(Fonts, LookupOrder) {
    EXPECT_EQ(QV::resolveFontName(""), "");
    const std::string liberation = platform::findFontFile("arial.ttf");
    ASSERT_NE(liberation, "") << "Arial or an installed stand-in (fonts-liberation through fontconfig)";
    EXPECT_EQ(QV::resolveFontName(liberation), liberation) << "a readable path is used as it is";
    EXPECT_EQ(platform::findFontFile("nosuchfamily.ttf"), "") << "a generic fallback does not count";
    EXPECT_EQ(platform::fontFamilyOf("C:\\fonts\\tahoma.ttf"), "tahoma");
    TempDir windir;
    testing_support::makeFolders(windir.file("fonts"));
    std::error_code error;
    ASSERT_TRUE(std::filesystem::copy_file(std::filesystem::u8path(liberation),
                                           std::filesystem::u8path(windir.file("fonts/special.ttf")), error))
        << error.message();
    {
        ScopedEnv env("WINDIR", windir.path());
        EXPECT_EQ(QV::resolveFontName("special.ttf"), windir.file("fonts/special.ttf"));
    }
    EXPECT_EQ(QV::resolveFontName("special.ttf"), "");
}

TEST(Fonts, TheFirstCandidateThatLoadsWins) {
    TempDir dir;
    std::FILE *f = std::fopen(dir.file("broken.ttf").c_str(), "w");
    std::fputs("not a font", f);
    std::fclose(f);
    testing::internal::CaptureStderr();
    auto font = QV::loadFont({{"", 20}, {"nosuchfamily.ttf", 20}, {dir.file("broken.ttf"), 20}, {"arial.ttf", 12}});
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(font);
    EXPECT_EQ(font->size(), 12);
    EXPECT_EQ(errors, "Error: Unable to load font: " + dir.file("broken.ttf") + "\n");
    EXPECT_FALSE(QV::loadFont({{"nosuchfamily.ttf", 12}}));
}

TEST(Fonts, TheBuiltInFontAndWhenTheFallbackIsUsed) {
    const murmelo::DataBuffer bytes = murmelo::loadResource(murmelo::kResourceFallbackFont);
    ASSERT_GT(bytes.length(), 10000u);
    auto font = QV::Font::openMemory(bytes.data(), bytes.length(), QV::kBuiltInFontName, 12);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->file(), QV::kBuiltInFontName);
    font->preloadGlyphs();
    EXPECT_EQ(font->glyphCount(), 94) << "every printable character but the space has a glyph";
    EXPECT_GT(font->textWidth("Speed"), 20.f);
    EXPECT_GT(font->lineHeight(), 10.f);
    const unsigned char junk[] = "not a font";
    EXPECT_FALSE(QV::Font::openMemory(junk, sizeof(junk), "junk", 12));
    EXPECT_FALSE(QV::Font::openMemory(nullptr, 0, "nothing", 12));

    testing::internal::CaptureStderr();
    EXPECT_FALSE(QV::loadFontOrFallback({})) << "a layout that asks for no font gets none";
    auto found = QV::loadFontOrFallback({{"nosuchfamily.ttf", 20}, {"arial.ttf", 11}});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "an installed candidate needs no word";
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), 11);
}

TEST(Fonts, MetricsAndTheGlyphTexture) {
    for (int size : {9, 10, 11, 12, 14, 48}) {
        auto font = testFont(size);
        ASSERT_TRUE(font);
        EXPECT_NEAR(font->lineHeight(), size * 1.15f, size * 0.15f) << size;
        EXPECT_LT(font->descender(), 0.f);
        EXPECT_GT(font->textWidth("Speed"), font->textWidth("Sp"));
        EXPECT_NEAR(font->textWidth("iiii"), 4 * font->textWidth("i"), 0.01f) << "half the advance of the 2x face";
        font->preloadGlyphs();
        EXPECT_EQ(font->glyphCount(), 95 - 1) << "all printable characters but the blank space, in one texture";
        EXPECT_LE(font->atlasHeight(), QV::GlyphAtlas::kMaxHeight);
    }
}

TEST(GlyphAtlas, PacksWithoutOverlapAndGrows) {
    QV::GlyphAtlas atlas(100);
    EXPECT_EQ(atlas.width(), 128);
    std::vector<unsigned char> glyph(20 * 30, 255);
    std::vector<std::pair<int, int>> at;
    for (int i = 0; i < 40; ++i) {
        int x, y;
        ASSERT_TRUE(atlas.add(glyph.data(), 20, 30, 20, x, y));
        for (const auto &p : at)
            EXPECT_TRUE(x + 20 < p.first || p.first + 20 < x || y + 30 < p.second || p.second + 30 < y);
        at.push_back({x, y});
    }
    EXPECT_GE(atlas.height(), 256);
    int x, y;
    EXPECT_FALSE(atlas.add(glyph.data(), 200, 1, 200, x, y)) << "wider than the texture";
}

// Writes a PNG of the given kind.
std::string writePng(const TempDir &dir, const char *name, int width, int height, int colourType, int depth) {
    const std::string path = dir.file(name);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(std::size_t(width) * 8, 0x80);
    for (int y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return path;
}

TEST(Png, OnlyPowerOfTwoEightBitRgbOrRgbaImagesAreTextures) {
    TempDir dir;
    struct Case {
        const char *name;
        int w, h, type, depth;
        bool usable;
    } cases[] = {
        {"rgba.png", 128, 64, PNG_COLOR_TYPE_RGBA, 8, true}, {"rgb.png", 32, 256, PNG_COLOR_TYPE_RGB, 8, true},
        {"odd.png", 100, 64, PNG_COLOR_TYPE_RGBA, 8, false}, {"deep.png", 64, 64, PNG_COLOR_TYPE_RGB, 16, false},
        {"grey.png", 64, 64, PNG_COLOR_TYPE_GRAY, 8, false},
    };
    for (const Case &c : cases) {
        const murmelo::DataBuffer bytes = murmelo::readFile(writePng(dir, c.name, c.w, c.h, c.type, c.depth));
        QV::PngImage image;
        ASSERT_TRUE(image.decode(bytes.data(), bytes.length())) << c.name;
        EXPECT_EQ(image.width, c.w);
        EXPECT_EQ(image.height, c.h);
        EXPECT_EQ(image.usableAsTexture(), c.usable) << c.name;
    }
    const murmelo::DataBuffer good = murmelo::readFile(dir.file("rgba.png"));
    QV::PngImage image;
    EXPECT_FALSE(image.decode(good.data(), good.length() / 2)) << "a truncated file";
    EXPECT_FALSE(image.decode(reinterpret_cast<const unsigned char *>("not a png at all"), 16));
    EXPECT_FALSE(image.decode(nullptr, 0));
}

} // namespace

namespace {

TEST(BadInput, ControlsForParametersOutsideTheTableAreInert) {
    Headless h;
    auto *knob = new QV::ZephKnob(99, h.manager, nullptr, "", 0, 0, 35);
    auto *field = new QV::TextField(-1, h.manager, "", 50, 0, 40, 12);
    h.manager.rootGroup().add(knob);
    h.manager.rootGroup().add(field);
    h.manager.rootGroup().add(nullptr);
    h.manager.mousePress({17, 17}, QV::kModifierAlt);
    h.manager.mouseMotion({17, 60}, 0);
    h.manager.mouseRelease({17, 60}, 0);
    h.manager.mousePress({60, 5}, 0);
    h.manager.mouseRelease({60, 5}, 0);
    for (char c : std::string("12\r"))
        field->keyChar(c);
    EXPECT_EQ(h.effect.gestures(), "") << "nothing reaches the host";
    char out[QV::TextField::kBufferSize];
    QV::TextField::formatValue("", &h.effect, -1, 0, out);
    EXPECT_STREQ(out, "");
}

} // namespace
