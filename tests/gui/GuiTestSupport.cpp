#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/Group.h"
#include "gui/InfoDisplay.h"
#include "gui/TextField.h"
#include "gui/ZephKnob.h"
#include "gui/ZephKnobRenderer.h"

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

namespace guitest {

namespace {

std::mutex effectsLock;
std::map<vst2::AEffect *, TestEffect *> &liveEffects() {
    static std::map<vst2::AEffect *, TestEffect *> effects;
    return effects;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

// ---- TestEffect ----

TestEffect::TestEffect() : QrvMurmelo(hostCallback) {
    std::lock_guard<std::mutex> guard(effectsLock);
    liveEffects()[getAeffect()] = this;
}

TestEffect::~TestEffect() {
    std::lock_guard<std::mutex> guard(effectsLock);
    liveEffects().erase(getAeffect());
}

vst2::VstIntPtr TestEffect::hostCallback(vst2::AEffect *e, vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr,
                                         void *, float opt) {
    if (opcode == vst2::audioMasterVersion) return 2400;
    TestEffect *effect = nullptr;
    {
        std::lock_guard<std::mutex> guard(effectsLock);
        auto found = liveEffects().find(e);
        if (found != liveEffects().end()) effect = found->second;
    }
    if (effect) effect->record({opcode, index, opt});
    return 1;
}

void TestEffect::record(const HostCall &call) {
    std::lock_guard<std::mutex> guard(lock);
    log.push_back(call);
}

std::vector<HostCall> TestEffect::calls() const {
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

std::string TestEffect::gestures() const {
    std::string s;
    for (const HostCall &c : calls()) {
        const char *code = c.opcode == vst2::audioMasterBeginEdit  ? "B"
                           : c.opcode == vst2::audioMasterAutomate ? "A"
                           : c.opcode == vst2::audioMasterEndEdit  ? "E"
                                                                   : nullptr;
        if (!code) continue;
        // Consecutive automation of one parameter is one "A".
        const std::string item = code + std::to_string(c.index);
        if (item[0] == 'A' && s.size() >= item.size() && s.compare(s.size() - item.size(), item.size(), item) == 0)
            continue;
        if (!s.empty()) s += ' ';
        s += item;
    }
    return s;
}

int TestEffect::count(int opcode) const {
    int n = 0;
    for (const HostCall &c : calls())
        n += c.opcode == opcode;
    return n;
}

void TestEffect::clearCalls() {
    std::lock_guard<std::mutex> guard(lock);
    log.clear();
}

void TestEffect::notifyEditor(int index, float realValue) {
    if (QV::Manager *m = manager.load()) m->queueParameterChange(index, realValue);
}

std::unique_ptr<QV::Font> testFont(int size) { return QV::loadFont({{"arial.ttf", size}}); }

// ---- OpenEditor ----

OpenEditor::OpenEditor(HostScreen &screen, int width, int height, int windowX, int windowY)
    : screen(screen), editor(&effect), hostWindow(screen.createWindow(width, height, windowX, windowY)), width(width),
      height(height) {
    manager = std::make_unique<QV::Manager>(editor);
    manager->setSize(width, height);
    manager->loadDefaultHints();
    effect.manager.store(manager.get());
}

OpenEditor::~OpenEditor() { close(); }

StandardTree &OpenEditor::buildStandardTree() {
    QV::Manager &m = *manager;
    m.setBackgroundColour(0.5f, 0.1f, 0.1f);
    m.setBannerPosition(236, true);
    m.setMainFont(testFont(12));
    m.setLabelFont(testFont(9));
    m.setTextFieldFont(testFont(10));
    StandardTree &t = tree;
    t.renderer = m.addEffect(std::make_unique<QV::ZephKnobRenderer>(m));
    auto column = [&](QV::NamedGroup *g, int index, const char *label, float x, QV::ZephKnob **knob,
                      QV::LabelledTextField **field) {
        *knob = new QV::ZephKnob(index, m, t.renderer, "", x, 13, 35);
        g->add(*knob);
        if (!field) return;
        *field = new QV::LabelledTextField(index, m, label, x, 0, 35, 12, QV::LabelledTextField::kLabelBelow, "");
        g->add(*field);
    };
    t.speedGroup = new QV::NamedGroup(m, "Speed");
    m.rootGroup().add(t.speedGroup);
    column(t.speedGroup, 3, "Fine", 0, &t.speedKnob, &t.speedField);
    column(t.speedGroup, 1, "Wet", 50, &t.effectKnob, &t.effectField);
    column(t.speedGroup, 7, "Shape", 100, &t.shapeKnob, &t.shapeField);
    t.speedGroup->setOffset(20, 118);
    t.mixGroup = new QV::NamedGroup(m, "Mix");
    m.rootGroup().add(t.mixGroup);
    column(t.mixGroup, 8, "Spread", 0, &t.spreadKnob, nullptr);
    column(t.mixGroup, 0, "Dry", 50, &t.dryKnob, &t.dryField);
    t.mixGroup->setOffset(200, 118);
    t.unitsGroup = new QV::NamedGroup(m, "Units");
    m.rootGroup().add(t.unitsGroup);
    for (int k = 0; k < 5; ++k)
        column(t.unitsGroup, 9 + k, "", 50.f * k, &t.unitKnobs[k], nullptr);
    t.unitsGroup->setOffset(20, 20);
    t.plainField = new QV::TextField(5, m, "%.2f", 415, 100, 60, 14);
    m.rootGroup().add(t.plainField);
    auto count = [](QV::Button *b, std::intptr_t user) {
        (void)b;
        reinterpret_cast<StandardTree *>(user)->buttonPresses.fetch_add(1);
    };
    t.prefsButton = new QV::ZephButton(m, "Prefs", count, reinterpret_cast<std::intptr_t>(&t), 415, 196, 90, 30, -2);
    m.rootGroup().add(t.prefsButton);
    const int hintId = m.addHint("A plain button");
    t.plainButton = new QV::Button(m, "Plain", count, reinterpret_cast<std::intptr_t>(&t), 415, 150, 90, 30, hintId);
    m.rootGroup().add(t.plainButton);
    t.info = new QV::InfoDisplay(m, 20, 206, 100, 40, m.displayState());
    m.rootGroup().add(t.info);
    return t;
}

bool OpenEditor::open() {
    editor.open(reinterpret_cast<void *>(hostWindow));
    if (!manager->createWindow()) return false;
    manager->CreateRenderTask();
    manager->refreshAllControls();
    return waitFrames(3);
}

void OpenEditor::close() {
    if (!manager) return;
    // Screenshots of failures; MURMELO_SAVE_SCREENSHOTS=1 keeps every one.
    const bool keep = testing::Test::HasFailure() || std::getenv("MURMELO_SAVE_SCREENSHOTS");
    if (keep && manager->hasWindow()) saveArtefact(grab(), currentTestName());
    effect.manager.store(nullptr);
    manager.reset();
    editor.close();
}

void OpenEditor::pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        screen.dispatch();
        manager->idle();
        sleepMs(2);
    } while (std::chrono::steady_clock::now() < end);
    screen.dispatch();
    manager->idle();
}

bool OpenEditor::waitFrames(unsigned n) {
    const unsigned target = manager->framesDrawn() + n;
    return pumpUntil([&] { return manager->framesDrawn() >= target; }, 10000);
}

bool OpenEditor::pumpUntil(const std::function<bool()> &predicate, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        screen.dispatch();
        manager->idle();
        sleepMs(2);
    }
    return true;
}

Image OpenEditor::grab() { return screen.grab(manager->windowId(), width, height); }

void OpenEditor::moveTo(float px, float py) {
    screen.moveTo(hostWindow, height, px, py);
    screen.sync();
    pump();
}

void OpenEditor::press(float px, float py, int button) {
    moveTo(px, py);
    screen.button(button, true);
    screen.sync();
    pump();
}

void OpenEditor::release(int button) {
    screen.button(button, false);
    screen.sync();
    pump();
}

void OpenEditor::drag(float x0, float y0, float x1, float y1, int button) {
    press(x0, y0, button);
    moveTo(x1, y1);
    release(button);
}

void OpenEditor::typeKey(Key key) {
    screen.typeKey(key);
    screen.sync();
    pump(20);
}

QV::Point OpenEditor::centreOf(const QV::UIElement &element) {
    const QV::Box b = element.windowBounds();
    return {b.centreX(), b.centreY()};
}

} // namespace guitest
