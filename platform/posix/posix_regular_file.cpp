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

}  // namespace platform
