#include "testfile/test_values.h"

#include <cstring>

#include "testfile/kel_format.h"

namespace kel {
namespace {

unsigned int Word(const unsigned char* header, std::size_t offset)
{
    return BigEndian16(header + offset);
}

// A reading that has the "over range" letter or a number.
Reading ReadingAt(const unsigned char* bytes)
{
    Reading reading;
    reading.tester = DecodeMeasuredValue(bytes);
    if (IsOverRange(reading.tester)) {
        reading.state = Presence::OverRange;
    } else {
        reading.state = Presence::Measured;
        reading.si = InSiUnits(reading.tester);
    }
    return reading;
}

std::optional<int> Count16(const unsigned char* header, std::size_t offset)
{
    const unsigned int word = Word(header, offset);
    if (word == kNotMeasured16) return std::nullopt;
    return static_cast<int>(word);
}

// A 20-byte header text up to its first NUL, into `text` (whose storage a scan of many files reuses).
void HeaderText(std::string& text, const unsigned char* field)
{
    const void* end = std::memchr(field, 0, kHeaderTextSize);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const unsigned char*>(end) - field) : kHeaderTextSize;
    text.assign(reinterpret_cast<const char*>(field), length);
}

void Digits(char* text, int value)
{
    text[0] = static_cast<char>('0' + value / 10 % 10);
    text[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

TestType TestTypeOf(int code)
{
    return code >= 1 && code <= 5 ? static_cast<TestType>(code) : TestType::Unknown;
}

Status NotATest(std::string why)
{
    Status status = Status::Of(Problem::NotATest);
    status.detail = std::move(why);
    return status;
}

Status CutShort(std::size_t size)
{
    return NotATest("cut short at byte " + std::to_string(size));
}

std::optional<double> TestValues::CapacitanceFarads() const
{
    if (!capacitanceHundredths) return std::nullopt;
    return *capacitanceHundredths * 1e-8;
}

std::optional<double> TestValues::TemperatureKelvin() const
{
    if (!temperatureF) return std::nullopt;
    return (*temperatureF - 32) * 5.0 / 9.0 + 273.15;
}

std::string TestValues::IsoDateTime() const
{
    char text[] = "2000-00-00T00:00:00";
    Digits(text + 2, dateParts[2]);
    Digits(text + 5, dateParts[0]);
    Digits(text + 8, dateParts[1]);
    Digits(text + 11, timeParts[0]);
    Digits(text + 14, timeParts[1]);
    Digits(text + 17, timeParts[2]);
    return text;
}

Status DecodeTestValues(std::span<const unsigned char> bytes, TestValues& values)
{
    if (bytes.size() < kMagicSize) return CutShort(bytes.size());
    if (!HasMagic(bytes.data())) return NotATest("no magic number");
    if (bytes.size() < kFileHeaderEnd) return CutShort(bytes.size());
    const unsigned char* header = bytes.data() + kPreambleSize;
    const int length = static_cast<int>(Word(header, kHeaderLength));
    if (length < static_cast<int>(kHeaderSize)) return NotATest("length below 160");

    // Every field is set, so that one TestValues can serve many decodes.
    TestValues& v = values;
    v.streamLength = length;
    v.sampleCount = (length - static_cast<int>(kHeaderSize)) / static_cast<int>(kSampleSize);
    v.testNumber = static_cast<int>(Word(header, kHeaderTestNumber));
    for (int i = 0; i < 3; ++i) {
        v.dateParts[i] = DecodeBcd(header[kHeaderDate + i]);
        v.timeParts[i] = DecodeBcd(header[kHeaderTime + i]);
    }
    v.typeCode = header[kHeaderTestType];
    v.type = TestTypeOf(v.typeCode);
    v.testVolts = static_cast<int>(Word(header, kHeaderTestVoltage));
    v.finalResistance = ReadingAt(header + kHeaderFinalResistance);
    v.finalCurrent = ReadingAt(header + kHeaderFinalCurrent);
    v.resistanceAt1Min = ReadingAt(header + kHeaderResistanceAt1Min);
    v.currentAt1Min = ReadingAt(header + kHeaderCurrentAt1Min);

    v.equivRes40C = {};
    v.equivRes20C = {};
    const unsigned char* equiv = header + kHeaderEquivRes40C;
    const bool equivMarker = equiv[0] == kNotMeasured8 && equiv[1] == kNotMeasured8 && equiv[2] == kNotMeasured8;
    if (v.type != TestType::DielectricDischarge && !equivMarker) {
        v.equivRes40C = ReadingAt(equiv);
        // Four times the 40 degree value, rounded to the float the tester's values are.
        v.equivRes20C.state = v.equivRes40C.state;
        v.equivRes20C.tester = {v.equivRes40C.tester.value * 4, v.equivRes40C.tester.unit};
        if (v.equivRes20C.Measured()) v.equivRes20C.si = InSiUnits(v.equivRes20C.tester);
    }

    const auto ratio = [&](std::size_t offset) -> std::optional<double> {
        if (const auto count = Count16(header, offset)) return *count / 100.0;
        return std::nullopt;
    };
    v.piRatio = ratio(kHeaderPiRatio);
    v.ddRatio = ratio(kHeaderDdRatio);
    v.capacitanceHundredths = Count16(header, kHeaderCapacitance);
    v.temperatureF.reset();
    if (header[kHeaderTemperature] != kNotMeasured8) v.temperatureF = header[kHeaderTemperature];
    v.humFrequencyHz = header[kHeaderHumFrequency] == 50 ? 50 : 60;

    v.stepIntervalSeconds = 0;
    v.stepCount = 0;
    v.steps = {};
    if (v.type == TestType::StepVoltage) {
        v.stepIntervalSeconds = header[kHeaderStepMinutes] * 60 + header[kHeaderStepSeconds];
        v.stepCount = v.stepIntervalSeconds == 0 ? 0 : v.sampleCount / v.stepIntervalSeconds;
        if (v.stepCount > 5) v.stepCount = 5;
        for (int i = 0; i < v.stepCount; ++i) {
            // Step 5 stands in the final resistance and the test voltage, right after steps 1-4.
            StepResult& step = v.steps[static_cast<std::size_t>(i)];
            step.endSecond = (i + 1) * v.stepIntervalSeconds;
            step.volts = static_cast<int>(Word(header, kHeaderStepVoltages + 2 * static_cast<std::size_t>(i)));
            step.resistance = ReadingAt(header + kHeaderStepResistances + 4 * static_cast<std::size_t>(i));
        }
    }

    HeaderText(v.operatorName, header + kHeaderOperator);
    HeaderText(v.description, header + kHeaderDescription);
    HeaderText(v.location, header + kHeaderLocation);
    HeaderText(v.company, header + kHeaderCompany);
    return {};
}

}  // namespace kel
