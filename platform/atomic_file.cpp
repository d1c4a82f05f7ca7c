#include "platform/atomic_file.h"

#include <system_error>

namespace platform {

AtomicFile::~AtomicFile()
{
    Abandon();
}

bool AtomicFile::Open(const std::filesystem::path& target)
{
    Abandon();
    target_ = target;
    failed_ = false;
    // "x" refuses to reuse a name that exists, so no other file is ever overwritten.
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temporary_ = target;
        temporary_ += ".partial" + std::to_string(attempt);
        file_ = std::fopen(temporary_.string().c_str(), "wbx");
    }
    if (!file_) temporary_.clear();
    return file_ != nullptr;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (!file_ || failed_) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool AtomicFile::Commit()
{
    if (!file_) return false;
    bool ok = !failed_ && std::fflush(file_) == 0;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    std::error_code error;
    if (ok) std::filesystem::rename(temporary_, target_, error);
    if (!ok || error) {
        std::filesystem::remove(temporary_, error);
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

void AtomicFile::Abandon()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
        temporary_.clear();
    }
}

bool WriteWholeFile(const std::filesystem::path& target, const void* data, std::size_t size)
{
    AtomicFile file;
    return file.Open(target) && file.Write(data, size) && file.Commit();
}

}  // namespace platform
