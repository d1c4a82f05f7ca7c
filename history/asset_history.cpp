#include "history/asset_history.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "platform/folder_search.h"
#include "platform/regular_file.h"
#include "testfile/kel_file.h"
#include "testfile/kel_format.h"
#include "testfile/kel_values.h"
#include "testfile/test_results.h"

namespace history {
namespace {

// A reading's value in ohms from its unit letter.
double Ohms(const MeasuredValue& value)
{
    switch (value.unit) {
    case 'T': return value.value * 1e12;
    case 'G': return value.value * 1e9;
    case 'M': return value.value * 1e6;
    case 'K':
    case 'k': return value.value * 1e3;
    default: return value.value;
    }
}

bool OverRange(const MeasuredValue& value)
{
    return value.unit == 'O' || value.unit == 'o';
}

// The resistance of second `second` of the test (sample `second` - 1): none when
// the test is shorter; over range when the sample reads no current.
struct SampleReading {
    bool present = false;
    bool overRange = false;
    double ohms = 0;
};

SampleReading SampleAt(std::span<const unsigned char> bytes, int sampleCount, int second)
{
    const std::size_t offset = kel::kFileHeaderEnd + static_cast<std::size_t>(second - 1) * kel::kSampleSize;
    if (sampleCount < second || bytes.size() < offset + kel::kSampleSize) return {};
    const float ohms = DecodeSample(bytes.data() + offset).resistance;
    return {true, ohms == 0, static_cast<double>(ohms)};
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Latin-1 letters folded to upper case, so that "Pump" and "PUMP" (and "é" and "É") compare equal.
std::string Folded(const std::string& text)
{
    std::string folded = Trimmed(text);
    for (char& c : folded) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7))
            c = static_cast<char>(byte - 0x20);
    }
    return folded;
}

void AddFlag(TestPoint& point, const char* flag)
{
    if (!point.Has(flag)) point.flags.emplace_back(flag);
}

}  // namespace

bool TestPoint::Has(const char* flag) const
{
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

bool Asset::Flagged() const
{
    return std::any_of(tests.begin(), tests.end(), [](const TestPoint& test) {
        return test.Has(kIrBelowMinimum) || test.Has(kPiBelowMinimum) || test.Has(kDropped);
    });
}

bool Asset::Matches(const std::string& text) const
{
    const std::string wanted = Folded(text);
    for (const std::string* field : {&company, &location, &description})
        if (Folded(*field).find(wanted) != std::string::npos) return true;
    return false;
}

Status DecodeTestPoint(std::span<const unsigned char> bytes, TestPoint& point)
{
    CKELFile record;
    if (Status decoded = record.Decode(bytes, 0); !decoded) return decoded;
    const unsigned char* header = bytes.data() + kel::kPreambleSize;

    point.testNumber = record.testNumber;
    char dateTime[32];
    std::snprintf(dateTime, sizeof dateTime, "20%02d-%02d-%02dT%02d:%02d:%02d", record.dateParts[2] % 100,
                  record.dateParts[0] % 100, record.dateParts[1] % 100, record.timeParts[0] % 100,
                  record.timeParts[1] % 100, record.timeParts[2] % 100);
    point.dateTime = dateTime;
    point.testTypeName = record.testTypeName;
    point.testVoltage = record.testVoltage;
    point.company = record.company;
    point.location = record.location;
    point.description = record.description;
    point.flags.clear();

    // The one-minute resistance: the tester's reading where the type has one, else the 60th second's.
    point.resistance1Min.reset();
    if (record.testType == 3) {
        const MeasuredValue atOneMinute = DecodeMeasuredValue(header + kel::kHeaderResistanceAt1Min);
        if (OverRange(atOneMinute)) AddFlag(point, kOverRange);
        else point.resistance1Min = Ohms(atOneMinute);
    } else if (const SampleReading reading = SampleAt(bytes, record.sampleCount, 60); reading.present) {
        if (reading.overRange) AddFlag(point, kOverRange);
        else point.resistance1Min = reading.ohms;
    }

    point.resistance40C.reset();
    if (HasEquivalentResistances(record) && std::string(record.equivRes40CText) != "Not Measured") {
        if (OverRange(record.equivRes40C)) AddFlag(point, kOverRange);
        else point.resistance40C = Ohms(record.equivRes40C);
    }

    const auto ratio = [&](std::size_t offset) -> std::optional<double> {
        const unsigned word = static_cast<unsigned>(header[offset]) << 8 | header[offset + 1];
        if (word == kel::kNotMeasured16) return std::nullopt;
        return word / 100.0;
    };
    point.piRatio = record.testType == 3 ? ratio(kel::kHeaderPiRatio) : std::nullopt;
    point.ddRatio = record.testType == 4 ? ratio(kel::kHeaderDdRatio) : std::nullopt;

    point.darRatio.reset();
    const SampleReading at30 = SampleAt(bytes, record.sampleCount, 30);
    const SampleReading at60 = SampleAt(bytes, record.sampleCount, 60);
    if (at30.present && at60.present && !at30.overRange && !at60.overRange) point.darRatio = at60.ohms / at30.ohms;
    return {};
}

std::vector<Asset> BuildAssets(std::vector<TestPoint> points, const Limits& limits)
{
    using Key = std::tuple<std::string, std::string, std::string>;
    std::map<Key, Asset> byKey;  // ordered by the folded texts: company, location, description
    for (TestPoint& point : points) {
        const Key key{Folded(point.company), Folded(point.location), Folded(point.description)};
        byKey[key].tests.push_back(std::move(point));
    }
    std::vector<Asset> assets;
    for (auto& [key, asset] : byKey) {
        std::sort(asset.tests.begin(), asset.tests.end(), [](const TestPoint& a, const TestPoint& b) {
            return std::tie(a.dateTime, a.path) < std::tie(b.dateTime, b.path);
        });
        const TestPoint& newest = asset.tests.back();
        asset.company = Trimmed(newest.company);
        asset.location = Trimmed(newest.location);
        asset.description = Trimmed(newest.description);
        std::optional<double> previous40C;  // only corrected readings compare with corrected ones
        for (TestPoint& test : asset.tests) {
            const std::optional<double> ir = test.resistance40C ? test.resistance40C : test.resistance1Min;
            if (ir && *ir < limits.minIrOhms) AddFlag(test, kIrBelowMinimum);
            if (test.piRatio && *test.piRatio < limits.minPi) AddFlag(test, kPiBelowMinimum);
            if (test.resistance40C) {
                if (previous40C && *test.resistance40C < *previous40C / 2) AddFlag(test, kDropped);
                previous40C = test.resistance40C;
            }
        }
        assets.push_back(std::move(asset));
    }
    return assets;
}

Scan ScanPaths(const std::vector<std::string>& paths, const Limits& limits,
               const std::function<bool(std::size_t)>& progress)
{
    Scan scan;
    std::vector<TestPoint> points;
    std::set<platform::FileIdentity> seen;
    std::vector<unsigned char> bytes;
    std::size_t filesRead = 0;
    const auto read = [&](const std::string& path) {
        platform::FileIdentity identity;
        if (!platform::ReadFileStart(path, kBytesNeeded, bytes, identity)) {
            scan.unreadable.push_back(Status::File(Problem::CantOpenFile, path));
            return !scan.cancelled;
        }
        if (!seen.insert(identity).second) return true;  // another link to a file read already
        TestPoint point;
        point.path = path;
        if (DecodeTestPoint(bytes, point)) {
            points.push_back(std::move(point));
            ++scan.testsRead;
        } else {
            scan.unreadable.push_back(Status::File(Problem::CantReadFile, path));
        }
        // The caller hears of the progress every 64 files, and may stop the scan there.
        if (++filesRead % 64 == 0 && progress && !progress(filesRead)) scan.cancelled = true;
        return !scan.cancelled;
    };
    for (const std::string& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            platform::WalkTree(path, ".kel", [&](const std::filesystem::path& file) { return read(file.string()); });
        } else if (!read(path)) {
            break;
        }
        if (scan.cancelled) break;
    }
    scan.assets = BuildAssets(std::move(points), limits);
    return scan;
}

std::optional<double> ParseOhms(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE || !(number >= 0)) return std::nullopt;
    double scale = 1;
    const std::string suffix(end);
    if (suffix == "k" || suffix == "K") scale = 1e3;
    else if (suffix == "M") scale = 1e6;
    else if (suffix == "G") scale = 1e9;
    else if (suffix == "T") scale = 1e12;
    else if (!suffix.empty()) return std::nullopt;
    return number * scale;
}

}  // namespace history
