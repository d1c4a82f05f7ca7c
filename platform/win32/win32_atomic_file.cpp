// The atomic file on Windows: a short hidden name made with CREATE_NEW in the
// target's folder, flushed, then moved over the target (or, where the target
// must be free, moved only when no file of its name exists).
#include "platform/atomic_file.h"

#include <windows.h>

#include <cstdio>

namespace platform {

namespace {

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

}  // namespace

bool AtomicFile::Open(const std::filesystem::path& target)
{
    Start(target);
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (unsigned attempt = 0; attempt < 100 && !handle_; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".kel-%08lx.tmp", static_cast<unsigned long>(seed + attempt));
        temporary_ = FolderOf(target) / name;
        HANDLE file = CreateFileA(temporary_.string().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) handle_ = file;
        else if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!handle_) temporary_.clear();
    return handle_ != nullptr;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (!handle_ || failed_) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD put = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes, chunk, &put, nullptr) || put == 0) {
            failed_ = true;
            break;
        }
        bytes += put;
        size -= put;
    }
    return !failed_;
}

bool AtomicFile::RenameOver()
{
    if (!MoveFileExA(temporary_.string().c_str(), target_.string().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    temporary_.clear();
    return true;
}

bool AtomicFile::Place(Existing existing)
{
    if (existing == Existing::Replace) return RenameOver();
    if (MoveFileExA(temporary_.string().c_str(), target_.string().c_str(), MOVEFILE_WRITE_THROUGH)) {
        temporary_.clear();
        return true;
    }
    existed_ = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS;
    return false;
}

bool AtomicFile::Commit(Existing existing)
{
    if (!handle_) return false;
    bool ok = !failed_ && FlushFileBuffers(static_cast<HANDLE>(handle_));
    if (!CloseHandle(static_cast<HANDLE>(handle_))) ok = false;
    handle_ = nullptr;
    ok = ok && Place(existing);
    if (!temporary_.empty()) {
        DeleteFileA(temporary_.string().c_str());
        temporary_.clear();
    }
    return ok;
}

void AtomicFile::Abandon()
{
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    if (!temporary_.empty()) {
        DeleteFileA(temporary_.string().c_str());
        temporary_.clear();
    }
}

void RemoveTemporaryFilesOnInterrupt()
{
    // A console's Ctrl+C ends the process; the hidden temporary name is all that can remain.
}

std::size_t MaxFileNameLength(const std::filesystem::path&)
{
    return MAX_PATH - 5;  // 255, the component limit of NTFS and FAT32 long names
}

}  // namespace platform
