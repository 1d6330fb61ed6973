// The real plug-in's editor in a host window: the default layout's picture
// at the positions of its geometry table, opening again, skins that replace
// the layout, and what the layout API tells scripts and the host.
#include "tests/layout/LayoutTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using guitest::blend;
using guitest::Image;
using guitest::nearColour;
using guitest::rgb;
using guitest::Rgb;
using layouttest::PluginEditor;
using layouttest::UserSetup;

namespace {

const Rgb kBackground = rgb(0.5f, 0.1f, 0.1f);
const Rgb kOutline = blend(0.4f, 0.4f, 0.6f, 0.5f, kBackground); // the layout's inactive group colour

// Whether a pixel within one pixel of (x, y) matches colour.
bool colourNear(const Image &image, int x, int y, Rgb colour, int tolerance = 10) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (nearColour(image.at(x + dx, y + dy), colour, tolerance)) return true;
    return false;
}

// The named groups' window boxes of the default layout: (minX, minY, maxX, maxY).
struct GroupBox {
    const char *title;
    int minX, minY, maxX, maxY;
};
const GroupBox kGroups[] = {
    {"Speed LFO", 10, 10, 115, 88}, {"Speed", 10, 98, 165, 176},         {"Depth LFO", 175, 10, 280, 88},
    {"Depth", 175, 98, 280, 176},   {"Chorus/Flange", 290, 10, 395, 88}, {"Shape", 290, 98, 395, 176},
    {"OSC", 405, 10, 460, 88},      {"Mix", 405, 98, 510, 176},
};

class EditorView : public testing::Test {
protected:
    guitest::HostScreen screen;
};

TEST_F(EditorView, DefaultLayoutShowsItsGroupsButtonAndInfoDisplay) {
    UserSetup user;
    PluginEditor e(screen);
    EXPECT_EQ(e.rect(), std::make_pair(520, 256));
    ASSERT_TRUE(e.open());
    const Image image = e.grab();
    // Kept for comparing the systems' pictures (the README shows both).
    guitest::saveArtefact(image, "default-editor");
    for (const GroupBox &g : kGroups) {
        const int midY = (g.minY + g.maxY) / 2, midX = (g.minX + g.maxX) / 2;
        EXPECT_TRUE(colourNear(image, g.minX, midY, kOutline)) << g.title << ": left edge";
        EXPECT_TRUE(colourNear(image, g.maxX, midY, kOutline)) << g.title << ": right edge";
        EXPECT_TRUE(colourNear(image, midX, g.minY, kOutline)) << g.title << ": bottom edge";
        EXPECT_TRUE(nearColour(image.at(g.minX - 4, midY), kBackground, 3)) << g.title << ": nothing left of it";
    }
    // Between the rows, right of the groups, and below them: background.
    for (auto p : {std::make_pair(250, 93), std::make_pair(515, 130), std::make_pair(300, 4)})
        EXPECT_TRUE(nearColour(image.at(p.first, p.second), kBackground, 3)) << p.first << "," << p.second;
    // The first text field of Speed LFO (20..55 x 30..42): its light fill.
    EXPECT_TRUE(nearColour(image.at(23, 40), rgb(0.8f, 0.8f, 0.85f), 4));
    // The "Prefs" button (415, 196)-(505, 226): a faint grey fill and its caption.
    EXPECT_TRUE(nearColour(image.at(418, 199), blend(0.3f, 0.3f, 0.3f, 0.2f, kBackground), 6));
    EXPECT_GT(image.countDifferent(440, 203, 480, 220, blend(0.3f, 0.3f, 0.3f, 0.2f, kBackground), 40), 15)
        << "the caption";
    EXPECT_TRUE(nearColour(image.at(413, 211), kBackground, 3)) << "the button starts at x = 415";
    // The info display (20, 206)-(120, 246): "Speed: ..." from its lower-left corner.
    EXPECT_GT(image.countDifferent(20, 206, 120, 222, kBackground, 40), 20) << "the info display's text";
    // The banner at y = 236: its faint band and the window title.
    EXPECT_TRUE(nearColour(image.at(300, 238), blend(0.9f, 0.9f, 0.9f, 0.1f, kBackground), 6));
    EXPECT_GT(image.countDifferent(60, 236, 250, 252, blend(0.9f, 0.9f, 0.9f, 0.1f, kBackground), 40), 40)
        << "the title";
}

TEST_F(EditorView, OpeningAgainBuildsTheSamePicture) {
    UserSetup user;
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    const Image first = e.grab();
    e.close();
    EXPECT_EQ(e.rect(), std::make_pair(520, 256)) << "the size stays known while closed";
    ASSERT_TRUE(e.open());
    const Image second = e.grab();
    EXPECT_LT(second.countDifferent(0, 0, 520, 256, {0, 0, 0}, 255), 1) << "sanity";
    int different = 0;
    for (int y = 0; y < 256; ++y)
        for (int xx = 0; xx < 520; ++xx)
            different += !nearColour(first.at(xx, y), second.at(xx, y), 8);
    EXPECT_LT(different, 10) << "a fresh tree with the same picture";

    // A host that opens the editor again without closing it gets one editor.
    e.plugin().dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void *>(e.hostWindow));
    e.idle(100);
    screen.sync();
    const std::vector<guitest::WindowHandle> children = screen.children(e.hostWindow);
    if (!children.empty()) e.child = children.front();
    EXPECT_EQ(children.size(), 1u);
}

TEST_F(EditorView, SkinReplacesTheLayout) {
    UserSetup user;
    user.writeSettings("Skin = Green\n");
    user.writeSkin("Green", R"lua(
function getWindowSize() return 300, 200 end
function getFont() return { { name = "arial.ttf", size = 12 } } end
function createUI()
  setBackgroundColour(0.1, 0.4, 0.1)
  setGroupInactiveColour(1, 1, 0, 1)
  local g = group("Moved")
  g:add(knob("Feedback", "", 0, 0, 40))
  g:setPosition(150, 60)
end
)lua");
    PluginEditor e(screen);
    EXPECT_EQ(e.rect(), std::make_pair(300, 200));
    ASSERT_TRUE(e.open());
    const Image image = e.grab();
    const Rgb green = rgb(0.1f, 0.4f, 0.1f);
    EXPECT_TRUE(nearColour(image.at(20, 20), green, 3));
    // The group's box: the knob's 0..40 plus the margin of 10, at (150, 60).
    EXPECT_TRUE(colourNear(image, 140, 80, rgb(1, 1, 0))) << "left edge at x = 140";
    EXPECT_TRUE(colourNear(image, 190, 50, rgb(1, 1, 0))) << "bottom edge at y = 50";
    EXPECT_FALSE(nearColour(image.at(170, 80), green, 30)) << "the knob in the middle";
}

// The default layout with one group moved: the README's example skin.
TEST_F(EditorView, ExampleSkinMovesOneGroup) {
    std::ifstream in(MURMELO_SOURCE_DIR "/resources/gui.lua");
    std::stringstream script;
    script << in.rdbuf();
    std::string text = script.str();
    const std::string from = "oscGroup:setPosition(xbase3, ybase)";
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), "oscGroup:setPosition(xbase3 + 50, ybase)");
    UserSetup user;
    user.writeSettings("Skin = Moved\n");
    user.writeSkin("Moved", text);
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    const Image image = e.grab();
    EXPECT_TRUE(nearColour(image.at(405, 49), kBackground, 3)) << "the OSC group left x = 405";
    EXPECT_TRUE(colourNear(image, 455, 49, kOutline)) << "and starts at x = 455";
    EXPECT_TRUE(colourNear(image, 405, 137, kOutline)) << "Mix stays";
}

// The registry is within a skin's reach: one that empties it, or plants its
// own values under the editor's keys, still calls working functions.
TEST_F(EditorView, RegistryChangesDoNotMisleadTheFunctions) {
    UserSetup user;
    user.writeSettings("Skin = Registry\n");
    user.writeSkin("Registry", R"lua(
local registry = debug.getregistry()
for key in pairs(registry) do
  if type(key) == 'userdata' then registry[key] = {} end
end
function getWindowSize() return 300, 200 end
function createUI()
  for key in pairs(registry) do
    if type(key) == 'userdata' then registry[key] = nil end
  end
  setBackgroundColour(0.1, 0.4, 0.1)
  group("Still here"):add(knob("Feedback", "", 0, 0, 40))
end
)lua");
    PluginEditor e(screen);
    ASSERT_TRUE(e.open());
    EXPECT_TRUE(nearColour(e.grab().at(5, 5), rgb(0.1f, 0.4f, 0.1f), 3)) << "createUI ran to its end";
}

// A layout script that tries the API and writes what happened, one line
// per case, into a file the test reads.
const char kProbeScript[] = R"lua(
function getWindowSize() return 520, 256 end
local results = RESULTS
local function note(name, value) local f = io.open(results, "a"); f:write(name, "\t", tostring(value), "\n"); f:close() end
local function try(name, f) local ok, err = pcall(f); note(name, ok and (err or "ok") or err) end
function getFont()
  try("button before createUI", function() button("Prefs", "Prefs", 0, 0, 90, 30) end)
  return { { name = "arial.ttf", size = 12 } }
end
function createUI()
  openings = (openings or 0) + 1
  if kept then try("kept handle", function() return kept:isVisible() end) end
  if keptGroup then try("kept group", function() return keptGroup:width() end) end
  try("unknown parameter", function() knob("x", "", 0, 0, 35) end)
  try("lower-case prefs", function() button("prefs", "Prefs", 0, 0, 90, 30) end)
  try("capital H", function() slider("Shape", 0, 0, 100, 20, "Horizontal") end)
  try("slider", function() slider("Shape", 0, 0, 100, 20, "horizontal") end)
  try("slider name first", function() slider("Nope", 0, 0, 100, 20, "Horizontal") end)
  try("luaButton number", function() luaButton(1, "a", "b", "toggle", 0, 0, 10, 10) end)
  try("luaButton", function() luaButton(function() end, "a", "b", "toggle", 0, 0, 10, 10) end)
  try("dropDown", function() dropDown("Shape", 0, 0, 10, 10) end)
  try("texture", function() return type(texture("knob.png")) end)
  try("font number", function() font(12) end)
  try("index 16", function() return getParameter(16) end)
  try("index -1", function() setParameter(-1, 0) end)
  try("knob with two", function() knob(10, 20) end)
  try("colour with two", function() setGroupActiveColour(1, 2) end)
  local g = group("Probe")
  try("group to add", function() add(g) end)
  try("group into group", function() g:add(g) end)
  try("number as group", function() return g.width(5) end)
  local k = knob("junk", "Shape", "", 10, 10, 35)
  note("knob of six", k ~= nil)
  note("knob state", k:getState())
  k:setState(true)
  note("knob state after set", k:getState())
  note("empty group width", g:width())
  g:add(k)
  note("group width", g:width())
  note("Shape id", getParameterID("Shape"))
  try("id of a number", function() return getParameterID(3) end)
  setParameter("3", 0.5)
  note("param 3", getParameter("3"))
  note("param by name", getParameter("Speed (fine)"))
  try("nan value", function() setParameter("Bias", 0/0) end)
  setParameter("Feedback", 1e30)
  note("clamped feedback", getParameter("Feedback"))
  note("isWin", isWin)
  kept = k
  keptGroup = g
end
)lua";

std::map<std::string, std::string> readResults(const std::string &path) {
    std::map<std::string, std::string> results;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) results[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return results;
}

TEST_F(EditorView, LayoutApiErrorsReachTheScript) {
    UserSetup user;
    const std::string results = user.appData.file("results.txt");
    user.writeSettings("Skin = Probe\n");
    // A long string: a Windows path's backslashes are no escapes there.
    user.writeSkin("Probe", "RESULTS = [[" + results + "]]\n" + kProbeScript);
    PluginEditor e(screen);
    e.plugin().clearCalls();
    ASSERT_TRUE(e.open());
    std::map<std::string, std::string> r = readResults(results);
    const std::string where = "[string \"gui.lua\"]:";
    auto says = [&](const char *name, const std::string &text) {
        EXPECT_NE(r[name].find(text), std::string::npos) << name << ": " << r[name];
    };
    says("button before createUI", "no button lookup table");
    says("unknown parameter", where);
    says("unknown parameter", "parameter not found: 'x'");
    says("lower-case prefs", "button not found: prefs");
    says("capital H", "unknown slider orientation: Horizontal");
    says("slider", "no slider support");
    says("slider name first", "parameter not found: 'Nope'");
    says("luaButton number", "first argument to luaButton() is not a function");
    says("luaButton", "no luabutton support");
    says("dropDown", "no dropdown support");
    says("texture", "userdata"); // with a skin, any name makes a texture of the skin's file
    says("font number", "bad argument #1 to 'font' (function expected, got number)");
    says("index 16", "parameter index out of range: 16");
    says("index -1", "parameter index out of range: -1");
    says("knob with two", "bad argument #3 to 'knob' (number expected, got no value)");
    says("colour with two", "bad argument #3 to 'setGroupActiveColour' (number expected, got no value)");
    says("group to add", "bad argument #1 to 'add' (element expected, got userdata)");
    // Lua counts a method's arguments after the receiver.
    says("group into group", "bad argument #1 to 'add' (element expected, got userdata)");
    says("number as group", "QVgui.Group expected, got number");
    EXPECT_EQ(r["knob of six"], "true") << "the last five arguments";
    EXPECT_EQ(r["knob state"], "false");
    EXPECT_EQ(r["knob state after set"], "false") << "a knob has no state";
    EXPECT_LT(std::stod(r["empty group width"]), -1e10) << "an empty group's box is empty";
    EXPECT_EQ(r["group width"], "55");
    EXPECT_EQ(r["Shape id"], "7");
    says("id of a number", "parameter not found: '3'");
    EXPECT_EQ(r["param 3"], "0.5");
    EXPECT_EQ(r["param by name"], "0.5");
    says("nan value", "bad argument #2 to 'setParameter' (finite number expected)");
    EXPECT_EQ(r["clamped feedback"], "100");
    EXPECT_EQ(r["isWin"], testing_support::kOnWindows ? "true" : "false");
    EXPECT_EQ(r.count("kept handle"), 0u);

    // setParameter("3", 0.5) is an edit gesture the host hears about.
    std::string gestures;
    for (const vsthost::HostCall &c : e.plugin().calls()) {
        if (c.index != 3) continue;
        if (c.opcode == vst2::audioMasterBeginEdit) gestures += "B";
        if (c.opcode == vst2::audioMasterAutomate) gestures += "A";
        if (c.opcode == vst2::audioMasterEndEdit) gestures += "E";
    }
    EXPECT_EQ(gestures, "BAE");
    for (const vsthost::HostCall &c : e.plugin().calls())
        EXPECT_NE(c.index == 9 ? c.opcode : -1, vst2::audioMasterBeginEdit) << "a refused value makes no gesture";
    EXPECT_FLOAT_EQ(e.plugin().getParameter(3), 0.f) << "0.5 Hz is the bottom of the range";

    // Handles kept from the first opening refer to nothing now.
    e.close();
    ASSERT_TRUE(e.open());
    r = readResults(results);
    says("kept handle", "calling 'isVisible' on bad self (element expected)");
    says("kept group", "group expected");
    says("button before createUI", "no button lookup table");
}

} // namespace
