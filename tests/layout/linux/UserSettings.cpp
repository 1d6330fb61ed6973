// The test user's settings on Linux: the settings file in the private
// configuration folder.
#include "tests/layout/LayoutTestSupport.h"

#include "core/Settings.h"

#include <filesystem>

namespace layouttest {

void UserSetup::writeSettings(const std::string &text) const {
    const std::string file = murmelo::settingsLocation();
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    testing_support::writeFile(file, text);
}

std::string UserSetup::settingsText() const { return testing_support::readFileText(murmelo::settingsLocation()); }

} // namespace layouttest
