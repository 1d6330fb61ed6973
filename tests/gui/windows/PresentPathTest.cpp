// How the editor's frames reach its window on Windows: under wine through a
// hidden drawing window and GDI (the frames show, as every pixel test here
// sees), on Windows by the driver in the window itself.  The choice can be
// forced with MURMELO_GL_PRESENT; the driver's path cannot be seen under
// wine, but it must draw and close as cleanly.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/windows/TestDesktop.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace guitest;

namespace {

BOOL CALLBACK countHidden(HWND child, LPARAM count) {
    if (!IsWindowVisible(child)) ++*reinterpret_cast<int *>(count);
    return TRUE;
}

// The editor window's hidden children: the drawing window of the GDI path.
int hiddenChildren(std::uintptr_t window) {
    int hidden = 0;
    EnumChildWindows(reinterpret_cast<HWND>(window), countHidden, reinterpret_cast<LPARAM>(&hidden));
    return hidden;
}

class PresentPath : public testing::Test {
protected:
    HostScreen screen;
};

TEST_F(PresentPath, UnderWineFramesGoThroughAHiddenDrawingWindow) {
    OpenEditor e(screen);
    e.buildStandardTree();
    ASSERT_TRUE(e.open());
    EXPECT_EQ(hiddenChildren(e.manager->windowId()), 1);
    EXPECT_TRUE(nearColour(e.grab().at(5, 5), rgb(0.5f, 0.1f, 0.1f), 3)) << "the frame is on the screen";
}

TEST_F(PresentPath, TheDriversPathDrawsInTheWindowItselfAndClosesCleanly) {
    const std::size_t boxesBefore = errorBoxes().size();
    testing_support::ScopedEnv present("MURMELO_GL_PRESENT", "window");
    for (int opening = 0; opening < 2; ++opening) {
        OpenEditor e(screen);
        e.buildStandardTree();
        ASSERT_TRUE(e.open()) << "frames are drawn";
        EXPECT_EQ(hiddenChildren(e.manager->windowId()), 0) << "no drawing window of its own";
        EXPECT_TRUE(e.waitFrames(10));
        e.close();
    }
    EXPECT_EQ(errorBoxes().size(), boxesBefore) << "no set-up step failed";
}

} // namespace
