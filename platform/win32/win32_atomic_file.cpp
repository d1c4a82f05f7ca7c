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
        HANDLE file = CreateFileA(temporary_.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_NEW,
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

std::string AtomicFile::PathForWriting() const
{
    return temporary_.string();
}

void AtomicFile::KeepModeOf(const std::filesystem::path&)
{
    // Windows files carry no permission bits; their folder's rules apply to the new file too.
}

bool AtomicFile::Commit(Existing existing)
{
    if (!synced_) {
        if (!handle_) return false;
        bool ok = !failed_ && FlushFileBuffers(static_cast<HANDLE>(handle_));
        // A file is moved closed.
        if (!CloseHandle(static_cast<HANDLE>(handle_))) ok = false;
        handle_ = nullptr;
        if (!ok) {
            Finish();
            return false;
        }
        synced_ = true;
    }
    if (temporary_.empty()) return false;
    existed_ = false;
    if (Place(existing)) return true;
    // A taken name keeps the file ready for another name or another rule.
    if (!(existed_ && existing == Existing::Keep)) Finish();
    return false;
}

void AtomicFile::Finish()
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

void AtomicFile::Abandon()
{
    Finish();
}

bool SyncFolder(const std::filesystem::path&)
{
    return true;  // MOVEFILE_WRITE_THROUGH has put the name on disk before the move returned
}

// A console's Ctrl+C ends the process without a handler: there is nothing to defer.
InterruptsDeferred::InterruptsDeferred() = default;
InterruptsDeferred::~InterruptsDeferred() = default;

void RemoveTemporaryFilesOnInterrupt()
{
    // A console's Ctrl+C ends the process; the hidden temporary name is all that can remain.
}

std::size_t MaxFileNameLength(const std::filesystem::path&)
{
    return MAX_PATH - 5;  // 255, the component limit of NTFS and FAT32 long names
}

}  // namespace platform
