#include "platform/Files.h"
#include "platform/linux/FileStore.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool readAll(int fd, unsigned char *bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // an error, or the file shrank under us
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a symbolic link at path points to, or path itself.
std::string resolvedTarget(const std::string &path) {
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string target = real;
    std::free(real);
    return target;
}

void syncFolder(const std::string &folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

ReadResult readWholeFile(const std::string &path, std::unique_ptr<unsigned char[]> &bytes, std::size_t &size) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
    struct stat info {};
    ReadResult result = ReadResult::failed;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0) {
        const auto length = static_cast<std::size_t>(info.st_size);
        std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[length + 1]);
        if (buffer && readAll(fd, buffer.get(), length)) {
            buffer[length] = 0;
            bytes = std::move(buffer);
            size = length;
            result = ReadResult::ok;
        }
    }
    close(fd);
    return result;
}

bool replaceFileAtomically(const std::string &path, const std::string &contents) {
    const std::string target = resolvedTarget(path);
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) return false;
    struct stat old {};
    const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = writeAll(fd, contents) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

FolderLock::FolderLock(const std::string &folder) {
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    int status;
    do
        status = flock(fd, LOCK_EX);
    while (status != 0 && errno == EINTR);
    if (status != 0) {
        close(fd);
        fd = -1;
    }
}

FolderLock::~FolderLock() {
    if (fd >= 0) close(fd); // closing releases the lock
}

} // namespace platform
