// The layout script as the host sees it before the editor opens: the size
// effEditGetRect answers comes from the script's getWindowSize, the embedded
// one or a skin's.  No display needed.
#include "tests/layout/LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

using layouttest::UserSetup;

namespace {

std::pair<int, int> rectOf(vsthost::Plugin &plugin) {
    vst2::ERect *r = nullptr;
    EXPECT_EQ(plugin.dispatch(vst2::effEditGetRect, 0, 0, &r), 1);
    if (!r) return {-1, -1};
    EXPECT_EQ(r->top, 0);
    EXPECT_EQ(r->left, 0);
    return {r->right, r->bottom};
}

const char kSmallSkin[] = "function getWindowSize() return 300, 200 end\n";

struct Loaded {
    std::unique_ptr<vsthost::Plugin> plugin;
    std::string out, err;
};

// Loads the plug-in, capturing what it prints while it starts.
Loaded load() {
    Loaded l;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    l.plugin = testing_support::loadMurmelo();
    l.out = testing::internal::GetCapturedStdout();
    l.err = testing::internal::GetCapturedStderr();
    return l;
}

} // namespace

TEST(LayoutScript, EmbeddedLayoutSizesTheEditorBeforeItOpens) {
    UserSetup user;
    Loaded l = load();
    ASSERT_TRUE(l.plugin);
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(520, 256));
    EXPECT_EQ(l.plugin->effect()->flags, 0x19) << "has editor, can mono, can replace";
    EXPECT_EQ(l.out, "") << "the embedded layout loads without a word";
    // A careless host: idle and close without opening, twice.
    for (auto op : {vst2::effEditIdle, vst2::effEditClose, vst2::effEditIdle, vst2::effEditClose})
        EXPECT_EQ(l.plugin->dispatch(op), 0);
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(520, 256));
}

TEST(LayoutScript, SkinIsFoundByNameOrAsBundle) {
    {
        UserSetup user;
        user.writeSettings("Skin = Small\n");
        user.writeSkin("Small", kSmallSkin);
        user.writeSkin("Small.bundle", "function getWindowSize() return 111, 99 end\n");
        EXPECT_EQ(rectOf(*load().plugin), std::make_pair(300, 200)) << "the plain folder comes first";
    }
    {
        UserSetup user;
        user.writeSettings("Skin = Small\n");
        user.writeSkin("Small.bundle", kSmallSkin);
        EXPECT_EQ(rectOf(*load().plugin), std::make_pair(300, 200)) << "Small.bundle when Small is missing";
    }
    {
        UserSetup user;
        user.writeSettings("Skin = Nowhere\n");
        EXPECT_EQ(rectOf(*load().plugin), std::make_pair(520, 256)) << "no such skin: the embedded layout";
    }
}

TEST(LayoutScript, BrokenSkinsGiveAnEmptyEditorAndSaySo) {
    {
        UserSetup user;
        user.writeSettings("Skin = Broken\n");
        user.writeSkin("Broken", "function getWindowSize() return 300, 200\n"); // no "end"
        Loaded l = load();
        ASSERT_TRUE(l.plugin);
        EXPECT_EQ(rectOf(*l.plugin), std::make_pair(0, 0));
        EXPECT_NE(l.out.find("@@@ failed to run buffer: [string \"gui.lua\"]:"), std::string::npos) << l.out;
    }
    {
        UserSetup user;
        user.writeSettings("Skin = Failing\n");
        user.writeSkin("Failing", "function getWindowSize() return 320, 180 end\nerror('half way')\n");
        Loaded l = load();
        EXPECT_EQ(rectOf(*l.plugin), std::make_pair(320, 180)) << "what ran before the error stays";
        EXPECT_NE(l.out.find("half way"), std::string::npos) << l.out;
    }
    {
        UserSetup user;
        user.writeSettings("Skin = Sizeless\n");
        user.writeSkin("Sizeless", "function createUI() end\n");
        EXPECT_EQ(rectOf(*load().plugin), std::make_pair(0, 0)) << "no getWindowSize: 0 x 0";
    }
    {
        UserSetup user;
        user.writeSettings("Skin = Odd\n");
        user.writeSkin("Odd", "function getWindowSize() return -5, 1e12 end\n");
        EXPECT_EQ(rectOf(*load().plugin), std::make_pair(0, 16384)) << "sizes are kept within range";
    }
}

TEST(LayoutScript, SkinWithoutScriptFallsBackToTheEmbeddedLayout) {
    UserSetup user;
    user.writeSettings("Skin = Empty\n");
    user.makeSkinFolder("Empty");
    Loaded l = load();
    ASSERT_TRUE(l.plugin);
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(520, 256));
    EXPECT_NE(l.err.find("skin \"Empty\": cannot read"), std::string::npos) << l.err;
    EXPECT_NE(l.err.find("using the built-in layout"), std::string::npos) << l.err;
}

TEST(LayoutScript, EndlessScriptIsStopped) {
    UserSetup user;
    user.writeSettings("Skin = Loop\n");
    user.writeSkin("Loop", "function getWindowSize() return 200, 100 end\nwhile true do end\n");
    Loaded l = load();
    ASSERT_TRUE(l.plugin) << "the host survives a layout script that never ends";
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(200, 100));
    EXPECT_NE(l.out.find("@@@ failed to run buffer"), std::string::npos) << l.out;
}

TEST(LayoutScript, ScriptThatBreaksTheGlobalsCannotEndTheHost) {
    // Every global read raises: getWindowSize and the rest are looked up
    // through the failing metatable, in protected calls.
    UserSetup user;
    user.writeSettings("Skin = Hostile\n");
    user.writeSkin("Hostile", "setmetatable(_G, { __index = function() error('no globals here') end })\n");
    Loaded l = load();
    ASSERT_TRUE(l.plugin);
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(0, 0));
    EXPECT_EQ(l.plugin->dispatch(vst2::effEditOpen, 0, 0, nullptr), 0) << "opening without a window survives";
    l.plugin->dispatch(vst2::effEditClose);
}

// A skin cannot keep the host's thread: not by taking the hook away, and
// not by looping in an error handler, while loading or in createUI.
TEST(LayoutScript, EscapesFromTheStopDoNotHoldTheHost) {
    UserSetup user;
    user.writeSettings("Skin = Escape\n");
    user.writeSkin("Escape", R"(
function getWindowSize() return 200, 100 end
sethookRefused = not pcall(debug.sethook)
function createUI()
  xpcall(function() while true do end end, function() while true do end end)
end
pcall(debug.sethook)
while true do end
)");
    auto opened = std::async(std::launch::async, [] {
        Loaded l = load();
        if (l.plugin) l.plugin->dispatch(vst2::effEditOpen, 0, 0, nullptr);
        return l;
    });
    if (opened.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "loading or effEditOpen did not return";
        std::_Exit(1); // the thread cannot be cancelled
    }
    Loaded l = opened.get();
    ASSERT_TRUE(l.plugin);
    EXPECT_EQ(rectOf(*l.plugin), std::make_pair(200, 100));
    EXPECT_NE(l.out.find("@@@ failed to run buffer: script ran too long"), std::string::npos) << l.out;
    l.plugin->dispatch(vst2::effEditClose);
}
