// Opens test files, which are regular files and nothing else: a named pipe, a
// socket or a device node that carries a test file's name is refused at once
// instead of blocking the program or being read.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens `path` with the stdio `mode` ("rb" or "r+b") when it is a regular
// file; otherwise, or when it cannot be opened, returns null.
std::FILE* OpenRegularFile(const std::string& path, const char* mode);

}  // namespace platform
