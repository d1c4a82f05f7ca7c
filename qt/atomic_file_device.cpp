#include "qt/atomic_file_device.h"

namespace platform {

AtomicFileDevice::~AtomicFileDevice()
{
    if (isOpen()) QIODevice::close();
}

bool AtomicFileDevice::open(OpenMode mode)
{
    if ((mode & ReadOnly) || !file_.Open(target_)) return false;
    return QIODevice::open(mode | Unbuffered);
}

qint64 AtomicFileDevice::writeData(const char* data, qint64 size)
{
    if (failed_ || size < 0 || !file_.Write(data, static_cast<std::size_t>(size))) {
        failed_ = true;
        return -1;
    }
    return size;
}

bool AtomicFileDevice::Commit()
{
    if (!isOpen()) return false;
    QIODevice::close();
    if (failed_) {
        file_.Abandon();
        return false;
    }
    return file_.Commit(Existing::Replace);
}

}  // namespace platform
