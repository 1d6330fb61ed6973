// The preferences dialog as a person uses it: the test's host window owns
// it, and a second thread finds it on the screen and drives it with real
// input (SendInput mouse clicks at the controls and typed keys), reading
// back what the controls show, what reached the client and the pixels.
// The dialog runs from a DLL that links the platform layer, as inside the
// plug-in; this program has no dialog resource of its own.  Needs a
// display (wine on the test run's virtual X server); the NoDisplay tests
// run without one.
#include "platform/PreferencesDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

using platform::PreferencesDialogText;

constexpr int kTitleText = 103, kManualButton = 104, kProductText = 105, kVersionText = 106, kAboutText = 107,
              kGroup = 109, kTooltipBox = 110, kPortEdit = 141, kPortLabel = 142;

// platform::runPreferencesDialog as the probe DLL next to this program
// runs it.
bool runFromProbe(std::uintptr_t parent, const PreferencesDialogText &text, platform::PreferencesDialogClient &client) {
    using Run = bool (*)(std::uintptr_t, const PreferencesDialogText *, platform::PreferencesDialogClient *);
    static const Run run = [] {
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path, n);
        folder.resize(folder.find_last_of(L'\\') + 1);
        const HMODULE probe = LoadLibraryW((folder + L"preferences-dialog-probe.dll").c_str());
        return probe
                   ? reinterpret_cast<Run>(reinterpret_cast<void *>(GetProcAddress(probe, "probeRunPreferencesDialog")))
                   : nullptr;
    }();
    if (!run) {
        ADD_FAILURE() << "preferences-dialog-probe.dll cannot be loaded";
        return false;
    }
    return run(parent, &text, &client);
}

std::string utf8(const std::wstring &text) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], n, nullptr, nullptr);
    return result;
}

std::string windowText(HWND window) {
    wchar_t buffer[512];
    const int n = GetWindowTextW(window, buffer, 512);
    return utf8(std::wstring(buffer, n > 0 ? n : 0));
}

bool waitFor(const std::function<bool()> &condition, int milliseconds = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// What the dialog told its client; written on the dialog's thread, read on
// the robot's.
class Recorder : public platform::PreferencesDialogClient {
public:
    void tooltipClicked(bool checked) override {
        lastTooltip = checked;
        ++tooltipCalls;
    }
    void accepted(const std::string &portText) override {
        std::lock_guard<std::mutex> guard(lock);
        acceptedText = portText;
        ++acceptedCalls;
    }
    void manualRequested() override { ++manualCalls; }

    std::string accepted() {
        std::lock_guard<std::mutex> guard(lock);
        return acceptedText;
    }

    std::atomic<int> tooltipCalls{0}, acceptedCalls{0}, manualCalls{0};
    std::atomic<bool> lastTooltip{false};

private:
    std::mutex lock;
    std::string acceptedText;
};

// The screen's pixels in a rectangle, as 0x00RRGGBB.
std::vector<unsigned> screenPixels(const RECT &area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<unsigned> pixels(static_cast<std::size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (unsigned &p : pixels)
        p &= 0xffffff;
    return pixels;
}

std::size_t distinctColours(const std::vector<unsigned> &pixels) {
    std::vector<unsigned> seen;
    for (unsigned p : pixels)
        if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
    return seen.size();
}

// Finds the dialog and works it the way a person does.
class Robot {
public:
    Robot(DWORD dialogThread, HWND owner) : thread(dialogThread), owner(owner) {}

    // The "About" dialog of the dialog's thread, owned by the host window,
    // once it is on the screen.
    bool find() {
        return waitFor(
            [&] {
                EnumThreadWindows(thread, &Robot::consider, reinterpret_cast<LPARAM>(this));
                return dialog != nullptr;
            },
            10000);
    }

    HWND control(int id) const { return GetDlgItem(dialog, id); }
    std::string text(int id) const { return windowText(control(id)); }
    bool checked() const { return SendMessageW(control(kTooltipBox), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool open() const { return IsWindow(dialog) && IsWindowVisible(dialog); }

    RECT screenRect(int id) const {
        RECT r{};
        GetWindowRect(id ? control(id) : dialog, &r);
        return r;
    }

    void click(int id) const {
        const RECT r = screenRect(id);
        clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    static void clickAt(int x, int y) {
        INPUT move{};
        move.type = INPUT_MOUSE;
        move.mi.dx = (x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1);
        move.mi.dy = (y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1);
        move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        send(move);
        INPUT button = move;
        button.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
        send(button);
        button.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
        send(button);
    }

    static void press(WORD key) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        send(down);
        INPUT up = down;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        send(up);
    }

    // Letters and digits, as the keys that make them.
    static void type(const std::string &text) {
        for (char c : text)
            press(static_cast<WORD>(std::toupper(static_cast<unsigned char>(c))));
    }

    // Focus in the port edit, its text removed with the keyboard.
    bool clearPort() const {
        click(kPortEdit);
        if (!waitFor([&] { return focusIn(kPortEdit); })) return false;
        press(VK_END);
        for (std::size_t i = text(kPortEdit).size(); i > 0; --i)
            press(VK_BACK);
        return waitFor([&] { return text(kPortEdit).empty(); });
    }

    bool focusIn(int id) const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && info.hwndFocus == control(id);
    }

    bool closed() const {
        return waitFor([&] { return !IsWindow(dialog); });
    }

    // After a failed step: the dialog must not keep the test waiting.
    void closeIfOpen() const {
        if (dialog && IsWindow(dialog)) {
            ADD_FAILURE() << "the dialog is still open after the input";
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }

    HWND dialog = nullptr;

private:
    static void send(INPUT input) {
        SendInput(1, &input, sizeof input);
        // The system's queue takes the events in order; a pause lets the
        // dialog's thread act on each before the next one.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    static BOOL CALLBACK consider(HWND window, LPARAM self) {
        Robot &robot = *reinterpret_cast<Robot *>(self);
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (std::wstring(className) == L"#32770" && windowText(window) == "About" &&
            GetWindow(window, GW_OWNER) == robot.owner && IsWindowVisible(window)) {
            robot.dialog = window;
            return FALSE;
        }
        return TRUE;
    }

    DWORD thread;
    HWND owner;
};

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(window, message, w, l);
}

// A host's top-level window with the editor's child window in it, on the
// thread that will run the dialog.
class PreferencesDialog : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW type{};
        type.lpfnWndProc = hostProcedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        type.lpszClassName = L"MurmeloTestHost";
        RegisterClassW(&type);
        host = CreateWindowExW(0, L"MurmeloTestHost", L"Test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 480,
                               nullptr, nullptr, type.hInstance, nullptr);
        ASSERT_NE(host, nullptr);
        editor = CreateWindowExW(0, L"STATIC", L"editor", WS_CHILD | WS_VISIBLE, 10, 10, 300, 200, host, nullptr,
                                 type.hInstance, nullptr);
        ASSERT_NE(editor, nullptr);
        SetForegroundWindow(host);
        pump();
    }
    void TearDown() override {
        if (host) DestroyWindow(host);
        pump();
    }
    static void pump() {
        MSG message;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (std::chrono::steady_clock::now() < until) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Shows the dialog over the editor window on this thread while script
    // works it from another; the dialog's result.
    bool run(const PreferencesDialogText &text, const std::function<void(Robot &)> &script) {
        const DWORD thread = GetCurrentThreadId();
        std::thread worker([&] {
            Robot robot(thread, host);
            if (!robot.find()) {
                ADD_FAILURE() << "no dialog titled About, owned by the host, appeared";
                return;
            }
            script(robot);
            robot.closed();
            robot.closeIfOpen();
        });
        const bool result = runFromProbe(reinterpret_cast<std::uintptr_t>(editor), text, client);
        worker.join();
        return result;
    }

    static PreferencesDialogText sample() {
        PreferencesDialogText text;
        text.product = "Murmelo";
        text.version = "1.1.0";
        text.port = "9000";
        text.tooltip = true;
        return text;
    }

    HWND host = nullptr, editor = nullptr;
    Recorder client;
};

TEST_F(PreferencesDialog, ShowsItsFieldsOverTheDisabledHost) {
    const bool result = run(sample(), [&](Robot &robot) {
        EXPECT_EQ(robot.text(kTitleText), "Quorvane");
        EXPECT_EQ(robot.text(kManualButton), "Murmelo manual");
        EXPECT_EQ(robot.text(kProductText), "Murmelo");
        EXPECT_EQ(robot.text(kVersionText), "1.1.0");
        EXPECT_EQ(robot.text(kAboutText), "A modulated delay: chorus, flanger, ensemble.");
        EXPECT_EQ(robot.text(kGroup), "Preferences");
        EXPECT_EQ(robot.text(kPortLabel), "OSC Base Port:");
        EXPECT_EQ(robot.text(kTooltipBox), "Floating tooltip");
        EXPECT_EQ(robot.text(IDOK), "OK");
        EXPECT_EQ(robot.text(kPortEdit), "9000");
        EXPECT_TRUE(robot.checked());
        EXPECT_TRUE(GetWindowLongW(robot.control(kPortEdit), GWL_STYLE) & ES_NUMBER);
        EXPECT_FALSE(IsWindowEnabled(host)) << "a modal dialog disables its owner";
        // Drawn on the screen: text, frames and buttons, not one flat colour.
        EXPECT_GT(distinctColours(screenPixels(robot.screenRect(0))), 3u);
        // 200 x 178 dialog units in the client area.
        RECT units{0, 0, 200, 178};
        MapDialogRect(robot.dialog, &units);
        RECT client{};
        GetClientRect(robot.dialog, &client);
        EXPECT_EQ(client.right, units.right);
        EXPECT_EQ(client.bottom, units.bottom);
        Robot::press(VK_ESCAPE);
    });
    EXPECT_FALSE(result);
    EXPECT_TRUE(IsWindowEnabled(host)) << "the owner is enabled again";
    EXPECT_EQ(client.acceptedCalls, 0);
    EXPECT_EQ(client.tooltipCalls, 0);
}

TEST_F(PreferencesDialog, OkPassesTheTypedDigitsAndRefusesLetters) {
    const bool result = run(sample(), [&](Robot &robot) {
        const std::vector<unsigned> before = screenPixels(robot.screenRect(kPortEdit));
        ASSERT_TRUE(robot.clearPort()) << "the edit did not take the keys; it shows " << robot.text(kPortEdit);
        Robot::type("57a1x2");
        EXPECT_TRUE(waitFor([&] { return robot.text(kPortEdit) == "5712"; })) << robot.text(kPortEdit);
        EXPECT_TRUE(waitFor([&] { return screenPixels(robot.screenRect(kPortEdit)) != before; }))
            << "the edit's pixels did not change";
        EXPECT_EQ(client.acceptedCalls, 0) << "nothing is accepted before OK";
        Robot::press(VK_RETURN);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(client.acceptedCalls, 1);
    EXPECT_EQ(client.accepted(), "5712");
    EXPECT_EQ(client.tooltipCalls, 0);
    EXPECT_EQ(client.manualCalls, 0);
}

// The port edit has the focus when the dialog opens, its text selected:
// typing replaces it, and Return is OK.
TEST_F(PreferencesDialog, OpensReadyToTypeAPort) {
    const bool result = run(sample(), [&](Robot &robot) {
        EXPECT_TRUE(waitFor([&] { return robot.focusIn(kPortEdit); }));
        Robot::type("8000");
        EXPECT_TRUE(waitFor([&] { return robot.text(kPortEdit) == "8000"; })) << robot.text(kPortEdit);
        Robot::press(VK_RETURN);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(client.accepted(), "8000");
    EXPECT_EQ(client.manualCalls, 0);
}

TEST_F(PreferencesDialog, TheTooltipBoxIsToldAtOnceAndCancelKeepsIt) {
    PreferencesDialogText text = sample();
    text.tooltip = false;
    const bool result = run(text, [&](Robot &robot) {
        EXPECT_FALSE(robot.checked());
        const std::vector<unsigned> unchecked = screenPixels(robot.screenRect(kTooltipBox));
        robot.click(kTooltipBox);
        EXPECT_TRUE(waitFor([&] { return client.tooltipCalls == 1; })) << "no call while the dialog is open";
        EXPECT_TRUE(client.lastTooltip);
        EXPECT_TRUE(robot.checked());
        EXPECT_TRUE(robot.open());
        EXPECT_TRUE(waitFor([&] { return screenPixels(robot.screenRect(kTooltipBox)) != unchecked; }))
            << "the check mark was not drawn";
        robot.click(kTooltipBox);
        EXPECT_TRUE(waitFor([&] { return client.tooltipCalls == 2; }));
        EXPECT_FALSE(client.lastTooltip);
        robot.click(kTooltipBox);
        EXPECT_TRUE(waitFor([&] { return client.tooltipCalls == 3; }));
        EXPECT_TRUE(client.lastTooltip);
        Robot::press(VK_ESCAPE);
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(client.tooltipCalls, 3) << "Cancel takes nothing back";
    EXPECT_TRUE(client.lastTooltip);
    EXPECT_EQ(client.acceptedCalls, 0);
}

TEST_F(PreferencesDialog, EscapeDropsATypedPort) {
    const bool result = run(sample(), [&](Robot &robot) {
        ASSERT_TRUE(robot.clearPort());
        Robot::type("1234");
        EXPECT_TRUE(waitFor([&] { return robot.text(kPortEdit) == "1234"; })) << robot.text(kPortEdit);
        Robot::press(VK_ESCAPE);
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(client.acceptedCalls, 0);
}

TEST_F(PreferencesDialog, TheManualButtonAsksAndTheDialogStays) {
    const bool result = run(sample(), [&](Robot &robot) {
        robot.click(kManualButton);
        EXPECT_TRUE(waitFor([&] { return client.manualCalls == 1; }));
        EXPECT_TRUE(robot.open());
        robot.click(IDOK);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(client.manualCalls, 1);
    EXPECT_EQ(client.acceptedCalls, 1);
    EXPECT_EQ(client.accepted(), "9000") << "OK passes the port as shown";
}

TEST_F(PreferencesDialog, TheEditHoldsAtMost256Characters) {
    PreferencesDialogText text = sample();
    text.port = std::string(300, '7');
    const bool result = run(text, [&](Robot &robot) {
        EXPECT_EQ(robot.text(kPortEdit), std::string(256, '7'));
        robot.click(kPortEdit);
        ASSERT_TRUE(waitFor([&] { return robot.focusIn(kPortEdit); }));
        Robot::press(VK_END);
        Robot::type("8");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(robot.text(kPortEdit), std::string(256, '7')) << "a full edit takes no more";
        Robot::press(VK_RETURN);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(client.accepted(), std::string(256, '7'));
}

// The template travels inside the modules that link the platform layer:
// the plug-in's DLL, not this program.
TEST(DialogTemplate, IsInThePluginsDllAndNotInThisProgram) {
    EXPECT_EQ(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), MAKEINTRESOURCEW(5)), nullptr);
    wchar_t plugin[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, MURMELO_PLUGIN_PATH, -1, plugin, MAX_PATH);
    const HMODULE module = LoadLibraryExW(plugin, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << MURMELO_PLUGIN_PATH;
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(102), MAKEINTRESOURCEW(5));
    ASSERT_NE(found, nullptr);
    // A DIALOGEX template starts with version 1 and signature 0xFFFF.
    const auto *words = static_cast<const WORD *>(LockResource(LoadResource(module, found)));
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words[0], 1);
    EXPECT_EQ(words[1], 0xFFFF);
    FreeLibrary(module);
}

// Without a display no window can be made: the caller hears why.
TEST(NoDisplay, TheDialogFailsWithAnErrorLine) {
    Recorder client;
    testing::internal::CaptureStderr();
    const bool result = runFromProbe(0, PreferencesDialogText{}, client);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(result);
    EXPECT_EQ(errors.rfind("Error: cannot show the preferences dialog: ", 0), 0u) << errors;
    EXPECT_EQ(client.acceptedCalls + client.tooltipCalls + client.manualCalls, 0);
}

TEST(NoDisplay, AnOwnerThatIsNoWindowIsRefused) {
    Recorder client;
    testing::internal::CaptureStderr();
    const bool result = runFromProbe(0x12345678, PreferencesDialogText{}, client);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(result);
    EXPECT_EQ(errors, "Error: cannot show the preferences dialog: its owner is not a window\n");
}

} // namespace
