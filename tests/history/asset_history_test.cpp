// The asset history from test files built byte by byte: what each test
// contributes, how tests group into assets, the flags at their boundaries,
// and the search of a folder tree.
#include "history/asset_history.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "support/posix_only.h"
#include "support/temp_dir.h"
#include "support/test_file_builder.h"

namespace {

using history::TestPoint;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

constexpr double kNone = -1;  // the field is null

// A test of `seconds` samples at 500 V and `amperes`, with sample 30 at `amperes30`.
TestFileBuilder Curve(int type, int seconds, double amperes, double amperes30 = 0)
{
    TestFileBuilder builder;
    builder.TestType(static_cast<std::uint8_t>(type)).TestVoltage(500);
    if (seconds >= 30 && amperes30 > 0) {
        builder.Samples(29, 500, amperes).Samples(1, 500, amperes30).Samples(seconds - 30, 500, amperes);
    } else {
        builder.Samples(seconds, 500, amperes);
    }
    return builder;
}

void ExpectField(const std::optional<double>& field, double expected, const char* name, const std::string& c)
{
    if (expected == kNone) {
        EXPECT_FALSE(field) << c << ": " << name;
    } else {
        ASSERT_TRUE(field) << c << ": " << name;
        EXPECT_NEAR(*field, expected, expected * 1e-6) << c << ": " << name;
    }
}

TEST(TestPoint, WhatEachTestContributes)
{
    const struct {
        const char* name;
        TestFileBuilder file;
        double r1Min, r40C, pi, dd, dar;
        std::vector<std::string> flags;
    } cases[] = {
        // The tester corrects the final reading: 246.90 G at ten minutes is 800 M at 40 C, a factor
        // of 1/308.6 that makes the one-minute 123.45 G 400 M, not 800 M.
        {"PI test: the tester's one-minute reading, ratio, and its factor applied to it",
         Curve(3, 600, 1e-9, 2e-9).Measured(17, 'G', 0x04, 12345).Measured(33, 'G', 0x04, 24690).PiRatio(250)
             .Temperature(68).Measured(63, 'M', 0x08, 8000),
         123.45e9, 400e6, 2.5, kNone, 2.0, {}},
        {"IR test of a minute: the 60th second's sample, corrected as the final reading is",
         Curve(2, 60, 1e-9, 4e-9).Measured(33, 'G', 0x04, 50000).Temperature(68).Measured(63, 'G', 0x04, 25000),
         500e9, 250e9, kNone, kNone, 4.0, {}},
        {"no correction without a final reading", Curve(2, 60, 1e-9).Measured(33, 'O', 0, 65535).Temperature(68)
             .Measured(63, 'G', 0x04, 25000),
         500e9, kNone, kNone, kNone, 1.0, {}},
        {"under a minute: no one-minute reading, no DAR", Curve(1, 59, 1e-9), kNone, kNone, kNone, kNone, kNone, {}},
        {"the one-minute reading over range", Curve(3, 600, 1e-9).Measured(17, 'O', 0, 65535).PiRatio(0xFFFF),
         kNone, kNone, kNone, kNone, 1.0, {history::kOverRange}},
        {"the 60th sample over range", Curve(2, 59, 1e-9).Sample(500, 0), kNone, kNone, kNone, kNone, kNone,
         {history::kOverRange}},
        {"DD test: its ratio, no correction even with a temperature",
         Curve(4, 120, 1e-9).DdRatio(180).PiRatio(300).Temperature(70).Measured(63, 'G', 0, 5), 500e9, kNone, kNone,
         1.8, 1.0, {}},
        {"the ratios of another type are not its own", Curve(2, 60, 1e-9).PiRatio(300).DdRatio(200), 500e9, kNone,
         kNone, kNone, 1.0, {}},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes = c.file.Bytes();
        TestPoint point;
        ASSERT_TRUE(history::DecodeTestPoint(std::vector<unsigned char>(bytes.begin(), bytes.end()), point)) << c.name;
        ExpectField(point.resistance1Min, c.r1Min, "resistance1Min", c.name);
        ExpectField(point.resistance1Min40C, c.r40C, "resistance1Min40C", c.name);
        ExpectField(point.piRatio, c.pi, "piRatio", c.name);
        ExpectField(point.ddRatio, c.dd, "ddRatio", c.name);
        ExpectField(point.darRatio, c.dar, "darRatio", c.name);
        EXPECT_EQ(point.flags, c.flags) << c.name;
    }

    TestPoint point;
    const auto dated = TestFileBuilder().Date(0x03, 0x14, 0x07).Time(0x09, 0x05, 0x30).TestNumber(42).Bytes();
    ASSERT_TRUE(history::DecodeTestPoint(std::vector<unsigned char>(dated.begin(), dated.end()), point));
    EXPECT_EQ(point.dateTime, "2007-03-14T09:05:30");  // month, day, two-digit year
    EXPECT_EQ(point.testNumber, 42);
    const auto damaged = TestFileBuilder().Magic(0).Bytes();
    EXPECT_EQ(history::DecodeTestPoint(std::vector<unsigned char>(damaged.begin(), damaged.end()), point).problem,
              Problem::NotATest);
}

TestPoint Point(const std::string& company, const std::string& dateTime, std::optional<double> r1Min,
                std::optional<double> r40C = std::nullopt, std::optional<double> pi = std::nullopt,
                const std::string& path = "p")
{
    TestPoint point;
    point.company = company;
    point.location = "PLANT";
    point.description = "MOTOR";
    point.dateTime = dateTime;
    point.resistance1Min = r1Min;
    point.resistance1Min40C = r40C;
    point.piRatio = pi;
    point.path = path;
    return point;
}

TEST(Assets, GroupingOrderAndEachFlagAtItsBoundary)
{
    const history::Limits limits;  // 100 MOhm, PI 2.0
    std::vector<TestPoint> points = {
        Point("  acme ", "2023-01-01T00:00:00", 99.9e6),                // below the minimum
        Point("ACME", "2021-01-01T00:00:00", 100e6, std::nullopt, 2.0),  // at the minimums: no flag
        Point("Acme", "2022-01-01T00:00:00", 50e6, 200e6, 1.99),        // the corrected reading decides IR
        Point("ACME", "2024-01-01T00:00:00", 1e9, 100e6),               // exactly half of 200: not dropped
        Point("ACME", "2025-01-01T00:00:00", 1e9, 49.9e6, std::nullopt, "b"),  // below half of 100: dropped
        Point("ACME", "2025-01-01T00:00:00", 1e9, std::nullopt, std::nullopt, "a"),  // same time: path orders
        Point("\xC9" "COLE", "2020-01-01T00:00:00", 1e9),               // another asset, "É" after "A"
        Point("\xE9" "cole", "2021-01-01T00:00:00", 1e9),
    };
    points[0].company = "  acme ";
    const std::vector<history::Asset> assets = history::BuildAssets(points, limits);
    ASSERT_EQ(assets.size(), 2u);
    const history::Asset& acme = assets[0];
    EXPECT_EQ(acme.company, "ACME");  // the newest test's texts, trimmed
    ASSERT_EQ(acme.tests.size(), 6u);
    std::vector<std::string> order;
    for (const TestPoint& test : acme.tests) order.push_back(test.dateTime.substr(0, 4) + test.path);
    EXPECT_EQ(order, (std::vector<std::string>{"2021p", "2022p", "2023p", "2024p", "2025a", "2025b"}));
    const std::vector<std::vector<std::string>> flags = {
        {}, {history::kPiBelowMinimum}, {history::kIrBelowMinimum}, {}, {}, {history::kIrBelowMinimum, history::kDropped}};
    for (std::size_t i = 0; i < flags.size(); ++i) EXPECT_EQ(acme.tests[i].flags, flags[i]) << order[i];
    EXPECT_TRUE(acme.Flagged());
    EXPECT_EQ(assets[1].tests.size(), 2u);
    EXPECT_FALSE(assets[1].Flagged());
    EXPECT_TRUE(assets[1].Matches("\xE9" "co"));
    EXPECT_TRUE(acme.Matches("mot"));
    EXPECT_FALSE(acme.Matches("pump"));

    history::Limits strict;
    strict.minIrOhms = 2e9;
    strict.minPi = 3;
    const auto flagged = history::BuildAssets({Point("X", "2020-01-01T00:00:00", 1.5e9, std::nullopt, 2.5)}, strict);
    EXPECT_EQ(flagged[0].tests[0].flags, (std::vector<std::string>{history::kIrBelowMinimum, history::kPiBelowMinimum}));
}

TEST(ScanPaths, FoldersRecursivelyEachFileOnceLoopsEndDamagedFilesCounted)
{
    KEL_POSIX_ONLY("symbolic links and FIFOs");
#ifndef _WIN32
    namespace fs = std::filesystem;
    TempDir dir;
    fs::create_directories(dir.path() / "site" / "old");
    TestFileBuilder().Company("ONE").Write(dir.File("site/a.kel"));
    TestFileBuilder().Company("TWO").Write(dir.File("site/old/b.KEL"));
    TestFileBuilder().Company("THREE").Write(dir.File("loose.bin"));  // named as a path: read whatever its name
    TestFileBuilder().Magic(0).Write(dir.File("site/damaged.kel"));
    std::ofstream(dir.File("site/notes.txt")) << "not a test";
    fs::create_symlink(dir.File("site/a.kel"), dir.File("site/old/again.kel"));  // the same file once more
    fs::create_directory_symlink(dir.File("site"), dir.File("site/old/loop"));   // a loop back up
    ASSERT_EQ(mkfifo(dir.File("site/pipe.kel").c_str(), 0600), 0);

    const history::Scan scan =
        history::ScanPaths({dir.File("site"), dir.File("loose.bin"), dir.File("site/a.kel"), dir.File("gone.kel")}, {});
    EXPECT_EQ(scan.testsRead, 3u);
    std::vector<std::string> companies;
    for (const history::Asset& asset : scan.assets) companies.push_back(asset.company);
    EXPECT_EQ(companies, (std::vector<std::string>{"ONE", "THREE", "TWO"}));
    std::vector<std::string> unreadable;
    for (const Status& status : scan.unreadable) unreadable.push_back(MessageFor(status).text);
    EXPECT_EQ(unreadable, (std::vector<std::string>{"Can't read file " + dir.File("site/damaged.kel"),
                                                    "Can't open file " + dir.File("site/pipe.kel"),
                                                    "Can't open file " + dir.File("gone.kel")}));

    std::size_t heard = 0;
    for (int i = 0; i < 200; ++i) TestFileBuilder().Write(dir.File("site/t" + std::to_string(i) + ".kel"));
    const history::Scan stopped = history::ScanPaths({dir.File("site")}, {}, [&](std::size_t read) {
        heard = read;
        return read < 64;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(heard, 64u);
#endif
}

// The same test kept in several files counts once in its asset's trend, the
// other files named with it: the same bytes, or the same test with other texts.
TEST(ScanPaths, TheSameTestKeptTwiceCountsOnce)
{
    TempDir dir;
    const auto test = [](const char* operatorName, std::uint8_t minute) {
        return TestFileBuilder().TestType(2).Company("ACME").Location("PLANT").Description("M1")
            .Operator(operatorName).Time(0x10, minute, 0x00).Samples(60, 500, 1e-9);
    };
    test("JANE", 0x00).Write(dir.File("a.kel"));
    test("JANE", 0x00).Write(dir.File("b.kel"));     // a copy
    test("CORRECTED", 0x00).Write(dir.File("c.kel"));  // the same test, its operator corrected
    test("JANE", 0x05).Write(dir.File("d.kel"));     // another test of the asset
    auto other = test("JANE", 0x00).Bytes();
    other.back() ^= 1;  // the same header, another last sample: another test
    kel_test::WriteFileBytes(dir.File("e.kel"), other);

    const history::Scan scan = history::ScanPaths({dir.path().string()}, {});
    ASSERT_EQ(scan.assets.size(), 1u);
    std::vector<std::pair<std::string, std::vector<std::string>>> tests;
    for (const TestPoint& point : scan.assets[0].tests)
        tests.emplace_back(std::filesystem::path(point.path).filename().string(), point.copies);
    EXPECT_EQ(tests, (std::vector<std::pair<std::string, std::vector<std::string>>>{
                         {"a.kel", {dir.File("b.kel"), dir.File("c.kel")}}, {"e.kel", {}}, {"d.kel", {}}}));
}

TEST(ParseOhms, NumbersWithTheirSuffixes)
{
    const struct {
        const char* text;
        std::optional<double> ohms;
    } cases[] = {{"100M", 100e6}, {"2.5G", 2.5e9}, {"500k", 500e3}, {"500K", 500e3}, {"1T", 1e12},
                 {"1e9", 1e9},    {"0", 0.0},     {"", {}},         {"M", {}},       {"10 M", {}},
                 {"-5M", {}},     {"5m", {}},     {"1e999", {}}};
    for (const auto& c : cases) EXPECT_EQ(history::ParseOhms(c.text), c.ohms) << c.text;
}

}  // namespace
