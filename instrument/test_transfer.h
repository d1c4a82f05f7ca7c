// Downloading tests from the tester into test files, one file per test. The
// transfer dialog runs it inside its timer and shows its progress; the
// command-line tool runs it directly.
#pragma once

#include <functional>
#include <string>

#include "status/status.h"

class CSerialCom;

// The transfer is handed the channel it downloads through, and the folder the
// files go to.
class TestTransfer {
public:
    static constexpr int kMaxTests = 512;
    static constexpr int kPathSize = 260;
    static constexpr int kBlockSize = 20;

    TestTransfer(CSerialCom& channel, std::string folder);

    // Downloads every test of `testNumbers` into "%s%d.kel" of `filePrefix` in
    // `folder`; non-zero when all arrived. After Abort the rest of the batch is skipped.
    int DownloadAll();
    // Downloads one test into `path` (in `folder` when relative); Ok when the
    // whole test is in the file. The file appears only then: a failed or
    // aborted download leaves an older file of that name as it was and no
    // partial file. Messages name `path` as given.
    Status DownloadTest(int testNumber, const char* path);
    // False when prefix, number and ".kel" do not fit the 260-character path.
    static bool MakePath(const std::string& prefix, int testNumber, char (&path)[kPathSize]);
    // Why the file of `testNumber` cannot take `prefix`, or empty when it can:
    // the path must fit its 260 characters and its name the longest file name
    // of its folder. Checked for every test before anything is sent.
    Status PrefixProblem(const std::string& prefix, int testNumber) const;

    const std::string folder;  // absolute: where the files go
    int testCount = 0;
    int testNumbers[kMaxTests] = {};
    int abortRequested = 0;
    char filePrefix[kPathSize] = "Test";
    std::string testText;
    std::string bytesText;
    int bytesExpected = 0;  // the current test's length, for a progress bar

    // Called whenever the texts changed (the dialog shows them).
    std::function<void()> onProgress;
    // Called once for each test of the batch that was tried, with its index in
    // `testNumbers` and what happened: Ok when it arrived whole. The dialog
    // shows a failure's message, the command line reports each test.
    std::function<void(int index, const Status& outcome)> onTestDone;

private:
    std::string InFolder(const char* path) const;

    CSerialCom& channel_;
};
