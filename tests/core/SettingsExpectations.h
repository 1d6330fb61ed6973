// What the settings read as when nothing usable is stored, on either system.
#pragma once

#include "core/Settings.h"

#include <gtest/gtest.h>
#include <string>

namespace settings_test {

// The defaults every reader falls back to, and a text output left alone.
inline void expectDefaults() {
    EXPECT_EQ(murmelo::readSettingInt(murmelo::kSettingOscBasePort, 7000), 7000);
    EXPECT_EQ(murmelo::readSettingInt(murmelo::kSettingFloatingTooltip, 0), 0);
    std::string skin = "untouched";
    EXPECT_FALSE(murmelo::readSettingString(murmelo::kSettingSkin, skin));
    EXPECT_EQ(skin, "untouched");
}

} // namespace settings_test
