#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::FILE* OpenRegularFile(const std::string& path, const char* mode)
{
    const bool update = std::strchr(mode, '+') != nullptr;
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer.
    const int fd = open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file and saves two calls.
    std::FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}

bool IdentityOf(const std::string& path, FileIdentity& identity)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return false;
    identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    return true;
}

bool ReadFileStart(const std::string& path, std::size_t size, std::vector<unsigned char>& bytes,
                   FileIdentity& identity)
{
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (ok) {
        identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
        bytes.resize(size);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = read(fd, bytes.data() + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(ok ? got : 0);
    }
    close(fd);
    return ok;
}

}  // namespace platform
