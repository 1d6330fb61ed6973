// Crash-safe whole-file replacement and folder locks, for the settings file.
#pragma once

#include <string>

namespace platform {

// Replaces the file at path with contents so that a reader (or a crash) sees
// either the old file or the whole new one, never a mix: the text goes to a
// new file in the same folder, is flushed to disk, then renamed over path.
// A symbolic link at path is followed, so the link stays a link.
bool replaceFileAtomically(const std::string &path, const std::string &contents);

// Holds an exclusive advisory lock on a folder for its lifetime, so that
// read-modify-write cycles on a file in it, from any thread or process using
// this lock, happen one at a time.  locked() is false when the folder could
// not be opened or locked.
class FolderLock {
public:
    explicit FolderLock(const std::string &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    bool locked() const { return fd >= 0; }

private:
    int fd = -1;
};

} // namespace platform
