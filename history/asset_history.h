// The history of each asset (a motor, a cable, a transformer) across any
// number of test files: what each test contributes in SI units, grouped by the
// three header texts that name the equipment, ordered in time and flagged
// against IEEE 43's minimums and a falling trend.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "status/status.h"

namespace history {

struct Limits {
    double minIrOhms = 100e6;  // IEEE 43's minimum for form-wound windings built after 1970
    double minPi = 2.0;
    double dropFraction = 0.5;  // a corrected reading below this share of the last one has dropped
};

// Flags a test can carry.
inline constexpr const char* kOverRange = "over-range";
inline constexpr const char* kIrBelowMinimum = "ir-below-minimum";
inline constexpr const char* kPiBelowMinimum = "pi-below-minimum";
inline constexpr const char* kDropped = "dropped";

// What one test contributes. Texts are the file's Latin-1 texts.
struct TestPoint {
    std::string path;
    int testNumber = 0;
    std::string dateTime;      // ISO 8601 local time, YYYY-MM-DDThh:mm:ss
    const char* testTypeName = "";  // the type table's own text
    int testVoltage = 0;       // V
    std::optional<double> resistance1Min;  // ohms
    // ohms: the one-minute reading corrected to 40 °C with the tester's factor
    // for this test (its EQUIV RES @40C over its final resistance)
    std::optional<double> resistance1Min40C;
    std::optional<double> piRatio;
    std::optional<double> ddRatio;
    std::optional<double> darRatio;        // R(60 s) / R(30 s) from the samples
    std::vector<std::string> flags;
    std::string company, location, description;
    // Other files that hold this same test (its bytes, or its bytes with other
    // header texts): the test counts once, here.
    std::vector<std::string> copies;
    long long archiveId = 0;  // the archive's row, when the point was read from the archive

    bool Has(const char* flag) const;
};

struct Asset {
    // The texts of its newest test, without blanks at either end.
    std::string company, location, description;
    std::vector<TestPoint> tests;  // by date and time, then path

    bool Flagged() const;
    // Whether the company, location or description contains `text`, in any case.
    bool Matches(const std::string& text) const;
};

// The bytes of a test file that a test point needs: the header and the samples of seconds 30 and 60.
constexpr std::size_t kBytesNeeded = 165 + 60 * 4;

// What the test file's first bytes contribute (`point.path` is left as it is).
// Ok, or NotATest when they hold no test.
Status DecodeTestPoint(std::span<const unsigned char> bytes, TestPoint& point);

// Groups the points into assets (the three texts equal after trimming, in any
// case), orders them, and sets the flags that depend on the limits and on an
// asset's earlier tests.
std::vector<Asset> BuildAssets(std::vector<TestPoint> points, const Limits& limits);

struct Scan {
    std::vector<Asset> assets;
    std::size_t testsRead = 0;
    // Files that could not be read or hold no test, and folders that could
    // not be read (or vanished), in the order met: what the scan left out.
    std::vector<Status> unreadable;
    bool cancelled = false;
};

// Reads every test file under `paths`: a path names a test file, or a folder
// searched recursively for ".kel" files in any case. Only regular files are
// read, each file once however many links lead to it. Links to folders inside
// a named folder are passed over unless `followFolderLinks`, and then each
// folder is walked once, so loops end. `progress` (if any) hears the count of
// files read so far, now and then; when it returns false the scan stops (`cancelled`).
Scan ScanPaths(const std::vector<std::string>& paths, const Limits& limits,
               const std::function<bool(std::size_t filesRead)>& progress = {}, bool followFolderLinks = false);

// Reads the first `size` bytes of every test file under `paths`, as ScanPaths
// walks them (a path names a test file or a folder searched recursively), each
// file once however many links lead to it. `onFile` hears each file's path,
// whether it was read, and its bytes; when it returns false the reading stops.
// `onFolderLeftOut` hears each folder that could not be read.
void ReadTestFiles(const std::vector<std::string>& paths, std::size_t size, bool followFolderLinks,
                   const std::function<bool(std::string path, bool read, const std::vector<unsigned char>& bytes)>& onFile,
                   const std::function<void(const std::string& folder)>& onFolderLeftOut);

// A text without blanks at either end, as an asset shows it.
std::string TrimmedText(const std::string& text);
// A text as the trend groups it: without blanks at either end, its Latin-1
// letters in upper case.
std::string FoldedText(const std::string& latin1);

// "100M", "2.5G", "500k", "1e9": a resistance in ohms with an optional k, M, G or T.
std::optional<double> ParseOhms(const std::string& text);

}  // namespace history
