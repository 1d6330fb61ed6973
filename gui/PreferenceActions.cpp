#include "gui/PreferenceActions.h"

#include "core/QrvAuBase.h"
#include "core/QrvMurmelo.h"
#include "core/Settings.h"
#include "gui/Manager.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

#include <cstdio>
#include <cstdlib>

namespace QV {

namespace {

// The manual's file name beside the plug-in's module.
constexpr char kManualFile[] = "murmelo-manual.html";

} // namespace

bool applyOscBasePort(const std::string &text, murmelo::QrvAuBase *fx) {
    const long value = text.empty() ? 0 : std::strtol(text.c_str(), nullptr, 10);
    // Only a port an OSC server can listen on is stored.
    if (value < 1 || value > 65535) return false;
    const int basePort = static_cast<int>(value);
    murmelo::writeSettingInt(murmelo::kSettingOscBasePort, basePort);
    murmelo::oscBasePort.store(basePort, std::memory_order_relaxed);
    if (fx) fx->setParameter(murmelo::kOscPortOffset, fx->getParameter(murmelo::kOscPortOffset));
    return true;
}

void storeFloatingTooltip(bool on) {
    Manager::setFloatingTooltip(on);
    murmelo::writeSettingInt(murmelo::kSettingFloatingTooltip, on ? 1 : 0);
}

std::string manualPath() { return platform::moduleFolder() + platform::kPathSeparator + kManualFile; }

void openManual() {
    const std::string path = manualPath();
    if (!platform::canReadFile(path)) {
        platform::reportError("the manual is not installed: " + path);
        return;
    }
    platform::openDocument(path);
}

std::string versionText(murmelo::QrvAuBase *fx) {
    const int version = fx ? fx->getVendorVersion() : 0;
    char text[32];
    std::snprintf(text, sizeof(text), "%d.%d.%d", (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
    return text;
}

std::string productText(murmelo::QrvAuBase *fx) {
    char product[64] = {};
    if (fx) fx->getProductString(product);
    return product;
}

} // namespace QV
