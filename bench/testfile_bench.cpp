// Test file reading against its floor: a bare open, read and close of the same
// bytes, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "export/excel_export.h"
#include "export/readings_export.h"
#include "history/asset_history.h"
#include "testfile/kel_file.h"
#include "testfile/kel_format.h"
#include "testfile/kel_test_list.h"
#include "testfile/kel_values.h"

namespace {

std::filesystem::path BenchFolder()
{
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / "kel7300-bench";
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path / "folder");
        return path;
    }();
    return folder;
}

// A well-formed test file of `samples` seconds at 5 kV with a falling current.
std::vector<unsigned char> TestFile(int samples)
{
    std::vector<unsigned char> bytes(kel::kFileHeaderEnd + static_cast<std::size_t>(samples) * 4, 0);
    bytes[0] = 0x34, bytes[1] = 0x12, bytes[2] = 0x0D, bytes[3] = 0xF0, bytes[4] = 1;
    unsigned char* header = bytes.data() + kel::kPreambleSize;
    const int length = 160 + samples * 4;
    header[0] = static_cast<unsigned char>(length >> 8);
    header[1] = static_cast<unsigned char>(length);
    header[kel::kHeaderTestType] = 3;
    for (int k = 0; k < samples; ++k)
        EncodeSample(5000, 2e-9 * (1.0 + 100.0 / (k + 1)), header + kel::kHeaderSize + 4 * k);
    return bytes;
}

std::string WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    FILE* file = std::fopen(path.string().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path.string();
}

const std::string& LongestFile()
{
    static const std::string path = WriteFile(BenchFolder() / "longest.kel", TestFile(kel::kMaxSamples));
    return path;
}

// The floor: open, read `size` bytes in one piece, close.
void ReadBare(const std::string& path, std::vector<unsigned char>& buffer)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    std::setvbuf(file, nullptr, _IONBF, 0);
    benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file));
    std::fclose(file);
}

void BM_LoadHeaderOnly(benchmark::State& state)
{
    CKELFile record;
    for (auto _ : state) benchmark::DoNotOptimize(record.Load(LongestFile(), 0));
}
BENCHMARK(BM_LoadHeaderOnly);

void BM_LoadHeaderOnlyFloor(benchmark::State& state)
{
    std::vector<unsigned char> buffer(kel::kFileHeaderEnd);
    for (auto _ : state) ReadBare(LongestFile(), buffer);
}
BENCHMARK(BM_LoadHeaderOnlyFloor);

void BM_LoadFullLongest(benchmark::State& state)
{
    CKELFile record;
    for (auto _ : state) benchmark::DoNotOptimize(record.Load(LongestFile(), 1));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(LongestFile())));
}
BENCHMARK(BM_LoadFullLongest);

void BM_LoadFullLongestFloor(benchmark::State& state)
{
    std::vector<unsigned char> buffer(std::filesystem::file_size(LongestFile()));
    for (auto _ : state) ReadBare(LongestFile(), buffer);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}
BENCHMARK(BM_LoadFullLongestFloor);

void BM_DecodeSamplesLongest(benchmark::State& state)
{
    const auto bytes = TestFile(kel::kMaxSamples);
    std::vector<float> currents(kel::kMaxSamples), resistances(kel::kMaxSamples);
    for (auto _ : state) {
        DecodeSamples(bytes.data() + kel::kFileHeaderEnd, kel::kMaxSamples, currents.data(), resistances.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DecodeSamplesLongest);

const std::vector<std::string>& FolderOf500()
{
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> written;
        const auto bytes = TestFile(600);
        for (int i = 1; i <= 500; ++i)
            written.push_back(WriteFile(BenchFolder() / "folder" / ("Test" + std::to_string(i) + ".kel"), bytes));
        return written;
    }();
    return paths;
}

void BM_RefreshFolderOf500(benchmark::State& state)
{
    FolderOf500();
    const std::string folder = (BenchFolder() / "folder").string();
    auto list = std::make_unique<CKELTestList>();
    for (auto _ : state) list->Refresh(folder);
    if (list->fileCount != 500) state.SkipWithError("the folder did not list 500 files");
}
BENCHMARK(BM_RefreshFolderOf500)->Unit(benchmark::kMicrosecond);

void BM_RefreshFolderOf500Floor(benchmark::State& state)
{
    std::vector<unsigned char> buffer(kel::kFileHeaderEnd);
    for (auto _ : state)
        for (const std::string& path : FolderOf500()) ReadBare(path, buffer);
}
BENCHMARK(BM_RefreshFolderOf500Floor)->Unit(benchmark::kMicrosecond);

// One workbook with the built-in server: a PI test with temperature rows and
// a full readings table (74 cells), loaded, written and saved.
void BM_ExportPiTestWorkbook(benchmark::State& state)
{
    std::vector<unsigned char> bytes = TestFile(900);
    bytes[kel::kPreambleSize + kel::kHeaderTemperature] = 72;
    const std::string test = WriteFile(BenchFolder() / "pi.kel", bytes);
    const std::string workbook = (BenchFolder() / "pi.xls").string();
    const platform::Services services;
    for (auto _ : state)
        if (!ExportTest(services, test, workbook)) state.SkipWithError("the export failed");
}
BENCHMARK(BM_ExportPiTestWorkbook)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// A long-serving fleet: 20,000 ten-minute PI tests of 400 assets, in 200 folders of 100 files.
const std::vector<std::string>& FleetOf20000()
{
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> written;
        std::vector<unsigned char> bytes = TestFile(600);
        for (int folder = 0; folder < 200; ++folder) {
            const auto dir = BenchFolder() / "fleet" / ("site" + std::to_string(folder));
            std::filesystem::create_directories(dir);
            for (int i = 0; i < 100; ++i) {
                const int asset = (folder * 100 + i) % 400;
                unsigned char* header = bytes.data() + kel::kPreambleSize;
                std::snprintf(reinterpret_cast<char*>(header + kel::kHeaderDescription), kel::kHeaderTextSize,
                              "MOTOR %d", asset);
                header[kel::kHeaderDate + 2] = EncodeBcd(folder % 50);
                // Each test its own number, as a tester gives them: no two files hold the same test.
                const int number = folder * 100 + i;
                header[kel::kHeaderTestNumber] = static_cast<unsigned char>(number >> 8);
                header[kel::kHeaderTestNumber + 1] = static_cast<unsigned char>(number);
                written.push_back(WriteFile(dir / ("Test" + std::to_string(i) + ".kel"), bytes));
            }
        }
        return written;
    }();
    return paths;
}

void BM_TrendScanFleetOf20000(benchmark::State& state)
{
    FleetOf20000();
    const std::string root = (BenchFolder() / "fleet").string();
    for (auto _ : state) {
        const history::Scan scan = history::ScanPaths({root}, {});
        if (scan.testsRead != 20000 || scan.assets.size() != 400) state.SkipWithError("not 20,000 tests of 400 assets");
    }
    state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_TrendScanFleetOf20000)->Unit(benchmark::kMillisecond);

void BM_TrendScanFleetOf20000Floor(benchmark::State& state)
{
    std::vector<unsigned char> buffer(history::kBytesNeeded);
    for (auto _ : state)
        for (const std::string& path : FleetOf20000()) ReadBare(path, buffer);
    state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_TrendScanFleetOf20000Floor)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The longest test as readings: the workbook with its charts, and the CSV file,
// each written through an atomic file (synced to disk before it takes its name).
void BM_ReadingsWorkbookLongest(benchmark::State& state)
{
    const std::string workbook = (BenchFolder() / "longest.xlsx").string();
    for (auto _ : state)
        if (!ExportReadingsWorkbook(LongestFile(), workbook)) state.SkipWithError("the export failed");
    state.counters["bytes_written"] = static_cast<double>(std::filesystem::file_size(workbook));
}
BENCHMARK(BM_ReadingsWorkbookLongest)->Unit(benchmark::kMillisecond);

void BM_ReadingsCsvLongest(benchmark::State& state)
{
    const std::string csv = (BenchFolder() / "longest.csv").string();
    for (auto _ : state)
        if (!ExportReadingsCsv(LongestFile(), csv)) state.SkipWithError("the export failed");
    state.counters["bytes_written"] = static_cast<double>(std::filesystem::file_size(csv));
}
BENCHMARK(BM_ReadingsCsvLongest)->Unit(benchmark::kMillisecond);

// The CSV text alone, without the load and the file.
void BM_ReadingsCsvTextLongest(benchmark::State& state)
{
    CKELFile record;
    record.Load(LongestFile(), 1);
    for (auto _ : state) benchmark::DoNotOptimize(ReadingsCsv(record));
}
BENCHMARK(BM_ReadingsCsvTextLongest)->Unit(benchmark::kMillisecond);

}  // namespace
