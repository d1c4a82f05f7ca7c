// The readings as numbers: the .xlsx workbook read back by openpyxl, and the
// CSV file read back number by number.
#include "export/readings_export.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/posix_only.h"
#include "support/openpyxl_reader.h"
#include "support/temp_dir.h"
#include "support/test_file_builder.h"
#include "testfile/kel_file.h"

namespace {

using kel_test::TempDir;
using kel_test::TestFileBuilder;

// A test whose current falls from 10 nA, with one second of no current (over range) at second 5.
TestFileBuilder Curve(int type, int seconds)
{
    TestFileBuilder builder;
    builder.TestType(static_cast<std::uint8_t>(type)).TestVoltage(500).Company("\xC9" "COLE").Samples(4, 500, 1e-8);
    builder.Sample(500, 0);
    for (int k = 5; k < seconds; ++k) builder.Samples(1, static_cast<std::uint16_t>(490 + k % 7), 1e-8 / (k + 1));
    return builder;
}

struct Workbook {
    std::map<std::string, std::string> summary;  // label -> "type format|value"
    std::map<std::pair<int, int>, std::pair<std::string, std::string>> readings;  // (row, column) -> (type, value)
    std::vector<std::string> freezes, charts;
};

Workbook Read(const std::string& path)
{
    Workbook book;
    std::istringstream lines(kel_test::ReadWithOpenpyxl(path));
    std::map<int, std::string> labels;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string kind, sheet;
        words >> kind >> sheet;
        if (kind == "freeze") book.freezes.push_back(line);
        if (kind == "chart") book.charts.push_back(line.substr(line.find(' ', 6) + 1));
        if (kind != "cell") continue;
        int row = 0, column = 0;
        std::string type, rest;
        words >> row >> column >> type;
        std::getline(words, rest);
        rest = rest.substr(1);
        if (sheet == "Summary" && column == 1) labels[row] = rest.substr(rest.find('|') + 2, rest.size() - rest.find('|') - 3);
        else if (sheet == "Summary" && column == 2) book.summary[labels[row]] = type + " " + rest;
        else if (sheet == "Readings") book.readings[{row, column}] = {type, rest};
    }
    return book;
}

TEST(ReadingsWorkbook, TypedSummaryNumericReadingsAndChartsOnTheirRanges)
{
    KEL_LINUX_READERS_ONLY();
    const struct {
        const char* name;
        TestFileBuilder file;
        // label -> what openpyxl reads: a text exactly, "=x" a number equal to x as a float
        std::map<std::string, std::string> summary;
    } cases[] = {
        {"PI test with temperature and correction",
         Curve(3, 90).Measured(17, 'G', 0x04, 12345).Measured(33, 'G', 0x02, 1500).PiRatio(250).Temperature(68)
             .Measured(63, 'M', 0x08, 8000).Capacitance(35).Date(0x11, 0x02, 0x26).Time(0x09, 0x40, 0x12),
         {{"Test Number", "=1"},
          {"Date and Time", "datetime yyyy-mm-dd hh:mm:ss|datetime.datetime(2026, 11, 2, 9, 40, 12)"},
          {"Company", "str General|'\xC3\x89" "COLE'"},
          {"PI Ratio", "=2.5"},
          {"Resistance at 01:00 (\xCE\xA9)", "=123.45e9"},
          {"Resistance at 01:30 (\xCE\xA9)", "=1.5e9"},
          {"Test Voltage (V)", "=500"},
          {"Capacitance (\xC2\xB5" "F)", "=0.35"},
          {"Test Duration (s)", "=90"},
          {"Temperature (\xC2\xB0" "F)", "=68"},
          {"Equivalent Resistance at 40 \xC2\xB0" "C (\xCE\xA9)", "=800e6"},
          {"Equivalent Resistance at 20 \xC2\xB0" "C (\xCE\xA9)", "=3.2e9"}}},
        {"IR test: over range and not measured are texts",
         Curve(2, 30).Measured(33, 'O', 0, 65535).Measured(37, 'n', 0x02, 1500),
         {{"Final Test Resistance (\xCE\xA9)", "str General|'> 65 T'"},
          {"Final Test Current (A)", "=1.5e-9"},
          {"Capacitance (\xC2\xB5" "F)", "str General|'N/A'"}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.file.Write(dir.File("T.kel"));
        ASSERT_TRUE(ExportReadingsWorkbook(dir.File("T.kel"), dir.File("T.xlsx"))) << c.name;
        const Workbook book = Read(dir.File("T.xlsx"));
        for (const auto& [label, expected] : c.summary) {
            ASSERT_TRUE(book.summary.count(label)) << c.name << ": " << label;
            const std::string& read = book.summary.at(label);
            if (expected[0] != '=') {
                EXPECT_EQ(read, expected) << c.name << ": " << label;
                continue;
            }
            // A number cell, typed, holding the float's shortest decimal (9.45e-06, not 9.450000106880907e-06).
            EXPECT_TRUE(read.rfind("int ", 0) == 0 || read.rfind("float ", 0) == 0) << label << ": " << read;
            const std::string stored = read.substr(read.find('|') + 1);
            const double value = std::strtod(stored.c_str(), nullptr);
            EXPECT_EQ(static_cast<float>(value), std::strtof(expected.c_str() + 1, nullptr))
                << c.name << ": " << label << " " << read;
            char shortest[32];
            *std::to_chars(shortest, shortest + 31, static_cast<float>(value)).ptr = 0;
            EXPECT_EQ(value, std::strtod(shortest, nullptr)) << c.name << ": " << label << " " << read;
        }

        // Every reading is the record's float, as a number; no current leaves both cells empty.
        CKELFile record;
        ASSERT_TRUE(record.Load(dir.File("T.kel"), 1));
        for (int k = 0; k < record.sampleCount; ++k) {
            const int row = k + 2;
            EXPECT_EQ(book.readings.at({row, 1}).second, "General|" + std::to_string(k + 1)) << c.name;
            EXPECT_EQ(std::strtof(book.readings.at({row, 2}).second.substr(8).c_str(), nullptr), record.voltages[k]);
            if (record.currents[k] == 0) {
                EXPECT_FALSE(book.readings.count({row, 3}) || book.readings.count({row, 4})) << c.name << " " << k;
                continue;
            }
            EXPECT_EQ(book.readings.at({row, 3}).first, "float");
            EXPECT_EQ(static_cast<float>(std::strtod(book.readings.at({row, 3}).second.substr(10).c_str(), nullptr)),
                      record.currents[k]) << c.name << " " << k;
            EXPECT_EQ(static_cast<float>(std::strtod(book.readings.at({row, 4}).second.substr(10).c_str(), nullptr)),
                      record.resistances[k]) << c.name << " " << k;
        }
        EXPECT_EQ(book.readings.at({2, 3}).second.substr(0, 10), "0.000E+00|") << c.name;
        EXPECT_EQ(book.readings.at({1, 4}).second, "General|'Resistance (\xCE\xA9)'") << c.name;
        EXPECT_EQ(book.freezes, (std::vector<std::string>{"freeze Summary None", "freeze Readings A2"})) << c.name;
        const std::string last = std::to_string(record.sampleCount + 1);
        EXPECT_EQ(book.charts, (std::vector<std::string>{
                                   "Readings!$A$2:$A$" + last + " Readings!$D$2:$D$" + last + " log line",
                                   "Readings!$A$2:$A$" + last + " Readings!$C$2:$C$" + last + " log line"}))
            << c.name;
    }
}

// Every second the tester measured keeps its numbers, in the CSV and the
// workbook alike: the discharge current of a DD test (no test voltage) too. A
// resistance that cannot be given is an empty cell with its reason beside it.
TEST(Readings, EverySecondKeepsWhatTheTesterMeasuredAndSaysWhyAResistanceIsMissing)
{
    KEL_LINUX_READERS_ONLY();
    TempDir dir;
    // A DD test: two seconds at 2500 V, one over range, then the discharge with no test voltage.
    TestFileBuilder().TestType(4).TestVoltage(2500).Samples(2, 2500, 1e-8).Sample(2500, 0)
        .Samples(3, 0, 2e-9).Sample(0, 0).Write(dir.File("T.kel"));
    CKELFile record;
    ASSERT_TRUE(record.Load(dir.File("T.kel"), 1));
    const struct {
        bool current, resistance;
        const char* note;
    } seconds[] = {{true, true, ""},        {true, true, ""},
                   {false, false, "over range"}, {true, false, "no test voltage"},
                   {true, false, "no test voltage"}, {true, false, "no test voltage"},
                   {false, false, "over range"}};
    ASSERT_EQ(record.sampleCount, 7);

    ASSERT_TRUE(ExportReadingsCsv(dir.File("T.kel"), dir.File("T.csv")));
    const auto bytes = kel_test::ReadFileBytes(dir.File("T.csv"));
    const std::string csv(bytes.begin(), bytes.end());
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "Time (s),Voltage (V),Current (A),Resistance (\xCE\xA9),Resistance note");
    ASSERT_TRUE(ExportReadingsWorkbook(dir.File("T.kel"), dir.File("T.xlsx")));
    const Workbook book = Read(dir.File("T.xlsx"));
    EXPECT_EQ(book.readings.at({1, 5}).second, "General|'Resistance note'");

    std::size_t at = csv.find("\r\n") + 2;
    for (int k = 0; k < 7; ++k) {
        const auto& expected = seconds[k];
        const std::size_t end = csv.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        std::vector<std::string> fields(1);
        for (const char ch : csv.substr(at, end - at)) {
            if (ch == ',') fields.emplace_back();
            else fields.back().push_back(ch);
        }
        at = end + 2;
        ASSERT_EQ(fields.size(), 5u) << k;
        EXPECT_EQ(fields[0], std::to_string(k + 1));
        EXPECT_EQ(fields[1], std::to_string(static_cast<int>(record.voltages[k]))) << k;
        EXPECT_EQ(!fields[2].empty(), expected.current) << k;
        EXPECT_EQ(!fields[3].empty(), expected.resistance) << k;
        EXPECT_EQ(fields[4], expected.note) << k;
        if (expected.current) {
            EXPECT_EQ(std::strtof(fields[2].c_str(), nullptr), record.currents[k]) << fields[2];
        }
        if (expected.resistance) {
            // The float's shortest text, as %g writes it: 2.5e+11, not 250000000000.
            EXPECT_EQ(std::strtof(fields[3].c_str(), nullptr), record.resistances[k]) << fields[3];
            EXPECT_NE(fields[3].find("e+"), std::string::npos) << fields[3];
        }
        const int row = k + 2;
        EXPECT_EQ(book.readings.count({row, 3}) == 1, expected.current) << k;
        EXPECT_EQ(book.readings.count({row, 4}) == 1, expected.resistance) << k;
        EXPECT_EQ(book.readings.count({row, 5}) ? book.readings.at({row, 5}).second : std::string("General|''"),
                  "General|'" + std::string(expected.note) + "'")
            << k;
    }
    EXPECT_EQ(at, csv.size());
    EXPECT_EQ(ExportReadingsCsv(dir.File("missing.kel"), dir.File("M.csv")).problem, Problem::CantOpenFile);
    EXPECT_FALSE(std::filesystem::exists(dir.File("M.csv")));
}

}  // namespace
