#include "platform/regular_file.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/folder_search.h"

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

namespace {

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return false;
    identity = {information.dwVolumeSerialNumber,
                static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
    return true;
}

}  // namespace

bool IdentityOf(const std::string& path, FileIdentity& identity)
{
    // Folders open only with backup semantics; links are followed.
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = IdentityOfHandle(handle, identity);
    CloseHandle(handle);
    return ok;
}

bool ReadFileStart(const std::string& path, std::size_t size, std::vector<unsigned char>& bytes,
                   FileIdentity& identity)
{
    bytes.clear();
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileType(handle) == FILE_TYPE_DISK && IdentityOfHandle(handle, identity);
    if (ok) {
        bytes.resize(size);
        DWORD got = 0;
        ok = ReadFile(handle, bytes.data(), static_cast<DWORD>(size), &got, nullptr) != 0;
        bytes.resize(ok ? got : 0);
    }
    CloseHandle(handle);
    return ok;
}

}  // namespace platform

namespace platform {
namespace {

bool WalkFolder(const std::filesystem::path& folder, const std::string& extension, std::size_t size,
                const TreeFileVisitor& onFile, std::set<FileIdentity>& walked, std::vector<unsigned char>& bytes)
{
    FileIdentity identity;
    if (!IdentityOf(folder.string(), identity) || !walked.insert(identity).second) return true;
    std::vector<std::pair<std::string, bool>> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        entries.emplace_back(it->path().filename().string(), it->is_directory(ignored));
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return NameLessCaseInsensitive(a.first, b.first); });
    for (const auto& [name, isFolder] : entries) {
        const std::filesystem::path path = folder / name;
        if (isFolder) {
            if (!WalkFolder(path, extension, size, onFile, walked, bytes)) return false;
        } else if (EndsWithCaseInsensitive(name, extension)) {
            FileIdentity fileIdentity;
            const bool read = ReadFileStart(path.string(), size, bytes, fileIdentity);
            if (!onFile(path.string(), read, bytes, fileIdentity)) return false;
        }
    }
    return true;
}

}  // namespace

void ReadTreeFileStarts(const std::string& root, const std::string& extension, std::size_t size,
                        const TreeFileVisitor& onFile)
{
    std::set<FileIdentity> walked;
    std::vector<unsigned char> bytes;
    WalkFolder(root, extension, size, onFile, walked, bytes);
}

}  // namespace platform
