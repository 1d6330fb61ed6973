#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include "gui/Button.h"
#include "gui/Font.h"
#include "gui/Group.h"
#include "gui/InfoDisplay.h"
#include "gui/TextField.h"
#include "gui/ZephKnob.h"
#include "gui/ZephKnobRenderer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <png.h>
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

// ---- pixels ----

Rgb Image::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    const std::size_t i = (std::size_t(height - 1 - y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

int Image::countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += !near(at(x, y), colour, tolerance);
    return n;
}

bool Image::savePng(const std::string &path) const {
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

bool near(Rgb a, Rgb b, int t) {
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
    std::filesystem::create_directories(dir, ignored);
    std::string file = name;
    for (char &c : file)
        if (c == '/' || c == ' ') c = '_';
    const std::string path = dir + "/" + file + ".png";
    image.savePng(path);
    return path;
}

// ---- XHost ----

XHost::XHost() {
    // The server may be resetting after the last client of an earlier test
    // left; give it a moment.
    for (int attempt = 0; attempt < 50 && !dpy; ++attempt) {
        dpy = XOpenDisplay(nullptr);
        if (!dpy) sleepMs(40);
    }
    if (!dpy) ADD_FAILURE() << "these tests need an X display: run them under xvfb-run";
}

XHost::~XHost() {
    if (!dpy) return;
    for (unsigned long w : windows)
        XDestroyWindow(dpy, w);
    XCloseDisplay(dpy);
}

unsigned long XHost::createWindow(int width, int height, int x, int y) {
    if (!dpy) return 0;
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
    a.event_mask = StructureNotifyMask;
    Window w = XCreateWindow(dpy, DefaultRootWindow(dpy), x, y, unsigned(width), unsigned(height), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &a);
    XMapWindow(dpy, w);
    XEvent e;
    do
        XWindowEvent(dpy, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    windows.push_back(w);
    return w;
}

void XHost::destroyWindow(unsigned long window) {
    XDestroyWindow(dpy, window);
    XSync(dpy, False);
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

Image XHost::grab(unsigned long window, int width, int height) {
    Image image;
    XSync(dpy, False);
    XImage *xi = XGetImage(dpy, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!xi) return image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            std::uint8_t *out = &image.rgb[(std::size_t(y) * width + x) * 3];
            out[0] = std::uint8_t((p & xi->red_mask) >> 16);
            out[1] = std::uint8_t((p & xi->green_mask) >> 8);
            out[2] = std::uint8_t(p & xi->blue_mask);
        }
    XDestroyImage(xi);
    return image;
}

void XHost::moveTo(unsigned long window, int height, float x, float y) {
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &rootX, &rootY, &child);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX + int(x), rootY + (height - int(y)), CurrentTime);
    XFlush(dpy);
}

void XHost::button(int number, bool down) {
    XTestFakeButtonEvent(dpy, unsigned(number), down, CurrentTime);
    XFlush(dpy);
}

void XHost::key(unsigned long keysym, bool down) {
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, keysym), down, CurrentTime);
    XFlush(dpy);
}

void XHost::typeKey(unsigned long keysym) {
    key(keysym, true);
    key(keysym, false);
}

void XHost::focusWindow(unsigned long window) {
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    XSync(dpy, False);
}

void XHost::sync() { XSync(dpy, False); }

std::unique_ptr<QV::Font> testFont(int size) { return QV::loadFont({{"arial.ttf", size}}); }

// ---- OpenEditor ----

OpenEditor::OpenEditor(XHost &x, int width, int height, int windowX, int windowY)
    : x(x), editor(&effect), hostWindow(x.createWindow(width, height, windowX, windowY)), width(width), height(height) {
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
        manager->idle();
        sleepMs(2);
    } while (std::chrono::steady_clock::now() < end);
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
        manager->idle();
        sleepMs(2);
    }
    return true;
}

Image OpenEditor::grab() { return x.grab(manager->windowId(), width, height); }

void OpenEditor::moveTo(float px, float py) {
    x.moveTo(hostWindow, height, px, py);
    x.sync();
    pump();
}

void OpenEditor::press(float px, float py, int button) {
    moveTo(px, py);
    x.button(button, true);
    x.sync();
    pump();
}

void OpenEditor::release(int button) {
    x.button(button, false);
    x.sync();
    pump();
}

void OpenEditor::drag(float x0, float y0, float x1, float y1, int button) {
    press(x0, y0, button);
    moveTo(x1, y1);
    release(button);
}

void OpenEditor::typeKey(unsigned long keysym) {
    x.typeKey(keysym);
    x.sync();
    pump(20);
}

QV::Point OpenEditor::centreOf(const QV::UIElement &element) {
    const QV::Box b = element.windowBounds();
    return {b.centreX(), b.centreY()};
}

} // namespace guitest
