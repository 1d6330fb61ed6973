// The user's folders: where the application-data folder is, how a skin's
// folder is found, and which script files are picked up.
#include "core/UserFolders.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace murmelo;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

void makeFolder(const std::string &path) {
    std::string done;
    ASSERT_EQ(testing_support::runCommand("mkdir -p '" + path + "'", done), 0) << path;
}

void touch(const std::string &path) { std::ofstream(path) << "-- script\n"; }

class UserFolders : public ::testing::Test {
protected:
    TempDir root;
    ScopedEnv homeEnv{"HOME", root.file("home")};
    ScopedEnv dataEnv{"XDG_DATA_HOME", root.file("data")};
    ScopedEnv appDataEnv{"APPDATA", root.file("appdata")};

    std::string product() const { return root.file("appdata/Quorvane/Murmelo"); }
};

} // namespace

TEST_F(UserFolders, ApplicationDataFolderComesFromTheEnvironment) {
    EXPECT_EQ(getUserFolder(), root.file("appdata"));
    ScopedEnv noAppData("APPDATA", "");
    EXPECT_EQ(getUserFolder(), root.file("data"));
    ScopedEnv relativeData("XDG_DATA_HOME", "not/absolute");
    EXPECT_EQ(getUserFolder(), root.file("home") + "/.local/share");
    ScopedEnv noData("XDG_DATA_HOME", "");
    EXPECT_EQ(getUserFolder(), root.file("home") + "/.local/share");
}

TEST_F(UserFolders, SkinFolderIsTheNameThenTheBundleThenNothing) {
    const std::string skins = product() + "/Skins";
    makeFolder(skins + "/Plain/Contents/Resources");
    makeFolder(skins + "/Plain.bundle");
    makeFolder(skins + "/Packed.bundle/Contents/Resources");
    touch(skins + "/File");
    makeFolder(skins + "/File.bundle");

    EXPECT_EQ(findSkinFolder("Plain"), skins + "/Plain");
    EXPECT_EQ(findSkinFolder("Packed"), skins + "/Packed.bundle");
    EXPECT_EQ(findSkinFolder("File"), skins + "/File.bundle"); // a file is not a skin folder
    EXPECT_EQ(findSkinFolder("Missing"), "");
    EXPECT_EQ(findSkinFolder(""), "");

    ScopedEnv noAppData("APPDATA", ""); // now under the XDG data folder
    EXPECT_EQ(findSkinFolder("Plain"), "");
    makeFolder(root.file("data/Quorvane/Murmelo/Skins/Plain"));
    EXPECT_EQ(findSkinFolder("Plain"), root.file("data/Quorvane/Murmelo/Skins/Plain"));
}

TEST_F(UserFolders, ScriptsAreTheReadableLuaFilesInListingOrder) {
    const std::string scripts = product() + "/Scripts";
    makeFolder(scripts);
    std::vector<std::string> wanted;
    for (int i = 0; i < 40; ++i)
        touch(scripts + "/s" + std::to_string(i) + ".lua");
    touch(scripts + "/midi.lua");
    touch(scripts + "/notes.txt");
    touch(scripts + "/old.lua.bak");
    touch(scripts + "/shout.LUA");
    touch(scripts + "/lua");
    makeFolder(scripts + "/folder.lua");                                              // not a file
    ASSERT_EQ(symlink("/nonexistent/x.lua", (scripts + "/dangling.lua").c_str()), 0); // cannot be opened
    ASSERT_EQ(mkfifo((scripts + "/pipe.lua").c_str(), 0600), 0);                      // not a regular file
    ASSERT_EQ(symlink((scripts + "/midi.lua").c_str(), (scripts + "/linked.lua").c_str()), 0);

    // The order the file system lists them in, read independently.
    DIR *folder = opendir(scripts.c_str());
    ASSERT_NE(folder, nullptr);
    while (const dirent *entry = readdir(folder)) {
        const std::string name = entry->d_name;
        const bool lua = name.size() > 4 && name.compare(name.size() - 4, 4, ".lua") == 0;
        if (lua && name != "folder.lua" && name != "dangling.lua" && name != "pipe.lua")
            wanted.push_back(scripts + "/" + name);
    }
    closedir(folder);
    ASSERT_EQ(wanted.size(), 42u);

    std::vector<std::string> paths{"kept"};
    listScripts(paths);
    ASSERT_EQ(paths.size(), 43u);
    EXPECT_EQ(paths[0], "kept");
    EXPECT_TRUE(std::equal(wanted.begin(), wanted.end(), paths.begin() + 1));
    EXPECT_FALSE(std::is_sorted(paths.begin() + 1, paths.end()))
        << "listing order, not sorted (rarely sorted by chance)";
}

TEST_F(UserFolders, ScriptWithoutReadPermissionIsSkipped) {
    const std::string scripts = product() + "/Scripts";
    makeFolder(scripts);
    touch(scripts + "/open.lua");
    touch(scripts + "/closed.lua");
    ASSERT_EQ(chmod((scripts + "/closed.lua").c_str(), 0), 0);
    if (access((scripts + "/closed.lua").c_str(), R_OK) == 0)
        GTEST_SKIP() << "running as root: permissions do not stop reading (folders and dangling links are tested)";
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_EQ(paths, std::vector<std::string>{scripts + "/open.lua"});
}

TEST_F(UserFolders, NoScriptsFolderAddsNothing) {
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_TRUE(paths.empty());
}
