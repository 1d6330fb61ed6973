// The settings store as the effect and the editor use it: defaults, values
// that persist across instances and processes, files that are damaged,
// unreadable or shared with other keys, and concurrent writers.
#include "core/Settings.h"
#include "core/QrvMurmelo.h"
#include "platform/IniText.h"
#include "tests/core/SettingsExpectations.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace murmelo;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

platform::IniDocument parsed(const std::string &path) {
    platform::IniDocument document;
    EXPECT_TRUE(platform::IniDocument::parse(readText(path), document)) << path;
    return document;
}

// Every test gets a home and a configuration folder of its own.
class Settings : public ::testing::Test {
protected:
    TempDir home;
    ScopedEnv homeEnv{"HOME", home.path()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", home.file("config")};

    std::string folder() const { return home.file("config/Quorvane"); }
    std::string file() const { return folder() + "/com.quorvane.murmelo.ini"; }
    void store(const std::string &text) {
        ASSERT_EQ(mkdir(home.file("config").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(folder().c_str(), 0700), 0);
        writeText(file(), text);
    }
    void expectDefaults() { settings_test::expectDefaults(); }
};

vst2::VstIntPtr VST2_CALLBACK quietHost(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void *,
                                        float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

} // namespace

TEST_F(Settings, NothingStoredGivesDefaultsAndCreatesNothing) {
    expectDefaults();
    EXPECT_NE(access(home.file("config").c_str(), F_OK), 0) << "reading must not create folders";
}

TEST_F(Settings, EveryInstanceReadsTheStoredBasePortAtConstruction) {
    oscBasePort = 1234;
    QrvMurmelo first(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7000);

    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 7200));
    QrvMurmelo second(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7200);

    ASSERT_TRUE(writeSettingInt(kSettingFloatingTooltip, 1));
    EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), 1);
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7200);
    EXPECT_EQ(readText(file()), "OSC Base Port = 7200\nEnable floating tooltip = 1\n");

    writeText(file(), "OSC Base Port = not a port\n");
    QrvMurmelo third(quietHost);
    EXPECT_EQ(oscBasePort.load(), 7000);
}

TEST_F(Settings, ValuesPersistAcrossProcesses) {
    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 9100));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child sees the parent's value and stores one of its own.
        const bool ok =
            readSettingInt(kSettingOscBasePort, 7000) == 9100 && writeSettingInt(kSettingFloatingTooltip, 1);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), 1);
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 9100);
}

TEST_F(Settings, FolderFollowsTheUsersConfigurationFolder) {
    ScopedEnv noXdg("XDG_CONFIG_HOME", "");
    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 7001));
    EXPECT_EQ(readText(home.file(".config/Quorvane/com.quorvane.murmelo.ini")), "OSC Base Port = 7001\n");
    struct stat info {};
    ASSERT_EQ(stat(home.file(".config/Quorvane").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ScopedEnv relative("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7001);
}

TEST_F(Settings, WriteKeepsEverythingElseInTheFile) {
    const std::string skin(300, 's'); // longer than inih's own line buffer
    store("; my notes\n"
          "Skin = " +
          skin +
          "\n"
          "osc base port = 7100\n"
          "Window = wide ; inline comment\n"
          "[Other product]\n"
          "Colour = blue\n");
    ASSERT_EQ(chmod(file().c_str(), 0640), 0);

    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 7300));
    ASSERT_TRUE(writeSettingInt(kSettingFloatingTooltip, 1));

    const platform::IniDocument document = parsed(file());
    EXPECT_EQ(document.firstRejectedLine(), 0);
    ASSERT_NE(document.find("", "Skin"), nullptr);
    EXPECT_EQ(*document.find("", "Skin"), skin);
    EXPECT_EQ(*document.find("", "Window"), "wide");
    ASSERT_NE(document.find("Other product", "Colour"), nullptr);
    EXPECT_EQ(*document.find("Other product", "Colour"), "blue");
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7300);
    EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), 1);
    // The existing name keeps its spelling and place; the file its permissions.
    EXPECT_NE(readText(file()).find("\nosc base port = 7300\n"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(Settings, WriteThroughASymbolicLinkKeepsTheLink) {
    store("");
    const std::string real = home.file("dotfiles.ini");
    writeText(real, "Skin = Linked\n");
    ASSERT_EQ(unlink(file().c_str()), 0);
    ASSERT_EQ(symlink(real.c_str(), file().c_str()), 0);
    ASSERT_TRUE(writeSettingInt(kSettingOscBasePort, 7400));
    struct stat info {};
    ASSERT_EQ(lstat(file().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readText(real), "Skin = Linked\nOSC Base Port = 7400\n");
}

TEST_F(Settings, ValuesOfTheWrongTypeReadAsTheDefault) {
    const char *const wrong[] = {"seven thousand", "7000.5", "0x1B58", "70000000000", "", "7 000", "--1"};
    for (const char *text : wrong) {
        store("");
        writeText(file(), std::string("OSC Base Port = ") + text + "\n");
        EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7000) << text;
        ASSERT_EQ(system(("rm -rf '" + home.file("config") + "'").c_str()), 0);
    }
    store("OSC Base Port = +7001\nEnable floating tooltip = -3\nSkin = 42\n");
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7001);
    EXPECT_EQ(readSettingInt(kSettingFloatingTooltip, 0), -3);
    EXPECT_EQ(readSettingInt(kSettingSkin, 5), 42); // text that is a number is a number
}

TEST_F(Settings, CorruptFileReadsAsDefaultsAndAWriteRepairsIt) {
    const char binary[] = "OSC Base Port = 9000\n\0\x01\x02\xff garbage\x7f\nSkin = x\n";
    store(std::string(binary, sizeof binary - 1));
    expectDefaults();
    ASSERT_TRUE(writeSettingInt(kSettingFloatingTooltip, 1));
    EXPECT_EQ(readText(file()), "Enable floating tooltip = 1\n");
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7000);
}

TEST_F(Settings, TruncatedFileLosesOnlyTheBrokenLine) {
    // As if a writer had died mid-line: the last line has no "=".
    store("OSC Base Port = 7300\nEnable floating tooltip = 1\nSki");
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7300);
    std::string skin;
    EXPECT_FALSE(readSettingString(kSettingSkin, skin));
    ASSERT_TRUE(writeSettingInt(kSettingFloatingTooltip, 0));
    EXPECT_EQ(parsed(file()).firstRejectedLine(), 0);
    EXPECT_EQ(readText(file()), "OSC Base Port = 7300\nEnable floating tooltip = 0\n");

    writeText(file(), "OSC Base Port = \n"); // the value cut off
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7000);
}

TEST_F(Settings, FileThatCannotBeReadIsNeverOverwritten) {
    store("");
    ASSERT_EQ(unlink(file().c_str()), 0);
    ASSERT_EQ(mkdir(file().c_str(), 0700), 0); // a folder where the file should be
    expectDefaults();
    EXPECT_FALSE(writeSettingInt(kSettingOscBasePort, 7100));
    struct stat info {};
    ASSERT_EQ(stat(file().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(Settings, FileWithoutReadPermissionIsNeverOverwritten) {
    store("OSC Base Port = 7100\n");
    ASSERT_EQ(chmod(file().c_str(), 0), 0);
    if (access(file().c_str(), R_OK) == 0) GTEST_SKIP() << "running as root: permissions do not stop reading";
    expectDefaults();
    EXPECT_FALSE(writeSettingInt(kSettingFloatingTooltip, 1));
    ASSERT_EQ(chmod(file().c_str(), 0600), 0);
    EXPECT_EQ(readText(file()), "OSC Base Port = 7100\n");
}

TEST_F(Settings, WriteFailsCleanlyWhenThereIsNoPlaceForTheFile) {
    writeText(home.file("plain-file"), "");
    ScopedEnv blocked("XDG_CONFIG_HOME", home.file("plain-file/config"));
    EXPECT_FALSE(writeSettingInt(kSettingOscBasePort, 7100));
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7000);
}

TEST_F(Settings, NamesAndValuesALineCannotHoldAreRefused) {
    EXPECT_FALSE(writeSettingInt("Port = 1\nOSC Base Port", 1));
    EXPECT_FALSE(writeSettingInt("a=b", 1));
    EXPECT_FALSE(writeSettingInt(" padded", 1));
    EXPECT_FALSE(writeSettingInt("[section", 1));
    EXPECT_FALSE(writeSettingInt("", 1));
    EXPECT_NE(access(file().c_str(), F_OK), 0);
    EXPECT_EQ(readSettingInt(kSettingOscBasePort, 7000), 7000);
}

TEST_F(Settings, SkinIsCutAtItsFirst255Bytes) {
    const std::string name(300, 'k');
    store("Skin = " + name + "\n");
    std::string skin;
    ASSERT_TRUE(readSettingString(kSettingSkin, skin));
    EXPECT_EQ(skin, name.substr(0, 255));

    writeText(file(), "Skin = " + std::string(255, 'e') + "\n");
    ASSERT_TRUE(readSettingString(kSettingSkin, skin));
    EXPECT_EQ(skin, std::string(255, 'e'));

    // 254 bytes, then a two-byte character that would straddle the cut.
    writeText(file(), "Skin = " + std::string(254, 'u') + "\xc3\xa9zz\n");
    ASSERT_TRUE(readSettingString(kSettingSkin, skin));
    EXPECT_EQ(skin, std::string(254, 'u'));

    writeText(file(), "Skin =\n");
    skin = "previous";
    ASSERT_TRUE(readSettingString(kSettingSkin, skin));
    EXPECT_EQ(skin, "");
}

TEST_F(Settings, ConcurrentWritersFromThreadsAndProcessesLoseNothing) {
    constexpr int kWriters = 3, kRounds = 15;
    auto writeRounds = [](const std::string &prefix, int writer) {
        bool ok = true;
        for (int round = 1; round <= kRounds; ++round)
            ok = writeSettingInt((prefix + std::to_string(writer)).c_str(), round) && ok;
        return ok;
    };
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(writeRounds("Process ", w) ? 0 : 1);
        children.push_back(child);
    }
    std::vector<std::thread> threads;
    std::vector<char> threadOk(kWriters, 0);
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&, w] { threadOk[w] = writeRounds("Thread ", w); });
    for (auto &t : threads)
        t.join();
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_TRUE(threadOk[w]);
        EXPECT_EQ(readSettingInt(("Process " + std::to_string(w)).c_str(), 0), kRounds);
        EXPECT_EQ(readSettingInt(("Thread " + std::to_string(w)).c_str(), 0), kRounds);
    }
    std::string leftovers;
    testing_support::runCommand("ls -A '" + folder() + "'", leftovers);
    EXPECT_EQ(leftovers, "com.quorvane.murmelo.ini\n") << "no temporary files are left behind";
}

// A settings file swollen with names (another program's, or a damaged one) is
// read in time proportional to its size and keeps the values it has, wherever
// they stand: an instance starts without a noticeable wait.
TEST_F(Settings, AFileOfManyNamesIsReadQuicklyAndLosesNoValue) {
    std::string text = "OSC Base Port = 7400\n";
    for (int i = 0; i < 25000; ++i)
        text += "Key " + std::to_string(i) + " = " + std::to_string(i) + "\n";
    text += "[Elsewhere]\n";
    for (int i = 0; i < 5000; ++i)
        text += "Other " + std::to_string(i) + " = x\n";
    text += "[]\nSkin = Dusk\nkey 12345 = last one wins\n";
    store(text);

    const auto start = std::chrono::steady_clock::now();
    QrvMurmelo instance(quietHost);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0) << "constructing an instance";
    EXPECT_EQ(oscBasePort.load(), 7400);
    std::string skin;
    EXPECT_TRUE(readSettingString(kSettingSkin, skin));
    EXPECT_EQ(skin, "Dusk");

    const platform::IniDocument document = parsed(file());
    ASSERT_EQ(document.sections().size(), 2u);
    EXPECT_EQ(document.sections()[0].entries.size(), 25002u); // the repeated name kept its place
    EXPECT_EQ(*document.find("", "KEY 12345"), "last one wins");
    EXPECT_EQ(*document.find("", "Key 24999"), "24999");
    EXPECT_EQ(*document.find("elsewhere", "Other 4999"), "x");
}
