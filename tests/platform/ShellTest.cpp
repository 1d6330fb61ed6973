// Finding programs on $PATH, as the preferences panel (xdg-open) and the
// snapshot tool (Xvfb) do before starting one.
#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Sets $PATH for one test and puts the old value back.
class PathFolders : public ::testing::Test {
protected:
    void SetUp() override {
        const char *old = std::getenv("PATH");
        hadPath = old != nullptr;
        if (old) saved = old;
        folder = fs::temp_directory_path() / ("murmelo-path-" + std::to_string(getpid()));
        fs::create_directories(folder);
        writeFile("runnable", 0755);
        writeFile("readable", 0644);
    }
    void TearDown() override {
        if (hadPath)
            setenv("PATH", saved.c_str(), 1);
        else
            unsetenv("PATH");
        fs::remove_all(folder);
    }
    void writeFile(const std::string &name, mode_t mode) {
        const fs::path path = folder / name;
        std::ofstream(path) << "#!/bin/sh\n";
        chmod(path.c_str(), mode);
    }

    fs::path folder;
    std::string saved;
    bool hadPath = false;
};

TEST_F(PathFolders, FindsOnlyExecutableFilesInTheListedFolders) {
    setenv("PATH", ("/nonexistent-folder:" + folder.string()).c_str(), 1);
    EXPECT_TRUE(platform::onPath("runnable"));
    EXPECT_FALSE(platform::onPath("readable")) << "not executable";
    EXPECT_FALSE(platform::onPath("missing"));

    setenv("PATH", "/nonexistent-folder", 1);
    EXPECT_FALSE(platform::onPath("runnable")) << "the folder is no longer listed";

    unsetenv("PATH");
    EXPECT_FALSE(platform::onPath("runnable"));
}

TEST_F(PathFolders, AnEmptyEntryIsTheCurrentFolder) {
    const fs::path here = fs::current_path();
    fs::current_path(folder);
    setenv("PATH", "/nonexistent-folder::/also-missing", 1);
    const bool found = platform::onPath("runnable");
    setenv("PATH", "/nonexistent-folder", 1);
    const bool notListed = platform::onPath("runnable");
    fs::current_path(here);
    EXPECT_TRUE(found);
    EXPECT_FALSE(notListed);
}

} // namespace
