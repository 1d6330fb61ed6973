// murmelo snapshot, run as a user runs it: headless (it starts its own X
// server), with a skin, a program and a hovered control; and its errors.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <vector>

using testing_support::runCommand;
using testing_support::TempDir;
using testing_support::toolPath;

namespace {

struct Png {
    int width = 0, height = 0;
    std::vector<png_byte> rgb;
    // (r, g, b) at x, y counted from the bottom-left, as the editor counts.
    std::vector<int> at(int x, int y) const {
        const std::size_t i = (std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

bool readPng(const std::string &path, Png &out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

bool near(const std::vector<int> &a, std::vector<int> b, int tolerance = 4) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[std::size_t(i)] - b[std::size_t(i)]) > tolerance) return false;
    return true;
}

// Runs the tool without a display, with its own settings and user folders.
struct ToolRun {
    int status;
    std::string output;
};
ToolRun snapshot(const TempDir &home, const std::string &arguments, const std::string &environment = "") {
    ToolRun r;
    const std::string command = "env -u DISPLAY XDG_CONFIG_HOME=" + home.file("config") +
                                " APPDATA=" + home.file("data") + " " + environment + " " + toolPath() + " snapshot " +
                                arguments + " 2>&1";
    r.status = runCommand(command, r.output);
    return r;
}

const std::vector<int> kBackground{128, 26, 26}; // 0.5, 0.1, 0.1

TEST(Snapshot, PicturesTheDefaultEditorWithoutADisplay) {
    TempDir home;
    const std::string out = home.file("editor.png");
    const ToolRun r = snapshot(home, out);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("wrote " + out + ": 520 x 256"), std::string::npos) << r.output;
    Png png;
    ASSERT_TRUE(readPng(out, png));
    EXPECT_EQ(png.width, 520);
    EXPECT_EQ(png.height, 256);
    EXPECT_TRUE(near(png.at(250, 93), kBackground)) << "between the rows of groups";
    EXPECT_TRUE(near(png.at(23, 40), {204, 204, 217})) << "the first text field";
    EXPECT_FALSE(near(png.at(460, 211), kBackground, 2)) << "the Prefs button";
}

TEST(Snapshot, HoverShowsTheParameterInTheBanner) {
    TempDir home;
    ASSERT_EQ(snapshot(home, home.file("plain.png")).status, 0);
    const ToolRun r = snapshot(home, home.file("hover.png") + " --hover feedback --program Chorusy");
    ASSERT_EQ(r.status, 0) << r.output;
    Png plain, hover;
    ASSERT_TRUE(readPng(home.file("plain.png"), plain));
    ASSERT_TRUE(readPng(home.file("hover.png"), hover));
    int changed = 0;
    for (int y = 236; y < 252; ++y)
        for (int x = 280; x < 500; ++x)
            changed += !near(plain.at(x, y), hover.at(x, y), 30);
    EXPECT_GT(changed, 60) << "the right half of the banner names the parameter";
}

TEST(Snapshot, SkinFromAFolderOrByName) {
    TempDir home;
    const std::string skin = home.file("MySkin");
    std::filesystem::create_directories(skin + "/Contents/Resources");
    std::ofstream(skin + "/Contents/Resources/gui.lua")
        << "function getWindowSize() return 300, 200 end\n"
           "function createUI() setBackgroundColour(0.1, 0.4, 0.1) end\n";
    std::filesystem::create_directories(home.file("config/Quorvane"));
    const std::string settings = home.file("config/Quorvane/com.quorvane.murmelo.ini");
    std::ofstream(settings) << "OSC Base Port = 7300\n";

    ToolRun r = snapshot(home, home.file("folder.png") + " --skin " + skin);
    ASSERT_EQ(r.status, 0) << r.output;
    Png png;
    ASSERT_TRUE(readPng(home.file("folder.png"), png));
    EXPECT_EQ(png.width, 300);
    EXPECT_EQ(png.height, 200);
    EXPECT_TRUE(near(png.at(150, 100), {26, 102, 26}));

    std::filesystem::create_directories(home.file("data/Quorvane/Murmelo/Skins"));
    std::filesystem::rename(skin, home.file("data/Quorvane/Murmelo/Skins/Named"));
    r = snapshot(home, home.file("named.png") + " --skin Named");
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(readPng(home.file("named.png"), png));
    EXPECT_EQ(png.width, 300);
    std::ifstream in(settings);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "OSC Base Port = 7300") << "the user's settings are left alone";
    EXPECT_FALSE(std::getline(in, line));
}

// Pixels in [x0, x1) x [y0, y1) farther than 40 from colour in some channel:
// drawn text over a plain fill.
int textPixels(const Png &png, int x0, int y0, int x1, int y1, const std::vector<int> &colour) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += !near(png.at(x, y), colour, 40);
    return n;
}

TEST(Snapshot, TheInfoDisplayShowsWhatTheProgramPlays) {
    TempDir home;
    ToolRun r = snapshot(home, home.file("wobbly.png") + " --program Wobbly");
    ASSERT_EQ(r.status, 0) << r.output;
    r = snapshot(home, home.file("watch.png") + " --program \"Watch Out\"");
    ASSERT_EQ(r.status, 0) << r.output;
    Png wobbly, watch;
    ASSERT_TRUE(readPng(home.file("wobbly.png"), wobbly));
    ASSERT_TRUE(readPng(home.file("watch.png"), watch));
    // "Speed: ...Hz" and "Depth: ...ms" from (20, 206): programs with other
    // speeds and depths show other numbers once audio has run.
    int changed = 0;
    for (int y = 206; y < 222; ++y)
        for (int x = 20; x < 330; ++x)
            changed += !near(wobbly.at(x, y), watch.at(x, y), 40);
    EXPECT_GT(changed, 20) << "the info display shows the same numbers for both programs";
}

// A font configuration holding the fonts of folder only (none when empty).
std::string fontConfig(const TempDir &home, const std::string &folder) {
    const std::string file = home.file("fonts.conf");
    std::ofstream(file) << "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                        << (folder.empty() ? "" : "  <dir>" + folder + "</dir>\n") << "  <cachedir>"
                        << home.file("fontcache") << "</cachedir>\n</fontconfig>\n";
    return "FONTCONFIG_FILE=" + file;
}

// The default layout's texts: title, info display, Prefs caption.
void expectTexts(const Png &png) {
    const std::vector<int> band{138, 46, 46}; // the banner's faint band over the background
    EXPECT_GT(textPixels(png, 60, 236, 250, 252, band), 40) << "the title in the banner";
    EXPECT_GT(textPixels(png, 20, 206, 120, 222, kBackground), 20) << "the info display";
    EXPECT_GT(textPixels(png, 440, 203, 480, 220, {117, 36, 36}), 15) << "the Prefs caption";
}

int countOf(const std::string &text, const std::string &part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(Snapshot, WithoutTheLayoutsFontsTextUsesTheDefaultSansSerif) {
    TempDir home;
    std::filesystem::create_directories(home.file("fonts"));
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", home.file("fonts/DejaVuSerif.ttf"));
    const ToolRun r = snapshot(home, home.file("serif.png"), fontConfig(home, home.file("fonts")));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(countOf(r.output, "murmelo: none of the layout's fonts"), 1) << r.output;
    EXPECT_EQ(countOf(r.output, "tahoma.ttf, arial.ttf"), 1) << r.output;
    EXPECT_EQ(countOf(r.output, "drawing text with " + home.file("fonts/DejaVuSerif.ttf")), 1) << r.output;
    Png png;
    ASSERT_TRUE(readPng(home.file("serif.png"), png));
    expectTexts(png);
}

TEST(Snapshot, WithNoFontsAtAllTextUsesTheBuiltInFont) {
    TempDir home;
    const ToolRun r = snapshot(home, home.file("bare.png"), fontConfig(home, ""));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(countOf(r.output, "murmelo: none of the layout's fonts"), 1) << r.output;
    EXPECT_EQ(countOf(r.output, "drawing text with the built-in DejaVu Sans"), 1) << r.output;
    Png png;
    ASSERT_TRUE(readPng(home.file("bare.png"), png));
    expectTexts(png);
}

TEST(Snapshot, ErrorsAreClear) {
    TempDir home;
    const std::string out = home.file("x.png");
    ToolRun r = snapshot(home, out, "PATH=" + home.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("no X display: Xvfb is not installed"), std::string::npos) << r.output;
    r = snapshot(home, out + " --hover Nope");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("no parameter \"Nope\""), std::string::npos) << r.output;
    r = snapshot(home, out + " --program 18");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("no program \"18\""), std::string::npos) << r.output;
    r = snapshot(home, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("usage: murmelo snapshot"), std::string::npos) << r.output;
    r = snapshot(home, out + " --skin " + home.file("missing/skin"));
    EXPECT_EQ(r.status, 1);
    r = snapshot(home, home.file("no/such/folder/x.png"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot write"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(out)) << "nothing is written on failure";
}

} // namespace
