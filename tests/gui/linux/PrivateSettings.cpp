// The test's own settings on Linux: a fresh configuration folder, where the
// settings file is made when something is stored.
#include "tests/gui/GuiTestSupport.h"

namespace guitest {

struct PrivateSettings::Saved {
    testing_support::TempDir config;
    testing_support::ScopedEnv configEnv{"XDG_CONFIG_HOME", config.path()};
};

PrivateSettings::PrivateSettings() : saved(std::make_unique<Saved>()) {}

PrivateSettings::~PrivateSettings() = default;

} // namespace guitest
