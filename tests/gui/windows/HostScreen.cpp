// The test host on Windows: visible top-level windows of a class of their
// own, input through SendInput (what a mouse and a keyboard produce, so it
// passes the system's own focus, capture and key-state handling), and
// pixels copied with GDI from the screen.  The screen is what counts: an
// OpenGL picture that never reached it (as can happen to a child window's
// WGL surface inside wine) is not there for the user either.
#include "tests/gui/HostScreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <windows.h>

namespace guitest {

namespace {

constexpr wchar_t kClassName[] = L"murmelo-test-host";

HWND handle(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// The virtual key and the Shift state that type key: named keys by their
// virtual keys, characters through the keyboard layout.  False when the
// layout has no key for it.
bool virtualKey(Key key, WORD &vk, bool &shifted) {
    shifted = false;
    switch (key) {
    case kKeyShift:
        vk = VK_SHIFT;
        return true;
    case kKeyControl:
        vk = VK_CONTROL;
        return true;
    case kKeyAlt:
        vk = VK_MENU;
        return true;
    case kKeyReturn:
        vk = VK_RETURN;
        return true;
    case kKeyEscape:
        vk = VK_ESCAPE;
        return true;
    case kKeyBackSpace:
        vk = VK_BACK;
        return true;
    default:
        break;
    }
    if (key < 0x20 || key > 0xff) return false;
    const SHORT scan = VkKeyScanW(static_cast<wchar_t>(key));
    if (scan == -1) return false;
    vk = LOBYTE(scan);
    shifted = (HIBYTE(scan) & 1) != 0;
    // Control or Alt would be needed: not a key the tests type.
    return (HIBYTE(scan) & 6) == 0;
}

void sendKey(WORD vk, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(INPUT));
}

} // namespace

struct HostScreen::Impl {
    HINSTANCE instance = nullptr;
    bool registered = false;
    // Modifier keys the test holds down (virtual keys).
    std::vector<WORD> held;

    // Inside wine the X server's modifier state (which SendInput does not
    // change) replaces the system's whenever the X pointer moves, so Shift,
    // Control or Alt held through SendInput is silently let go after the
    // first move.  A key the test still holds is pressed again before the
    // next pointer input, as a held key repeats; on Windows itself the
    // state never drops and nothing is sent.
    void pressHeldKeysAgain() {
        for (WORD vk : held)
            if (GetAsyncKeyState(vk) >= 0) sendKey(vk, true);
    }
};

HostScreen::HostScreen() : impl(std::make_unique<Impl>()) {
    impl->instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW c{};
    c.cbSize = sizeof(c);
    c.lpfnWndProc = DefWindowProcW;
    c.hInstance = impl->instance;
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    c.lpszClassName = kClassName;
    impl->registered = RegisterClassExW(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    if (!impl->registered) ADD_FAILURE() << "cannot register the host window class (error " << GetLastError() << ")";
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) ADD_FAILURE() << "no screen to open windows on";
}

HostScreen::~HostScreen() {
    // A test that stopped half way leaves no key down for the next one.
    for (WORD vk : impl->held)
        sendKey(vk, false);
    for (WindowHandle w : windows)
        DestroyWindow(handle(w));
    dispatch();
    if (impl->registered) UnregisterClassW(kClassName, impl->instance);
}

WindowHandle HostScreen::createWindow(int width, int height, int x, int y) {
    if (!impl->registered) return 0;
    // A pop-up window has neither frame nor caption: its inside is the
    // whole window, exactly width x height at (x, y).
    HWND w = CreateWindowExW(0, kClassName, L"Murmelo test host", WS_POPUP | WS_CLIPCHILDREN, x, y, width, height,
                             nullptr, nullptr, impl->instance, nullptr);
    if (!w) {
        ADD_FAILURE() << "cannot create a host window (error " << GetLastError() << ")";
        return 0;
    }
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    SetForegroundWindow(w);
    windows.push_back(reinterpret_cast<WindowHandle>(w));
    // Until the window is shown and painted black.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < end) {
        dispatch();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return reinterpret_cast<WindowHandle>(w);
}

void HostScreen::destroyWindow(WindowHandle window) {
    if (!window) return;
    DestroyWindow(handle(window));
    dispatch();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

std::vector<WindowHandle> HostScreen::children(WindowHandle window) {
    std::vector<WindowHandle> list;
    if (!window) return list;
    for (HWND child = GetWindow(handle(window), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        list.push_back(reinterpret_cast<WindowHandle>(child));
    return list;
}

WindowHandle HostScreen::firstChild(WindowHandle window) {
    return window ? reinterpret_cast<WindowHandle>(GetWindow(handle(window), GW_CHILD)) : 0;
}

Image HostScreen::grab(WindowHandle window, int width, int height) {
    Image image;
    if (!window || width <= 0 || height <= 0) return image;
    dispatch();
    GdiFlush();
    POINT origin{0, 0};
    if (!ClientToScreen(handle(window), &origin)) return image;
    HDC screen = GetDC(nullptr);
    if (!screen) return image;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            image.width = width;
            image.height = height;
            image.rgb.resize(std::size_t(width) * height * 3);
            const auto *pixels = static_cast<const std::uint8_t *>(bits); // B, G, R, unused
            for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
                image.rgb[i * 3] = pixels[i * 4 + 2];
                image.rgb[i * 3 + 1] = pixels[i * 4 + 1];
                image.rgb[i * 3 + 2] = pixels[i * 4];
            }
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

void HostScreen::moveTo(WindowHandle window, int height, float x, float y) {
    dispatch();
    impl->pressHeldKeysAgain();
    POINT p{static_cast<LONG>(x), static_cast<LONG>(height - int(y))};
    ClientToScreen(handle(window), &p);
    // Absolute positions run from 0 to 65535 across the virtual screen; the
    // system maps them back as p * size / 65536, so aim at the pixel's middle.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), tall = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || tall <= 0) return;
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>(((p.x - left) * 65536LL + 32768) / width);
    input.mi.dy = static_cast<LONG>(((p.y - top) * 65536LL + 32768) / tall);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof(INPUT));
    // The pointer's own motion on the X server comes back within a moment
    // and lets go of held keys (see pressHeldKeysAgain); asking for a key's
    // state reads it, so the keys are pressed again before the move's
    // message is handled.
    if (!impl->held.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        impl->pressHeldKeysAgain();
    }
}

void HostScreen::button(int number, bool down) {
    static const DWORD flags[3][2] = {{MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN},
                                      {MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEDOWN},
                                      {MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_RIGHTDOWN}};
    if (number < 1 || number > 3) {
        ADD_FAILURE() << "no mouse button " << number;
        return;
    }
    dispatch();
    impl->pressHeldKeysAgain();
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags[number - 1][down ? 1 : 0];
    SendInput(1, &input, sizeof(INPUT));
}

void HostScreen::key(Key k, bool down) {
    WORD vk = 0;
    bool shifted = false;
    if (!virtualKey(k, vk, shifted)) {
        ADD_FAILURE() << "no key on this keyboard types key " << k;
        return;
    }
    // A character on a shifted key ('!' and the like) holds Shift around it.
    if (shifted && down) sendKey(VK_SHIFT, true);
    sendKey(vk, down);
    if (shifted && !down) sendKey(VK_SHIFT, false);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
        auto &held = impl->held;
        held.erase(std::remove(held.begin(), held.end(), vk), held.end());
        if (down) held.push_back(vk);
    }
}

void HostScreen::typeKey(Key k) {
    key(k, true);
    key(k, false);
}

void HostScreen::focusWindow(WindowHandle window) {
    if (!window) return;
    SetForegroundWindow(GetAncestor(handle(window), GA_ROOT));
    SetFocus(handle(window));
    dispatch();
}

void HostScreen::sync() {
    // SendInput has queued its messages when it returns; the system hands
    // them to the window's thread when that thread reads its queue.
    dispatch();
}

void HostScreen::dispatch() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace guitest
