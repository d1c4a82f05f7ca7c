// Opens test files, which are regular files and nothing else: a named pipe, a
// socket or a device node that carries a test file's name is refused at once
// instead of blocking the program or being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Which file a path leads to: the same for every link and name of one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of what `path` leads to, following links; false when it cannot be reached.
bool IdentityOf(const std::string& path, FileIdentity& identity);

// The first `size` bytes of the regular file `path` (fewer when it is
// shorter), read with one open and closed again, and the file's identity.
// False, with nothing read, when it is no regular file or cannot be read.
bool ReadFileStart(const std::string& path, std::size_t size, std::vector<unsigned char>& bytes,
                   FileIdentity& identity);

// Opens `path` with the stdio `mode` ("rb" or "r+b") when it is a regular
// file; otherwise, or when it cannot be opened, returns null.
std::FILE* OpenRegularFile(const std::string& path, const char* mode);

}  // namespace platform
