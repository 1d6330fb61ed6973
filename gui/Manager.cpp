#include "gui/Manager.h"

#include "core/QrvAuBase.h"
#include "core/Settings.h"
#include "gui/Control.h"
#include "gui/Font.h"
#include "gui/Group.h"
#include "gui/RenderThread.h"
#include "gui/StaticText.h"
#include "gui/Texture.h"
#include "gui/UIElement.h"
#include "platform/ChildWindow.h"
#include "vst2/AudioEffect.h"

#include <cstdio>
#include <cstring>

namespace QV {

namespace {

std::atomic<bool> floatingTooltipFlag{false};

ParameterDescriptor describe(int index, murmelo::QrvAuBase *effect) {
    const murmelo::ParameterInfo &info = murmelo::parameterInfo(index);
    ParameterDescriptor d;
    d.index = index;
    std::snprintf(d.name, sizeof(d.name), "%s", info.name);
    d.unit = info.unit;
    d.minimum = info.minimum;
    d.maximum = info.maximum;
    d.defaultValue = info.defaultValue;
    d.effect = effect;
    return d;
}

} // namespace

Manager::Manager(vst2::AEffEditor &owner)
    : owner(owner), fx(dynamic_cast<murmelo::QrvAuBase *>(owner.getEffect())), binding(deliverToControl, this) {
    setFloatingTooltip(murmelo::readSettingInt(murmelo::kSettingFloatingTooltip, 0) != 0);
    for (int i = 0; i < murmelo::kNumParameters; ++i)
        descriptors[i] = describe(i, fx);
    if (fx) live = static_cast<const murmelo::DisplayState *>(fx->getDisplayState());
    root = new Group(*this);
    batch = addEffect(std::make_unique<StaticText>(*this));
}

Manager::~Manager() {
    // The editor may close in the middle of a drag: the host still hears the
    // end of the gesture it was told began.
    endOpenGesture();
    if (renderer) renderer->stop(); // before anything the thread reads goes
    renderer.reset();
    window.reset(); // no event can reach this manager after this
}

void Manager::registerElement(UIElement *element) { allElements.emplace_back(element); }

bool Manager::bindControl(Control *control, const ParameterDescriptor &parameter) {
    return binding.bind(control, parameter);
}

void Manager::deliverToControl(void *user, Control *control, int index, float value) {
    auto *manager = static_cast<Manager *>(user);
    control->parameterChanged(manager->parameter(index), value);
}

const ParameterDescriptor &Manager::parameter(int index) const {
    static const ParameterDescriptor none;
    return murmelo::isParameterIndex(index) ? descriptors[index] : none;
}

ParameterDescriptor *Manager::adjustParameter(int index) {
    return murmelo::isParameterIndex(index) ? &descriptors[index] : nullptr;
}

void Manager::setSize(int width, int height) {
    windowWidth = width > 0 ? width : 1;
    windowHeight = height > 0 ? height : 1;
}

void Manager::setBackgroundColour(float r, float g, float b) { background = {r, g, b, 1}; }
void Manager::setBannerColour(float r, float g, float b, float a) { banner = {r, g, b, a}; }

void Manager::setBannerPosition(float y, bool title) {
    bannerY = y;
    showTitle = title;
}

void Manager::setMainFont(std::unique_ptr<Font> font) { fontMain = std::move(font); }
void Manager::setLabelFont(std::unique_ptr<Font> font) { fontLabel = std::move(font); }
void Manager::setTextFieldFont(std::unique_ptr<Font> font) { fontTextField = std::move(font); }

Font *Manager::addExtraFont(std::unique_ptr<Font> font) {
    fontsExtra.push_back(std::move(font));
    return fontsExtra.back().get();
}

TextureRecord *Manager::addTexture(const std::string &path) {
    auto record = std::make_unique<TextureRecord>();
    record->path = path;
    textureList.push_back(std::move(record));
    return textureList.back().get();
}

TextureRecord *Manager::addTexture(int resourceId) {
    auto record = std::make_unique<TextureRecord>();
    record->resourceId = resourceId;
    textureList.push_back(std::move(record));
    return textureList.back().get();
}

void Manager::flushParameterChanges() { binding.flush(); }

void Manager::refreshAllControls() {
    if (!fx) return;
    const int count = fx->getNumParams();
    for (int i = 0; i < count && i < murmelo::kNumParameters; ++i)
        if (binding.hasBindings(i)) binding.deliver(i, fx->currentProgram()->getValue(i));
}

void Manager::queueParameterChange(int index, float value) { binding.queue(index, value); }

void Manager::loadDefaultHints() {
    std::lock_guard<std::mutex> guard(hintsLock);
    int id = -2;
    for (const std::string &text : defaultHints())
        hints[id--] = text;
}

int Manager::addHint(const std::string &text) {
    std::lock_guard<std::mutex> guard(hintsLock);
    for (const auto &entry : hints)
        if (entry.second == text) return entry.first;
    const int lowest = hints.empty() ? -1 : std::min(hints.begin()->first, -1);
    hints[lowest - 1] = text;
    return lowest - 1;
}

std::string Manager::hint(int identifier) const {
    std::lock_guard<std::mutex> guard(hintsLock);
    const auto found = hints.find(identifier);
    return found == hints.end() ? std::string() : found->second;
}

bool Manager::floatingTooltip() { return floatingTooltipFlag.load(std::memory_order_relaxed); }
void Manager::setFloatingTooltip(bool on) { floatingTooltipFlag.store(on, std::memory_order_relaxed); }

AtomicColour &Manager::bannerTextColour() {
    static AtomicColour colour(Colour{0.5f, 0.5f, 0.5f, 1.0f});
    return colour;
}

AtomicColour &Manager::groupActiveColour() {
    static AtomicColour colour(Colour{0.5f, 0.8f, 1.0f, 0.6f});
    return colour;
}

AtomicColour &Manager::groupInactiveColour() {
    static AtomicColour colour(Colour{0.5f, 0.5f, 0.5f, 0.5f});
    return colour;
}

const std::vector<std::string> &Manager::defaultHints() {
    static const std::vector<std::string> list{"Preferences and about"};
    return list;
}

} // namespace QV
