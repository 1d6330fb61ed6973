// The desktop calls on Windows: the folder of the module the code is in
// (program or DLL, paths beyond ASCII and beyond MAX_PATH), programs on
// PATH with the executable extensions, and documents opened by the shell.
#include "platform/Shell.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <windows.h>

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::wstring wide(const std::string &utf8) { return fs::u8path(utf8).wstring(); }
std::string utf8(const std::wstring &text) { return fs::path(text).u8string(); }

// The long, case-preserved spelling of an existing path, for comparing.
std::wstring longPath(const std::wstring &path) {
    std::wstring result(32768, L'\0');
    const DWORD n = GetLongPathNameW(path.c_str(), &result[0], static_cast<DWORD>(result.size()));
    result.resize(n < result.size() ? n : 0);
    return result;
}

bool sameFolder(const std::string &a, const std::string &b) {
    const std::wstring x = longPath(wide(a)), y = longPath(wide(b));
    return !x.empty() && CompareStringOrdinal(x.c_str(), -1, y.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string programFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return utf8(path.substr(0, path.find_last_of(L'\\')));
}

TEST(ModuleFolder, IsTheProgramsFolderWhenLinkedIntoIt) {
    const std::string folder = platform::moduleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(sameFolder(folder, programFolder())) << folder << " vs " << programFolder();
}

const std::wstring kExtended = L"\\\\?\\";

// The probe DLL, copied into folder, loaded and asked.  Names go to the
// system in their extended-length form, as a folder may be deeper than
// MAX_PATH.
std::string folderSeenByProbe(const std::string &folder) {
    const std::wstring probe = wide(programFolder()) + L"\\module-folder-probe.dll";
    const std::wstring copy = kExtended + wide(folder) + L"\\probe.dll";
    if (!CopyFileW(probe.c_str(), copy.c_str(), FALSE))
        return "(cannot copy the probe: " + std::to_string(GetLastError()) + ")";
    const HMODULE module = LoadLibraryW(copy.c_str());
    if (!module) return "(cannot load the probe: " + std::to_string(GetLastError()) + ")";
    using Probe = int (*)(char *, int);
    const auto ask = reinterpret_cast<Probe>(reinterpret_cast<void *>(GetProcAddress(module, "probeModuleFolder")));
    std::string answer(65536, '\0');
    const int n = ask ? ask(&answer[0], static_cast<int>(answer.size())) : -1;
    answer.resize(n > 0 ? n : 0);
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    return answer;
}

TEST(ModuleFolder, IsTheDllsOwnFolderWhenLoadedFromElsewhere) {
    TempDir dir;
    const std::string folder = dir.file(u8"Plug-ins \u00e9t\u00e9 \u03a9 \u6587");
    testing_support::makeFolders(folder);
    const std::string seen = folderSeenByProbe(folder);
    EXPECT_TRUE(sameFolder(seen, folder)) << "probe says: " << seen;
    EXPECT_FALSE(sameFolder(seen, programFolder()));
}

TEST(ModuleFolder, ReadsNamesLongerThanMaxPath) {
    TempDir dir;
    const std::wstring level = L"\\a-rather-long-folder-name-for-the-plug-in";
    std::vector<std::wstring> levels;
    std::wstring folder = wide(dir.path());
    while (folder.size() < 400) {
        folder += level;
        ASSERT_TRUE(CreateDirectoryW((kExtended + folder).c_str(), nullptr)) << GetLastError();
        levels.push_back(folder);
    }
    const std::string seen = folderSeenByProbe(utf8(folder));
    // The deep folders go before the temporary one, whose removal stops at
    // names longer than MAX_PATH.
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        RemoveDirectoryW((kExtended + *it).c_str());
    // The loader may give the name with or without its \\?\ prefix.
    const std::wstring plain = wide(seen).rfind(kExtended, 0) == 0 ? wide(seen).substr(4) : wide(seen);
    EXPECT_GT(plain.size(), static_cast<std::size_t>(MAX_PATH)) << seen;
    EXPECT_EQ(CompareStringOrdinal(plain.c_str(), -1, folder.c_str(), -1, TRUE), CSTR_EQUAL) << seen;
}

class PathFolders : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::writeFile(dir.file("murmelo-probe.bat"), "@echo off\r\n");
        testing_support::writeFile(dir.file("murmelo-notes.txt"), "notes\r\n");
        testing_support::makeFolders(dir.file("murmelo-folder.exe"));
    }
    TempDir dir;
};

TEST_F(PathFolders, FindsProgramsByNameWithTheExecutableExtensions) {
    testing_support::ScopedEnv path("PATH", "C:\\nonexistent-folder;;" + dir.path());
    testing_support::ScopedEnv extensions("PATHEXT", ".COM;.EXE;.BAT;.CMD");
    EXPECT_TRUE(platform::onPath("murmelo-probe"));
    EXPECT_TRUE(platform::onPath("murmelo-probe.bat"));
    EXPECT_TRUE(platform::onPath("MURMELO-PROBE")) << "file names ignore case";
    EXPECT_FALSE(platform::onPath("murmelo-notes")) << ".txt is not an executable extension";
    EXPECT_FALSE(platform::onPath("murmelo-notes.txt"));
    EXPECT_FALSE(platform::onPath("murmelo-folder")) << "a folder is not a program";
    EXPECT_FALSE(platform::onPath("missing-program"));
    EXPECT_FALSE(platform::onPath(""));
}

TEST_F(PathFolders, FollowsPathextAndQuotedEntries) {
    testing_support::ScopedEnv path("PATH", "\"" + dir.path() + "\"");
    testing_support::ScopedEnv extensions("PATHEXT", ".TXT");
    EXPECT_TRUE(platform::onPath("murmelo-notes"));
    EXPECT_FALSE(platform::onPath("murmelo-probe")) << ".BAT is no longer listed";
}

TEST_F(PathFolders, OnlyTheListedFoldersCount) {
    {
        testing_support::ScopedEnv path("PATH", "C:\\nonexistent-folder");
        EXPECT_FALSE(platform::onPath("murmelo-probe"));
    }
    testing_support::ScopedEnv path("PATH");
    EXPECT_FALSE(platform::onPath("murmelo-probe"));
}

TEST(SystemPath, FindsTheCommandProcessor) {
    EXPECT_TRUE(platform::onPath("cmd"));
    EXPECT_TRUE(platform::onPath("cmd.exe"));
}

TEST(OpenDocument, AMissingFileFailsWithTheSystemsReason) {
    TempDir dir;
    const std::string missing = dir.file("no-such-manual.pdf");
    testing::internal::CaptureStderr();
    const bool opened = platform::openDocument(missing);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(opened);
    EXPECT_EQ(errors.rfind("Error: cannot open " + missing + ": ", 0), 0u) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;

    testing::internal::CaptureStderr();
    EXPECT_FALSE(platform::openDocument(""));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Error: cannot open : ", 0), 0u);
}

// The shell's "open" of a batch file runs it: the handler it starts writes
// a file and ends by itself.
TEST(OpenDocument, StartsTheHandlerForTheFilesType) {
    TempDir dir;
    const std::string marker = dir.file("ran.txt");
    const std::string script = dir.file(u8"write marker \u00fc.bat");
    testing_support::writeFile(script, "@echo off\r\necho ran> \"%~dp0ran.txt\"\r\n");
    ASSERT_TRUE(platform::openDocument(script));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!testing_support::pathExists(marker) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(testing_support::pathExists(marker)) << "the batch file did not run";
    // The handler may still hold the file for a moment.
    std::string text;
    for (int i = 0; i < 50 && text.rfind("ran", 0) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        text = testing_support::readFileText(marker);
    }
    EXPECT_EQ(text.rfind("ran", 0), 0u) << text;
}

} // namespace
