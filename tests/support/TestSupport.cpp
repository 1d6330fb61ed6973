#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_support {

std::string pluginPath() { return MURMELO_PLUGIN_PATH; }
std::string toolPath() { return MURMELO_TOOL_PATH; }

std::unique_ptr<vsthost::Plugin> loadMurmelo(vsthost::HostOptions options) {
    std::string error;
    auto plugin = vsthost::Plugin::load(pluginPath(), error, options);
    if (!plugin) ADD_FAILURE() << error;
    return plugin;
}

} // namespace testing_support
