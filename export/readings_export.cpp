#include "export/readings_export.h"

#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/names.h"
#include "platform/xlsx_book.h"
#include "testfile/kel_file.h"
#include "testfile/latin1.h"
#include "testfile/results_description.h"

namespace {

const char* const kColumns[] = {"Time (s)", "Voltage (V)", "Current (A)", "Resistance (\u03A9)",
                                "Resistance note"};

// The shortest text that reads back as the same float, '.' whatever the locale,
// in %g's style: 2.6062026e+09 and 1.5e-09 rather than 2606202600 and 0.0000000015.
void AppendFloat(std::string& out, float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    out.append(text, result.ptr);
}

// The float as the double of its shortest decimal text: the same float, and a
// number the workbook stores in few digits (2.75E-04, not 2.749999985098839E-04).
double Decimal(float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = 0;
    return std::strtod(text, nullptr);
}

// A second's current is a number whenever the tester measured one (its
// mantissa is not 0), with or without a test voltage: the discharge current of
// a dielectric-discharge test flows with none. Its resistance is a number only
// when there was both a current and a voltage; otherwise the note says why not.
bool HasCurrent(const CKELFile& test, int k)
{
    return test.currents[k] != 0;
}

bool HasResistance(const CKELFile& test, int k)
{
    return test.resistances[k] != 0;
}

const char* ResistanceNote(const CKELFile& test, int k)
{
    if (!HasCurrent(test, k)) return "over range";
    if (test.voltages[k] == 0) return "no test voltage";
    return "";
}

Status Loaded(CKELFile& test, const std::string& testPath)
{
    return test.Load(testPath, 1);
}

}  // namespace

std::string ReadingsCsv(const CKELFile& test)
{
    std::string csv;
    csv.reserve(64 + static_cast<std::size_t>(test.sampleCount) * 40);
    for (int c = 0; c < 5; ++c) (csv += c ? "," : "") += kColumns[c];
    csv += "\r\n";
    for (int k = 0; k < test.sampleCount; ++k) {
        csv += std::to_string(k + 1);
        csv += ',';
        csv += std::to_string(static_cast<long>(test.voltages[k]));  // whole volts
        csv += ',';
        if (HasCurrent(test, k)) AppendFloat(csv, test.currents[k]);
        csv += ',';
        if (HasResistance(test, k)) AppendFloat(csv, test.resistances[k]);
        csv += ',';
        csv += ResistanceNote(test, k);
        csv += "\r\n";
    }
    return csv;
}

Status ExportReadingsCsv(const std::string& testPath, const std::string& csvPath)
{
    CKELFile test;
    if (Status loaded = Loaded(test, testPath); !loaded) return loaded;
    const std::string csv = ReadingsCsv(test);
    if (!platform::WriteWholeFile(platform::PathOf(csvPath), csv.data(), csv.size())) return Status::File(Problem::CantWriteFile, csvPath);
    return {};
}

Status ExportReadingsWorkbook(const std::string& testPath, const std::string& workbookPath)
{
    CKELFile test;
    if (Status loaded = Loaded(test, testPath); !loaded) return loaded;
    const Status cantWrite = Status::File(Problem::CantWriteFile, workbookPath);

    // libxlsxwriter writes the whole workbook by a name of its own: the name
    // through which the atomic file's temporary can be written, so the workbook
    // takes its place whole or not at all, and nothing is left elsewhere.
    platform::AtomicFile file;
    if (!file.Open(platform::PathOf(workbookPath))) return cantWrite;
    {
        platform::XlsxBook book(file.PathForWriting());
        const int summary = book.AddSheet("Summary");
        const int readings = book.AddSheet("Readings");

        // The summary: the header's texts and every result the report page shows, typed.
        int row = 0;
        const auto text = [&](const char* label, const std::string& latin1) {
            book.Label(summary, row, 0, label);
            book.Text(summary, row++, 1, Latin1ToUtf8(latin1));
        };
        book.Label(summary, row, 0, "File");
        book.Text(summary, row++, 1, platform::NameToUtf8(platform::NameOf(platform::PathOf(testPath).filename())));
        book.Label(summary, row, 0, "Test Number");
        book.Number(summary, row++, 1, test.testNumber);
        book.Label(summary, row, 0, "Date and Time");
        book.DateTime(summary, row++, 1,
                      {2000 + test.dateParts[2] % 100, test.dateParts[0], test.dateParts[1], test.timeParts[0],
                       test.timeParts[1], test.timeParts[2]});
        text("Company", test.company);
        text("Location", test.location);
        text("Description", test.description);
        text("Operator", test.operatorName);
        text("Test Type", test.testTypeName);
        for (const TestResult& result : DescribeResults(test)) {
            if (result.quantity.empty()) continue;
            book.Label(summary, row, 0, result.quantity);
            // Each value as its float's shortest decimal, as the tester measured it.
            if (result.number) book.Number(summary, row++, 1, Decimal(static_cast<float>(*result.number)));
            else book.Text(summary, row++, 1, Latin1ToUtf8(result.value));
        }
        const kel::TestValues& values = test.values;
        if (HasSteps(values.type) && values.stepCount > 0) {
            ++row;
            const char* heads[] = {"Step", "Time (s)", "Voltage (V)", "Resistance (\u03A9)"};
            for (int c = 0; c < 4; ++c) book.Label(summary, row, c, heads[c]);
            ++row;
            for (int i = 0; i < values.stepCount; ++i, ++row) {
                const kel::StepResult& step = values.steps[static_cast<std::size_t>(i)];
                book.Number(summary, row, 0, i + 1);
                book.Number(summary, row, 1, step.endSecond);
                book.Number(summary, row, 2, step.volts);
                if (step.resistance.Measured())
                    book.Scientific(summary, row, 3, Decimal(static_cast<float>(step.resistance.si)));
                else book.Text(summary, row, 3, "> 65 T");
            }
        }
        book.ColumnWidth(summary, 0, 0, 38);
        book.ColumnWidth(summary, 1, 3, 20);

        // The readings: one row a second; a value not measured is an empty cell, and the note says why.
        for (int c = 0; c < 5; ++c) book.Label(readings, 0, c, kColumns[c]);
        for (int k = 0; k < test.sampleCount; ++k) {
            book.Number(readings, k + 1, 0, k + 1);
            book.Number(readings, k + 1, 1, test.voltages[k]);
            if (HasCurrent(test, k)) book.Scientific(readings, k + 1, 2, Decimal(test.currents[k]));
            if (HasResistance(test, k)) book.Scientific(readings, k + 1, 3, Decimal(test.resistances[k]));
            if (*ResistanceNote(test, k)) book.Text(readings, k + 1, 4, ResistanceNote(test, k));
        }
        book.FreezeTopRow(readings);
        book.PrintOneSheetWide(readings);
        book.ColumnWidth(readings, 0, 1, 12);
        book.ColumnWidth(readings, 2, 4, 16);
        if (test.sampleCount > 0) {
            platform::XlsxLineChart chart;
            chart.dataSheet = "Readings";
            chart.firstRow = 1;
            chart.lastRow = test.sampleCount;
            chart.categoryColumn = 0;
            chart.xTitle = "Time (s)";
            chart.title = "Resistance";
            chart.yTitle = kColumns[3];
            chart.valueColumn = 3;
            chart.logarithmic = true;
            chart.anchorRow = 1;
            chart.anchorColumn = 5;
            book.InsertLineChart(readings, chart);
            // The current falls by decades too.
            chart.title = "Current";
            chart.yTitle = kColumns[2];
            chart.valueColumn = 2;
            chart.anchorRow = 25;
            book.InsertLineChart(readings, chart);
        }
        if (!book.Close()) return cantWrite;
    }
    if (!file.Commit()) return cantWrite;
    return {};
}
