// The editor driven by real X input (XTest): drags, modifiers, clicks,
// typing, hover and focus, and what the host hears about them.
#include "tests/gui/GuiTestSupport.h"

#include "core/Parameters.h"
#include "gui/Button.h"
#include "gui/Group.h"
#include "gui/TextField.h"
#include "gui/ZephKnob.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace guitest;

namespace {

class EditorInput : public testing::Test {
protected:
    void SetUp() override { e = std::make_unique<OpenEditor>(screen); }
    // The standard tree, opened.
    void open() {
        t = &e->buildStandardTree();
        ASSERT_TRUE(e->open());
    }
    // Sets a parameter the way a host does and lets the editor catch up.
    void hostSets(int index, float normalised) {
        e->effect.setParameter(index, normalised);
        e->pump(10);
        e->effect.clearCalls();
    }

    HostScreen screen;
    std::unique_ptr<OpenEditor> e;
    StandardTree *t = nullptr;
};

TEST_F(EditorInput, DraggingAKnobUpRaisesItsParameterAndTellsTheHost) {
    open();
    hostSets(1, 0.2f);
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    e->drag(c.x, c.y, c.x + 7, c.y + 40); // horizontal motion is ignored
    EXPECT_NEAR(e->effect.normalised(1), 0.2f + 40 * 0.005f, 0.006f);
    EXPECT_EQ(e->effect.gestures(), "B1 A1 E1");
    EXPECT_GE(e->effect.count(vst2::audioMasterUpdateDisplay), 1);
    EXPECT_FALSE(e->manager->isTracking());
    EXPECT_EQ(e->manager->editedParameter(), -1);
    // The knob follows: its value came back through the editor notification.
    EXPECT_NEAR(t->effectKnob->value(), 0.4f, 0.006f);
}

TEST_F(EditorInput, ShiftDragsATenthAsFast) {
    open();
    hostSets(1, 0.2f);
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    screen.key(kKeyShift, true);
    e->drag(c.x, c.y, c.x, c.y + 40);
    screen.key(kKeyShift, false);
    EXPECT_NEAR(e->effect.normalised(1), 0.2f + 40 * 0.0005f, 0.001f);
}

TEST_F(EditorInput, KnobsStopAtTheirEnds) {
    open();
    hostSets(1, 0.9f);
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    e->drag(c.x, c.y, c.x, c.y + 100);
    EXPECT_FLOAT_EQ(e->effect.normalised(1), 1.0f);
    e->drag(c.x, c.y, c.x, c.y - 250);
    EXPECT_FLOAT_EQ(e->effect.normalised(1), 0.0f);
}

TEST_F(EditorInput, ControlSnapsToWholeValues) {
    open();
    hostSets(7, 1.3f / 4); // Shape, 0..4
    const QV::Point c = OpenEditor::centreOf(*t->shapeKnob);
    screen.key(kKeyControl, true);
    e->drag(c.x, c.y, c.x, c.y + 30);
    screen.key(kKeyControl, false);
    EXPECT_FLOAT_EQ(e->effect.real(7), 2.0f) << "1.3 + 30 * 0.005 * 4 = 1.9, snapped to 2";
}

TEST_F(EditorInput, ControlDragsAHertzKnobInWholeHertz) {
    open();
    hostSets(3, 0.5f); // Speed (fine), 0.5..20 Hz on a logarithmic scale
    const QV::Point c = OpenEditor::centreOf(*t->speedKnob);
    screen.key(kKeyControl, true);
    e->press(c.x, c.y);
    for (int dy : {15, 30, 45, 60}) {
        e->moveTo(c.x, c.y + dy);
        const float hz = e->effect.real(3);
        EXPECT_FLOAT_EQ(hz, std::floor(murmelo::toRealValue(3, 0.5f + dy * 0.005f) + 0.5f)) << "dy " << dy;
    }
    e->release();
    screen.key(kKeyControl, false);
}

TEST_F(EditorInput, DoubleClickResetsToTheDefaultLikeAltClick) {
    open();
    hostSets(0, 0.6f); // Dry Level, default 0
    const QV::Point c = OpenEditor::centreOf(*t->dryKnob);
    e->press(c.x, c.y);
    e->release();
    EXPECT_FLOAT_EQ(e->effect.real(0), 0.6f) << "one click changes nothing";
    e->press(c.x, c.y);
    EXPECT_FLOAT_EQ(e->effect.real(0), 0.0f);
    e->moveTo(c.x, c.y + 20);
    e->release();
    EXPECT_NEAR(e->effect.real(0), 0.1f, 0.006f) << "the drag starts from the default";
    EXPECT_EQ(e->effect.gestures(), "B0 E0 A0 B0 A0 E0");
    // Two clicks with a pause between them are two clicks.
    hostSets(0, 0.6f);
    e->press(c.x, c.y);
    e->release();
    e->pump(500);
    e->press(c.x, c.y);
    e->release();
    EXPECT_FLOAT_EQ(e->effect.real(0), 0.6f);
}

TEST_F(EditorInput, AltResetsToTheDefaultAndTheDragStartsThere) {
    open();
    hostSets(0, 0.6f); // Dry Level, default 0
    const QV::Point c = OpenEditor::centreOf(*t->dryKnob);
    screen.key(kKeyAlt, true);
    e->press(c.x, c.y);
    EXPECT_FLOAT_EQ(e->effect.real(0), 0.0f);
    e->moveTo(c.x, c.y + 20);
    e->release();
    screen.key(kKeyAlt, false);
    EXPECT_NEAR(e->effect.real(0), 0.1f, 0.006f);
    EXPECT_EQ(e->effect.gestures(), "A0 B0 A0 E0");
}

TEST_F(EditorInput, ASteppedZeroToOneKnobTogglesOnEveryPress) {
    e->manager->adjustParameter(8)->unit = murmelo::kUnitBoolean; // Spread, 0..1, shown as a switch
    open();
    ASSERT_TRUE(t->spreadKnob->isStepped());
    hostSets(8, 0.0f);
    const QV::Point c = OpenEditor::centreOf(*t->spreadKnob);
    e->press(c.x, c.y);
    EXPECT_FLOAT_EQ(e->effect.real(8), 1.0f);
    e->release();
    e->press(c.x, c.y);
    EXPECT_FLOAT_EQ(e->effect.real(8), 0.0f);
    e->release();
    // A drag after the toggle moves from the toggled value, in whole steps.
    e->press(c.x, c.y);
    EXPECT_FLOAT_EQ(e->effect.real(8), 1.0f);
    e->moveTo(c.x, c.y - 90); // 1 - 0.45: still rounds to 1
    EXPECT_FLOAT_EQ(e->effect.real(8), 1.0f);
    e->moveTo(c.x, c.y - 120); // 1 - 0.6: rounds to 0
    EXPECT_FLOAT_EQ(e->effect.real(8), 0.0f);
    e->release();
}

TEST_F(EditorInput, TypingANumberIntoAFieldSetsTheParameter) {
    open();
    const QV::Point c = OpenEditor::centreOf(*t->speedField);
    e->press(c.x, c.y + 5); // the field itself, above its label
    e->release();
    EXPECT_EQ(e->manager->focusedField(), t->speedField);
    e->effect.clearCalls();
    for (Key key : {'1', '2', '.', '5'})
        e->typeKey(key);
    EXPECT_EQ(t->speedField->typedText(), "12.5");
    EXPECT_TRUE(t->speedField->isEditing());
    e->typeKey(kKeyReturn);
    EXPECT_FLOAT_EQ(e->effect.real(3), 12.5f);
    EXPECT_EQ(e->effect.gestures(), "B3 A3 E3");
    EXPECT_FALSE(t->speedField->isEditing());
}

TEST_F(EditorInput, ATypedNumberBeyondTheRangeStoresTheNearestEnd) {
    open();
    auto typeInto = [&](QV::TextField *field, std::initializer_list<Key> keys) {
        const QV::Point c = OpenEditor::centreOf(*field);
        e->press(c.x, c.y + 5);
        e->release();
        e->effect.clearCalls();
        for (Key key : keys)
            e->typeKey(key);
        e->typeKey(kKeyReturn);
    };
    typeInto(t->effectField, {'5', '0', '0'}); // Effect Level, 0..1
    EXPECT_FLOAT_EQ(e->effect.real(1), 1.f);
    EXPECT_EQ(e->effect.gestures(), "B1 A1 E1");
    for (const HostCall &call : e->effect.calls())
        EXPECT_TRUE(call.opcode != vst2::audioMasterAutomate || call.opt == 1.f) << "the host hears 1, not 500";
    typeInto(t->plainField, {'-', '5'}); // Depth (fine), 0..10
    EXPECT_FLOAT_EQ(e->effect.real(5), 0.f);
    typeInto(t->speedField, {'9', '9'}); // Speed (fine), 0.5..20 Hz
    EXPECT_FLOAT_EQ(e->effect.real(3), 20.f);
    EXPECT_FLOAT_EQ(e->effect.normalised(3), 1.f);
}

TEST_F(EditorInput, ClosingTheEditorMidDragEndsTheHostsGesture) {
    open();
    hostSets(1, 0.2f);
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    e->press(c.x, c.y);
    e->moveTo(c.x, c.y + 20);
    ASSERT_TRUE(e->manager->isTracking());
    EXPECT_EQ(e->effect.gestures(), "B1 A1");
    e->close();
    screen.button(1, false);
    EXPECT_EQ(e->effect.gestures(), "B1 A1 E1");
}

TEST_F(EditorInput, LosingTheKeyboardFocusEndsEditing) {
    open();
    const QV::Point c = OpenEditor::centreOf(*t->plainField);
    e->press(c.x, c.y);
    e->release();
    e->typeKey('7');
    ASSERT_TRUE(t->plainField->isEditing());
    screen.focusWindow(e->hostWindow);
    e->pump();
    EXPECT_FALSE(t->plainField->isEditing());
    EXPECT_EQ(e->manager->focusedField(), nullptr);
}

TEST_F(EditorInput, AModifierChangeMidDragRestartsTheDrag) {
    open();
    hostSets(1, 0.2f);
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    e->press(c.x, c.y);
    e->moveTo(c.x, c.y + 20);
    EXPECT_NEAR(e->effect.normalised(1), 0.3f, 0.006f);
    screen.key(kKeyShift, true);
    e->moveTo(c.x, c.y + 40); // restarts here: no jump
    EXPECT_NEAR(e->effect.normalised(1), 0.3f, 0.006f);
    e->moveTo(c.x, c.y + 60); // now fine: 20 * 0.0005
    e->release();
    screen.key(kKeyShift, false);
    EXPECT_NEAR(e->effect.normalised(1), 0.31f, 0.006f);
    EXPECT_EQ(e->effect.gestures(), "B1 A1 E1 B1 A1 E1");
}

TEST_F(EditorInput, RightAndMiddleButtonsDragLikeTheLeft) {
    open();
    const QV::Point c = OpenEditor::centreOf(*t->effectKnob);
    for (int button : {3, 2}) {
        hostSets(1, 0.2f);
        e->drag(c.x, c.y, c.x, c.y + 40, button);
        EXPECT_NEAR(e->effect.normalised(1), 0.4f, 0.006f) << "button " << button;
    }
}

TEST_F(EditorInput, APressOnNothingDoesNothing) {
    open();
    e->effect.clearCalls();
    const QV::Box g = t->speedGroup->windowBounds();
    e->press(g.minX + 3, g.centreY()); // inside the outline, away from controls
    EXPECT_FALSE(e->manager->isTracking());
    e->release();
    e->press(300, 60);
    e->release();
    EXPECT_TRUE(e->effect.calls().empty());
}

TEST_F(EditorInput, ButtonsCallBackWhenReleased) {
    open();
    const QV::Point c = OpenEditor::centreOf(*t->prefsButton);
    e->press(c.x, c.y);
    EXPECT_EQ(t->buttonPresses.load(), 0);
    e->release();
    EXPECT_EQ(t->buttonPresses.load(), 1);
}

TEST_F(EditorInput, HoveringANamedGroupAwayFromItsControlsLightsItsOutline) {
    open();
    const QV::Box g = t->speedGroup->windowBounds();
    e->moveTo(g.minX + 3, g.centreY());
    EXPECT_EQ(e->manager->hoveredElement(), t->speedGroup);
    ASSERT_TRUE(e->waitFrames(25));
    const QV::Colour active = QV::Manager::groupActiveColour().load();
    EXPECT_NEAR(t->speedGroup->currentColour().b, active.b, 0.02f);
    const Image image = e->grab();
    const Rgb lit = blend(active.r, active.g, active.b, active.a, rgb(0.5f, 0.1f, 0.1f));
    bool found = false;
    for (int dx = -1; dx <= 1; ++dx)
        found |= nearColour(image.at(int(g.minX) + dx, int(g.centreY()) + 10), lit, 10);
    EXPECT_TRUE(found) << "the outline shows the active colour";
    // Onto a knob inside: the knob is hovered, the group stays lit.
    const QV::Point k = OpenEditor::centreOf(*t->speedKnob);
    e->moveTo(k.x, k.y);
    EXPECT_EQ(e->manager->hoveredElement(), t->speedKnob);
    e->moveTo(300, 60);
    EXPECT_EQ(e->manager->hoveredElement(), nullptr);
    ASSERT_TRUE(e->waitFrames(25));
    EXPECT_NEAR(t->speedGroup->currentColour().b, QV::Manager::groupInactiveColour().load().b, 0.02f);
}

TEST_F(EditorInput, TheFloatingTooltipFadesInAndOut) {
    QV::Manager::setFloatingTooltip(true);
    open();
    const QV::Point c = OpenEditor::centreOf(*t->speedKnob);
    e->moveTo(c.x, c.y);
    ASSERT_TRUE(e->waitFrames(4));
    const float early = e->manager->tooltipAlpha();
    EXPECT_GT(early, 0.1f);
    EXPECT_LT(early, 0.9f) << "fades in over a few frames";
    ASSERT_TRUE(e->waitFrames(20));
    EXPECT_GT(e->manager->tooltipAlpha(), 0.95f);
    const Image image = e->grab();
    EXPECT_GT(image.countDifferent(int(c.x) - 30, int(c.y), int(c.x) + 30, int(c.y) + 14, rgb(0.5f, 0.1f, 0.1f), 30),
              50)
        << "the tooltip box is drawn at the knob";
    e->moveTo(300, 60);
    EXPECT_TRUE(e->pumpUntil([&] { return e->manager->tooltipAlpha() == 0.f; }, 10000));
    QV::Manager::setFloatingTooltip(false);
}

} // namespace

namespace {

TEST_F(EditorInput, MovingOntoAnotherControlEntersItBeforeLeavingTheOld) {
    std::string log;
    e->manager->rootGroup().add(new HoverProbe(*e->manager, "a", {100, 100, 0, 140, 140, 0}, log));
    e->manager->rootGroup().add(new HoverProbe(*e->manager, "b", {141, 100, 0, 180, 140, 0}, log));
    ASSERT_TRUE(e->open());
    e->moveTo(120, 120);
    e->moveTo(160, 120);
    e->moveTo(300, 20);
    EXPECT_EQ(log, "enter a; enter b; leave a; leave b; ");
}

} // namespace
