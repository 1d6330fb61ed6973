#include "tests/layout/LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace layouttest {

namespace fs = std::filesystem;

namespace {

std::string readWhole(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

void UserSetup::writeSettings(const std::string &text) const {
    fs::create_directories(config.path() + "/Quorvane");
    std::ofstream(config.path() + "/Quorvane/com.quorvane.murmelo.ini") << text;
}

std::string UserSetup::settingsText() const { return readWhole(config.path() + "/Quorvane/com.quorvane.murmelo.ini"); }

std::string UserSetup::makeSkinFolder(const std::string &folderName) const {
    const std::string folder = appData.path() + "/Quorvane/Murmelo/Skins/" + folderName;
    fs::create_directories(folder + "/Contents/Resources");
    return folder;
}

std::string UserSetup::writeSkin(const std::string &folderName, const std::string &script) const {
    const std::string folder = makeSkinFolder(folderName);
    std::ofstream(folder + "/Contents/Resources/gui.lua") << script;
    return folder;
}

PluginEditor::PluginEditor(guitest::XHost &x) : x(x), instance(testing_support::loadMurmelo()) {}

PluginEditor::~PluginEditor() { close(); }

std::pair<int, int> PluginEditor::rect() {
    vst2::ERect *r = nullptr;
    if (!instance->dispatch(vst2::effEditGetRect, 0, 0, &r) || !r) return {-1, -1};
    return {r->right - r->left, r->bottom - r->top};
}

bool PluginEditor::open() {
    std::tie(width, height) = rect();
    hostWindow = x.createWindow(std::max(width, 1), std::max(height, 1));
    instance->dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void *>(hostWindow));
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    x.sync();
    if (XQueryTree(x.display(), hostWindow, &root, &parent, &children, &count) && count > 0) child = children[0];
    if (children) XFree(children);
    return child != 0 && settle();
}

void PluginEditor::close() {
    if (!hostWindow) return;
    // Screenshots of failures; MURMELO_SAVE_SCREENSHOTS=1 keeps every one.
    if ((testing::Test::HasFailure() || std::getenv("MURMELO_SAVE_SCREENSHOTS")) && child)
        keepScreenshotOnFailure(grab());
    instance->dispatch(vst2::effEditClose);
    x.destroyWindow(hostWindow);
    hostWindow = child = 0;
}

void PluginEditor::idle(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        instance->dispatch(vst2::effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

bool PluginEditor::idleUntil(const std::function<bool()> &predicate, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        idle(20);
    }
    return true;
}

bool PluginEditor::settle() {
    // Still across 100 ms (three frames) and not the black of a window
    // nothing has drawn into yet.
    guitest::Image previous = grab();
    for (int attempt = 0; attempt < 100; ++attempt) {
        idle(100);
        guitest::Image now = grab();
        if (now.rgb == previous.rgb && now.countDifferent(0, 0, width, height, {0, 0, 0}, 0) > 0) return true;
        previous = std::move(now);
    }
    return false;
}

guitest::Image PluginEditor::grab() { return x.grab(child, width, height); }

void PluginEditor::click(float px, float py) {
    x.moveTo(hostWindow, height, px, py);
    x.sync();
    idle(30);
    x.button(1, true);
    x.sync();
    idle(30);
    x.button(1, false);
    x.sync();
    idle(60);
}

void PluginEditor::typeKey(unsigned long keysym) {
    x.typeKey(keysym);
    x.sync();
    idle(30);
}

void keepScreenshotOnFailure(const guitest::Image &image) {
    if (image.width > 0) guitest::saveArtefact(image, guitest::currentTestName());
}

} // namespace layouttest
