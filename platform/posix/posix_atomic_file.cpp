// The atomic file on POSIX systems: an unnamed O_TMPFILE file where the file
// system offers one, else a short hidden name made exclusively; data synced
// before it takes the target's place; linkat or link for a place that must be
// free, rename for one that may be taken.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace platform {

namespace {

// The temporary names in use, for the signal handler. Fixed storage: the
// handler may only read memory and call unlink.
constexpr int kSlots = 16;
constexpr std::size_t kNameSize = 4096;
char temporaryNames[kSlots][kNameSize];
volatile sig_atomic_t slotUsed[kSlots];

int Register(const std::filesystem::path& name)
{
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(name, error).string();
    if (error || absolute.size() >= kNameSize) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) continue;
        std::memcpy(temporaryNames[i], absolute.c_str(), absolute.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slotUsed[i] = 1;
        return i;
    }
    return -1;
}

void Unregister(int& slot)
{
    if (slot >= 0) slotUsed[slot] = 0;
    slot = -1;
}

void OnInterrupt(int signal)
{
    for (int i = 0; i < kSlots; ++i)
        if (slotUsed[i]) unlink(temporaryNames[i]);
    // End as the signal would have ended the program.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// A short name in `folder` that nothing else uses: ".kel-" and eight hex digits.
std::filesystem::path ShortName(const std::filesystem::path& folder, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned mix = (now ^ (static_cast<unsigned>(getpid()) << 16) ^ (counter++ * 2654435761u)) + attempt;
    char name[32];
    std::snprintf(name, sizeof name, ".kel-%08x.tmp", mix);
    return folder / name;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// Gives the unnamed file `fd` the name `name`; false with errno set otherwise.
bool LinkUnnamed(int fd, const std::filesystem::path& name)
{
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
#ifdef AT_EMPTY_PATH
    const int saved = errno;
    if (linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST) errno = saved;
#endif
    return false;
}

bool CanLinkUnnamed()
{
    static const bool proc = access("/proc/self/fd", X_OK) == 0;
    return proc;
}

}  // namespace

bool AtomicFile::Open(const std::filesystem::path& target)
{
    Start(target);
    const std::filesystem::path folder = FolderOf(target);
#ifdef O_TMPFILE
    if (unnamed_ && CanLinkUnnamed()) {
        fd_ = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) return true;
    }
#endif
    // O_EXCL: an existing name is never reused, so no other file is touched.
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = ShortName(folder, attempt);
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    slot_ = Register(temporary_);
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (fd_ < 0 || failed_) return false;
    if (!WriteAll(fd_, static_cast<const unsigned char*>(data), size)) failed_ = true;
    return !failed_;
}

bool AtomicFile::Place(Existing existing)
{
    if (temporary_.empty()) {
        if (existing == Existing::Keep) {
            if (LinkUnnamed(fd_, target_)) return true;
            existed_ = errno == EEXIST;
            return false;
        }
        // rename replaces; linkat cannot, so the file takes a short name first.
        const std::filesystem::path folder = FolderOf(target_);
        for (unsigned attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
            const std::filesystem::path name = ShortName(folder, attempt);
            if (LinkUnnamed(fd_, name)) temporary_ = name;
            else if (errno != EEXIST) return false;
        }
        if (temporary_.empty()) return false;
        slot_ = Register(temporary_);
    }
    if (existing == Existing::Replace) return RenameOver();
    if (link(temporary_.c_str(), target_.c_str()) == 0) return true;
    if (errno == EEXIST) {
        existed_ = true;
        return false;
    }
    // A file system without hard links: look, then rename.
    struct stat status {};
    if (lstat(target_.c_str(), &status) == 0) {
        existed_ = true;
        return false;
    }
    return RenameOver();
}

bool AtomicFile::RenameOver()
{
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
    Unregister(slot_);
    temporary_.clear();  // the name is the target's now
    return true;
}

std::string AtomicFile::PathForWriting() const
{
    if (!temporary_.empty()) return temporary_.string();
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    return self;
}

void AtomicFile::KeepModeOf(const std::filesystem::path& original)
{
    struct stat status {};
    if (stat(original.c_str(), &status) != 0) return;
    mode_ = static_cast<unsigned>(status.st_mode & 07777);
    keepMode_ = true;
}

bool AtomicFile::Commit(Existing existing)
{
    if (fd_ < 0) return false;
    if (!synced_) {
        // The data reaches the disk before the name does, so a crash leaves the old file or the new one.
        bool ok = !failed_ && (!keepMode_ || fchmod(fd_, static_cast<mode_t>(mode_)) == 0);
        ok = ok && (fsync(fd_) == 0 || errno == EINVAL);
        if (!ok) {
            Finish();
            return false;
        }
        synced_ = true;
    }
    existed_ = false;
    if (!Place(existing)) {
        // A taken name keeps the file ready for another name or another rule.
        if (!(existed_ && existing == Existing::Keep)) Finish();
        return false;
    }
    bool ok = close(fd_) == 0;
    fd_ = -1;
    Finish();
    return SyncFolder(FolderOf(target_)) && ok;
}

void AtomicFile::Finish()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        // After a rename the name is gone; after a link (or a failure) it is removed here.
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    Unregister(slot_);
}

void AtomicFile::Abandon()
{
    Finish();
}

bool SyncFolder(const std::filesystem::path& folder)
{
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;  // a folder that cannot be opened for reading cannot be synced either
    const bool ok = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    close(fd);
    return ok;
}

namespace {
std::atomic<int> deferrals{0};

sigset_t InterruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}
}  // namespace

InterruptsDeferred::InterruptsDeferred()
{
    const sigset_t set = InterruptSignals();
    if (deferrals++ == 0) pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptsDeferred::~InterruptsDeferred()
{
    const sigset_t set = InterruptSignals();
    if (--deferrals == 0) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void RemoveTemporaryFilesOnInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

std::size_t MaxFileNameLength(const std::filesystem::path& folder)
{
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

}  // namespace platform
