// MIDI scripts where Windows differs: a script another program holds open
// without sharing, and print's text on the debugger channel
// (OutputDebugString), read here the way a debug viewer reads it.
#include "tests/midi/MidiTestSupport.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <windows.h>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// The system's debug-output buffer (DBWIN_BUFFER): while no debugger is
// attached, OutputDebugString hands each text to whoever created the buffer
// and its two events, one text at a time.  Collects this process's texts.
class DebugChannel {
public:
    DebugChannel() {
        mutex = CreateMutexW(nullptr, FALSE, L"DBWinMutex");
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, L"DBWIN_BUFFER");
        bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kSize) : nullptr;
        if (ready()) reader = std::thread([this] { run(); });
    }
    ~DebugChannel() {
        stopping = true;
        if (reader.joinable()) reader.join();
        if (view) UnmapViewOfFile(view);
        for (HANDLE h : {dataReady, bufferReady, mapping, mutex})
            if (h) CloseHandle(h);
    }
    bool ready() const { return mutex && mapping && bufferReady && dataReady && view; }
    std::string text() {
        std::lock_guard<std::mutex> guard(lock);
        return received;
    }

private:
    static constexpr DWORD kSize = 4096;

    void run() {
        SetEvent(bufferReady);
        while (!stopping) {
            if (WaitForSingleObject(dataReady, 50) != WAIT_OBJECT_0) continue;
            DWORD process = 0;
            std::memcpy(&process, view, sizeof process);
            const char *text = static_cast<const char *>(view) + sizeof process;
            const std::size_t length = strnlen(text, kSize - sizeof process);
            if (process == GetCurrentProcessId()) {
                std::lock_guard<std::mutex> guard(lock);
                received.append(text, length);
            }
            SetEvent(bufferReady);
        }
    }

    HANDLE mutex = nullptr, mapping = nullptr, bufferReady = nullptr, dataReady = nullptr;
    void *view = nullptr;
    std::thread reader;
    std::atomic<bool> stopping{false};
    std::mutex lock;
    std::string received;
};

TEST_F(MidiScripts, ScriptHeldOpenByAnotherProgramIsSkipped) {
    writeScript("held.lua", "log('held ran')\n");
    writeScript("open.lua", "log('open ran')\n");
    const HANDLE held = CreateFileW(std::filesystem::u8path(scriptPath("held.lua")).wstring().c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    auto plugin = load();
    CloseHandle(held);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(logLines(), (Lines{"open ran"}));
    EXPECT_EQ(loadOutput, "") << "skipped, not reported";
}

TEST_F(MidiScripts, PrintWritesToTheDebuggerChannel) {
    writeScript("print.lua", kPrintScript);
    DebugChannel channel;
    ASSERT_TRUE(channel.ready());
    ::testing::internal::CaptureStderr();
    auto plugin = load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(plugin);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!contains(channel.text(), "text\t1\tnil\ttrue\n\n") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(contains(channel.text(), "text\t1\tnil\ttrue\n\n")) << channel.text();
    EXPECT_EQ(logLines(), (Lines{"'tostring' must return a string to 'print'"}));
    EXPECT_FALSE(contains(loadOutput, "text")) << "not on standard output";
    EXPECT_FALSE(contains(err, "text")) << "nor on standard error";
}

} // namespace
