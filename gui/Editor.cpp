#include "gui/Editor.h"

#include "core/QrvAuBase.h"
#include "core/Settings.h"
#include "core/UserFolders.h"
#include "gui/Font.h"
#include "gui/Manager.h"
#include "gui/PreferenceActions.h"

#include <thread>

#include <lua.h>

namespace QV {

Editor::Editor(vst2::AudioEffect *effect) : QrvEditor(effect), fx(dynamic_cast<murmelo::QrvAuBase *>(effect)) {
    if (murmelo::readSettingString(murmelo::kSettingSkin, skinName) && !skinName.empty())
        skinFolder = murmelo::findSkinFolder(skinName);
    if (effect) effect->setEditor(this);
}

Editor::~Editor() {
    deleteManager();
    closeLuaState();
}

bool Editor::getRect(vst2::ERect **r) {
    if (manager) {
        rect.top = rect.left = 0;
        rect.bottom = static_cast<std::int16_t>(manager->height());
        rect.right = static_cast<std::int16_t>(manager->width());
    }
    if (r) *r = &rect;
    return true;
}

void Editor::setInitialSize(int width, int height) {
    // The rectangle holds 16-bit values; no window is that large anyway.
    auto clamped = [](int v) { return static_cast<std::int16_t>(v < 0 ? 0 : v > kMaxWindowSide ? kMaxWindowSide : v); };
    rect.top = rect.left = 0;
    rect.bottom = clamped(height);
    rect.right = clamped(width);
}

bool Editor::open(void *parent) {
    if (manager) close(); // a host opening twice gets one editor
    buildUI(0, 0);
    systemWindow = parent;
    if (!manager) return false;
    panel = addPreferences(*manager);
    building = false;
    manager->createWindow();
    manager->CreateRenderTask();
    refreshControls();
    return false;
}

void Editor::close() {
    deleteManager();
    systemWindow = nullptr;
}

void Editor::idle() {
    if (manager) manager->idle();
}

void Editor::setParameter(int index, float value) {
    // Announce ourselves before looking: deleteManager hides the manager
    // first and then waits until nobody who might have seen it is inside.
    notifying.fetch_add(1, std::memory_order_seq_cst);
    if (Manager *m = liveManager.load(std::memory_order_seq_cst)) m->queueParameterChange(index, value);
    notifying.fetch_sub(1, std::memory_order_release);
}

void Editor::refreshControls() {
    if (manager) manager->refreshAllControls();
}

void Editor::setManager(std::unique_ptr<Manager> newManager) {
    deleteManager();
    manager = std::move(newManager);
    building = manager != nullptr;
    liveManager.store(manager.get(), std::memory_order_seq_cst);
}

void Editor::deleteManager() {
    if (!manager) return;
    liveManager.store(nullptr, std::memory_order_seq_cst);
    while (notifying.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    forgetOpening();
    panel = nullptr;
    building = false;
    manager.reset(); // stops the render thread first
}

void Editor::closeLuaState() {
    if (!state) return;
    lua_close(state);
    state = nullptr;
    parameterLookup.clear();
}

void Editor::showPreferences() {
    if (manager && manager->hasWindow()) QV::showPreferences(*manager, panel);
}

int Editor::parameterIndex(const std::string &name) const {
    const auto found = parameterLookup.find(name);
    return found == parameterLookup.end() ? -1 : found->second;
}

} // namespace QV
