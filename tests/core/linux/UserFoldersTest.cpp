// The user's folders where only Linux has them: the XDG data folder without
// APPDATA, and script files that are symbolic links, pipes or closed by
// their permission bits.
#include "core/UserFolders.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace murmelo;
using testing_support::makeFolders;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

void touch(const std::string &path) { testing_support::writeFile(path, "-- script\n"); }

class LinuxUserFolders : public ::testing::Test {
protected:
    TempDir root;
    ScopedEnv homeEnv{"HOME", root.file("home")};
    ScopedEnv dataEnv{"XDG_DATA_HOME", root.file("data")};
    ScopedEnv appDataEnv{"APPDATA", root.file("appdata")};

    std::string scripts() const { return root.file("appdata/Quorvane/Murmelo/Scripts"); }
};

} // namespace

TEST_F(LinuxUserFolders, WithoutAppDataTheXdgDataFolderIsUsed) {
    ScopedEnv noAppData("APPDATA", "");
    EXPECT_EQ(getUserFolder(), root.file("data"));
    ScopedEnv relativeData("XDG_DATA_HOME", "not/absolute");
    EXPECT_EQ(getUserFolder(), root.file("home") + "/.local/share");
    ScopedEnv noData("XDG_DATA_HOME");
    EXPECT_EQ(getUserFolder(), root.file("home") + "/.local/share");
}

TEST_F(LinuxUserFolders, SkinsUnderTheXdgDataFolderWhenAppDataIsUnset) {
    makeFolders(root.file("appdata/Quorvane/Murmelo/Skins/Plain"));
    ScopedEnv noAppData("APPDATA");
    EXPECT_EQ(findSkinFolder("Plain"), "");
    makeFolders(root.file("data/Quorvane/Murmelo/Skins/Plain"));
    EXPECT_EQ(findSkinFolder("Plain"), root.file("data/Quorvane/Murmelo/Skins/Plain"));
}

TEST_F(LinuxUserFolders, ScriptsThatAreLinksAndPipes) {
    makeFolders(scripts());
    for (int i = 0; i < 30; ++i)
        touch(scripts() + "/s" + std::to_string(i) + ".lua");
    touch(scripts() + "/midi.lua");
    ASSERT_EQ(symlink("/nonexistent/x.lua", (scripts() + "/dangling.lua").c_str()), 0); // cannot be opened
    ASSERT_EQ(mkfifo((scripts() + "/pipe.lua").c_str(), 0600), 0);                      // not a regular file
    ASSERT_EQ(symlink((scripts() + "/midi.lua").c_str(), (scripts() + "/linked.lua").c_str()), 0);

    std::vector<std::string> wanted;
    for (const std::string &name : testing_support::folderEntries(scripts()))
        if (name != "dangling.lua" && name != "pipe.lua") wanted.push_back(scripts() + "/" + name);
    ASSERT_EQ(wanted.size(), 32u);

    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_EQ(paths, wanted);
    EXPECT_FALSE(std::is_sorted(paths.begin(), paths.end())) << "listing order, not sorted (rarely sorted by chance)";
}

TEST_F(LinuxUserFolders, ScriptWithoutReadPermissionIsSkipped) {
    makeFolders(scripts());
    touch(scripts() + "/open.lua");
    touch(scripts() + "/closed.lua");
    ASSERT_EQ(chmod((scripts() + "/closed.lua").c_str(), 0), 0);
    if (access((scripts() + "/closed.lua").c_str(), R_OK) == 0)
        GTEST_SKIP() << "running as root: permissions do not stop reading (folders and dangling links are tested)";
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_EQ(paths, std::vector<std::string>{scripts() + "/open.lua"});
}
