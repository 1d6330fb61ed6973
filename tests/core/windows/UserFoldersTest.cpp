// The user's folders where only Windows has them: the USERNAME fallback
// when APPDATA is not set, nothing at all when neither is, and script files
// another program holds open without sharing them.
#include "core/UserFolders.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <windows.h>

using namespace murmelo;
using testing_support::makeFolders;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

namespace fs = std::filesystem;

void touch(const std::string &path) { testing_support::writeFile(path, "-- script\n"); }

// A folder the test makes outside its temporary folder (in the scratch wine
// prefix's drive C:), removed with everything in it at the end.
class MadeFolder {
public:
    explicit MadeFolder(const std::string &path) : path(path) { makeFolders(path); }
    ~MadeFolder() {
        std::error_code ignored;
        fs::remove_all(fs::u8path(path), ignored);
    }

private:
    std::string path;
};

std::string uniqueUserName(const std::string &stem) {
    std::random_device random;
    return stem + "-" + std::to_string(random() % 1000000);
}

class WindowsUserFolders : public ::testing::Test {
protected:
    TempDir root;
    ScopedEnv appDataEnv{"APPDATA", root.file("appdata")};
};

} // namespace

TEST_F(WindowsUserFolders, WithoutAppDataTheUserNameFolderIsUsed) {
    const std::string user = uniqueUserName("J\xc3\xbcrgen"); // "Jürgen-…"
    const std::string folder = "C:\\Documents and Settings\\" + user + "\\Application Data";
    ScopedEnv userName("USERNAME", user);
    ScopedEnv noAppData("APPDATA");
    EXPECT_EQ(getUserFolder(), folder);
    {
        ScopedEnv emptyAppData("APPDATA", "");
        EXPECT_EQ(getUserFolder(), folder) << "an empty APPDATA counts as none";
    }

    EXPECT_EQ(findSkinFolder("Plain"), "");
    const MadeFolder made("C:\\Documents and Settings\\" + user);
    makeFolders(folder + "\\Quorvane\\Murmelo\\Skins\\Plain");
    makeFolders(folder + "\\Quorvane\\Murmelo\\Scripts");
    touch(folder + "\\Quorvane\\Murmelo\\Scripts\\fallback.lua");
    EXPECT_EQ(findSkinFolder("Plain"), folder + "\\Quorvane\\Murmelo\\Skins\\Plain");
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_EQ(paths, std::vector<std::string>{folder + "\\Quorvane\\Murmelo\\Scripts\\fallback.lua"});
}

// With neither variable there is no user folder, and nothing is looked for
// at the root of the current drive, where a product folder is waiting.
TEST_F(WindowsUserFolders, NeitherAppDataNorUserNameFindsNothing) {
    ScopedEnv noAppData("APPDATA");
    ScopedEnv noUser("USERNAME");
    EXPECT_EQ(getUserFolder(), "");

    const std::string drive = fs::current_path().root_name().u8string(); // "C:"
    const MadeFolder made(drive + "\\Quorvane");
    makeFolders(drive + "\\Quorvane\\Murmelo\\Skins\\Plain");
    makeFolders(drive + "\\Quorvane\\Murmelo\\Scripts");
    touch(drive + "\\Quorvane\\Murmelo\\Scripts\\root.lua");
    EXPECT_EQ(findSkinFolder("Plain"), "");
    std::vector<std::string> paths;
    listScripts(paths);
    EXPECT_TRUE(paths.empty()) << paths.front();
}

// A script another program has open without sharing it cannot be read now:
// it is left out, and picked up again once the other program lets go.
TEST_F(WindowsUserFolders, ScriptHeldOpenByAnotherProgramIsSkipped) {
    const std::string scripts = root.file("appdata/Quorvane/Murmelo/Scripts");
    makeFolders(scripts);
    touch(scripts + "\\open.lua");
    touch(scripts + "\\held.lua");
    const HANDLE held = CreateFileW(fs::u8path(scripts + "\\held.lua").wstring().c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<std::string> paths;
    listScripts(paths);
    CloseHandle(held);
    EXPECT_EQ(paths, std::vector<std::string>{scripts + "\\open.lua"});

    paths.clear();
    listScripts(paths);
    EXPECT_EQ(paths.size(), 2u);
}
