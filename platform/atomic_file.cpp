#include "platform/atomic_file.h"

namespace platform {

bool WriteWholeFile(const std::filesystem::path& target, const void* data, std::size_t size, Existing existing)
{
    AtomicFile file;
    return file.Open(target) && file.Write(data, size) && file.Commit(existing);
}

}  // namespace platform
