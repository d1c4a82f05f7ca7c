// The facts of one test, decoded once from its file's header: typed, in SI
// units, each measurement with an explicit state. Every reader of a test's
// numbers (the test record's texts, the asset trend, the readings workbook, the
// command-line tool's JSON) starts from this form instead of the header bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "status/status.h"
#include "testfile/kel_values.h"

namespace kel {

// The tester's test types, by their header code.
enum class TestType : int {
    Unknown = 0,
    Resistance = 1,
    InsulationResistance = 2,
    PolarizationIndex = 3,
    DielectricDischarge = 4,
    StepVoltage = 5,
};

// The type of a header code; Unknown outside 1-5.
TestType TestTypeOf(int code);

enum class Presence : unsigned char {
    NotMeasured,  // the tester wrote its "not measured" marker, or the type has no such value
    Measured,
    OverRange,    // the unit letter 'O': above what the tester measures, no number
};

// A four-byte reading of the header: the tester's number and unit letter (which
// the record's texts print as they stand) and, when measured, the value in SI
// units (ohms, amperes).
struct Reading {
    Presence state = Presence::NotMeasured;
    MeasuredValue tester;
    double si = 0;

    bool Measured() const { return state == Presence::Measured; }
    std::optional<double> Si() const { return Measured() ? std::optional<double>(si) : std::nullopt; }
};

// One step of a step-voltage test: when it ended, its voltage and its resistance.
struct StepResult {
    int endSecond = 0;
    int volts = 0;
    Reading resistance;
};

struct TestValues {
    int streamLength = 0;  // L: header and samples, in bytes
    int testNumber = 0;
    int dateParts[3] = {};  // as the header orders them: month, day, two-digit year
    int timeParts[3] = {};  // hour, minute, second
    int typeCode = 0;       // the header's byte, also outside 1-5
    TestType type = TestType::Unknown;
    int sampleCount = 0;  // one a second: the test's duration in seconds
    int testVolts = 0;

    Reading finalResistance;
    Reading finalCurrent;
    Reading resistanceAt1Min;  // polarization index: the tester's one-minute reading
    Reading currentAt1Min;     // dielectric discharge: the current a minute after the test
    // The tester's equivalents at 40 and 20 degrees C of the final resistance
    // (the 20 degree value is four times the 40 degree one); not measured for a
    // dielectric-discharge test, which has none.
    Reading equivRes40C;
    Reading equivRes20C;

    std::optional<double> piRatio;  // plain ratios
    std::optional<double> ddRatio;
    std::optional<int> capacitanceHundredths;  // the tester's count: hundredths of a microfarad
    std::optional<int> temperatureF;           // the tester's degrees Fahrenheit
    int humFrequencyHz = 60;                   // 50 or 60

    int stepIntervalSeconds = 0;  // step voltage only
    int stepCount = 0;            // up to 5
    std::array<StepResult, 5> steps{};

    // The four header texts, Latin-1, up to the first NUL.
    std::string operatorName, description, location, company;

    std::optional<double> CapacitanceFarads() const;
    std::optional<double> TemperatureKelvin() const;
    // "20YY-MM-DDThh:mm:ss", the tester's local time.
    std::string IsoDateTime() const;
};

// Decodes the header of a test file's bytes (preamble, header, and whatever
// follows). Ok, or NotATest with the reason in `detail`: "no magic number",
// "cut short at byte N", "length below 160". `values` is set only on Ok.
Status DecodeTestValues(std::span<const unsigned char> fileBytes, TestValues& values);

// NotATest, saying why (see above).
Status NotATest(std::string why);
// NotATest for a file whose bytes end at `size`.
Status CutShort(std::size_t size);

}  // namespace kel
