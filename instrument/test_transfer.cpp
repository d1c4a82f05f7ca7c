#include "instrument/test_transfer.h"

#include <cstdio>
#include <filesystem>

#include "instrument/serial_com.h"
#include "platform/atomic_file.h"
#include "testfile/kel_format.h"

namespace {

constexpr int kPauseBeforeTestMs = 200;
constexpr int kSizeTimeoutMs = 2000;
constexpr int kBlockTimeoutMs = 5000;

bool IsLetterPair(const unsigned char* bytes, char first, char second)
{
    const auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    return upper(bytes[0]) == first && upper(bytes[1]) == second;
}

}  // namespace

TestTransfer::TestTransfer(CSerialCom& channel, std::string filesFolder)
    : folder(std::move(filesFolder)), channel_(channel)
{
}

std::string TestTransfer::InFolder(const char* path) const
{
    const std::filesystem::path file(path);
    if (file.is_absolute() || folder.empty()) return path;
    return (std::filesystem::path(folder) / file).string();
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
    const std::filesystem::path file(InFolder(path));
    const std::size_t limit = platform::MaxFileNameLength(file.has_parent_path() ? file.parent_path() : ".");
    if (file.filename().string().size() <= limit) return {};
    return Status::Test(Problem::PrefixTooLong, static_cast<long>(limit));
}

int TestTransfer::DownloadAll()
{
    int outcome = 1;
    for (int i = 0; i < testCount && i < kMaxTests; ++i) {
        // After Abort the remaining tests are skipped: nothing more is sent.
        if (abortRequested) return 0;
        char path[kPathSize];
        Status arrived = PrefixProblem(filePrefix, testNumbers[i]);
        if (arrived) {
            MakePath(filePrefix, testNumbers[i], path);
            Delay(channel_.services(), kPauseBeforeTestMs);
            arrived = DownloadTest(testNumbers[i], path);
        }
        if (!arrived) outcome = 0;
        if (onTestDone) onTestDone(i, arrived);
    }
    return outcome;
}

Status TestTransfer::DownloadTest(int testNumber, const char* path)
{
    testText = std::to_string(testNumber);
    if (onProgress) onProgress();
    ExchangeGuard exchange(channel_);
    if (!exchange) return Status::Of(Problem::Busy);
    if (Status opened = channel_.Open(); !opened) return opened;

    // The test goes into a temporary file beside `path`, renamed when complete.
    platform::AtomicFile file;
    if (!file.Open(InFolder(path))) return Status::File(Problem::CantOpenFile, path);
    char command[32];
    const int length = std::snprintf(command, sizeof command, "XMT\r%d\r", testNumber);
    if (Status sent = channel_.Write(command, length); !sent)
        return Naming(sent, Status::Of(Problem::CantCommunicate));
    unsigned char size[2];
    if (Status read = channel_.ReadBytes(size, 2, kSizeTimeoutMs); !read)
        return Naming(read, Status::Test(Problem::NoTestSize, testNumber));
    const unsigned int streamLength = static_cast<unsigned int>(size[0]) << 8 | size[1];
    // "IN" and "NO" refuse the test; a size that cannot cover its own two bytes is no test either.
    if (IsLetterPair(size, 'I', 'N') || IsLetterPair(size, 'N', 'O') || streamLength < 2)
        return Status::Of(Problem::TestNotFound);
    bool written = file.Write(kel::kPreamble, sizeof kel::kPreamble) && file.Write(size, sizeof size);
    bytesExpected = static_cast<int>(streamLength);

    unsigned int remaining = streamLength - 2;
    int received = 0;
    while (remaining > 0) {
        channel_.services().PumpEvents(0);  // where a press of Abort is seen
        if (abortRequested) return Status::Of(Problem::Aborted);
        const unsigned int n = remaining < kBlockSize ? remaining : kBlockSize;
        // Every block comes at full length, the last one filled up.
        unsigned char block[kBlockSize];
        if (Status read = channel_.ReadBytes(block, kBlockSize, kBlockTimeoutMs); !read)
            return Naming(read, Status::Test(Problem::TestUnread, testNumber));
        received += static_cast<int>(n);
        bytesText = std::to_string(received);
        if (onProgress) onProgress();
        written = written && file.Write(block, n);
        remaining -= n;
    }
    if (!written || !file.Commit()) return Status::File(Problem::CantWriteFile, path);
    return {};
}
