// An exclusive flock() held for the object's lifetime, on a lock file or on a folder. Writers in any
// process that take the same lock are serialised; closing the descriptor (the destructor, or the
// process ending) releases it.
#pragma once

#include <string>

namespace kestrune::platform {

class FileLock {
public:
    // The lock file at `path`, made (0644) when missing; a lock file another user made is locked
    // through a descriptor open for reading.
    static FileLock OnLockFile(const std::string& path);
    // The folder itself, which needs no file of its own.
    static FileLock OnFolder(const std::string& folder);

    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // False when the file could not be opened or locked: the caller decides whether to go on.
    bool Locked() const { return fd_ >= 0; }

private:
    explicit FileLock(int fd);
    int fd_;
};

}  // namespace kestrune::platform
