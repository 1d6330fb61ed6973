#include "gui/PreferencesPanel.h"

#include "core/QrvMurmelo.h"
#include "core/Resources.h"
#include "gui/Manager.h"
#include "gui/PreferenceActions.h"
#include "platform/ErrorReport.h"
#include "platform/IniText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace QV {

namespace {

constexpr float kTitleStrip = 14;  // pixels above the panel's client area
constexpr float kWindowMargin = 8; // pixels kept free around the panel
constexpr float kLargestScale = 1.5f, kSmallestScale = 0.5f;

struct KindName {
    const char *name;
    PreferencesPanel::Kind kind;
};
constexpr KindName kKinds[] = {
    {"static", PreferencesPanel::kStatic},
    {"button", PreferencesPanel::kButton},
    {"default-button", PreferencesPanel::kDefaultButton},
    {"group", PreferencesPanel::kGroup},
    {"edit", PreferencesPanel::kEdit},
    {"checkbox", PreferencesPanel::kCheckbox},
};

bool parseKind(const std::string &text, PreferencesPanel::Kind &kind) {
    for (const KindName &k : kKinds)
        if (text == k.name) {
            kind = k.kind;
            return true;
        }
    return false;
}

bool parseRect(const std::string &text, int (&r)[4]) {
    return std::sscanf(text.c_str(), "%d , %d , %d , %d", &r[0], &r[1], &r[2], &r[3]) == 4 && r[2] >= 0 && r[3] >= 0;
}

bool parseId(const std::string &text, int &id) {
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || value < 0 || value > 65535) return false;
    id = static_cast<int>(value);
    return true;
}

std::string valueOf(const platform::IniSection &section, const char *name) {
    for (const platform::IniEntry &entry : section.entries)
        if (entry.name == name) return entry.value;
    return "";
}

bool isClickable(PreferencesPanel::Kind kind) {
    return kind == PreferencesPanel::kButton || kind == PreferencesPanel::kDefaultButton ||
           kind == PreferencesPanel::kEdit || kind == PreferencesPanel::kCheckbox;
}

// Dialog units to window pixels: the panel's top-left client corner, scale.
struct Mapping {
    float left, top, scale;
    Box box(const int (&r)[4]) const {
        const float minX = std::round(left + r[0] * scale), maxY = std::round(top - r[1] * scale);
        return {minX, std::round(maxY - r[3] * scale), 0, std::round(minX + r[2] * scale), maxY, 0};
    }
};

Mapping mapPanel(int width, int height, int windowWidth, int windowHeight, PreferencesPanel::Layout &layout) {
    float s = std::min({kLargestScale, (windowWidth - 2 * kWindowMargin) / width,
                        (windowHeight - 2 * kWindowMargin - kTitleStrip) / height});
    s = std::max(s, kSmallestScale);
    const float w = std::round(width * s), h = std::round(height * s);
    const float left = std::floor((windowWidth - w) / 2);
    const float bottom = std::floor((windowHeight - h - kTitleStrip) / 2);
    layout.frame = {left, bottom, 0, left + w, bottom + h + kTitleStrip, 0};
    layout.titleStrip = {left, bottom + h, 0, left + w, bottom + h + kTitleStrip, 0};
    return {left, bottom + h, s};
}

} // namespace

bool PreferencesPanel::layOut(const std::string &description, int windowWidth, int windowHeight, Layout &layout,
                              std::string &error) {
    platform::IniDocument document;
    if (!platform::IniDocument::parse(description, document)) {
        error = "the panel description is not INI text";
        return false;
    }
    const std::string *title = document.find("panel", "title");
    const std::string *width = document.find("panel", "width");
    const std::string *height = document.find("panel", "height");
    const int w = width ? std::atoi(width->c_str()) : 0, h = height ? std::atoi(height->c_str()) : 0;
    if (w <= 0 || h <= 0) {
        error = "the panel description has no [panel] width and height";
        return false;
    }
    layout = Layout();
    layout.title = title ? *title : "";
    const Mapping map = mapPanel(w, h, windowWidth, windowHeight, layout);
    for (const platform::IniSection &section : document.sections()) {
        Control c;
        int r[4];
        if (section.name == "panel" || section.name.empty()) continue;
        if (!parseId(section.name, c.id) || !parseKind(valueOf(section, "kind"), c.kind) ||
            !parseRect(valueOf(section, "rect"), r)) {
            error = "control [" + section.name + "] needs a number, a known kind and a rect";
            return false;
        }
        c.text = valueOf(section, "text");
        c.digitsOnly = valueOf(section, "digits-only") == "1";
        c.box = map.box(r);
        layout.controls.push_back(c);
    }
    return true;
}

PreferencesPanel::PreferencesPanel(Manager &manager, Font *font) : manager(manager), font(font) {
    for (auto &c : port)
        c.store(0, std::memory_order_relaxed);
    const murmelo::DataBuffer text = murmelo::loadResource(murmelo::kResourcePreferencesPanel);
    std::string error;
    if (!layOut(std::string(text.chars() ? text.chars() : "", text.length()), manager.width(), manager.height(),
                geometry, error))
        platform::reportError("no preferences panel: " + error);
    fillInLiveTexts();
}

void PreferencesPanel::fillInLiveTexts() {
    murmelo::QrvAuBase *fx = manager.effect();
    if (!fx) return;
    const std::string product = productText(fx), version = versionText(fx);
    for (Control &c : geometry.controls) {
        if (c.id == kProductLine && !product.empty()) c.text = product;
        if (c.id == kVersionLine) c.text = version;
    }
}

const PreferencesPanel::Control *PreferencesPanel::control(int id) const {
    for (const Control &c : geometry.controls)
        if (c.id == id) return &c;
    return nullptr;
}

std::string PreferencesPanel::portText() const {
    std::string text;
    const int n = portLength.load(std::memory_order_acquire);
    for (int i = 0; i < n && i < kPortDigits; ++i)
        text += port[i].load(std::memory_order_relaxed);
    return text;
}

void PreferencesPanel::setPortText(const std::string &text) {
    const int n = std::min<int>(int(text.size()), kPortDigits);
    for (int i = 0; i < n; ++i)
        port[i].store(text[std::size_t(i)], std::memory_order_relaxed);
    portLength.store(n, std::memory_order_release);
}

void PreferencesPanel::show() {
    if (geometry.controls.empty() || isShown()) return;
    setPortText(std::to_string(murmelo::oscBasePort.load(std::memory_order_relaxed)));
    portSelected.store(true, std::memory_order_relaxed);
    hovered.store(-1, std::memory_order_relaxed);
    pressed.store(-1, std::memory_order_relaxed);
    manager.beginModal(this);
    shown.store(true, std::memory_order_relaxed);
}

void PreferencesPanel::close() {
    shown.store(false, std::memory_order_relaxed);
    pressed.store(-1, std::memory_order_relaxed);
    if (manager.modalInput() == this) manager.endModal();
}

void PreferencesPanel::ok() {
    applyOscBasePort(portText(), manager.effect());
    close();
}

void PreferencesPanel::cancel() { close(); }

void PreferencesPanel::activate(int id) {
    if (id == kManualButton)
        openManual();
    else if (id == kTooltipBox)
        storeFloatingTooltip(!Manager::floatingTooltip());
    else if (id == kOk)
        ok();
}

void PreferencesPanel::typeDigit(char c) {
    if (portSelected.exchange(false, std::memory_order_relaxed)) portLength.store(0, std::memory_order_release);
    const int n = portLength.load(std::memory_order_relaxed);
    if (n >= kPortDigits) return;
    port[n].store(c, std::memory_order_relaxed);
    portLength.store(n + 1, std::memory_order_release);
}

void PreferencesPanel::eraseDigit() {
    if (portSelected.exchange(false, std::memory_order_relaxed)) {
        portLength.store(0, std::memory_order_release);
        return;
    }
    const int n = portLength.load(std::memory_order_relaxed);
    if (n > 0) portLength.store(n - 1, std::memory_order_release);
}

int PreferencesPanel::clickableAt(Point p) const {
    for (const Control &c : geometry.controls)
        if (isClickable(c.kind) && c.box.contains(p)) return c.id;
    return -1;
}

void PreferencesPanel::modalMotion(Point p) { hovered.store(clickableAt(p), std::memory_order_relaxed); }

void PreferencesPanel::modalPress(Point p) {
    const int id = clickableAt(p);
    pressed.store(id, std::memory_order_relaxed);
    if (id == kPortField) portSelected.store(false, std::memory_order_relaxed);
}

void PreferencesPanel::modalRelease(Point p) {
    const int id = pressed.exchange(-1, std::memory_order_relaxed);
    if (id >= 0 && clickableAt(p) == id) activate(id);
}

void PreferencesPanel::modalCharacter(int c) {
    if (c == 27)
        cancel();
    else if (c == 13 || c == 3)
        ok();
    else if (c == 8 || c == 127)
        eraseDigit();
    else if (c >= '0' && c <= '9')
        typeDigit(char(c));
}

} // namespace QV
