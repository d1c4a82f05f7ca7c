#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/trace_file.h"

namespace platform {

std::string TraceFilePath()
{
    std::filesystem::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) cache = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) cache = std::filesystem::path(home) / ".cache";
    else return {};
    return (cache / "KEL-7300" / "serial.txt").string();
}

std::FILE* OpenTraceFile()
{
    const std::filesystem::path path = TraceFilePath();
    if (path.empty()) return nullptr;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path().parent_path(), error);
    ::mkdir(path.parent_path().c_str(), 0700);
    // Never through a link: someone else's file must not be truncated.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) ::close(fd);
    return file;
}

}  // namespace platform
