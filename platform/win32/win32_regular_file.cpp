#include "platform/regular_file.h"

#include <io.h>
#include <windows.h>

namespace platform {

std::FILE* OpenRegularFile(const std::string& path, const char* mode)
{
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) return nullptr;
    // CON.kel, NUL.kel or a pipe open as devices: only disk files are test files.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

}  // namespace platform
