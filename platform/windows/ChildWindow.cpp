#include "platform/ChildWindow.h"

#include "platform/ErrorReport.h"
#include "platform/Paths.h"
#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <windows.h>
#include <windowsx.h>

namespace platform {

namespace {

// The class is registered while at least one window of it lives, for this
// module and named after it ("murmelo" and the module's handle), so two
// copies of the plug-in in one process never share a class.
std::mutex classLock;
int liveWindows = 0;
wchar_t className[32];

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool registerClassForFirstWindow() {
    std::lock_guard<std::mutex> guard(classLock);
    if (liveWindows == 0) {
        char name[32];
        std::snprintf(name, sizeof(name), "murmelo%p", static_cast<void *>(ownModule()));
        MultiByteToWideChar(CP_ACP, 0, name, -1, className, 32);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_OWNDC | CS_GLOBALCLASS;
        wc.lpfnWndProc = windowProcedure;
        wc.hInstance = ownModule();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            reportError("cannot register the editor's window class: " + systemMessage(GetLastError()));
            return false;
        }
    }
    ++liveWindows;
    return true;
}

void unregisterClassAfterLastWindow() {
    std::lock_guard<std::mutex> guard(classLock);
    if (liveWindows > 0 && --liveWindows == 0) UnregisterClassW(className, ownModule());
}

// Wine's OpenGL in a child window draws into an X window of its own that
// X servers without a compositing manager (Xvfb among them) never show, and
// once a window has an OpenGL pixel format even GDI drawing in it stays
// hidden.  So under wine the context draws into a hidden child window and
// each finished frame is painted into the visible window with GDI; on
// Windows the driver presents frames in the window itself.
// MURMELO_GL_PRESENT=gdi or =window chooses either way by hand.
bool presentThroughGdi() {
    std::string choice;
    if (environmentValue("MURMELO_GL_PRESENT", choice)) {
        if (choice == "gdi") return true;
        if (choice == "window") return false;
    }
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool keyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

// The modifiers held at the moment of the event, from the asynchronous key
// state, as the window system itself sees the keyboard.
unsigned heldModifiers() {
    unsigned m = 0;
    if (keyDown(VK_SHIFT)) m |= kKeyShift;
    if (keyDown(VK_CONTROL)) m |= kKeyControl;
    if (keyDown(VK_MENU)) m |= kKeyAlt;
    return m;
}

// What the window procedure reaches through the window's user data.
struct WindowState {
    HWND window = nullptr;
    HWND drawable = nullptr; // the hidden child frames are drawn in, or null
    bool registered = false;
    bool captured = false;
    int lastX = 0, lastY = 0;
    std::deque<WindowEvent> queue;
    std::function<void()> arrival;

    void push(const WindowEvent &event) {
        // Consecutive motions with the same keys are one: only the last
        // position matters.
        if (event.kind == WindowEvent::kMotion && !queue.empty() && queue.back().kind == WindowEvent::kMotion &&
            queue.back().modifiers == event.modifiers)
            queue.back() = event;
        else
            queue.push_back(event);
    }
    void pointer(WindowEvent::Kind kind, LPARAM lParam, int button) {
        WindowEvent e;
        e.kind = kind;
        e.x = lastX = GET_X_LPARAM(lParam);
        e.y = lastY = GET_Y_LPARAM(lParam);
        e.modifiers = heldModifiers();
        e.button = button;
        if (kind != WindowEvent::kMotion) e.time = static_cast<unsigned long>(GetMessageTime());
        push(e);
    }
    bool handle(UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *impl = reinterpret_cast<WindowState *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the render thread paints every pixel
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS; // hosts with dialog managers pass typing on
    case WM_NCDESTROY:
        // The host destroyed its window and ours with it.
        if (impl && hwnd == impl->window) impl->window = impl->drawable = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        if (impl && impl->handle(message, wParam, lParam)) {
            if (impl->arrival) impl->arrival();
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The pointer messages: motion, and the three buttons (1 left, 2 middle,
// 3 right) going down and up.
struct PointerMessage {
    UINT message;
    WindowEvent::Kind kind;
    int button;
};
constexpr PointerMessage kPointerMessages[] = {
    {WM_MOUSEMOVE, WindowEvent::kMotion, 0},        {WM_LBUTTONDOWN, WindowEvent::kButtonPress, 1},
    {WM_MBUTTONDOWN, WindowEvent::kButtonPress, 2}, {WM_RBUTTONDOWN, WindowEvent::kButtonPress, 3},
    {WM_LBUTTONUP, WindowEvent::kButtonRelease, 1}, {WM_MBUTTONUP, WindowEvent::kButtonRelease, 2},
    {WM_RBUTTONUP, WindowEvent::kButtonRelease, 3},
};

// Queues the events the editor reads; true when the message was one.
bool WindowState::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const PointerMessage &p : kPointerMessages)
        if (p.message == message) {
            pointer(p.kind, lParam, p.button);
            return true;
        }
    switch (message) {
    case WM_CAPTURECHANGED:
        // Someone else took the mouse mid-drag (a dialog, the system): the
        // drag ends where the pointer was last seen.
        if (!captured) return false;
        captured = false;
        push({WindowEvent::kButtonRelease, lastX, lastY, heldModifiers(), 1, 0, 0});
        return true;
    case WM_CHAR:
        if (wParam == 0) return false;
        push({WindowEvent::kCharacter, 0, 0, heldModifiers(), 0, static_cast<int>(wParam), 0});
        return true;
    case WM_SETFOCUS:
        push({WindowEvent::kFocusIn, 0, 0, 0, 0, 0, 0});
        return true;
    case WM_KILLFOCUS:
        push({WindowEvent::kFocusOut, 0, 0, 0, 0, 0, 0});
        return true;
    default:
        return false;
    }
}

} // namespace

struct ChildWindow::Impl : WindowState {};

ChildWindow::ChildWindow() : impl(new Impl) {}

ChildWindow::~ChildWindow() {
    if (impl->window) {
        // No message reaches this object once it is gone.
        SetWindowLongPtrW(impl->window, GWLP_USERDATA, 0);
        if (impl->captured) ReleaseCapture();
        DestroyWindow(impl->window);
    }
    if (impl->registered) unregisterClassAfterLastWindow();
}

bool ChildWindow::create(std::uintptr_t parent, int width, int height) {
    if (impl->registered) return impl->window != nullptr;
    const HWND parentWindow = reinterpret_cast<HWND>(parent);
    if (!IsWindow(parentWindow)) {
        reportError("the host's editor window does not exist");
        return false;
    }
    if (!registerClassForFirstWindow()) return false;
    impl->registered = true;
    impl->window =
        CreateWindowExW(0, className, L"Window", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                        width > 0 ? width : 1, height > 0 ? height : 1, parentWindow, nullptr, ownModule(), nullptr);
    if (!impl->window) {
        reportError("cannot create the editor window: " + systemMessage(GetLastError()));
        return false;
    }
    SetWindowLongPtrW(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<WindowState *>(impl.get())));
    if (presentThroughGdi()) {
        // Never shown, so it takes no input and hides nothing; it goes with
        // its parent.
        impl->drawable = CreateWindowExW(0, className, L"Drawing", WS_CHILD, 0, 0, width > 0 ? width : 1,
                                         height > 0 ? height : 1, impl->window, nullptr, ownModule(), nullptr);
        if (!impl->drawable) reportError("cannot create the editor's drawing window: " + systemMessage(GetLastError()));
    }
    return true;
}

bool ChildWindow::exists() const { return impl->window != nullptr; }
std::uintptr_t ChildWindow::id() const { return reinterpret_cast<std::uintptr_t>(impl->window); }
DrawingTarget ChildWindow::drawingTarget() const {
    const auto window = reinterpret_cast<std::uintptr_t>(impl->window);
    return {"", window, impl->drawable ? reinterpret_cast<std::uintptr_t>(impl->drawable) : window};
}

void ChildWindow::setArrivalHandler(std::function<void()> handler) { impl->arrival = std::move(handler); }

bool ChildWindow::nextEvent(WindowEvent &event) {
    if (impl->queue.empty()) return false;
    event = impl->queue.front();
    impl->queue.pop_front();
    return true;
}

bool ChildWindow::grabPointer() {
    if (!impl->window) return false;
    SetCapture(impl->window);
    impl->captured = GetCapture() == impl->window;
    return impl->captured;
}

void ChildWindow::ungrabPointer() {
    if (!impl->captured) return;
    impl->captured = false; // our own release is no lost capture
    ReleaseCapture();
}

bool ChildWindow::takeKeyboardFocus() {
    if (!impl->window) return false;
    SetFocus(impl->window);
    return GetFocus() == impl->window;
}

} // namespace platform
