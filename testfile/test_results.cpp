#include "testfile/test_results.h"

#include <cstdio>

#include "testfile/kel_file.h"
#include "testfile/kel_values.h"

std::string TestResult::PageText() const
{
    const std::string& shown = pageLabel.empty() ? label : pageLabel;
    if (shown.empty()) return value;
    std::string text = shown + ' ';
    if (text.size() < static_cast<std::size_t>(labelWidth)) text.resize(static_cast<std::size_t>(labelWidth), ' ');
    text += value;
    if (!unit.empty()) text += ' ' + unit;
    return text;
}

bool HasEquivalentResistances(const CKELFile& test)
{
    return test.testType != 4;
}

bool HasTimeTable(const CKELFile& test)
{
    return test.testType == 1 || test.testType == 3;
}

std::vector<TestResult> DescribeResults(const CKELFile& test)
{
    std::vector<TestResult> results;
    PageColumn column = PageColumn::Indent;
    int width = 0;
    // A result in the type's column, its label padded to the type's width.
    const auto add = [&](std::string label, std::string value) -> TestResult& {
        TestResult result;
        result.label = std::move(label);
        result.value = std::move(value);
        result.labelWidth = width;
        result.column = column;
        results.push_back(std::move(result));
        return results.back();
    };
    // What the resistance, PI and DD tests report after their readings; returns where the duration stands.
    const auto conditions = [&] {
        add("Test Capacitance:", test.capacitanceText);
        add("Test Duration:", test.durationText);
        const std::size_t duration = results.size() - 1;
        add("Hum Rejection Freq:", test.humFrequencyText);
        return duration;
    };
    // The measured temperature, and with it the tester's equivalent resistances.
    const auto temperature = [&] {
        if (!test.hasTemperature) return;
        width = 0;
        add("D.U.T. TEMP:", test.temperatureText);
        if (!HasEquivalentResistances(test)) return;
        add("EQUIV RES @40C:", test.equivRes40CText);
        add("EQUIV RES @20C:", test.equivRes20CText);
    };

    switch (test.testType) {
    case 1:
    case 2:
        column = test.testType == 1 ? PageColumn::Indent : PageColumn::Centre20;
        width = 23;
        add("Final Test Resistance:", test.finalResistanceText);
        add("Final Test Voltage:", test.testVoltageText);
        add("Final Test Current:", test.finalCurrentText);
        conditions();
        temperature();
        break;
    case 3: {
        column = PageColumn::Indent;
        width = 20;
        add("PI Ratio:", test.piRatioText);
        // The page writes the readings' times as "RES @  mm:ss =", the workbook without the "=".
        add("RES @  01:00", test.resistanceAt1MinText).pageLabel = "RES @  01:00 =";
        char label[32];
        std::snprintf(label, sizeof label, "RES @  %02d:%02d", test.sampleCount / 60, test.sampleCount % 60);
        add(label, test.finalResistanceText).pageLabel = std::string(label) + " =";
        add("Final Test Voltage:", test.testVoltageText);
        conditions();
        temperature();
        break;
    }
    case 4:
        column = PageColumn::Centre20;
        width = 20;
        add("DD Ratio:", test.ddRatioText).linesAfter = 2;  // the page leaves a line free after the ratio
        if (test.hasCapacitance) add("I @ TEST +1 MIN:", test.currentAt1MinText);
        add("Final Test Voltage:", test.testVoltageText);
        results[conditions()].linesAfter = 2;  // and after the duration
        temperature();
        break;
    case 5: {
        // The page lists each step's result; the workbook leaves them out.
        column = PageColumn::Centre20;
        for (int i = 0; i < test.stepCount && i < 5; ++i) add("", test.stepResultText[i]).inWorkbook = false;
        // The page sets two results on a line; the workbook writes the interval's unit into column C.
        column = PageColumn::Centre30;
        add("Step Interval:", test.stepIntervalText).unit = "MIN";
        add("Test Capacitance:", test.capacitanceText).joinSpaces = 3;
        width = 16;
        add("Test Duration:", test.durationText);
        width = 0;
        add("Hum Rejection Freq:", test.humFrequencyText).joinSpaces = 2;
        temperature();
        break;
    }
    default:
        break;  // an unknown type has no results
    }
    // A result that continues a line does not move the page on before it.
    for (std::size_t i = 1; i < results.size(); ++i)
        if (results[i].joinSpaces >= 0) results[i - 1].linesAfter = 0;
    return results;
}

std::vector<TimeTableEntry> TimeTable(const CKELFile& test)
{
    std::vector<TimeTableEntry> entries;
    int index = 0;
    for (int t = 15; t <= 900; t += t < 60 ? 15 : 60, ++index) {
        char value[kResistanceTextSize];
        const char* text = nullptr;
        if (t == test.sampleCount) {
            text = test.finalResistanceText;
        } else if (t < test.sampleCount && test.resistances) {
            text = FormatResistance(test.resistances[t], value);
        } else {
            continue;  // the test ended before this time, or its samples were not read
        }
        char label[32];
        if (t < 60) std::snprintf(label, sizeof label, "R@%d%s", t, "sec");
        else std::snprintf(label, sizeof label, "R@%d%s", t / 60, "min");
        char line[128];
        std::snprintf(line, sizeof line, "%s : %s", label, text);
        entries.push_back({t, index, label, text, line});
    }
    return entries;
}
