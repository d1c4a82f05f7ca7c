// The atomic file on Windows: a short hidden name made with CREATE_NEW in the
// target's folder, flushed, then moved over the target (or, where the target
// must be free, moved only when no file of its name exists). Names reach
// Windows as the paths' wide strings.
#include "platform/atomic_file.h"

#include <windows.h>

#include <cstdio>

#include "platform/names.h"

namespace platform {

namespace {

// A target held open by another program is tried again for about a second.
constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplaceWaitMs = 50;

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

}  // namespace

bool AtomicFile::Open(const std::filesystem::path& target)
{
    Start(target);
    handedOver_ = false;
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (unsigned attempt = 0; attempt < 100 && !handle_; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".kel-%08lx.tmp", static_cast<unsigned long>(seed + attempt));
        temporary_ = FolderOf(target) / name;
        HANDLE file = CreateFileW(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
    // Windows refuses to replace a file that another program holds open without sharing its
    // deletion (a viewer, a virus scan): such holds are short, so the move is tried again for
    // about a second before the failure is reported.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            temporary_.clear();
            return true;
        }
        const DWORD error = GetLastError();
        if (attempt == kReplaceAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            return false;
        Sleep(kReplaceWaitMs);
    }
}

bool AtomicFile::Place(Existing existing)
{
    if (existing == Existing::Replace) return RenameOver();
    if (MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)) {
        temporary_.clear();
        return true;
    }
    existed_ = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS;
    return false;
}

std::string AtomicFile::PathForWriting() const
{
    // The other library opens the file without sharing its writing: this handle steps aside,
    // and Commit opens the file again to flush what the library wrote.
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
        handedOver_ = true;
    }
    return NameOf(temporary_);
}

void AtomicFile::KeepModeOf(const std::filesystem::path&)
{
    // Windows files carry no permission bits; their folder's rules apply to the new file too.
}

bool AtomicFile::Commit(Existing existing)
{
    if (!synced_) {
        if (!handle_ && handedOver_ && !temporary_.empty()) {
            const HANDLE file = CreateFileW(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) handle_ = file;
        }
        if (!handle_) {
            Finish();
            return false;
        }
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
        DeleteFileW(temporary_.c_str());
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
