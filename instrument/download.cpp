#include "instrument/download.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "instrument/kel_device.h"
#include "instrument/serial_com.h"
#include "testfile/kel_file.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "testfile/kel_format.h"
#include "testfile/same_test.h"
#include "platform/names.h"

namespace {

constexpr int kPauseBeforeTestMs = 200;
constexpr int kSizeTimeoutMs = 2000;
constexpr int kBlockTimeoutMs = 5000;

// Names tried for "keep both": "NAME (2).kel" up to "NAME (999).kel".
constexpr int kMaxKeptCopies = 999;
// A name that keeps vanishing and reappearing between the link and the look is given up on.
constexpr int kMaxRaces = 100;

// The largest file a test can be: the preamble and a 16-bit stream length.
constexpr std::size_t kLargestTestFile = kel::kPreambleSize + 0xFFFF;

// "NAME (n).kel" beside "NAME.kel".
std::string NumberedName(const std::string& path, int n)
{
    const std::filesystem::path original = platform::PathOf(path);
    std::filesystem::path numbered = original;
    numbered.replace_filename(platform::PathOf(platform::NameOf(original.stem()) + " (" + std::to_string(n) + ")" +
                                               platform::NameOf(original.extension())));
    return platform::NameOf(numbered);
}

bool IsLetterPair(const unsigned char* bytes, char first, char second)
{
    const auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    return upper(bytes[0]) == first && upper(bytes[1]) == second;
}

}  // namespace

bool HoldsTest(const std::string& path, const DirectoryEntry& entry)
{
    CKELFile file;
    return file.Load(path, 0) && file.testNumber == entry.testNumber &&
           std::string(file.dateText) == entry.dateText && std::string(file.timeText) == entry.timeText;
}

TestTransfer::TestTransfer(CSerialCom& channel, std::string filesFolder)
    : folder(std::move(filesFolder)), channel_(channel)
{
}

std::string TestTransfer::InFolder(const std::string& path) const
{
    const std::filesystem::path file = platform::PathOf(path);
    if (file.is_absolute() || folder.empty()) return path;
    return platform::NameOf(platform::PathOf(folder) / file);
}

bool TestTransfer::MakePath(const std::string& prefix, int testNumber, char (&path)[kPathSize])
{
    const int length = std::snprintf(path, sizeof path, "%s%d.kel", prefix.c_str(), testNumber);
    return length >= 0 && length < kPathSize;
}

Status TestTransfer::PrefixProblem(const std::string& prefix, int testNumber) const
{
    char path[kPathSize];
    if (!MakePath(prefix, testNumber, path)) return Status::Of(Problem::PrefixTooLong);
    const std::filesystem::path file = platform::PathOf(InFolder(path));
    const std::size_t limit = platform::MaxFileNameLength(file.has_parent_path() ? file.parent_path() : ".");
    if (platform::NameOf(file.filename()).size() <= limit) return {};
    return Status::Test(Problem::PrefixTooLong, static_cast<long>(limit));
}

std::vector<TestOutcome> TestTransfer::DownloadAll()
{
    std::vector<TestOutcome> outcomes;
    for (int i = 0; i < testCount && i < kMaxTests; ++i) {
        // After a cancel the remaining tests are skipped: nothing more is sent.
        if (cancel.Cancelled()) break;
        index_ = i;
        char path[kPathSize];
        TestOutcome tried{testNumbers[i], PrefixProblem(filePrefix, testNumbers[i]), {}};
        if (tried.status) {
            MakePath(filePrefix, testNumbers[i], path);
            Delay(channel_.services(), kPauseBeforeTestMs);
            tried.status = DownloadTest(testNumbers[i], path, &tried.arrival);
        }
        if (onTestDone) onTestDone(i, tried.status, tried.arrival);
        outcomes.push_back(std::move(tried));
    }
    return outcomes;
}

bool TestTransfer::AllArrived(const std::vector<TestOutcome>& outcomes) const
{
    const auto ok = [](const TestOutcome& outcome) { return outcome.status.Ok(); };
    return static_cast<int>(outcomes.size()) == std::min(testCount, kMaxTests) &&
           std::all_of(outcomes.begin(), outcomes.end(), ok);
}

Status TestTransfer::DownloadTest(int testNumber, const char* path, Arrival* arrival)
{
    DownloadProgress progress{index_, testNumber, 0, 0};
    if (onProgress) onProgress(progress);
    ExchangeGuard exchange(channel_);
    if (!exchange) return Status::Of(Problem::Busy);
    if (Status opened = channel_.Open(); !opened) return opened;

    // The test goes into a temporary file beside `path`, put in place when complete.
    platform::AtomicFile file;
    if (!file.Open(platform::PathOf(InFolder(path)))) return Status::File(Problem::CantOpenFile, path);
    char command[32];
    const int length = std::snprintf(command, sizeof command, "XMT\r%d\r", testNumber);
    if (Status sent = channel_.Write(command, length); !sent)
        return Naming(sent, Status::Of(Problem::CantCommunicate));
    unsigned char size[2];
    if (Status read = channel_.ReadBytes(size, 2, kSizeTimeoutMs); !read)
        return Naming(read, Status::Test(Problem::NoTestSize, testNumber));
    const unsigned int streamLength = kel::BigEndian16(size);
    // "IN" and "NO" refuse the test; a size that cannot cover its own two bytes is no test either.
    if (IsLetterPair(size, 'I', 'N') || IsLetterPair(size, 'N', 'O') || streamLength < 2)
        return Status::Of(Problem::TestNotFound);
    // The whole file is kept in memory too (at most 64 KiB): it is checked, and
    // compared with a file that has the name already, before it takes the name.
    std::vector<unsigned char> bytes(kel::kPreamble, kel::kPreamble + kel::kPreambleSize);
    bytes.reserve(kel::kPreambleSize + streamLength);
    bytes.insert(bytes.end(), size, size + 2);
    bool written = file.Write(bytes.data(), bytes.size());
    progress.bytesTotal = static_cast<int>(streamLength);

    unsigned int remaining = streamLength - 2;
    int received = 0;
    while (remaining > 0) {
        channel_.services().PumpEvents(0);  // where a press of Abort is seen
        if (cancel.Cancelled()) return Status::Of(Problem::Aborted);
        const unsigned int n = remaining < kBlockSize ? remaining : kBlockSize;
        // Every block comes at full length, the last one filled up.
        unsigned char block[kBlockSize];
        if (Status read = channel_.ReadBytes(block, kBlockSize, kBlockTimeoutMs); !read)
            return Naming(read, Status::Test(Problem::TestUnread, testNumber));
        received += static_cast<int>(n);
        progress.bytesDone = received;
        if (onProgress) onProgress(progress);
        written = written && file.Write(block, n);
        bytes.insert(bytes.end(), block, block + n);
        remaining -= n;
    }

    // Only the test asked for, with at least its whole header, is saved.
    Status notTheTest = Status::Test(Problem::NotTheTest, testNumber);
    if (streamLength < kel::kHeaderSize) {
        notTheTest.detail = "the KEL-7300 sent " + std::to_string(streamLength) + " bytes, fewer than a test header";
        return notTheTest;
    }
    if (bytes.size() != kel::kPreambleSize + streamLength) {
        notTheTest.detail = "the bytes received do not match the length the KEL-7300 announced";
        return notTheTest;
    }
    const unsigned int sentNumber = kel::BigEndian16(bytes.data() + kel::kPreambleSize + kel::kHeaderTestNumber);
    if (sentNumber != static_cast<unsigned int>(testNumber)) {
        notTheTest.detail = "the KEL-7300 sent test " + std::to_string(sentNumber) + " instead";
        return notTheTest;
    }
    if (!written) return Status::File(Problem::CantWriteFile, path);
    Arrival placed;
    const Status outcome = Place(file, bytes, testNumber, path, placed);
    if (outcome && arrival) *arrival = placed;
    return outcome;
}

// Links the file in under `path` when the name is free, and otherwise applies
// the rules of a taken name. The look at what holds the name and the link are
// one step: a name taken between them is looked at again, so two downloads
// racing for one name never both report the same file.
Status TestTransfer::Place(platform::AtomicFile& file, const std::vector<unsigned char>& bytes, int testNumber,
                           const std::string& path, Arrival& arrival)
{
    std::string candidate = path;
    int copy = 1;
    int races = 0;
    bool asked = false;
    while (true) {
        if (file.Commit(platform::Existing::Keep)) {
            arrival = {candidate == path ? Arrival::Written : Arrival::KeptBoth, candidate};
            return {};
        }
        if (!file.existed()) return Status::File(Problem::CantWriteFile, candidate);
        std::vector<unsigned char> held;
        platform::FileIdentity identity;
        const bool read = platform::ReadFileStart(InFolder(candidate), kLargestTestFile + 1, held, identity);
        if (!read) {
            std::error_code error;
            // Gone since the link was tried: try the name again.
            if (!std::filesystem::exists(std::filesystem::symlink_status(platform::PathOf(InFolder(candidate)), error)) &&
                ++races < kMaxRaces)
                continue;
            held.clear();  // a folder, a device or an unreadable file holds no test of ours
        }
        const kel::Sameness sameness = read ? kel::CompareTests(bytes, held) : kel::Sameness::Different;
        if (sameness == kel::Sameness::Identical) {
            arrival = {Arrival::AlreadyThere, candidate};
            return {};
        }
        if (sameness == kel::Sameness::SameTest) {
            arrival = {Arrival::KeptUsersTexts, candidate};
            return {};
        }
        if (copy > 1) {
            // "Keep both": the next free number.
            if (++copy > kMaxKeptCopies) return Status::File(Problem::CantWriteFile, candidate);
            candidate = NumberedName(path, copy);
            file.Retarget(platform::PathOf(InFolder(candidate)));
            continue;
        }
        NameTakenChoice choice = NameTakenChoice::Skip;
        if (!asked && onNameTaken) choice = onNameTaken(path, testNumber);
        asked = true;
        if (choice == NameTakenChoice::Replace) {
            if (!file.Commit(platform::Existing::Replace)) return Status::File(Problem::CantWriteFile, path);
            arrival = {Arrival::Replaced, path};
            return {};
        }
        if (choice == NameTakenChoice::KeepBoth) {
            copy = 2;
            candidate = NumberedName(path, copy);
            file.Retarget(platform::PathOf(InFolder(candidate)));
            continue;
        }
        Status taken = Status::File(Problem::NameTaken, path);
        taken.number = testNumber;
        taken.detail = read && held.size() >= kel::kFileHeaderEnd &&
                               std::equal(kel::kPreamble, kel::kPreamble + kel::kMagicSize, held.begin())
                           ? "another test"
                           : "no KEL-7300 test";
        return taken;
    }
}

std::string TestTransfer::ArrivalNote(const Arrival& arrival, const std::string& folder)
{
    switch (arrival.how) {
    case Arrival::AlreadyThere:
        return arrival.path + " already in " + folder;
    case Arrival::KeptUsersTexts:
        return arrival.path + " holds this test with other texts; it was kept as it is";
    case Arrival::KeptBoth:
        return "the older file was kept; the test is in " + arrival.path;
    case Arrival::Written:
    case Arrival::Replaced:
        break;
    }
    return {};
}
