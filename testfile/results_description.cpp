#include "testfile/results_description.h"

#include <cstdio>

#include "testfile/kel_file.h"
#include "testfile/kel_values.h"

namespace {

// The reading in SI units, to the float precision the tester measures with
// (123.45 G is 123449999360 ohms, not 123449996948.24).
std::optional<double> Si(const MeasuredValue& value)
{
    if (IsOverRange(value)) return std::nullopt;
    return static_cast<float>(InSiUnits(value));
}

std::optional<double> Hundredths(int value)
{
    if (value < 0) return std::nullopt;
    return value / 100.0;
}

}  // namespace

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
        add("Test Capacitance:", test.capacitanceText).Measure("Capacitance (\u00B5F)", Hundredths(test.capacitanceHundredths));
        add("Test Duration:", test.durationText).Measure("Test Duration (s)", test.sampleCount);
        const std::size_t duration = results.size() - 1;
        add("Hum Rejection Freq:", test.humFrequencyText).Measure("Hum Rejection Frequency (Hz)", test.humFrequencyHz);
        return duration;
    };
    // The measured temperature, and with it the tester's equivalent resistances.
    const auto temperature = [&] {
        if (!test.hasTemperature) return;
        width = 0;
        add("D.U.T. TEMP:", test.temperatureText).Measure("Temperature (\u00B0F)", test.temperatureF);
        if (!HasEquivalentResistances(test)) return;
        const bool measured = test.hasEquivRes40C && !IsOverRange(test.equivRes40C);
        add("EQUIV RES @40C:", test.equivRes40CText)
            .Measure("Equivalent Resistance at 40 \u00B0C (\u03A9)", measured ? Si(test.equivRes40C) : std::nullopt);
        add("EQUIV RES @20C:", test.equivRes20CText)
            .Measure("Equivalent Resistance at 20 \u00B0C (\u03A9)",
                     measured ? Si({test.equivRes20C, test.equivRes40C.unit})
                              : std::nullopt);
    };

    switch (test.testType) {
    case 1:
    case 2:
        column = test.testType == 1 ? PageColumn::Indent : PageColumn::Centre20;
        width = 23;
        add("Final Test Resistance:", test.finalResistanceText)
            .Measure("Final Test Resistance (\u03A9)", Si(test.finalResistance));
        add("Final Test Voltage:", test.testVoltageText).Measure("Test Voltage (V)", test.testVoltage);
        add("Final Test Current:", test.finalCurrentText).Measure("Final Test Current (A)", Si(test.finalCurrent));
        conditions();
        temperature();
        break;
    case 3: {
        column = PageColumn::Indent;
        width = 20;
        add("PI Ratio:", test.piRatioText).Measure("PI Ratio", Hundredths(test.piRatioHundredths));
        // The page writes the readings' times as "RES @  mm:ss =", the workbook without the "=".
        add("RES @  01:00", test.resistanceAt1MinText)
            .Measure("Resistance at 01:00 (\u03A9)", Si(test.resistanceAt1Min))
            .pageLabel = "RES @  01:00 =";
        char label[32];
        std::snprintf(label, sizeof label, "RES @  %02d:%02d", test.sampleCount / 60, test.sampleCount % 60);
        add(label, test.finalResistanceText)
            .Measure(std::string("Resistance at ") + (label + 7) + " (\u03A9)", Si(test.finalResistance))
            .pageLabel = std::string(label) + " =";
        add("Final Test Voltage:", test.testVoltageText).Measure("Test Voltage (V)", test.testVoltage);
        conditions();
        temperature();
        break;
    }
    case 4:
        column = PageColumn::Centre20;
        width = 20;
        // The page leaves a line free after the ratio.
        add("DD Ratio:", test.ddRatioText).Measure("DD Ratio", Hundredths(test.ddRatioHundredths)).linesAfter = 2;
        if (test.hasCapacitance)
            add("I @ TEST +1 MIN:", test.currentAt1MinText)
                .Measure("Current 1 min after the Test (A)", Si(test.currentAt1Min));
        add("Final Test Voltage:", test.testVoltageText).Measure("Test Voltage (V)", test.testVoltage);
        results[conditions()].linesAfter = 2;  // and after the duration
        temperature();
        break;
    case 5: {
        // The page lists each step's result; the workbook leaves them out.
        column = PageColumn::Centre20;
        for (int i = 0; i < test.stepCount && i < 5; ++i) add("", test.stepResultText[i]).inWorkbook = false;
        // The page sets two results on a line; the workbook writes the interval's unit into column C.
        column = PageColumn::Centre30;
        add("Step Interval:", test.stepIntervalText).Measure("Step Interval (s)", test.stepIntervalSeconds).unit = "MIN";
        add("Test Capacitance:", test.capacitanceText)
            .Measure("Capacitance (\u00B5F)", Hundredths(test.capacitanceHundredths))
            .joinSpaces = 3;
        width = 16;
        add("Test Duration:", test.durationText).Measure("Test Duration (s)", test.sampleCount);
        width = 0;
        add("Hum Rejection Freq:", test.humFrequencyText)
            .Measure("Hum Rejection Frequency (Hz)", test.humFrequencyHz)
            .joinSpaces = 2;
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
