#include "history/asset_history.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <tuple>
#include <utility>

#include "platform/folder_search.h"
#include "platform/regular_file.h"
#include "testfile/kel_format.h"
#include "testfile/kel_values.h"
#include "testfile/same_test.h"
#include "testfile/test_values.h"
#include "platform/names.h"

namespace history {
namespace {

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

// Appends `text` without blanks at either end, its Latin-1 letters folded to
// upper case, so that "Pump" and " PUMP" (and "é" and "É") compare equal.
void AppendFolded(std::string& out, const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return;
    const std::size_t last = text.find_last_not_of(' ');
    for (std::size_t i = first; i <= last; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool lower = (byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7);
        out += static_cast<char>(lower ? byte - 0x20 : byte);
    }
}

std::string Folded(const std::string& text)
{
    std::string folded;
    AppendFolded(folded, text);
    return folded;
}

struct IdentityHash {
    std::size_t operator()(const platform::FileIdentity& identity) const
    {
        return std::hash<std::uint64_t>()(identity.file * 0x9E3779B97F4A7C15ull ^ identity.device);
    }
};

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

namespace {

// DecodeTestPoint with the typed values to decode into, so that a scan of many files reuses them.
Status DecodeInto(std::span<const unsigned char> bytes, TestPoint& point, kel::TestValues& values)
{
    using kel::Presence;
    if (Status decoded = kel::DecodeTestValues(bytes, values); !decoded) return decoded;

    point.testNumber = values.testNumber;
    point.dateTime = values.IsoDateTime();
    point.testTypeName = TestTypeName(values.typeCode);
    point.testVoltage = values.testVolts;
    point.company = values.company;
    point.location = values.location;
    point.description = values.description;
    point.flags.clear();

    // The one-minute resistance: the tester's reading where the type has one, else the 60th second's.
    const bool polarization = values.type == kel::TestType::PolarizationIndex;
    point.resistance1Min.reset();
    if (polarization) {
        if (values.resistanceAt1Min.state == Presence::OverRange) AddFlag(point, kOverRange);
        else point.resistance1Min = values.resistanceAt1Min.si;
    } else if (const SampleReading reading = SampleAt(bytes, values.sampleCount, 60); reading.present) {
        if (reading.overRange) AddFlag(point, kOverRange);
        else point.resistance1Min = reading.ohms;
    }

    // The one-minute reading corrected to 40 °C with the tester's own factor for this test: its
    // "EQUIV RES @40C" corrects the final reading (after ten minutes in a PI test), so the factor is
    // that over the final resistance. Like is then compared with like across test types.
    point.resistance1Min40C.reset();
    if (values.equivRes40C.state == Presence::OverRange) {
        AddFlag(point, kOverRange);
    } else if (values.equivRes40C.Measured() && point.resistance1Min && values.finalResistance.Measured() &&
               values.finalResistance.si > 0) {
        point.resistance1Min40C = *point.resistance1Min * values.equivRes40C.si / values.finalResistance.si;
    }

    point.piRatio = polarization ? values.piRatio : std::nullopt;
    point.ddRatio = values.type == kel::TestType::DielectricDischarge ? values.ddRatio : std::nullopt;

    point.darRatio.reset();
    const SampleReading at30 = SampleAt(bytes, values.sampleCount, 30);
    const SampleReading at60 = SampleAt(bytes, values.sampleCount, 60);
    if (at30.present && at60.present && !at30.overRange && !at60.overRange) point.darRatio = at60.ohms / at30.ohms;
    return {};
}

}  // namespace

Status DecodeTestPoint(std::span<const unsigned char> bytes, TestPoint& point)
{
    kel::TestValues values;
    return DecodeInto(bytes, point, values);
}

std::vector<Asset> BuildAssets(std::vector<TestPoint> points, const Limits& limits)
{
    // Each point's asset: the folded texts company, location, description. The
    // separator sorts below every character a text holds, so the key orders as the three would.
    std::unordered_map<std::string, std::size_t> indexOf;
    std::vector<std::string> keys;
    std::vector<std::size_t> assetOf(points.size());
    std::string key;
    for (std::size_t i = 0; i < points.size(); ++i) {
        key.clear();
        AppendFolded(key, points[i].company);
        key += '\x01';
        AppendFolded(key, points[i].location);
        key += '\x01';
        AppendFolded(key, points[i].description);
        const auto [at, added] = indexOf.try_emplace(key, keys.size());
        if (added) keys.push_back(key);
        assetOf[i] = at->second;
    }
    // The assets in key order, their tests by date and time, then path: sorted
    // through indices, so that each point (a large record) moves once.
    std::vector<std::size_t> rank(keys.size()), byKey(keys.size());
    for (std::size_t a = 0; a < keys.size(); ++a) byKey[a] = a;
    std::sort(byKey.begin(), byKey.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    for (std::size_t r = 0; r < byKey.size(); ++r) rank[byKey[r]] = r;
    // The sort key as numbers: the asset's rank, then the date and time as YYYYMMDDhhmmss.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> stamps(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::uint64_t stamp = 0;
        for (const char c : points[i].dateTime)
            if (c >= '0' && c <= '9') stamp = stamp * 10 + static_cast<std::uint64_t>(c - '0');
        stamps[i] = {rank[assetOf[i]], stamp};
    }
    std::vector<std::size_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (stamps[a] != stamps[b]) return stamps[a] < stamps[b];
        return points[a].path < points[b].path;
    });
    std::vector<Asset> assets(keys.size());
    std::vector<std::size_t> counts(keys.size());
    for (const std::size_t a : assetOf) ++counts[rank[a]];
    for (std::size_t r = 0; r < assets.size(); ++r) assets[r].tests.reserve(counts[r]);
    for (const std::size_t i : order) assets[rank[assetOf[i]]].tests.push_back(std::move(points[i]));

    for (Asset& asset : assets) {
        const TestPoint& newest = asset.tests.back();
        asset.company = Trimmed(newest.company);
        asset.location = Trimmed(newest.location);
        asset.description = Trimmed(newest.description);
        std::optional<double> previous40C;  // only corrected readings compare with corrected ones
        for (TestPoint& test : asset.tests) {
            const std::optional<double> ir = test.resistance1Min40C ? test.resistance1Min40C : test.resistance1Min;
            if (ir && *ir < limits.minIrOhms) AddFlag(test, kIrBelowMinimum);
            if (test.piRatio && *test.piRatio < limits.minPi) AddFlag(test, kPiBelowMinimum);
            if (test.resistance1Min40C) {
                if (previous40C && *test.resistance1Min40C < *previous40C * limits.dropFraction) AddFlag(test, kDropped);
                previous40C = test.resistance1Min40C;
            }
        }
    }
    return assets;
}

namespace {

// What two copies of one test share, for finding candidates cheaply: the
// asset's folded texts and the first bytes outside the four header texts.
std::size_t Fingerprint(std::span<const unsigned char> start, const TestPoint& point)
{
    std::string key;
    AppendFolded(key, point.company);
    key += '\x01';
    AppendFolded(key, point.location);
    key += '\x01';
    AppendFolded(key, point.description);
    key += '\x01';
    const std::size_t textsEnd = std::min(start.size(), kel::kTextsEnd);
    key.append(start.begin(), start.begin() + static_cast<std::ptrdiff_t>(std::min(start.size(), kel::kTextsBegin)));
    key.append(start.begin() + static_cast<std::ptrdiff_t>(textsEnd), start.end());
    return std::hash<std::string>()(key);
}

// The same test kept in several files (the same bytes, or other header texts)
// counts once: candidates with one fingerprint are compared whole by the
// identity rule, and each copy leaves the points, its path kept with the first
// (in path order). A file that cannot be read again is kept as it is.
void MergeCopies(std::vector<TestPoint>& points, const std::vector<std::size_t>& fingerprints)
{
    std::unordered_map<std::size_t, std::vector<std::size_t>> byFingerprint;
    for (std::size_t i = 0; i < points.size(); ++i) byFingerprint[fingerprints[i]].push_back(i);
    std::vector<bool> copy(points.size(), false);
    for (auto& [fingerprint, group] : byFingerprint) {
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) { return points[a].path < points[b].path; });
        std::vector<std::vector<unsigned char>> whole(group.size());
        std::vector<bool> read(group.size());
        for (std::size_t g = 0; g < group.size(); ++g) {
            platform::FileIdentity identity;
            read[g] = platform::ReadFileStart(points[group[g]].path, kel::kPreambleSize + 0x10000, whole[g], identity);
        }
        for (std::size_t g = 0; g < group.size(); ++g) {
            if (!read[g] || copy[group[g]]) continue;
            for (std::size_t h = g + 1; h < group.size(); ++h) {
                if (!read[h] || copy[group[h]]) continue;
                if (kel::CompareTests(whole[g], whole[h]) == kel::Sameness::Different) continue;
                copy[group[h]] = true;
                points[group[g]].copies.push_back(points[group[h]].path);
            }
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (copy[i]) continue;
        if (kept != i) points[kept] = std::move(points[i]);
        ++kept;
    }
    points.resize(kept);
}

}  // namespace

void ReadTestFiles(const std::vector<std::string>& paths, std::size_t size, bool followFolderLinks,
                   const std::function<bool(std::string path, bool read, const std::vector<unsigned char>& bytes)>& onFile,
                   const std::function<void(const std::string& folder)>& onFolderLeftOut)
{
    std::unordered_set<platform::FileIdentity, IdentityHash> seen;
    bool going = true;
    const auto take = [&](std::string path, bool wasRead, const std::vector<unsigned char>& bytes,
                          const platform::FileIdentity& identity) {
        if (wasRead && !seen.insert(identity).second) return true;  // another link to a file read already
        going = onFile(std::move(path), wasRead, bytes);
        return going;
    };
    std::vector<unsigned char> bytes;
    for (const std::string& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(platform::PathOf(path), error)) {
            platform::TreeWalk walk;
            walk.extension = ".kel";
            walk.size = size;
            walk.followFolderLinks = followFolderLinks;
            platform::ReadTreeFileStarts(path, walk, take, onFolderLeftOut);
        } else {
            platform::FileIdentity identity;
            const bool wasRead = platform::ReadFileStart(path, size, bytes, identity);
            take(path, wasRead, bytes, identity);
        }
        if (!going) break;
    }
}

std::string TrimmedText(const std::string& text)
{
    return Trimmed(text);
}

std::string FoldedText(const std::string& latin1)
{
    return Folded(latin1);
}

Scan ScanPaths(const std::vector<std::string>& paths, const Limits& limits,
               const std::function<bool(std::size_t)>& progress, bool followFolderLinks)
{
    Scan scan;
    std::vector<TestPoint> points;
    points.reserve(1024);
    std::vector<std::size_t> fingerprints;  // of each point's test, texts that name no asset aside
    kel::TestValues values;
    std::size_t filesRead = 0;
    const auto take = [&](std::string path, bool wasRead, const std::vector<unsigned char>& start) {
        if (!wasRead) {
            scan.unreadable.push_back(Status::File(Problem::CantOpenFile, path));
            return true;
        }
        TestPoint point;
        point.path = std::move(path);
        if (const Status decoded = DecodeInto(start, point, values)) {
            points.push_back(std::move(point));
            fingerprints.push_back(Fingerprint(start, points.back()));
            ++scan.testsRead;
        } else {
            Status noTest = Status::File(Problem::CantReadFile, point.path);
            noTest.detail = decoded.detail;  // why it is no test
            scan.unreadable.push_back(std::move(noTest));
        }
        // The caller hears of the progress every 64 files, and may stop the scan there.
        if (++filesRead % 64 == 0 && progress && !progress(filesRead)) scan.cancelled = true;
        return !scan.cancelled;
    };
    ReadTestFiles(paths, kBytesNeeded, followFolderLinks, take, [&scan](const std::string& folder) {
        scan.unreadable.push_back(Status::File(Problem::CantReadFolder, folder));
    });
    MergeCopies(points, fingerprints);
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
