#include "instrument/test_transfer.h"

#include <cstdio>
#include <filesystem>

#include "app/process_objects.h"
#include "platform/atomic_file.h"
#include "platform/message_box.h"
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

bool TestTransfer::MakePath(const std::string& prefix, int testNumber, char (&path)[kPathSize])
{
    const int length = std::snprintf(path, sizeof path, "%s%d.kel", prefix.c_str(), testNumber);
    return length >= 0 && length < kPathSize;
}

std::string TestTransfer::PrefixProblem(const std::string& prefix, int testNumber)
{
    char path[kPathSize];
    if (!MakePath(prefix, testNumber, path)) return "The file prefix is too long";
    const std::filesystem::path file(path);
    const std::size_t limit = platform::MaxFileNameLength(file.has_parent_path() ? file.parent_path() : ".");
    if (file.filename().string().size() <= limit) return {};
    char text[128];
    std::snprintf(text, sizeof text, "The file prefix is too long: a file name holds at most %zu characters", limit);
    return text;
}

int TestTransfer::DownloadAll()
{
    int outcome = 1;
    for (int i = 0; i < testCount && i < kMaxTests; ++i) {
        // After Abort the remaining tests are skipped: nothing more is sent.
        if (abortRequested) return 0;
        char path[kPathSize];
        int arrived = 0;
        if (const std::string problem = PrefixProblem(filePrefix, testNumbers[i]); !problem.empty()) {
            ShowMessage("%s", problem.c_str());
        } else {
            MakePath(filePrefix, testNumbers[i], path);
            Delay(kPauseBeforeTestMs);
            arrived = DownloadTest(testNumbers[i], path);
        }
        if (!arrived) outcome = 0;
        if (onTestDone) onTestDone(i, arrived != 0);
    }
    return outcome;
}

int TestTransfer::DownloadTest(int testNumber, const char* path)
{
    testText = std::to_string(testNumber);
    if (onProgress) onProgress();
    ExchangeGuard exchange(serialChannel);
    if (!exchange || !serialChannel.Open()) return 0;

    // The test goes into a temporary file beside `path`, renamed when complete.
    platform::AtomicFile file;
    if (!file.Open(path)) {
        ShowMessage("Can't open file %s", path);
        return 0;
    }
    char command[32];
    const int length = std::snprintf(command, sizeof command, "XMT\r%d\r", testNumber);
    if (!serialChannel.Write(command, length)) {
        ShowMessage("Can't communicate with KEL-7300");
        return 0;
    }
    unsigned char size[2];
    if (!serialChannel.ReadBytes(size, 2, kSizeTimeoutMs)) {
        ShowMessage("KEL-7300 not responding (waiting for test size) on test %d", testNumber);
        return 0;
    }
    const unsigned int streamLength = static_cast<unsigned int>(size[0]) << 8 | size[1];
    // "IN" and "NO" refuse the test; a size that cannot cover its own two bytes is no test either.
    if (IsLetterPair(size, 'I', 'N') || IsLetterPair(size, 'N', 'O') || streamLength < 2) {
        ShowMessage("Test not found or invalid entry");
        return 0;
    }
    bool written = file.Write(kel::kPreamble, sizeof kel::kPreamble) && file.Write(size, sizeof size);
    bytesExpected = static_cast<int>(streamLength);

    unsigned int remaining = streamLength - 2;
    int received = 0;
    while (remaining > 0) {
        PumpPendingMessages();  // where a press of Abort is seen
        if (abortRequested) return 0;
        const unsigned int n = remaining < kBlockSize ? remaining : kBlockSize;
        // Every block comes at full length, the last one filled up.
        unsigned char block[kBlockSize];
        if (!serialChannel.ReadBytes(block, kBlockSize, kBlockTimeoutMs)) {
            ShowMessage("Error reading test %d from KEL-7300", testNumber);
            return 0;
        }
        received += static_cast<int>(n);
        bytesText = std::to_string(received);
        if (onProgress) onProgress();
        written = written && file.Write(block, n);
        remaining -= n;
    }
    if (!written || !file.Commit()) {
        ShowMessage("Can't write file %s", path);
        return 0;
    }
    return 1;
}
