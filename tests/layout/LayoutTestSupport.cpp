#include "tests/layout/LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace layouttest {

std::string UserSetup::makeSkinFolder(const std::string &folderName) const {
    const std::string folder = appData.file("Quorvane/Murmelo/Skins/" + folderName);
    testing_support::makeFolders(folder + testing_support::nativePath("/Contents/Resources"));
    return folder;
}

std::string UserSetup::writeSkin(const std::string &folderName, const std::string &script) const {
    const std::string folder = makeSkinFolder(folderName);
    testing_support::writeFile(folder + testing_support::nativePath("/Contents/Resources/gui.lua"), script);
    return folder;
}

PluginEditor::PluginEditor(guitest::HostScreen &screen) : screen(screen), instance(testing_support::loadMurmelo()) {}

PluginEditor::~PluginEditor() { close(); }

std::pair<int, int> PluginEditor::rect() {
    vst2::ERect *r = nullptr;
    if (!instance->dispatch(vst2::effEditGetRect, 0, 0, &r) || !r) return {-1, -1};
    return {r->right - r->left, r->bottom - r->top};
}

bool PluginEditor::open() {
    std::tie(width, height) = rect();
    hostWindow = screen.createWindow(std::max(width, 1), std::max(height, 1));
    instance->dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void *>(hostWindow));
    screen.sync();
    child = screen.firstChild(hostWindow);
    return child != 0 && settle();
}

void PluginEditor::close() {
    if (!hostWindow) return;
    // Screenshots of failures; MURMELO_SAVE_SCREENSHOTS=1 keeps every one.
    if ((testing::Test::HasFailure() || std::getenv("MURMELO_SAVE_SCREENSHOTS")) && child)
        keepScreenshotOnFailure(grab());
    instance->dispatch(vst2::effEditClose);
    screen.destroyWindow(hostWindow);
    hostWindow = child = 0;
}

void PluginEditor::idle(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        screen.dispatch();
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

guitest::Image PluginEditor::grab() { return screen.grab(child, width, height); }

void PluginEditor::click(float px, float py) {
    screen.moveTo(hostWindow, height, px, py);
    screen.sync();
    idle(30);
    screen.button(1, true);
    screen.sync();
    idle(30);
    screen.button(1, false);
    screen.sync();
    idle(60);
}

void PluginEditor::typeKey(guitest::Key key) {
    screen.typeKey(key);
    screen.sync();
    idle(30);
}

void keepScreenshotOnFailure(const guitest::Image &image) {
    if (image.width > 0) guitest::saveArtefact(image, guitest::currentTestName());
}

} // namespace layouttest
