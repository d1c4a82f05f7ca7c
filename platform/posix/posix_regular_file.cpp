#include "platform/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "platform/folder_search.h"

namespace platform {
namespace {

// The first `size` bytes of the open file `fd` (fewer at its end) into `bytes`;
// false, with `bytes` empty, when a read fails.
bool ReadStart(int fd, std::size_t size, std::vector<unsigned char>& bytes)
{
    bytes.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes.data() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, const char* mode)
{
    const bool update = std::strchr(mode, '+') != nullptr;
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer.
    const int fd = open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file and saves two calls.
    std::FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}

bool IdentityOf(const std::string& path, FileIdentity& identity)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return false;
    identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    return true;
}

bool ReadFileStart(const std::string& path, std::size_t size, std::vector<unsigned char>& bytes,
                   FileIdentity& identity)
{
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (ok) {
        identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
        ok = ReadStart(fd, size, bytes);
    }
    close(fd);
    return ok;
}

}  // namespace platform

namespace platform {
namespace {

struct TreeWalk {
    const std::string& extension;
    std::size_t size;
    const TreeFileVisitor& onFile;
    std::set<FileIdentity> walked;
    std::vector<unsigned char> bytes;
};

// Walks the open folder `fd` (taken over and closed here) that `path` names.
bool WalkFolder(int fd, const std::string& path, TreeWalk& walk)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 ||
        !walk.walked.insert({static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)})
             .second) {
        close(fd);
        return true;
    }
    DIR* folder = fdopendir(fd);
    if (!folder) {
        close(fd);
        return true;
    }
    struct Entry {
        std::string name;
        unsigned char type;
        std::uint64_t inode;
    };
    std::vector<Entry> entries;
    while (const dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        entries.push_back({entry->d_name, entry->d_type, static_cast<std::uint64_t>(entry->d_ino)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return NameLessCaseInsensitive(a.name, b.name); });
    const int dfd = dirfd(folder);
    const auto device = static_cast<std::uint64_t>(status.st_dev);
    bool going = true;
    for (const Entry& entry : entries) {
        // The entry's kind from the folder itself; a link or an unknown kind is looked up.
        bool isFolder = entry.type == DT_DIR;
        bool isRegular = entry.type == DT_REG;
        FileIdentity identity{device, entry.inode};
        if (entry.type == DT_LNK || entry.type == DT_UNKNOWN) {
            struct stat target {};
            if (fstatat(dfd, entry.name.c_str(), &target, 0) == 0) {
                isFolder = S_ISDIR(target.st_mode);
                isRegular = S_ISREG(target.st_mode);
                identity = {static_cast<std::uint64_t>(target.st_dev), static_cast<std::uint64_t>(target.st_ino)};
            }
        }
        std::string full = path + '/' + entry.name;
        if (isFolder) {
            const int child = openat(dfd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0 && !WalkFolder(child, full, walk)) {
                going = false;
                break;
            }
            continue;
        }
        if (!EndsWithCaseInsensitive(entry.name, walk.extension)) continue;
        bool read = false;
        walk.bytes.clear();
        // O_NONBLOCK: should the entry have become a named pipe since, the read ends at once.
        const int file = isRegular ? openat(dfd, entry.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
        if (file >= 0) {
            read = ReadStart(file, walk.size, walk.bytes);
            close(file);
        }
        if (!walk.onFile(std::move(full), read, walk.bytes, identity)) {
            going = false;
            break;
        }
    }
    closedir(folder);
    return going;
}

}  // namespace

void ReadTreeFileStarts(const std::string& root, const std::string& extension, std::size_t size,
                        const TreeFileVisitor& onFile)
{
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    TreeWalk walk{extension, size, onFile, {}, {}};
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    WalkFolder(fd, path, walk);
}

}  // namespace platform
