// Downloading tests from the tester into test files, one file per test. The
// transfer dialog runs it inside its timer and shows its progress; the
// command-line tool runs it directly.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "status/status.h"

class CSerialCom;
namespace platform {
class AtomicFile;
}

// What became of a test that arrived whole. A download never replaces another
// test, or the same test with the user's corrected texts, unless told to.
struct Arrival {
    enum How {
        Written,         // the name was free
        Replaced,        // the name held another test (or none), and the user said to replace it
        KeptBoth,        // ... and the user said to keep both: `path` is "NAME (n).kel"
        AlreadyThere,    // the name holds these very bytes: nothing was written
        KeptUsersTexts,  // the name holds this test with other header texts: the user's file stays
    };
    How how = Written;
    std::string path;  // the file that holds the test, named as the caller named it
};

struct DirectoryEntry;

// Whether `path` holds the tester's test `entry`: a test file of the same test
// number, date and time (its texts may have been corrected since).
bool HoldsTest(const std::string& path, const DirectoryEntry& entry);

// What to do when a test's file name holds another test, or no test.
enum class NameTakenChoice { Skip, Replace, KeepBoth };

// How far a download is: the test under way (its index in the batch and its
// number) and, once its size has arrived, the bytes received of its length.
struct DownloadProgress {
    int index = 0;
    int testNumber = 0;
    int bytesDone = 0;
    int bytesTotal = 0;  // 0 while the size has not arrived
};

// Asks a running download to stop. The download looks at it between blocks,
// on its own thread: Abort is pressed in the events that the download's waits pump.
class CancelToken {
public:
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

private:
    bool cancelled_ = false;
};

// What became of one test of a batch: Ok with where it is, or why not.
struct TestOutcome {
    int testNumber = 0;
    Status status;
    Arrival arrival;  // with an Ok status
};

// The transfer is handed the channel it downloads through, and the folder the
// files go to.
class TestTransfer {
public:
    static constexpr int kMaxTests = 512;
    static constexpr int kPathSize = 260;
    static constexpr int kBlockSize = 20;

    TestTransfer(CSerialCom& channel, std::string folder);

    // Downloads every test of `testNumbers` into "%s%d.kel" of `filePrefix` in
    // `folder`: what became of each test tried, in order. After a cancel the
    // rest of the batch is skipped (and not listed).
    std::vector<TestOutcome> DownloadAll();
    // Whether every test of the batch arrived: each was tried and is Ok.
    bool AllArrived(const std::vector<TestOutcome>& outcomes) const;
    // Downloads one test into `path` (in `folder` when relative); Ok when the
    // whole test is in a file, and `arrival` says which and how. The file
    // appears only then: a failed or aborted download leaves an older file of
    // that name as it was and no partial file. A reply that is not the test
    // asked for (another test number, a length below a test header) is not
    // saved. A name already taken is never replaced by surprise: the same
    // bytes or the same test with other texts are left as they are; another
    // test (or a file that holds none) is kept unless `onNameTaken` says to
    // replace it or to keep both. Messages name `path` as given.
    Status DownloadTest(int testNumber, const char* path, Arrival* arrival = nullptr);
    // False when prefix, number and ".kel" do not fit the 260-character path.
    static bool MakePath(const std::string& prefix, int testNumber, char (&path)[kPathSize]);
    // Why the file of `testNumber` cannot take `prefix`, or empty when it can:
    // the path must fit its 260 characters and its name the longest file name
    // of its folder. Checked for every test before anything is sent.
    Status PrefixProblem(const std::string& prefix, int testNumber) const;

    const std::string folder;  // absolute: where the files go
    int testCount = 0;
    int testNumbers[kMaxTests] = {};
    char filePrefix[kPathSize] = "Test";
    CancelToken cancel;

    // Called when a test starts and whenever a block of it arrived.
    std::function<void(const DownloadProgress&)> onProgress;
    // Called once for each test of the batch that was tried, with its index in
    // `testNumbers`, what happened (Ok when it arrived whole) and, then, where
    // it is. The dialog shows a failure's message, the command line reports each test.
    std::function<void(int index, const Status& outcome, const Arrival& arrival)> onTestDone;
    // Asked when a test's file name holds another test or no test; without
    // it the test is skipped (NameTaken). Asked once per test.
    std::function<NameTakenChoice(const std::string& path, int testNumber)> onNameTaken;

    // A note on how `arrival` came about, for the user; empty when the test
    // was simply written. `folder` is where the file is.
    static std::string ArrivalNote(const Arrival& arrival, const std::string& folder);

private:
    std::string InFolder(const std::string& path) const;
    Status Place(platform::AtomicFile& file, const std::vector<unsigned char>& bytes, int testNumber,
                 const std::string& path, Arrival& arrival);

    CSerialCom& channel_;
    int index_ = 0;  // of the test under way, for its progress
};
