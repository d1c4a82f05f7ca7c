#include "testfile/results_description.h"

#include <cstdarg>
#include <cstdio>

#include "testfile/kel_file.h"
#include "testfile/kel_values.h"
#include "services/message_box.h"

namespace {

// The reading in SI units, to the float precision the tester measures with
// (123.45 G is 123449999360 ohms, not 123449996948.24).
std::optional<double> Si(const kel::Reading& reading)
{
    if (!reading.Measured()) return std::nullopt;
    return static_cast<float>(reading.si);
}

std::optional<double> Hundredths(const std::optional<int>& count)
{
    if (!count) return std::nullopt;
    return *count / 100.0;
}

std::string Printed(const char* format, ...) KEL_PRINTF_FORMAT(1, 2);

std::string Printed(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace

bool HasEquivalentResistances(kel::TestType type)
{
    return type != kel::TestType::DielectricDischarge;
}

bool HasEquivalentResistances(const CKELFile& test)
{
    return HasEquivalentResistances(kel::TestTypeOf(test.testType));
}

bool HasTimeTable(kel::TestType type)
{
    return type == kel::TestType::Resistance || type == kel::TestType::PolarizationIndex;
}

bool HasTimeTable(const CKELFile& test)
{
    return HasTimeTable(kel::TestTypeOf(test.testType));
}

bool HasSteps(kel::TestType type)
{
    return type == kel::TestType::StepVoltage;
}

bool HasSteps(const CKELFile& test)
{
    return HasSteps(kel::TestTypeOf(test.testType));
}

std::vector<TestResult> DescribeResults(const CKELFile& test)
{
    using kel::TestType;
    const kel::TestValues& values = test.values;
    std::vector<TestResult> results;
    PageColumn column = PageColumn::Indent;
    // A result in the type's column: its workbook label and value, and its page line.
    const auto add = [&](const char* label, const char* value, std::string pageLine) -> TestResult& {
        TestResult result;
        result.label = label;
        result.value = value;
        result.pageLine = std::move(pageLine);
        result.column = column;
        results.push_back(std::move(result));
        return results.back();
    };
    // The measured temperature, and with it the tester's equivalent resistances.
    const auto temperature = [&] {
        if (!test.hasTemperature) return;
        add("D.U.T. TEMP:", test.temperatureText, Printed("D.U.T. TEMP: %s", test.temperatureText))
            .Measure("Temperature (\u00B0F)", values.temperatureF);
        if (!HasEquivalentResistances(test)) return;
        add("EQUIV RES @40C:", test.equivRes40CText, Printed("EQUIV RES @40C: %s", test.equivRes40CText))
            .Measure("Equivalent Resistance at 40 \u00B0C (\u03A9)", Si(values.equivRes40C));
        add("EQUIV RES @20C:", test.equivRes20CText, Printed("EQUIV RES @20C: %s", test.equivRes20CText))
            .Measure("Equivalent Resistance at 20 \u00B0C (\u03A9)", Si(values.equivRes20C));
    };
    // Quantities the types share.
    const auto capacitance = [&](TestResult& result) -> TestResult& {
        return result.Measure("Capacitance (\u00B5F)", Hundredths(values.capacitanceHundredths));
    };
    const auto voltage = [&](TestResult& result) -> TestResult& {
        return result.Measure("Test Voltage (V)", values.testVolts);
    };
    const auto duration = [&](TestResult& result) -> TestResult& {
        return result.Measure("Test Duration (s)", values.sampleCount);
    };
    const auto hum = [&](TestResult& result) -> TestResult& {
        return result.Measure("Hum Rejection Frequency (Hz)", values.humFrequencyHz);
    };

    switch (kel::TestTypeOf(test.testType)) {
    case TestType::Resistance:
    case TestType::InsulationResistance:
        column = kel::TestTypeOf(test.testType) == TestType::Resistance ? PageColumn::Indent : PageColumn::Centre20;
        add("Final Test Resistance:", test.finalResistanceText,
            Printed("Final Test Resistance: %s", test.finalResistanceText))
            .Measure("Final Test Resistance (\u03A9)", Si(values.finalResistance));
        voltage(add("Final Test Voltage:", test.testVoltageText, Printed("Final Test Voltage:    %s", test.testVoltageText)));
        add("Final Test Current:", test.finalCurrentText, Printed("Final Test Current:    %s", test.finalCurrentText))
            .Measure("Final Test Current (A)", Si(values.finalCurrent));
        capacitance(add("Test Capacitance:", test.capacitanceText, Printed("Test Capacitance:      %s", test.capacitanceText)));
        duration(add("Test Duration:", test.durationText, Printed("Test Duration:         %s", test.durationText)));
        hum(add("Hum Rejection Freq:", test.humFrequencyText, Printed("Hum Rejection Freq:    %s", test.humFrequencyText)));
        temperature();
        break;
    case TestType::PolarizationIndex: {
        column = PageColumn::Indent;
        const int minutes = test.sampleCount / 60;
        const int seconds = test.sampleCount % 60;
        add("PI Ratio:", test.piRatioText, Printed("PI Ratio:           %s", test.piRatioText))
            .Measure("PI Ratio", values.piRatio);
        add("RES @  01:00", test.resistanceAt1MinText, Printed("RES @  01:00 =      %s", test.resistanceAt1MinText))
            .Measure("Resistance at 01:00 (\u03A9)", Si(values.resistanceAt1Min));
        add(Printed("RES @  %02d:%02d", minutes, seconds).c_str(), test.finalResistanceText,
            Printed("RES @  %02d:%02d =      %s", minutes, seconds, test.finalResistanceText))
            .Measure(Printed("Resistance at %02d:%02d (\u03A9)", minutes, seconds), Si(values.finalResistance));
        voltage(add("Final Test Voltage:", test.testVoltageText, Printed("Final Test Voltage: %s", test.testVoltageText)));
        capacitance(add("Test Capacitance:", test.capacitanceText, Printed("Test Capacitance:   %s", test.capacitanceText)));
        duration(add("Test Duration:", test.durationText, Printed("Test Duration:      %s", test.durationText)));
        hum(add("Hum Rejection Freq:", test.humFrequencyText, Printed("Hum Rejection Freq: %s", test.humFrequencyText)));
        temperature();
        break;
    }
    case TestType::DielectricDischarge:
        column = PageColumn::Centre20;
        // The page leaves a line free after the ratio.
        add("DD Ratio:", test.ddRatioText, Printed("DD Ratio:           %s", test.ddRatioText))
            .Measure("DD Ratio", values.ddRatio)
            .linesAfter = 2;
        if (test.hasCapacitance)
            add("I @ TEST +1 MIN:", test.currentAt1MinText, Printed("I @ TEST +1 MIN:    %s", test.currentAt1MinText))
                .Measure("Current 1 min after the Test (A)", Si(values.currentAt1Min));
        voltage(add("Final Test Voltage:", test.testVoltageText, Printed("Final Test Voltage: %s", test.testVoltageText)));
        capacitance(add("Test Capacitance:", test.capacitanceText, Printed("Test Capacitance:   %s", test.capacitanceText)));
        // The page leaves a line free after the duration too.
        duration(add("Test Duration:", test.durationText, Printed("Test Duration:      %s", test.durationText)))
            .linesAfter = 2;
        hum(add("Hum Rejection Freq:", test.humFrequencyText, Printed("Hum Rejection Freq: %s", test.humFrequencyText)));
        temperature();
        break;
    case TestType::StepVoltage:
        // The page lists each step's result; the workbook leaves them out.
        column = PageColumn::Centre20;
        for (int i = 0; i < test.stepCount && i < 5; ++i) add("", "", test.stepResultText[i]).inWorkbook = false;
        // The page sets two results on a line; the workbook writes the interval's unit into column C.
        column = PageColumn::Centre30;
        add("Step Interval:", test.stepIntervalText,
            Printed("Step Interval: %s MIN   Test Capacitance: %s", test.stepIntervalText, test.capacitanceText))
            .Measure("Step Interval (s)", values.stepIntervalSeconds)
            .unit = "MIN";
        capacitance(add("Test Capacitance:", test.capacitanceText, "")).onPage = false;
        duration(add("Test Duration:", test.durationText,
                     Printed("Test Duration:  %s  Hum Rejection Freq: %s", test.durationText, test.humFrequencyText)));
        hum(add("Hum Rejection Freq:", test.humFrequencyText, "")).onPage = false;
        temperature();
        break;
    case TestType::Unknown:
        break;  // an unknown type has no results
    }
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
        const int n = t < 60 ? t : t / 60;
        const char* unit = t < 60 ? "sec" : "min";
        entries.push_back({t, index, Printed("R@%d%s :", n, unit), text, Printed("R@%d%s : %s", n, unit, text)});
    }
    return entries;
}
