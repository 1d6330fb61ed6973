// The Windows test host on its own, before any editor: a host window with a
// child window of the test's making that GDI paints in known colours and
// that records the messages it gets.  What the editor tests rely on must
// hold here: the screen copy shows the child's pixels at the right places,
// SendInput's pointer reaches the child at the right coordinates, a captured
// drag keeps reporting to it outside its box, Shift shows in the messages
// and in GetAsyncKeyState, and keys typed after SetFocus arrive as WM_CHAR.
#include "tests/gui/HostScreen.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>
#include <windows.h>
#include <windowsx.h>

using namespace guitest;

namespace {

// The probe's picture: a fill and, in its top-left corner, a white square
// (so a picture upside down or shifted cannot pass).
const Rgb kFill{40, 160, 220};
const Rgb kCorner{255, 255, 255};
const Rgb kBlack{0, 0, 0};
constexpr int kCornerSize = 12;

struct Message {
    UINT id;
    int x, y;        // client coordinates of pointer messages
    WPARAM wParam;   // the key state bits (MK_SHIFT, ...) or the character
    bool shiftDown;  // GetAsyncKeyState(VK_SHIFT) when it arrived
    bool shiftState; // GetKeyState(VK_SHIFT): Shift as of this message
    bool captured;   // GetCapture() was the probe when it arrived
};

// A child window that paints kFill and kCorner and logs its input.  A left
// press captures the pointer, a left release lets it go, as a knob does.
class Probe {
public:
    Probe(HWND parent, int x, int y, int width, int height) {
        static const bool registered = [] {
            WNDCLASSEXW c{};
            c.cbSize = sizeof(c);
            c.lpfnWndProc = procedure;
            c.hInstance = GetModuleHandleW(nullptr);
            c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            c.lpszClassName = L"murmelo-test-probe";
            return RegisterClassExW(&c) != 0;
        }();
        EXPECT_TRUE(registered) << "cannot register the probe's window class";
        window = CreateWindowExW(0, L"murmelo-test-probe", L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                                 nullptr, GetModuleHandleW(nullptr), this);
        EXPECT_NE(window, nullptr) << "cannot create the probe window (error " << GetLastError() << ")";
    }
    ~Probe() {
        if (window) DestroyWindow(window);
    }

    HWND window = nullptr;
    std::vector<Message> log;
    int paints = 0;

    std::vector<Message> of(UINT id) const {
        std::vector<Message> found;
        for (const Message &m : log)
            if (m.id == id) found.push_back(m);
        return found;
    }
    std::string characters() const {
        std::string text;
        for (const Message &m : of(WM_CHAR))
            text += static_cast<char>(m.wParam);
        return text;
    }

private:
    static LRESULT CALLBACK procedure(HWND w, UINT id, WPARAM wParam, LPARAM lParam) {
        if (id == WM_NCCREATE)
            SetWindowLongPtrW(w, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams));
        auto *self = reinterpret_cast<Probe *>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (!self) return DefWindowProcW(w, id, wParam, lParam);
        switch (id) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(w, &paint);
            RECT box;
            GetClientRect(w, &box);
            HBRUSH fill = CreateSolidBrush(RGB(kFill.r, kFill.g, kFill.b));
            FillRect(dc, &box, fill);
            DeleteObject(fill);
            RECT corner{0, 0, kCornerSize, kCornerSize};
            HBRUSH white = CreateSolidBrush(RGB(kCorner.r, kCorner.g, kCorner.b));
            FillRect(dc, &corner, white);
            DeleteObject(white);
            EndPaint(w, &paint);
            ++self->paints;
            return 0;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            self->note(id, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
            if (id == WM_LBUTTONDOWN) SetCapture(w);
            if (id == WM_LBUTTONUP) ReleaseCapture();
            return 0;
        case WM_CHAR:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_CAPTURECHANGED:
            self->note(id, 0, 0, wParam);
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(w, GWLP_USERDATA, 0);
            break;
        }
        return DefWindowProcW(w, id, wParam, lParam);
    }

    void note(UINT id, int x, int y, WPARAM wParam) {
        log.push_back(
            {id, x, y, wParam, GetAsyncKeyState(VK_SHIFT) < 0, GetKeyState(VK_SHIFT) < 0, GetCapture() == window});
    }
};

// The messages as text, for failure reports.
std::string describe(const std::vector<Message> &log) {
    std::ostringstream out;
    for (const Message &m : log) {
        switch (m.id) {
        case WM_MOUSEMOVE:
            out << "move";
            break;
        case WM_LBUTTONDOWN:
            out << "ldown";
            break;
        case WM_LBUTTONUP:
            out << "lup";
            break;
        case WM_RBUTTONDOWN:
            out << "rdown";
            break;
        case WM_RBUTTONUP:
            out << "rup";
            break;
        case WM_MBUTTONDOWN:
            out << "mdown";
            break;
        case WM_MBUTTONUP:
            out << "mup";
            break;
        case WM_CHAR:
            out << "char " << m.wParam;
            break;
        case WM_KEYDOWN:
            out << "keydown " << m.wParam;
            break;
        case WM_KEYUP:
            out << "keyup " << m.wParam;
            break;
        case WM_SETFOCUS:
            out << "setfocus";
            break;
        case WM_KILLFOCUS:
            out << "killfocus";
            break;
        case WM_CAPTURECHANGED:
            out << "capturechanged";
            break;
        default:
            out << "0x" << std::hex << m.id << std::dec;
        }
        if (m.id >= WM_MOUSEFIRST && m.id <= WM_MOUSELAST) out << " (" << m.x << ", " << m.y << ")";
        if (m.shiftDown) out << " async-shift";
        if (m.shiftState) out << " shift-state";
        if (m.id == WM_MOUSEMOVE && (m.wParam & MK_SHIFT)) out << " mk-shift";
        if (m.captured) out << " captured";
        out << "; ";
    }
    return out.str();
}

class HostScreenOnWindows : public testing::Test {
protected:
    // The host window at (40, 60) of the screen; the probe at (50, 30)
    // inside it (top-left origin), 120 x 80.
    static constexpr int kWidth = 300, kHeight = 200, kProbeX = 50, kProbeY = 30, kProbeWidth = 120, kProbeHeight = 80;

    void SetUp() override {
        host = screen.createWindow(kWidth, kHeight, 40, 60);
        ASSERT_NE(host, 0u);
        probe = std::make_unique<Probe>(reinterpret_cast<HWND>(host), kProbeX, kProbeY, kProbeWidth, kProbeHeight);
        ASSERT_NE(probe->window, nullptr);
        ASSERT_TRUE(pumpUntil([&] { return probe->paints > 0; })) << "the probe was never painted";
        pump(100);
    }
    void TearDown() override {
        if (HasFailure()) saveArtefact(screen.grab(host, kWidth, kHeight), currentTestName());
        probe.reset();
        screen.destroyWindow(host);
    }

    // Dispatches messages for a while.
    void pump(int milliseconds = 50) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            screen.dispatch();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } while (std::chrono::steady_clock::now() < end);
    }
    bool pumpUntil(const std::function<bool()> &done) {
        return testing_support::waitFor([&] {
            screen.dispatch();
            return done();
        });
    }
    // Host window coordinates with the tests' bottom-left origin.
    void moveTo(int x, int y) {
        screen.moveTo(host, kHeight, float(x), float(y));
        screen.sync();
        pump();
    }
    // The probe's top-left-origin point (px, py) in host coordinates, y up.
    static int hostX(int px) { return kProbeX + px; }
    static int hostY(int py) { return kHeight - (kProbeY + py); }

    HostScreen screen;
    WindowHandle host = 0;
    std::unique_ptr<Probe> probe;
};

TEST_F(HostScreenOnWindows, ChildrenAreListed) {
    const WindowHandle child = reinterpret_cast<WindowHandle>(probe->window);
    EXPECT_EQ(screen.firstChild(host), child);
    EXPECT_EQ(screen.children(host), std::vector<WindowHandle>{child});
    EXPECT_EQ(screen.firstChild(child), 0u);
}

TEST_F(HostScreenOnWindows, GrabSeesWhatGdiPainted) {
    const Image image = screen.grab(host, kWidth, kHeight);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    // Bottom-left origin: the probe covers x 50..169, y 90..169; its white
    // corner is at its top-left, x 50..61, y 158..169.
    const int left = kProbeX, right = kProbeX + kProbeWidth - 1;
    const int top = kHeight - 1 - kProbeY, bottom = kHeight - kProbeY - kProbeHeight;
    EXPECT_TRUE(nearColour(image.at(left + 60, bottom + 10), kFill, 2)) << "inside the probe";
    EXPECT_TRUE(nearColour(image.at(right, bottom), kFill, 2)) << "its bottom-right pixel";
    EXPECT_TRUE(nearColour(image.at(left, top), kCorner, 2)) << "its top-left pixel is the white corner";
    EXPECT_TRUE(nearColour(image.at(left + kCornerSize - 1, top - kCornerSize + 1), kCorner, 2));
    EXPECT_TRUE(nearColour(image.at(left + kCornerSize, top - kCornerSize), kFill, 2)) << "just past the corner";
    EXPECT_TRUE(nearColour(image.at(left - 1, bottom + 10), kBlack, 2)) << "left of the probe: the host's black";
    EXPECT_TRUE(nearColour(image.at(right + 1, bottom + 10), kBlack, 2)) << "right of it";
    EXPECT_TRUE(nearColour(image.at(left + 10, top + 1), kBlack, 2)) << "above it";
    EXPECT_TRUE(nearColour(image.at(left + 10, bottom - 1), kBlack, 2)) << "below it";
    EXPECT_EQ(image.countDifferent(0, 0, kWidth, kHeight, kBlack, 2), kProbeWidth * kProbeHeight)
        << "the probe and nothing else";

    // The probe's own window, grabbed alone.
    const Image own = screen.grab(reinterpret_cast<WindowHandle>(probe->window), kProbeWidth, kProbeHeight);
    ASSERT_EQ(own.width, kProbeWidth);
    EXPECT_TRUE(nearColour(own.at(0, kProbeHeight - 1), kCorner, 2));
    EXPECT_TRUE(nearColour(own.at(kProbeWidth - 1, 0), kFill, 2));
    EXPECT_EQ(own.countDifferent(0, 0, kProbeWidth, kProbeHeight - kCornerSize, kFill, 2), 0);
}

TEST_F(HostScreenOnWindows, ClickArrivesAtTheRightPlace) {
    moveTo(hostX(30), hostY(20));
    probe->log.clear();
    screen.button(1, true);
    screen.sync();
    ASSERT_TRUE(pumpUntil([&] { return !probe->of(WM_LBUTTONDOWN).empty(); })) << describe(probe->log);
    screen.button(1, false);
    screen.sync();
    ASSERT_TRUE(pumpUntil([&] { return !probe->of(WM_LBUTTONUP).empty(); })) << describe(probe->log);
    const Message down = probe->of(WM_LBUTTONDOWN)[0], up = probe->of(WM_LBUTTONUP)[0];
    EXPECT_EQ(down.x, 30) << describe(probe->log);
    EXPECT_EQ(down.y, 20);
    EXPECT_TRUE(down.wParam & MK_LBUTTON);
    EXPECT_EQ(up.x, 30);
    EXPECT_EQ(up.y, 20);
    EXPECT_FALSE(up.wParam & MK_LBUTTON);

    // The right and middle buttons too.
    probe->log.clear();
    screen.button(3, true);
    screen.button(3, false);
    screen.button(2, true);
    screen.button(2, false);
    screen.sync();
    EXPECT_TRUE(pumpUntil([&] { return probe->of(WM_MBUTTONUP).size() == 1; })) << describe(probe->log);
    EXPECT_EQ(probe->of(WM_RBUTTONDOWN).size(), 1u) << describe(probe->log);
    EXPECT_EQ(probe->of(WM_RBUTTONUP).size(), 1u);
    EXPECT_EQ(probe->of(WM_MBUTTONDOWN).size(), 1u);

    // A move that stays in the host window but leaves the probe tells the
    // probe nothing (no capture without a button held).
    probe->log.clear();
    moveTo(hostX(-20), hostY(20));
    pump(100);
    EXPECT_TRUE(probe->of(WM_MOUSEMOVE).empty()) << describe(probe->log);
}

TEST_F(HostScreenOnWindows, CapturedDragReportsOutsideTheWindow) {
    moveTo(hostX(60), hostY(40));
    probe->log.clear();
    screen.button(1, true);
    screen.sync();
    ASSERT_TRUE(pumpUntil([&] { return !probe->of(WM_LBUTTONDOWN).empty(); })) << describe(probe->log);
    EXPECT_EQ(GetCapture(), probe->window) << "SetCapture in the window procedure took the pointer";
    // Out of the probe into the host's black, then out of the host window.
    moveTo(hostX(-30), hostY(40));
    ASSERT_TRUE(pumpUntil([&] {
        for (const Message &m : probe->of(WM_MOUSEMOVE))
            if (m.x == -30) return true;
        return false;
    })) << "a move left of the probe reached it while captured: "
        << describe(probe->log);
    moveTo(kWidth + 25, hostY(40));
    ASSERT_TRUE(pumpUntil([&] {
        for (const Message &m : probe->of(WM_MOUSEMOVE))
            if (m.x == kWidth + 25 - kProbeX) return true;
        return false;
    })) << "a move outside the host window reached it: "
        << describe(probe->log);
    for (const Message &m : probe->of(WM_MOUSEMOVE)) {
        EXPECT_TRUE(m.wParam & MK_LBUTTON) << describe(probe->log);
        EXPECT_TRUE(m.captured);
    }
    screen.button(1, false);
    screen.sync();
    ASSERT_TRUE(pumpUntil([&] { return !probe->of(WM_LBUTTONUP).empty(); }))
        << "the release outside reached the probe: " << describe(probe->log);
    EXPECT_EQ(probe->of(WM_LBUTTONUP)[0].x, kWidth + 25 - kProbeX);
    EXPECT_TRUE(pumpUntil([&] { return !probe->of(WM_CAPTURECHANGED).empty(); })) << describe(probe->log);
    EXPECT_EQ(GetCapture(), nullptr);

    // Released: moves outside reach nobody in this process.
    probe->log.clear();
    moveTo(kWidth + 40, hostY(40));
    pump(100);
    EXPECT_TRUE(probe->of(WM_MOUSEMOVE).empty()) << describe(probe->log);
}

// Shift held through several moves, as in a fine drag: every move says so in
// its key state bits (MK_SHIFT) and GetAsyncKeyState says so while the
// window procedure handles it.  Inside wine the X server's own modifier
// state, which SendInput does not change, replaces Shift whenever the X
// pointer moves; HostScreen presses held keys again (a key repeat), so the
// bits and the asynchronous state hold, but the thread's own key state
// (GetKeyState) reads Shift up at the move until the repeat is handled:
// the test reports what it read, and an editor reads the message's bits.
TEST_F(HostScreenOnWindows, ShiftHeldDuringMovesShows) {
    moveTo(hostX(10), hostY(10));
    screen.focusWindow(reinterpret_cast<WindowHandle>(probe->window));
    pump();
    probe->log.clear();
    screen.key(kKeyShift, true);
    screen.sync();
    pump();
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0) << "Shift is down for the whole system";
    for (int x : {20, 25, 30}) {
        const std::size_t before = probe->of(WM_MOUSEMOVE).size();
        moveTo(hostX(x), hostY(15));
        ASSERT_TRUE(pumpUntil([&] { return probe->of(WM_MOUSEMOVE).size() > before; })) << describe(probe->log);
        const Message held = probe->of(WM_MOUSEMOVE).back();
        EXPECT_EQ(held.x, x);
        EXPECT_EQ(held.y, 15);
        EXPECT_TRUE(held.wParam & MK_SHIFT) << "the move's key state bits: " << describe(probe->log);
        EXPECT_TRUE(held.shiftDown) << "GetAsyncKeyState in the window procedure: " << describe(probe->log);
        if (!held.shiftState) std::printf("note: GetKeyState(VK_SHIFT) read up at the move to %d\n", x);
    }
    EXPECT_TRUE(probe->of(WM_KEYUP).empty()) << "Shift was never let go: " << describe(probe->log);

    screen.key(kKeyShift, false);
    screen.sync();
    pump();
    EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_EQ(probe->of(WM_KEYUP).size(), 1u) << describe(probe->log);
    probe->log.clear();
    moveTo(hostX(40), hostY(15));
    ASSERT_TRUE(pumpUntil([&] { return !probe->of(WM_MOUSEMOVE).empty(); })) << describe(probe->log);
    const Message free = probe->of(WM_MOUSEMOVE).back();
    EXPECT_FALSE(free.wParam & MK_SHIFT);
    EXPECT_FALSE(free.shiftState);
    EXPECT_FALSE(free.shiftDown);
    EXPECT_TRUE(probe->of(WM_KEYDOWN).empty()) << "a released key stays released: " << describe(probe->log);
}

TEST_F(HostScreenOnWindows, TypedKeysArriveAsCharactersAfterSetFocus) {
    probe->log.clear();
    screen.focusWindow(reinterpret_cast<WindowHandle>(probe->window));
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == probe->window; })) << describe(probe->log);
    EXPECT_FALSE(probe->of(WM_SETFOCUS).empty()) << describe(probe->log);
    for (Key k : {Key('1'), Key('.'), Key('-'), Key('5'), Key('0'), kKeyBackSpace, kKeyReturn, kKeyEscape})
        screen.typeKey(k);
    screen.sync();
    const std::string expected = "1.-50\b\r\x1b";
    EXPECT_TRUE(pumpUntil([&] { return probe->characters().size() >= expected.size(); })) << describe(probe->log);
    EXPECT_EQ(probe->characters(), expected) << describe(probe->log);

    // Shift, Control and Alt type no character.
    probe->log.clear();
    for (Key k : {kKeyShift, kKeyControl, kKeyAlt})
        screen.typeKey(k);
    screen.typeKey('7');
    screen.sync();
    EXPECT_TRUE(pumpUntil([&] { return !probe->characters().empty(); })) << describe(probe->log);
    pump(100);
    EXPECT_EQ(probe->characters(), "7") << describe(probe->log);
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL) < 0, false);
}

} // namespace
