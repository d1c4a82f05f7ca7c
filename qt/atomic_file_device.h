// An AtomicFile as a Qt output device, for what Qt writes itself (a PNG image,
// a PDF document): the file takes its name only when every write succeeded and
// Commit is called, and is removed otherwise.
#pragma once

#include <QIODevice>

#include <filesystem>

#include "platform/atomic_file.h"

namespace platform {

class AtomicFileDevice : public QIODevice {
public:
    explicit AtomicFileDevice(std::filesystem::path target) : target_(std::move(target)) {}
    ~AtomicFileDevice() override;

    // Opens for writing only: the temporary file beside the target.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    // Puts the file in the target's place (replacing an older one); false
    // when any write failed or the file could not take the name.
    bool Commit();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    std::filesystem::path target_;
    AtomicFile file_;
    bool failed_ = false;
};

}  // namespace platform
