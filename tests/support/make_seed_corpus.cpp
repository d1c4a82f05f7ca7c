// Writes the fuzzers' seed corpus: typical and borderline test files and values.
// Usage: kel_make_seed_corpus FOLDER (fuzz/corpus); the output is kept in the repository.
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_file_builder.h"

using kel_test::TestFileBuilder;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 1;
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root / "fuzz_load");
    std::filesystem::create_directories(root / "fuzz_values");
    const struct {
        const char* name;
        TestFileBuilder builder;
    } files[] = {
        {"ir_30s", TestFileBuilder().Samples(30, 1000, 2e-9).Temperature(70).Capacitance(125)},
        {"pi_empty", TestFileBuilder().TestType(3).PiRatio(250)},
        {"dd", TestFileBuilder().TestType(4).DdRatio(180).Samples(8, 2500, 1e-8)},
        {"sv_steps", TestFileBuilder().TestType(5).StepInterval(0, 2).Samples(10, 500, 1e-9).Measured(21, 'O', 0, 0)},
        {"short_samples", TestFileBuilder().Samples(4, 500, 1e-9).TruncateTo(170)},
        {"l_below_160", TestFileBuilder().Length(100)},
        {"header_cut", TestFileBuilder().TruncateTo(100)},
    };
    for (const auto& file : files) file.builder.Write((root / "fuzz_load" / file.name).string());
    const std::vector<std::uint8_t> values[] = {
        {0x4D, 0x04, 0x01, 0xF4}, {0x01, 0xF4, 0xB1, 0xF4}, {0x03, 0xE8, 0x50, 0x00}, {0xFF, 0xFF, 0xF0, 0x01},
        {0x47, 0x03, 0x30, 0x39}, {0x99, 0x1A, 0x7F, 0xA1},
    };
    int i = 0;
    for (const auto& value : values) kel_test::WriteFileBytes((root / "fuzz_values" / ("v" + std::to_string(i++))).string(), value);
    return 0;
}
