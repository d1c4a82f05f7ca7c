#include "platform/atomic_file.h"

namespace platform {

AtomicFile::~AtomicFile()
{
    Abandon();
}

void AtomicFile::Start(const std::filesystem::path& target)
{
    Abandon();
    target_ = target;
    failed_ = false;
    existed_ = false;
    synced_ = false;
    keepMode_ = false;
}

void AtomicFile::Retarget(const std::filesystem::path& target)
{
    target_ = target;
    existed_ = false;
}

bool WriteWholeFile(const std::filesystem::path& target, const void* data, std::size_t size, Existing existing)
{
    AtomicFile file;
    return file.Open(target) && file.Write(data, size) && file.Commit(existing);
}

}  // namespace platform
