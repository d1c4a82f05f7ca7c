#include "platform/regular_file.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/folder_search.h"
#include "platform/names.h"

namespace platform {

std::FILE* OpenRegularFile(const std::string& path, const char* mode)
{
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c) wideMode += static_cast<wchar_t>(*c);
    std::FILE* file = _wfopen(PathOf(path).c_str(), wideMode.c_str());
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
    const HANDLE handle = CreateFileW(PathOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
    const HANDLE handle = CreateFileW(PathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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

void ReadTreeFileStarts(const std::string& root, const TreeWalk& walk, const TreeFileVisitor& onFile,
                        const TreeFolderVisitor& onFolderLeftOut)
{
    struct Entry {
        std::string name;
        bool isFolder;
    };
    struct Level {
        std::filesystem::path path;
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    std::set<FileIdentity> walked;
    std::vector<unsigned char> bytes;
    std::vector<Level> levels;
    // A folder becomes the next level once, with its entries sorted; false when it was left out.
    const auto enter = [&](const std::filesystem::path& folder) {
        FileIdentity identity;
        if (!IdentityOf(NameOf(folder), identity)) {
            if (onFolderLeftOut) onFolderLeftOut(NameOf(folder));
            return;
        }
        if (!walked.insert(identity).second) return;
        Level level{folder, {}, 0};
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            std::error_code ignored;
            const bool isLink = it->is_symlink(ignored);
            const bool isFolder = it->is_directory(ignored);
            const std::string name = NameOf(it->path().filename());
            if (isFolder && isLink && !walk.followFolderLinks) continue;
            if (isFolder ? walk.recursive : EndsWithCaseInsensitive(name, walk.extension))
                level.entries.push_back({name, isFolder});
        }
        if (error) {
            if (onFolderLeftOut) onFolderLeftOut(NameOf(folder));
            return;
        }
        std::sort(level.entries.begin(), level.entries.end(), [&walk](const Entry& a, const Entry& b) {
            if (walk.filesFirst && a.isFolder != b.isFolder) return !a.isFolder;
            return NameLessCaseInsensitive(a.name, b.name);
        });
        levels.push_back(std::move(level));
    };
    enter(PathOf(root));
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const Entry entry = level.entries[level.next++];
        const std::filesystem::path path = level.path / PathOf(entry.name);
        if (entry.isFolder) {
            enter(path);
            continue;
        }
        FileIdentity identity;
        const std::string name = NameOf(path);
        const bool read = ReadFileStart(name, walk.size, bytes, identity);
        if (!onFile(name, read, bytes, identity)) return;
    }
}

}  // namespace platform
