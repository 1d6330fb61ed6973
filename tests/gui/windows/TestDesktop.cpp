// The desktop the Windows editor tests run on (wine on a virtual X server),
// set up once per test program:
// - Arial is declared to stand in as Liberation Sans, its metric twin, as a
//   Linux desktop's font configuration declares it: the tests' text then
//   lands where it does in the Linux runs.  Without Liberation Sans the
//   Arial-dependent checks fail and say so.
// - The plug-in reports set-up failures in message boxes, as users see
//   them.  A box nobody closes would stop the test for good, so a watcher
//   closes each "Error" box of this process and keeps its text (the same
//   text is on standard error, which tests read); errorBoxes() lists them.
#include "tests/gui/windows/TestDesktop.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>
#include <windows.h>

namespace guitest {

namespace {

constexpr wchar_t kSubstitutes[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";

std::mutex boxesLock;
std::vector<std::string> &boxes() {
    static std::vector<std::string> texts;
    return texts;
}

std::string narrowed(const wchar_t *text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? std::size_t(n - 1) : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Closes the message box if hwnd is one of ours captioned "Error".
BOOL CALLBACK closeErrorBox(HWND hwnd, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t className[16] = {}, caption[64] = {};
    if (process != GetCurrentProcessId() || !GetClassNameW(hwnd, className, 16) || wcscmp(className, L"#32770") != 0 ||
        !GetWindowTextW(hwnd, caption, 64) || wcscmp(caption, L"Error") != 0)
        return TRUE;
    wchar_t text[1024] = {};
    GetDlgItemTextW(hwnd, 0xFFFF, text, 1024); // a message box's text control
    const std::string line = narrowed(text);
    {
        std::lock_guard<std::mutex> guard(boxesLock);
        boxes().push_back(line);
    }
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

class TestDesktop : public testing::Environment {
public:
    void SetUp() override {
        declareArialStandIn();
        watcher = std::thread([this] {
            while (!stopping.load()) {
                EnumWindows(closeErrorBox, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    void TearDown() override {
        stopping.store(true);
        if (watcher.joinable()) watcher.join();
    }

private:
    static void declareArialStandIn() {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSubstitutes, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            std::fprintf(stderr, "test desktop: cannot declare Liberation Sans for Arial\n");
            return;
        }
        const wchar_t family[] = L"Liberation Sans";
        RegSetValueExW(key, L"Arial", 0, REG_SZ, reinterpret_cast<const BYTE *>(family), sizeof(family));
        RegCloseKey(key);
    }

    std::thread watcher;
    std::atomic<bool> stopping{false};
};

[[maybe_unused]] testing::Environment *const desktop = testing::AddGlobalTestEnvironment(new TestDesktop);

} // namespace

std::vector<std::string> errorBoxes() {
    std::lock_guard<std::mutex> guard(boxesLock);
    return boxes();
}

} // namespace guitest
