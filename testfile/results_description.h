// A test's results, described once: which results each test type has, in
// which order, under which labels, and the temperature rule. The report page
// and the workbooks both write from this list; each page line and each label
// stands here as its printf format, so that a text of the page or the workbook
// is found in one search. Where the two differ (the page's padded labels and
// shared lines, the workbook's unit column, the page's step lines) the
// difference stands in the entry itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "testfile/test_values.h"

class CKELFile;

// Where a result's line starts on the report page, from the results box.
enum class PageColumn {
    Indent,    // the box's left plus 4 characters
    Centre20,  // the box's middle less 20 characters
    Centre30,  // the box's middle less 30 characters
};

struct TestResult {
    std::string label;  // the workbook's column A
    std::string value;  // column B: the record's text
    std::string unit;   // column C; empty: none

    // The report page: the line printed from its format, in its column. A
    // result that the line before shows already (two results on one line) is
    // not on the page by itself.
    std::string pageLine;
    int linesAfter = 1;  // how many lines the page moves down after the line
    PageColumn column = PageColumn::Indent;
    bool onPage = true;
    bool inWorkbook = true;

    // The readings workbook: the result as a number in SI units (or a plain
    // ratio) under a label that names its unit. A result with a quantity but no
    // number (over range, not measured) is written as its text.
    std::string quantity;  // UTF-8, e.g. "Test Voltage (V)"; empty: not in the readings workbook
    std::optional<double> number;
    TestResult& Measure(std::string quantityLabel, std::optional<double> amount)
    {
        quantity = std::move(quantityLabel);
        number = amount;
        return *this;
    }
};

// The results of `test`'s type, in order; none for an unknown type.
std::vector<TestResult> DescribeResults(const CKELFile& test);

// Whether a test of the type carries the equivalent resistances at 40 and 20
// degrees C (every type but dielectric discharge).
bool HasEquivalentResistances(kel::TestType type);
bool HasEquivalentResistances(const CKELFile& test);
// Whether the type shows the time table (resistance and polarization index tests).
bool HasTimeTable(kel::TestType type);
bool HasTimeTable(const CKELFile& test);
// Whether the type reports steps, each with its voltage and resistance (step voltage tests).
bool HasSteps(kel::TestType type);
bool HasSteps(const CKELFile& test);

// One entry of the time table: the resistance at a fixed time of the test.
struct TimeTableEntry {
    int t;              // seconds
    int index;          // 0-17: rows 0-8 form the first column, 9-17 the second
    std::string label;  // the workbook's "R@%d%s :": "R@45sec :", "R@2min :"
    std::string value;  // the final resistance text, or the sample's resistance text
    std::string line;   // the page's "R@%d%s : %s"
};
// The entries of the first 15 minutes that the test reaches: 15, 30, 45 s and
// every minute. An entry past the end of the test is left out; the entry at the
// test's last second shows its final resistance text.
std::vector<TimeTableEntry> TimeTable(const CKELFile& test);
