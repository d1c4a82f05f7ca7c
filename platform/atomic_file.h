// Writes a file so that it appears whole or not at all: the bytes go into a
// temporary file beside the target, which is renamed over the target only when
// every write and the close succeeded. An older file of the target's name stays
// as it was until then; a failed or abandoned write leaves no partial file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace platform {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // abandons an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `target`. Returns false when it cannot be made.
    bool Open(const std::filesystem::path& target);
    // Returns false when not every byte was written; the file is then abandoned at Commit.
    bool Write(const void* data, std::size_t size);
    // Closes the temporary file and puts it in the target's place.
    bool Commit();
    // Removes the temporary file.
    void Abandon();

    const std::filesystem::path& target() const { return target_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
};

// The whole of `size` bytes into `target`, through an AtomicFile.
bool WriteWholeFile(const std::filesystem::path& target, const void* data, std::size_t size);

}  // namespace platform
