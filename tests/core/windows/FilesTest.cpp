// Whole files where only Windows has them: a file another program holds
// open without sharing, and both spellings of a path.
#include "core/Resources.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

using namespace murmelo;

namespace {

std::string text(const DataBuffer &buffer) { return std::string(buffer.chars(), buffer.length()); }

TEST(WindowsReadFile, AFileHeldWithoutSharingReadsAsNothingUntilReleased) {
    testing_support::TempDir dir;
    const std::string path = dir.file("held.txt");
    testing_support::writeFile(path, "held");
    const HANDLE held = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(readFile(path).empty());
    CloseHandle(held);
    EXPECT_EQ(text(readFile(path)), "held");
}

// Paths handed over from Linux-minded code ("Z:/...") work as well.
TEST(WindowsReadFile, ForwardAndBackSlashesNameTheSameFile) {
    testing_support::TempDir dir;
    testing_support::makeFolders(dir.file("a/b"));
    testing_support::writeFile(dir.file("a/b/c.txt"), "slashes");
    std::string forward = dir.file("a/b/c.txt");
    for (char &c : forward)
        if (c == '\\') c = '/';
    EXPECT_EQ(text(readFile(forward)), "slashes");
    EXPECT_EQ(text(readFile(dir.file("a/b/c.txt"))), "slashes");
}

} // namespace
