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

// At most this many folders of the walk are open at once: deeper trees close
// the outer ones and open them again on the way back.
constexpr std::size_t kOpenFolders = 32;

struct Entry {
    std::string name;
    bool isFolder = false;
    bool isRegular = false;
    FileIdentity identity;
};

// One folder of the walk: its entries, read and sorted when it was entered.
struct Level {
    int fd = -1;  // -1 while closed to save descriptors
    std::string path;
    std::string name;  // within the folder above
    FileIdentity identity;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

FileIdentity IdentityOfStatus(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// The entries of the open folder `fd` (left open), sorted; false when it cannot be read.
bool ReadEntries(int fd, const TreeWalk& walk, std::vector<Entry>& entries)
{
    const int copy = dup(fd);
    DIR* folder = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!folder) {
        if (copy >= 0) close(copy);
        return false;
    }
    struct stat status {};
    const auto device = fstat(fd, &status) == 0 ? static_cast<std::uint64_t>(status.st_dev) : 0;
    errno = 0;
    while (const dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        Entry e{entry->d_name, entry->d_type == DT_DIR, entry->d_type == DT_REG,
                {device, static_cast<std::uint64_t>(entry->d_ino)}};
        // The kind from the folder itself; a link or an unknown kind is looked up.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target {};
            if (fstatat(fd, e.name.c_str(), &target, 0) == 0) {
                e.isFolder = S_ISDIR(target.st_mode) && (entry->d_type != DT_LNK || walk.followFolderLinks);
                e.isRegular = S_ISREG(target.st_mode);
                e.identity = IdentityOfStatus(target);
                if (S_ISDIR(target.st_mode) && !e.isFolder) continue;  // a link to a folder, not followed
            }
        }
        if (e.isFolder ? walk.recursive : EndsWithCaseInsensitive(e.name, walk.extension))
            entries.push_back(std::move(e));
        errno = 0;
    }
    const bool ok = errno == 0;
    closedir(folder);
    std::sort(entries.begin(), entries.end(), [&walk](const Entry& a, const Entry& b) {
        if (walk.filesFirst && a.isFolder != b.isFolder) return !a.isFolder;
        return NameLessCaseInsensitive(a.name, b.name);
    });
    return ok;
}

int OpenFolderAt(int at, const std::string& name, bool followLinks)
{
    return openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
}

bool Is(int fd, const FileIdentity& identity)
{
    struct stat status {};
    return fd >= 0 && fstat(fd, &status) == 0 && IdentityOfStatus(status) == identity;
}

class TreeWalker {
public:
    TreeWalker(const TreeWalk& walk, const TreeFileVisitor& onFile, const TreeFolderVisitor& onFolderLeftOut)
        : walk_(walk), onFile_(onFile), onFolderLeftOut_(onFolderLeftOut)
    {
    }
    ~TreeWalker()
    {
        for (Level& level : levels_)
            if (level.fd >= 0) close(level.fd);
    }

    void Run(const std::string& root)
    {
        std::string path = root;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        // The root is the user's own choice: a link to it is followed.
        if (!Enter(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path, {})) return;
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == level.entries.size()) {
                Leave();
                continue;
            }
            const Entry entry = level.entries[level.next++];
            std::string full = level.path + '/' + entry.name;
            if (entry.isFolder) {
                Enter(OpenFolderAt(level.fd, entry.name, walk_.followFolderLinks), std::move(full), entry.name);
                continue;
            }
            bool read = false;
            bytes_.clear();
            const FileIdentity identity = entry.identity;
            // O_NONBLOCK: should the entry have become a named pipe since, the read ends at once.
            const int file = entry.isRegular
                                 ? openat(level.fd, entry.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
                                 : -1;
            // The kind and identity come from the folder listing: no fstat beyond the open and the read.
            if (file >= 0) {
                read = ReadStart(file, walk_.size, bytes_);
                close(file);
            }
            if (!onFile_(std::move(full), read, bytes_, identity)) return;
        }
    }

private:
    // Takes the folder `fd` over as the next level; false when it was left out.
    bool Enter(int fd, std::string path, std::string name)
    {
        struct stat status {};
        if (fd < 0 || fstat(fd, &status) != 0) {
            if (fd >= 0) close(fd);
            LeftOut(path);
            return false;
        }
        // Each folder once, however many links lead to it.
        if (!walked_.insert(IdentityOfStatus(status)).second) {
            close(fd);
            return false;
        }
        Level level{fd, std::move(path), std::move(name), IdentityOfStatus(status), {}, 0};
        if (!ReadEntries(fd, walk_, level.entries)) {
            close(fd);
            LeftOut(level.path);
            return false;
        }
        levels_.push_back(std::move(level));
        // Too many open: the outermost open level is closed until the walk comes back to it.
        if (levels_.size() > kOpenFolders) {
            Level& outer = levels_[levels_.size() - 1 - kOpenFolders];
            close(outer.fd);
            outer.fd = -1;
        }
        return true;
    }

    void Leave()
    {
        Level done = std::move(levels_.back());
        levels_.pop_back();
        if (!levels_.empty() && levels_.back().fd < 0) Reopen(levels_.back(), done.fd);
        if (done.fd >= 0) close(done.fd);
    }

    // Opens `level` again, from the folder just left below it when ".." leads
    // back to it, else down from the nearest open level by name; a level that
    // cannot be found again (it vanished or moved) is left out for the rest.
    void Reopen(Level& level, int below)
    {
        int fd = below >= 0 ? openat(below, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        if (!Is(fd, level.identity)) {
            if (fd >= 0) close(fd);
            fd = -1;
            const std::size_t at = static_cast<std::size_t>(&level - levels_.data());
            std::size_t open = at;
            while (open > 0 && levels_[open].fd < 0) --open;
            if (levels_[open].fd >= 0) {
                fd = dup(levels_[open].fd);
                for (std::size_t i = open + 1; i <= at && fd >= 0; ++i) {
                    const int next = OpenFolderAt(fd, levels_[i].name, walk_.followFolderLinks);
                    close(fd);
                    fd = next;
                }
            }
            if (!Is(fd, level.identity)) {
                if (fd >= 0) close(fd);
                fd = -1;
            }
        }
        level.fd = fd;
        if (fd < 0) {
            LeftOut(level.path);
            level.next = level.entries.size();
        }
    }

    void LeftOut(const std::string& path)
    {
        if (onFolderLeftOut_) onFolderLeftOut_(path);
    }

    const TreeWalk& walk_;
    const TreeFileVisitor& onFile_;
    const TreeFolderVisitor& onFolderLeftOut_;
    std::vector<Level> levels_;
    std::set<FileIdentity> walked_;
    std::vector<unsigned char> bytes_;
};

}  // namespace

void ReadTreeFileStarts(const std::string& root, const TreeWalk& walk, const TreeFileVisitor& onFile,
                        const TreeFolderVisitor& onFolderLeftOut)
{
    TreeWalker(walk, onFile, onFolderLeftOut).Run(root);
}

}  // namespace platform
