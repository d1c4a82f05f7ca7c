// Opens test files, which are regular files and nothing else: a named pipe, a
// socket or a device node that carries a test file's name is refused at once
// instead of blocking the program or being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
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

// How a tree is walked.
struct TreeWalk {
    std::string extension;        // ".kel": files whose names end in it, in any case
    std::size_t size = 0;         // bytes read from the start of each such file
    bool recursive = true;        // into subfolders
    bool followFolderLinks = false;  // links to folders: passed over unless true
    bool filesFirst = false;      // a folder's files before its subfolders (else one name order)
};

// Walks `root` and hands `onFile` the path of every entry whose name ends in
// the extension and that is not a folder, in case-insensitive name order
// within each folder: with `read` true and the file's first bytes and identity
// when it is a regular file that could be read, else with `read` false. Links
// to files are read; links to folders are passed over unless the walk follows
// them, and then each folder is still walked once, so a link loop ends. A
// folder that cannot be opened or read, or that vanished while the walk was
// below it, goes to `onFolderLeftOut`. When `onFile` returns false the walk
// stops. The walk is no recursion and holds a bounded number of folders open,
// and every file is opened relative to its open folder: a tree thousands of
// levels deep, beyond the longest path the system takes, is walked whole.
using TreeFileVisitor = std::function<bool(std::string path, bool read, const std::vector<unsigned char>& bytes,
                                           const FileIdentity& identity)>;
using TreeFolderVisitor = std::function<void(const std::string& path)>;
void ReadTreeFileStarts(const std::string& root, const TreeWalk& walk, const TreeFileVisitor& onFile,
                        const TreeFolderVisitor& onFolderLeftOut = {});

// Opens `path` with the stdio `mode` ("rb" or "r+b") when it is a regular
// file; otherwise, or when it cannot be opened, returns null.
std::FILE* OpenRegularFile(const std::string& path, const char* mode);

}  // namespace platform
