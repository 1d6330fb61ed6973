// The user's folders on every system: the application-data folder named by
// APPDATA, how a skin's folder is found, which script files are picked up,
// and names beyond ASCII.  What each system does without APPDATA, and the
// files only one system has (links, pipes, permission bits, locked files),
// are in linux/ and windows/.
#include "core/UserFolders.h"
#include "core/Resources.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace murmelo;
using testing_support::kSeparator;
using testing_support::makeFolders;
using testing_support::nativePath;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

void touch(const std::string &path) { testing_support::writeFile(path, "-- script\n"); }

bool endsWithLua(const std::string &name) { return name.size() >= 4 && name.compare(name.size() - 4, 4, ".lua") == 0; }

class UserFolders : public ::testing::Test {
protected:
    TempDir root;
    ScopedEnv appDataEnv{"APPDATA", root.file("appdata")};

    std::string product() const { return root.file("appdata/Quorvane/Murmelo"); }
    static std::string in(const std::string &folder, const std::string &name) {
        return folder + kSeparator + nativePath(name);
    }
};

} // namespace

TEST_F(UserFolders, ApplicationDataFolderIsAppDataWhenSet) {
    EXPECT_EQ(getUserFolder(), root.file("appdata"));
    ScopedEnv other("APPDATA", root.file("elsewhere"));
    EXPECT_EQ(getUserFolder(), root.file("elsewhere")) << "read anew on every call";
}

TEST_F(UserFolders, SkinFolderIsTheNameThenTheBundleThenNothing) {
    const std::string skins = in(product(), "Skins");
    makeFolders(in(skins, "Plain/Contents/Resources"));
    makeFolders(in(skins, "Plain.bundle"));
    makeFolders(in(skins, "Packed.bundle/Contents/Resources"));
    touch(in(skins, "File"));
    makeFolders(in(skins, "File.bundle"));
    touch(in(skins, "Lone.bundle"));

    EXPECT_EQ(findSkinFolder("Plain"), in(skins, "Plain"));
    EXPECT_EQ(findSkinFolder("Packed"), in(skins, "Packed.bundle"));
    EXPECT_EQ(findSkinFolder("File"), in(skins, "File.bundle")); // a file is not a skin folder
    EXPECT_EQ(findSkinFolder("Lone"), "") << "nor is a file named like a bundle";
    EXPECT_EQ(findSkinFolder("Missing"), "");
    EXPECT_EQ(findSkinFolder(""), "");

    ScopedEnv elsewhere("APPDATA", root.file("empty"));
    EXPECT_EQ(findSkinFolder("Plain"), "") << "no Skins folder there";
}

// The suffix is matched as written: "shout.LUA" is left out on every system,
// although Windows would open it by either spelling.
TEST_F(UserFolders, ScriptsAreTheReadableLuaFilesInListingOrder) {
    const std::string scripts = in(product(), "Scripts");
    makeFolders(scripts);
    for (int i = 0; i < 40; ++i)
        touch(in(scripts, "s" + std::to_string(i) + ".lua"));
    touch(in(scripts, "midi.lua"));
    touch(in(scripts, "notes.txt"));
    touch(in(scripts, "old.lua.bak"));
    touch(in(scripts, "shout.LUA"));
    touch(in(scripts, "lua"));
    makeFolders(in(scripts, "folder.lua")); // not a file

    // The order the file system lists them in, read independently.
    std::vector<std::string> wanted;
    for (const std::string &name : testing_support::folderEntries(scripts))
        if (endsWithLua(name) && name != "folder.lua") wanted.push_back(in(scripts, name));
    ASSERT_EQ(wanted.size(), 41u);

    std::vector<std::string> paths{"kept"};
    listScripts(paths);
    ASSERT_EQ(paths.size(), 42u);
    EXPECT_EQ(paths[0], "kept");
    EXPECT_TRUE(std::equal(wanted.begin(), wanted.end(), paths.begin() + 1));
    EXPECT_EQ(std::count(paths.begin(), paths.end(), in(scripts, "shout.LUA")), 0);
}

TEST_F(UserFolders, NoScriptsFolderAddsNothing) {
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_TRUE(paths.empty());
    makeFolders(in(product(), "Scripts"));
    listScripts(paths);
    EXPECT_TRUE(paths.empty()) << "nor does an empty one";
}

// UTF-8 names from the environment to the file system and back: a user
// folder, skins and scripts whose names hold letters beyond ASCII (two-,
// three- and four-byte sequences), found and read by the paths we hand out.
TEST_F(UserFolders, NamesBeyondAsciiAreFoundAndRead) {
    const std::string user = root.file("Sk\xc3\xafns \xce\xa9"); // "Skïns Ω"
    const std::string dusk = "D\xc3\xa4mmerung \xe5\xa4\x9c";    // "Dämmerung 夜"
    const std::string naive = "na\xc3\xafve.lua";                // "naïve.lua"
    const std::string clef = "\xf0\x9d\x84\x9e clef.lua";        // "𝄞 clef.lua"
    ScopedEnv appData("APPDATA", user);
    const std::string base = in(user, "Quorvane/Murmelo");
    makeFolders(in(base, "Skins/" + dusk + "/Contents/Resources"));
    makeFolders(in(base, "Skins/\xc3\x9c.bundle")); // "Ü.bundle"
    makeFolders(in(base, "Scripts"));
    testing_support::writeFile(in(base, "Scripts/" + naive), "-- na\xc3\xafve\n");
    testing_support::writeFile(in(base, "Scripts/" + clef), "-- clef\n");

    EXPECT_EQ(getUserFolder(), user);
    EXPECT_EQ(findSkinFolder(dusk), in(base, "Skins/" + dusk));
    EXPECT_EQ(findSkinFolder("\xc3\x9c"), in(base, "Skins/\xc3\x9c.bundle"));
    EXPECT_EQ(findSkinFolder("D\xc3\xa4mmerung"), "");

    std::vector<std::string> paths;
    listScripts(paths);
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> wanted{in(base, "Scripts/" + naive), in(base, "Scripts/" + clef)};
    std::sort(wanted.begin(), wanted.end());
    ASSERT_EQ(paths, wanted);
    const DataBuffer script = readFile(in(base, "Scripts/" + naive));
    EXPECT_EQ(std::string(script.chars(), script.length()), "-- na\xc3\xafve\n");
}
