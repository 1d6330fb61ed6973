// Our host library with modules of the Windows world that are no plug-in:
// a system DLL, a file that only has a DLL's name, and no file at all.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using vsthost::Plugin;

// A real module with hundreds of exports, none of them an entry point.
TEST(HostLibrary, ReportsASystemDllThatIsNoPlugin) {
    std::string error;
    EXPECT_FALSE(Plugin::load("kernel32.dll", error));
    EXPECT_EQ(error, "kernel32.dll exports neither VSTPluginMain nor main");
}

// The system's reason comes back in the text (its number in brackets), and
// no dialog waits for a person.
TEST(HostLibrary, ReportsFilesTheSystemCannotLoad) {
    testing_support::TempDir dir;
    const std::string fake = dir.file("not-a-module.dll");
    testing_support::writeFile(fake, "MZ, but nothing of a module follows\n");
    std::string error;
    EXPECT_FALSE(Plugin::load(fake, error));
    EXPECT_EQ(error.rfind("cannot load " + fake + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("(193)"), std::string::npos) << "ERROR_BAD_EXE_FORMAT: " << error;

    const std::string missing = dir.file("missing.dll");
    EXPECT_FALSE(Plugin::load(missing, error));
    EXPECT_EQ(error.rfind("cannot load " + missing + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("(126)"), std::string::npos) << "ERROR_MOD_NOT_FOUND: " << error;
}

} // namespace
