// Writes a file so that it appears whole or not at all. The bytes go into a
// temporary file in the target's folder (on Linux a file without a name, so
// that not even a killed process leaves one behind), which takes the target's
// place only when every write succeeded and the data is on disk. An older file
// of the target's name stays as it was until then; a failed, abandoned or
// interrupted write leaves no partial file. A temporary name, where one is
// needed, is short, so it fits wherever the target's name fits.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace platform {

// Whether Commit may put the file in place of an existing one.
enum class Existing { Replace, Keep };

class AtomicFile {
public:
    // `unnamed`: use a file without a name where the system offers one (the
    // default); false always takes a short hidden name.
    explicit AtomicFile(bool unnamed = true) : unnamed_(unnamed) {}
    ~AtomicFile();  // abandons an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `target`. Returns false when it cannot be made.
    bool Open(const std::filesystem::path& target);
    // Returns false when not every byte was written; the file is then abandoned at Commit.
    bool Write(const void* data, std::size_t size);
    // A name by which another library may open the temporary file and write
    // it (instead of Write): it leads to this file alone and is gone with it.
    std::string PathForWriting() const;
    // Gives the file, when it is committed, the permission bits that
    // `original` has now (nothing happens where it has none, or no file is there).
    void KeepModeOf(const std::filesystem::path& original);
    // Puts the file in the target's place, then syncs the folder, so that a
    // file reported in place stays there after a crash. With Existing::Keep
    // it fails, and `existed()` is true, when a file of the target's name
    // exists: the file then stays ready, and Commit may be called again (after
    // Retarget, or with Existing::Replace). Any other failure abandons it.
    bool Commit(Existing existing = Existing::Replace);
    // Another target in the same folder, for the next Commit.
    void Retarget(const std::filesystem::path& target);
    // Removes the temporary file.
    void Abandon();

    const std::filesystem::path& target() const { return target_; }
    bool existed() const { return existed_; }

private:
    void Start(const std::filesystem::path& target);  // forgets any earlier file
    bool Place(Existing existing);
    bool RenameOver();
    void Finish();  // closes the file and removes its temporary name

#ifdef _WIN32
    mutable void* handle_ = nullptr;
    mutable bool handedOver_ = false;  // PathForWriting gave the file to another library
#else
    int fd_ = -1;
#endif
    bool unnamed_ = true;
    bool failed_ = false;
    bool synced_ = false;  // the data is on disk: only the name is still to place
    bool keepMode_ = false;
    unsigned mode_ = 0;
    bool existed_ = false;
    int slot_ = -1;  // the temporary name's place in the interrupt clean-up
    std::filesystem::path target_;
    std::filesystem::path temporary_;  // empty while the file has no name
};

// The whole of `size` bytes into `target`, through an AtomicFile.
bool WriteWholeFile(const std::filesystem::path& target, const void* data, std::size_t size,
                    Existing existing = Existing::Replace);

// Removes the temporary files of unfinished writes when SIGINT, SIGTERM or
// SIGHUP ends the program, then lets the signal end it as it would have.
// Programs call it once at start-up; it does nothing where there are no signals.
void RemoveTemporaryFilesOnInterrupt();

// While one lives, SIGINT, SIGTERM and SIGHUP wait: for work that leaves
// files the cleanup above cannot know of (a library's own temporaries) when
// it is cut short. A signal that came meanwhile arrives when the last one ends.
class InterruptsDeferred {
public:
    InterruptsDeferred();
    ~InterruptsDeferred();
    InterruptsDeferred(const InterruptsDeferred&) = delete;
    InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;
};

// Syncs `folder` itself, so that the names linked or renamed into it last
// survive a crash. False only when the system reported an error it could not ignore.
bool SyncFolder(const std::filesystem::path& folder);

// The longest file name that `folder` can hold (255 where the system does not say).
std::size_t MaxFileNameLength(const std::filesystem::path& folder);

}  // namespace platform
