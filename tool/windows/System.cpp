#include "tool/System.h"

#include "platform/Paths.h"
#include "platform/windows/WideText.h"

#include <atomic>

// Winsock before windows.h, which would otherwise bring the old winsock.h.
#include <winsock2.h>

#include <shellapi.h>
#include <windows.h>

// After windows.h: libsndfile's wide-character open needs its types.
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <sndfile.h>

namespace tool {

namespace {

// Windows ends a process this long after the handler of a close request
// returns or, at the latest, 5 s after the request.
constexpr DWORD kCloseWaitMs = 4000;

std::atomic<bool> stopAsked{false};
HANDLE finished = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        stopAsked.store(true);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The process ends when this returns: wait for the server to stop.
        stopAsked.store(true);
        if (finished) WaitForSingleObject(finished, kCloseWaitMs);
        return TRUE;
    default:
        return FALSE;
    }
}

std::string executableDir() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string narrowPath = platform::narrow(path);
    return narrowPath.substr(0, narrowPath.find_last_of("\\/"));
}

} // namespace

// The C runtime's argv is in the ANSI code page, which cannot hold every
// name a user may give; the wide command line can.
Args commandArguments(int argc, char **argv) {
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return Args(argv + 1, argv + argc);
    Args args;
    for (int i = 1; i < count; ++i)
        args.push_back(platform::narrow(words[i]));
    LocalFree(words);
    return args;
}

std::vector<std::string> defaultPluginPaths() {
    std::vector<std::string> paths{executableDir() + "\\murmelo.dll"}; // build tree, or installed beside it
    std::string folder;
    if (platform::environmentValue("CommonProgramFiles", folder)) paths.push_back(folder + "\\VST2\\murmelo.dll");
    if (platform::environmentValue("ProgramFiles", folder))
        paths.push_back(folder + "\\Steinberg\\VstPlugins\\murmelo.dll");
    return paths;
}

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

SNDFILE *openSoundFile(const std::string &path, int mode, SF_INFO *info) {
    return sf_wchar_open(platform::widen(path).c_str(), mode, info);
}

bool replaceFile(const std::string &from, const std::string &to) {
    return MoveFileExW(platform::widen(from).c_str(), platform::widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

void removeFile(const std::string &path) { DeleteFileW(platform::widen(path).c_str()); }

bool loopbackAnswers(int port, const std::function<std::string(int ownPort)> &message, int timeoutMs) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    bool answered = false;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(self);
    if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr *>(&self), sizeof(self)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&self), &length) == 0) {
        const std::string datagram = message(ntohs(self.sin_port));
        sockaddr_in to = self;
        to.sin_port = htons(static_cast<u_short>(port));
        for (int waited = 0; waited < timeoutMs && !answered; waited += 100) {
            sendto(s, datagram.data(), static_cast<int>(datagram.size()), 0, reinterpret_cast<sockaddr *>(&to),
                   sizeof(to));
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait{0, 100000};
            // An unreachable port shows as an error to receive, not an answer.
            char answer[2048];
            answered =
                select(0, &readable, nullptr, nullptr, &wait) > 0 && recv(s, answer, sizeof(answer), 0) != SOCKET_ERROR;
        }
    }
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return answered;
}

void watchStopRequests() {
    if (!finished) finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopAsked.load(); }

void stopFinished() {
    if (finished) SetEvent(finished);
}

} // namespace tool
