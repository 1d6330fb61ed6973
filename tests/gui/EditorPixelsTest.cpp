// The editor as it looks: a C++ element tree opened in a host window under
// the X server, pixels read back from the screen.
#include "tests/gui/GuiTestSupport.h"

#include "gui/Button.h"
#include "gui/Group.h"
#include "gui/TextField.h"
#include "gui/ZephKnob.h"
#include "gui/ZephKnobRenderer.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace guitest;

namespace {

const Rgb kBackground = rgb(0.5f, 0.1f, 0.1f);

// The knob's centre and radius in window coordinates.
struct KnobGeometry {
    float cx, cy, r;
};
KnobGeometry geometryOf(const QV::ZephKnob &knob) {
    const QV::Box b = knob.windowBounds();
    return {b.centreX(), b.centreY(), b.maxX - b.centreX()};
}

// The pixel 80 % of the radius out from the centre at angle degrees (0 up,
// clockwise).
Rgb alongPointer(const Image &image, const KnobGeometry &k, double degrees) {
    const double a = degrees * std::acos(-1.0) / 180; // M_PI is not standard C++
    return image.at(int(k.cx + 0.8 * k.r * std::sin(a)), int(k.cy + 0.8 * k.r * std::cos(a)));
}

// Whether a pixel matching colour lies within one pixel of (x, y).
bool colourNear(const Image &image, int x, int y, Rgb colour, int tolerance) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (nearColour(image.at(x + dx, y + dy), colour, tolerance)) return true;
    return false;
}

class EditorPixels : public testing::Test {
protected:
    HostScreen screen;
};

TEST_F(EditorPixels, BackgroundGroupOutlineAndLabelsShow) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const Image image = e.grab();
    EXPECT_TRUE(nearColour(image.at(300, 60), kBackground, 3)) << "an empty spot shows the background colour";
    EXPECT_TRUE(nearColour(image.at(505, 5), kBackground, 3));

    // The named group's outline: the inactive colour blended over the background.
    const QV::Box g = t.speedGroup->windowBounds();
    const Rgb outline = blend(0.5f, 0.5f, 0.5f, 0.5f, kBackground);
    EXPECT_TRUE(colourNear(image, int(g.minX), int(g.centreY()), outline, 10)) << "left edge";
    EXPECT_TRUE(colourNear(image, int(g.centreX()), int(g.minY), outline, 10)) << "bottom edge";

    // Labels below the fields: light text in the 10 pixels under the field.
    const QV::Box f = t.speedField->windowBounds(); // includes the label space
    EXPECT_GT(image.countDifferent(int(f.minX), int(f.minY) - 4, int(f.maxX), int(f.minY) + 10, kBackground, 40), 8)
        << "the label \"Fine\" is drawn below its field";
    // The plain field has no label: nothing under it.
    const QV::Box p = t.plainField->windowBounds();
    EXPECT_EQ(image.countDifferent(int(p.minX) + 2, int(p.minY) - 10, int(p.maxX) - 2, int(p.minY) - 2, kBackground, 3),
              0);
    // The field itself: its light fill.
    const QV::Box s = t.speedField->windowBounds();
    EXPECT_TRUE(nearColour(image.at(int(s.minX) + 2, int(s.maxY) - 2), rgb(0.8f, 0.8f, 0.85f), 4));
}

TEST_F(EditorPixels, KnobPointerFollowsTheValue) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const KnobGeometry k = geometryOf(*t.speedKnob);
    const double angles[3] = {-135, 0, 135};
    for (int i = 0; i < 3; ++i) {
        // The host's automation road: setParameter, queued, delivered at idle.
        e.effect.setParameter(3, 0.5f * i);
        e.pump(20);
        ASSERT_TRUE(e.waitFrames(3));
        const Image image = e.grab();
        for (int j = 0; j < 3; ++j) {
            const Rgb pixel = alongPointer(image, k, angles[j]);
            if (i == j)
                EXPECT_FALSE(nearColour(pixel, kBackground, 30)) << "value " << 0.5 * i << ": pointer at " << angles[j];
            else
                EXPECT_TRUE(nearColour(pixel, kBackground, 12)) << "value " << 0.5 * i << ": nothing at " << angles[j];
        }
    }
    EXPECT_NEAR(t.renderer->angle(t.speedKnob->rendererEntry()), 2.356194f, 1e-5f);
}

TEST_F(EditorPixels, KnobColoursFollowTheUnitCode) {
    // Unlit, the centre of a knob shows exactly its colour.
    testing_support::ScopedEnv disable("MURMELO_GL_DISABLE", "arbvp");
    OpenEditor e(screen);
    const int units[5] = {murmelo::kUnitBoolean, murmelo::kUnitMilliseconds, 11, 14, 10};
    for (int k = 0; k < 5; ++k)
        e.manager->adjustParameter(9 + k)->unit = units[k];
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    EXPECT_EQ(t.renderer->programName(), 0u) << "without ARB vertex programs the knobs are drawn unlit";
    const Image image = e.grab();
    const Rgb expected[5] = {rgb(0.7f, 0.7f, 0.8f), rgb(0.8f, 0.1f, 0.9f), rgb(0.1f, 0.6f, 0.3f), rgb(1.0f, 0.2f, 0.2f),
                             rgb(0.0f, 0.5f, 1.0f)};
    for (int k = 0; k < 5; ++k) {
        const KnobGeometry g = geometryOf(*t.unitKnobs[k]);
        EXPECT_TRUE(nearColour(image.at(int(g.cx), int(g.cy)), expected[k], 8)) << "unit " << units[k];
    }
    EXPECT_TRUE(t.unitKnobs[4]->isStepped()) << "relative semitones step the knob";
    const KnobGeometry hertz = geometryOf(*t.speedKnob), other = geometryOf(*t.effectKnob);
    EXPECT_TRUE(nearColour(image.at(int(hertz.cx), int(hertz.cy)), rgb(0.2f, 0.7f, 0.9f), 8));
    EXPECT_TRUE(nearColour(image.at(int(other.cx), int(other.cy)), rgb(1.0f, 0.6f, 0.0f), 8));
}

TEST_F(EditorPixels, LitKnobsKeepTheirHue) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(e.open());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.find("error at position"), std::string::npos) << printed;
    EXPECT_NE(t.renderer->programName(), 0u) << "the knob vertex program is in use";
    const Image image = e.grab();
    const KnobGeometry hertz = geometryOf(*t.speedKnob), other = geometryOf(*t.effectKnob);
    const Rgb h = image.at(int(hertz.cx), int(hertz.cy)), o = image.at(int(other.cx), int(other.cy));
    EXPECT_GT(h.b, h.r + 60) << "hertz knobs are cyan";
    EXPECT_GT(o.r, o.b + 60) << "other knobs are orange";
    EXPECT_GE(o.r, o.g);
}

TEST_F(EditorPixels, BannerShowsTheHoveredParameter) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const int infoX = OpenEditor::kWidth / 2 + 15;
    auto bannerInk = [&](const Image &image) {
        const Rgb banner = blend(0.9f, 0.9f, 0.9f, 0.1f, kBackground);
        return image.countDifferent(infoX, 236, OpenEditor::kWidth - 20, 250, banner, 20);
    };
    EXPECT_EQ(bannerInk(e.grab()), 0) << "nothing hovered, nothing in the banner";
    const QV::Point c = OpenEditor::centreOf(*t.speedKnob);
    e.moveTo(c.x, c.y);
    EXPECT_EQ(e.manager->hoveredParameter(), 3);
    ASSERT_TRUE(e.waitFrames(3));
    EXPECT_GT(bannerInk(e.grab()), 40) << "the parameter line is drawn";
    e.moveTo(300, 60);
    EXPECT_EQ(e.manager->hoveredParameter(), -1);
    ASSERT_TRUE(e.waitFrames(3));
    EXPECT_EQ(bannerInk(e.grab()), 0);
    // A button shows its hint instead.
    const QV::Point b = OpenEditor::centreOf(*t.prefsButton);
    e.moveTo(b.x, b.y);
    EXPECT_EQ(e.manager->hoveredParameter(), -2);
    ASSERT_TRUE(e.waitFrames(3));
    EXPECT_GT(bannerInk(e.grab()), 40) << "the hint is drawn";
}

} // namespace

namespace {

TEST_F(EditorPixels, HiddenGroupsVanishWithTheirKnobsAndFields) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const QV::Box g = t.speedGroup->windowBounds();
    auto ink = [&] {
        return e.grab().countDifferent(int(g.minX) + 2, int(g.minY) + 2, int(g.maxX) - 2, int(g.maxY) - 2, kBackground,
                                       12);
    };
    EXPECT_GT(ink(), 500);
    t.speedGroup->setVisible(false);
    e.manager->requestLabelRedraw();
    ASSERT_TRUE(e.waitFrames(3));
    EXPECT_EQ(ink(), 0) << "no outline, knob, field or label of the hidden group";
    const QV::Point k = OpenEditor::centreOf(*t.speedKnob);
    e.press(k.x, k.y);
    EXPECT_FALSE(e.manager->isTracking()) << "hidden knobs are not hit";
    e.release();
}

TEST_F(EditorPixels, TheInfoDisplayShowsTheLiveValues) {
    OpenEditor e(screen);
    e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const Image before = e.grab();
    e.effect.display().speedHz.store(12.3456f);
    e.effect.display().sweepMs.store(7.5f);
    ASSERT_TRUE(e.waitFrames(3));
    const Image after = e.grab();
    int changedSpeed = 0, changedDepth = 0;
    for (int y = 200; y < 220; ++y)
        for (int x0 = 20; x0 < 300; ++x0) {
            const bool changed = !nearColour(before.at(x0, y), after.at(x0, y), 20);
            (x0 < 185 ? changedSpeed : changedDepth) += changed;
        }
    EXPECT_GT(changedSpeed, 10) << "\"Speed: 12.3456Hz\"";
    EXPECT_GT(changedDepth, 10) << "\"Depth: 7.50ms\"";
}

} // namespace

namespace {

// The second light hovers over the control under the pointer: a knob is
// brighter while it is hovered than while the pointer is far away.
TEST_F(EditorPixels, TheLightFollowsTheHoveredControl) {
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    const QV::Point knob = OpenEditor::centreOf(*t.effectKnob), far = OpenEditor::centreOf(*t.prefsButton);
    auto greenAtKnob = [&] { return e.grab().at(int(knob.x), int(knob.y)).g; };
    e.moveTo(far.x, far.y);
    ASSERT_TRUE(e.waitFrames(40)); // the light moves a tenth of the way per frame
    const int away = greenAtKnob();
    e.moveTo(knob.x, knob.y);
    ASSERT_TRUE(e.waitFrames(40));
    const int over = greenAtKnob();
    EXPECT_GT(over, away + 60) << "lit from above while hovered (" << over << " against " << away << ")";
}

} // namespace
