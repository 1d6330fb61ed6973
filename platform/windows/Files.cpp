#include "platform/Files.h"

#include "platform/windows/WideText.h"

#include <new>
#include <windows.h>

namespace platform {

ReadResult readWholeFile(const std::string &path, std::unique_ptr<unsigned char[]> &bytes, std::size_t &size) {
    if (path.empty()) return ReadResult::missing;
    const HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadResult::missing : ReadResult::failed;
    }
    ReadResult result = ReadResult::failed;
    LARGE_INTEGER length{};
    // Sizes beyond what this process can hold (a 32-bit one) are refused.
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &length) && length.QuadPart >= 0 &&
        static_cast<unsigned long long>(length.QuadPart) < static_cast<unsigned long long>(SIZE_MAX / 2)) {
        const auto total = static_cast<std::size_t>(length.QuadPart);
        std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[total + 1]);
        std::size_t done = 0;
        while (buffer && done < total) {
            const DWORD want = total - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(total - done);
            DWORD got = 0;
            if (!ReadFile(file, buffer.get() + done, want, &got, nullptr) || got == 0) break; // the file shrank
            done += got;
        }
        if (buffer && done == total) {
            buffer[total] = 0;
            bytes = std::move(buffer);
            size = total;
            result = ReadResult::ok;
        }
    }
    CloseHandle(file);
    return result;
}

} // namespace platform
