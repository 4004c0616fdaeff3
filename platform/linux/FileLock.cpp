#include "platform/linux/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace kestrune::platform {

FileLock::FileLock(int fd) : fd_(fd) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}

FileLock FileLock::OnLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return FileLock(fd);
}

FileLock FileLock::OnFolder(const std::string& folder) {
    return FileLock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace kestrune::platform
