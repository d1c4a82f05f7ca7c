#include "tools/demo_set.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "platform/atomic_file.h"
#include "testfile/kel_format.h"
#include "testfile/kel_values.h"
#include "platform/names.h"

using namespace kel;

namespace {

// The tester reads no resistance above this; beyond it a sample's current reads 0.
constexpr double kOverRangeOhms = 65e12;

struct Step {
    int volts;
    double leakageOhms;  // the insulation's steady resistance at this voltage
};

struct DemoRecipe {
    int number;
    int type;
    int seconds;
    int volts;
    int temperatureF;     // 0xFF: not measured
    double capacitanceUf; // 0: not measured
    int humHz;
    int month, day, year, hour, minute, second;
    const char* operatorName;
    const char* description;
    const char* location;
    const char* company;
    double leakageOhms;   // steady resistance the curve rises towards
    double absorption;    // absorption current at 1 s, per volt
    double exponent;      // how fast the absorption current falls
    double ddRatio;       // type 4: the discharge ratio the tester measured
    int stepSeconds;      // type 5
    Step steps[5];        // type 5
};

const DemoRecipe kRecipes[] = {
    // A quick spot reading on a control cable.
    {1, 1, 45, 250, 0xFF, 0, 60, 11, 2, 26, 8, 12, 5, "T. OKAFOR", "CTRL CABLE C-14", "MCC ROOM 2", "HARBOR FOODS INC",
     820e6, 2.0e-10, 0.45, 0, 0, {}},
    // One-minute insulation test of a motor, with temperature and capacitance.
    {2, 2, 60, 1000, 68, 0.35, 60, 11, 2, 26, 9, 40, 12, "J. MARTINEZ", "PUMP MOTOR 3", "PUMP HOUSE B", "RIVERSIDE WATER",
     48e9, 9.0e-12, 0.55, 0, 0, {}},
    // Ten-minute polarization index of a generator stator, 5 kV.
    {3, 3, 600, 5000, 72, 1.25, 60, 11, 3, 26, 14, 5, 47, "J. MARTINEZ", "GEN 2 STATOR", "UNIT 2 TURBINE HALL",
     "RIVERSIDE WATER", 8e12, 7.9e-12, 0.62, 0, 0, {}},
    // Sixteen-minute dielectric discharge of a power cable.
    {4, 4, 960, 2500, 0xFF, 2.10, 60, 11, 4, 26, 10, 22, 30, "A. LINDQVIST", "FEEDER CABLE F7", "SUBSTATION NORTH",
     "FJORDVIK ENERGI", 620e9, 6.0e-12, 0.5, 1.80, 0, {}},
    // Five one-minute voltage steps on a transformer winding.
    {5, 5, 300, 5000, 0xFF, 0.80, 50, 11, 4, 26, 15, 1, 9, "A. LINDQVIST", "TRANSFORMER T2 HV-LV", "SUBSTATION NORTH",
     "FJORDVIK ENERGI", 0, 3.0e-12, 0.6, 0, 60,
     {{1000, 410e9}, {2000, 402e9}, {3000, 391e9}, {4000, 372e9}, {5000, 344e9}}},
    // A damp motor: low resistance that hardly rises, a poor PI, 50 Hz site.
    {6, 3, 600, 1000, 0xFF, 0, 50, 11, 5, 26, 7, 55, 3, "P. DUBOIS", "CONVEYOR MOTOR M12", "BAY 4 WASHDOWN",
     "VALLEE LAITIERE", 85e6, 1.5e-9, 0.5, 0, 0, {}},
    // Excellent new switchgear insulation that goes over range.
    {7, 2, 120, 5000, 75, 0.05, 60, 11, 6, 26, 11, 30, 0, "T. OKAFOR", "SWGR BUS A NEW", "MCC ROOM 2", "HARBOR FOODS INC",
     900e12, 4.0e-13, 0.9, 0, 0, {}},
};

// A history for the asset trend: yearly tests of two assets of the set above,
// in the folder "history". The pump motor's insulation absorbs moisture year by
// year, until its last test before the one above trips the flags; the feeder
// cable has two earlier one-minute tests.
struct HistoryRecipe {
    const char* fileName;
    DemoRecipe recipe;
};

const HistoryRecipe kHistory[] = {
    {"history/PumpMotor3-2021.kel",
     {101, 3, 600, 1000, 64, 0.34, 60, 11, 9, 21, 9, 15, 0, "J. MARTINEZ", "PUMP MOTOR 3", "PUMP HOUSE B",
      "RIVERSIDE WATER", 2e12, 4.0e-11, 0.60, 0, 0, {}}},
    {"history/PumpMotor3-2022.kel",
     {102, 3, 600, 1000, 61, 0.34, 60, 11, 8, 22, 10, 2, 0, "J. MARTINEZ", "PUMP MOTOR 3", "PUMP HOUSE B",
      "RIVERSIDE WATER", 1e12, 4.0e-11, 0.60, 0, 0, {}}},
    {"history/PumpMotor3-2023.kel",
     {103, 3, 600, 1000, 66, 0.35, 60, 11, 7, 23, 8, 40, 0, "R. CHEN", "PUMP MOTOR 3", "PUMP HOUSE B",
      "RIVERSIDE WATER", 0.6e12, 4.0e-11, 0.60, 0, 0, {}}},
    {"history/PumpMotor3-2024.kel",
     {104, 3, 600, 1000, 63, 0.35, 60, 11, 12, 24, 9, 5, 0, "R. CHEN", "PUMP MOTOR 3", "PUMP HOUSE B",
      "RIVERSIDE WATER", 0.35e12, 4.0e-11, 0.60, 0, 0, {}}},
    {"history/PumpMotor3-2025.kel",
     {105, 3, 600, 1000, 70, 0.36, 60, 11, 4, 25, 13, 20, 0, "J. MARTINEZ", "PUMP MOTOR 3", "PUMP HOUSE B",
      "RIVERSIDE WATER", 0.05e12, 4.0e-11, 0.60, 0, 0, {}}},
    {"history/FeederCableF7-2024.kel",
     {106, 2, 60, 2500, 50, 2.05, 60, 10, 28, 24, 11, 0, 0, "A. LINDQVIST", "FEEDER CABLE F7", "SUBSTATION NORTH",
      "FJORDVIK ENERGI", 900e9, 5.0e-12, 0.5, 0, 0, {}}},
    {"history/FeederCableF7-2025.kel",
     {107, 2, 60, 2500, 54, 2.08, 60, 10, 30, 25, 10, 45, 0, "A. LINDQVIST", "FEEDER CABLE F7", "SUBSTATION NORTH",
      "FJORDVIK ENERGI", 750e9, 5.5e-12, 0.5, 0, 0, {}}},
};

// A fixed pseudo-random sequence, so the demo files are the same on every run.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double Next()  // about -1 to 1
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    std::uint32_t state_;
};

void PutWord(std::vector<unsigned char>& header, std::size_t offset, unsigned int value)
{
    header[offset] = static_cast<unsigned char>(value >> 8);
    header[offset + 1] = static_cast<unsigned char>(value & 0xFF);
}

void PutText(std::vector<unsigned char>& header, std::size_t offset, const char* text)
{
    std::memcpy(&header[offset], text, std::min(std::strlen(text), kHeaderTextSize));
}

void PutResistance(std::vector<unsigned char>& header, std::size_t offset, double ohms)
{
    if (ohms == 0 || ohms > kOverRangeOhms) {
        EncodeMeasuredValue(65535, 'O', &header[offset]);
        return;
    }
    static constexpr struct {
        double scale;
        char unit;
    } kUnits[] = {{1e12, 'T'}, {1e9, 'G'}, {1e6, 'M'}, {1e3, 'K'}};
    for (const auto& unit : kUnits) {
        if (ohms >= unit.scale || unit.unit == 'K') {
            EncodeMeasuredValue(ohms / unit.scale, unit.unit, &header[offset]);
            return;
        }
    }
}

void PutCurrent(std::vector<unsigned char>& header, std::size_t offset, double amperes)
{
    static constexpr struct {
        double scale;
        char unit;
    } kUnits[] = {{1e-3, 'm'}, {1e-6, 'u'}, {1e-9, 'n'}, {1e-12, 'p'}};
    for (const auto& unit : kUnits) {
        if (amperes >= unit.scale || unit.unit == 'p') {
            EncodeMeasuredValue(amperes / unit.scale, unit.unit, &header[offset]);
            return;
        }
    }
}

double CelsiusOf(int fahrenheit)
{
    return (fahrenheit - 32) / 1.8;
}

std::vector<unsigned char> MakeStream(const DemoRecipe& recipe)
{
    std::vector<unsigned char> header(kHeaderSize, 0);
    Noise noise(static_cast<std::uint32_t>(recipe.number) * 7919u);

    // The curves: one voltage and current per second.
    std::vector<float> currents(static_cast<std::size_t>(recipe.seconds));
    std::vector<float> resistances(currents.size());
    std::vector<unsigned char> samples(currents.size() * kSampleSize);
    const double tau = 0.8 + recipe.capacitanceUf;  // charging time constant, seconds
    for (int k = 0; k < recipe.seconds; ++k) {
        const double t = k + 1.0;
        // Insulation answers each rise of the voltage with a charging spike and an
        // absorption current of its own; the currents of all rises add up.
        const int stepsSoFar = recipe.type == 5 ? std::min(k / recipe.stepSeconds, 4) + 1 : 1;
        double volts = 0;
        double responding = 0;
        for (int step = 0; step < stepsSoFar; ++step) {
            const int stepVolts = recipe.type == 5 ? recipe.steps[step].volts : recipe.volts;
            const double rise = stepVolts - volts;
            const double since = t - (recipe.type == 5 ? step * recipe.stepSeconds : 0);
            responding += rise * (recipe.capacitanceUf + 0.02) * 1e-6 / tau * std::exp(-since / tau) +
                          rise * recipe.absorption * std::pow(since, -recipe.exponent);
            volts = stepVolts;
        }
        const double leakage = recipe.type == 5 ? recipe.steps[stepsSoFar - 1].leakageOhms : recipe.leakageOhms;
        // The source ramps up over the first two seconds of every voltage.
        const double sinceRise = recipe.type == 5 ? t - (stepsSoFar - 1) * recipe.stepSeconds : t;
        if (sinceRise <= 2) volts *= sinceRise == 1 ? 0.62 : 0.96;
        volts *= 1.0 + 0.0015 * noise.Next();
        double amperes = (volts / leakage + responding) * (1.0 + 0.006 * noise.Next());
        if (volts / amperes > kOverRangeOhms) amperes = 0;
        EncodeSample(static_cast<std::uint16_t>(std::lround(volts)), amperes, &samples[k * kSampleSize]);
        const SampleValue decoded = DecodeSample(&samples[k * kSampleSize]);
        currents[k] = decoded.current;
        resistances[k] = decoded.resistance;
    }
    const auto at = [&](int second) { return static_cast<std::size_t>(std::min(second, recipe.seconds) - 1); };

    const int length = static_cast<int>(kHeaderSize + samples.size());
    PutWord(header, kHeaderLength, static_cast<unsigned int>(length));
    PutWord(header, kHeaderTestNumber, static_cast<unsigned int>(recipe.number));
    header[kHeaderDate + 0] = EncodeBcd(recipe.month);
    header[kHeaderDate + 1] = EncodeBcd(recipe.day);
    header[kHeaderDate + 2] = EncodeBcd(recipe.year);
    header[kHeaderTime + 0] = EncodeBcd(recipe.hour);
    header[kHeaderTime + 1] = EncodeBcd(recipe.minute);
    header[kHeaderTime + 2] = EncodeBcd(recipe.second);
    header[kHeaderTestType] = static_cast<unsigned char>(recipe.type);

    const double finalOhms = resistances.back();
    PutResistance(header, kHeaderFinalResistance, finalOhms);
    PutCurrent(header, kHeaderFinalCurrent, currents.back());
    PutWord(header, kHeaderTestVoltage, static_cast<unsigned int>(recipe.volts));

    if (recipe.type == 5) {
        for (int i = 0; i < 4; ++i) {
            PutResistance(header, kHeaderStepResistances + 4 * i, resistances[at((i + 1) * recipe.stepSeconds)]);
            PutWord(header, kHeaderStepVoltages + 2 * i, static_cast<unsigned int>(recipe.steps[i].volts));
        }
        header[kHeaderStepMinutes] = static_cast<unsigned char>(recipe.stepSeconds / 60);
        header[kHeaderStepSeconds] = static_cast<unsigned char>(recipe.stepSeconds % 60);
    } else {
        PutResistance(header, kHeaderResistanceAt1Min, resistances[at(60)]);
        // One minute after the test the discharge current is what remains of the
        // absorbed charge: the DD ratio is that current in nA over volts times uF.
        const double dischargeAmperes =
            recipe.type == 4 ? recipe.ddRatio * recipe.volts * recipe.capacitanceUf * 1e-9 : 0.0;
        PutCurrent(header, kHeaderCurrentAt1Min, dischargeAmperes);
    }

    // The ratios the tester computes for its test types; "none" otherwise.
    unsigned int piRatio = kNotMeasured16;
    if (recipe.type == 3 && recipe.seconds >= 600 && resistances[at(60)] > 0)
        piRatio = static_cast<unsigned int>(std::lround(100.0 * resistances[at(600)] / resistances[at(60)]));
    if (recipe.type == 3 && resistances[at(600)] == 0) piRatio = kNotMeasured16;
    PutWord(header, kHeaderPiRatio, piRatio);
    PutWord(header, kHeaderDdRatio,
            recipe.type == 4 ? static_cast<unsigned int>(std::lround(recipe.ddRatio * 100)) : kNotMeasured16);

    PutWord(header, kHeaderCapacitance,
            recipe.capacitanceUf > 0 ? static_cast<unsigned int>(std::lround(recipe.capacitanceUf * 100)) : kNotMeasured16);
    header[kHeaderTemperature] = static_cast<unsigned char>(recipe.temperatureF);
    header[kHeaderHumFrequency] = static_cast<unsigned char>(recipe.humHz);

    // The tester corrects the final resistance to 40 deg C (halving per 10 deg C)
    // when it knows the temperature.
    if (recipe.temperatureF != 0xFF && finalOhms > 0) {
        const double ohms40 = finalOhms * std::pow(0.5, (40.0 - CelsiusOf(recipe.temperatureF)) / 10.0);
        PutResistance(header, kHeaderEquivRes40C, ohms40);
    } else {
        std::memset(&header[kHeaderEquivRes40C], kNotMeasured8, 4);
    }

    PutText(header, kHeaderOperator, recipe.operatorName);
    PutText(header, kHeaderDescription, recipe.description);
    PutText(header, kHeaderLocation, recipe.location);
    PutText(header, kHeaderCompany, recipe.company);

    header.insert(header.end(), samples.begin(), samples.end());
    return header;
}

}  // namespace

std::vector<DemoTest> MakeDemoTests()
{
    std::vector<DemoTest> tests;
    for (const DemoRecipe& recipe : kRecipes) {
        DemoTest test;
        test.testNumber = recipe.number;
        test.fileName = "Test" + std::to_string(recipe.number) + ".kel";
        test.stream = MakeStream(recipe);
        tests.push_back(std::move(test));
    }
    return tests;
}

std::vector<DemoTest> MakeDemoHistory()
{
    std::vector<DemoTest> tests;
    for (const HistoryRecipe& entry : kHistory) {
        DemoTest test;
        test.testNumber = entry.recipe.number;
        test.fileName = entry.fileName;
        test.stream = MakeStream(entry.recipe);
        tests.push_back(std::move(test));
    }
    return tests;
}

std::vector<unsigned char> TestFileBytes(const std::vector<unsigned char>& stream)
{
    std::vector<unsigned char> bytes(kPreambleSize + stream.size());
    std::copy(std::begin(kPreamble), std::end(kPreamble), bytes.begin());
    std::copy(stream.begin(), stream.end(), bytes.begin() + kPreambleSize);
    return bytes;
}

bool WriteDemoTests(const std::string& folderName, std::vector<std::string>* written, std::string* error,
                    bool replace)
{
    const std::filesystem::path folder = platform::PathOf(folderName);
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        *error = "Can't create folder " + folderName + ": " + code.message();
        return false;
    }
    std::vector<DemoTest> tests = MakeDemoTests();
    for (DemoTest& test : MakeDemoHistory()) tests.push_back(std::move(test));
    // Every name is looked at before anything is written: the history folder
    // must be a folder (or free), and without `replace` no test name may be taken.
    const std::filesystem::path history = folder / "history";
    const auto historyType = std::filesystem::symlink_status(history, code).type();
    if (historyType != std::filesystem::file_type::not_found && !std::filesystem::is_directory(history, code)) {
        *error = platform::NameOf(history) + " exists and is no folder; nothing was written";
        return false;
    }
    if (!replace) {
        // Download names: a test folder may hold real tests under them. Write nothing then.
        std::string inTheWay;
        for (const DemoTest& test : tests) {
            const std::filesystem::path target = std::filesystem::path(folder / test.fileName).make_preferred();
            if (std::filesystem::symlink_status(target, code).type() != std::filesystem::file_type::not_found)
                inTheWay += "\n  " + platform::NameOf(target);
        }
        if (!inTheWay.empty()) {
            *error = "these files exist already; nothing was written (--force replaces them):" + inTheWay;
            return false;
        }
    }
    std::filesystem::create_directories(history, code);
    if (code) {
        *error = "Can't create folder " + platform::NameOf(history) + ": " + code.message();
        return false;
    }
    const platform::Existing existing = replace ? platform::Existing::Replace : platform::Existing::Keep;
    for (const DemoTest& test : tests) {
        const std::filesystem::path target = std::filesystem::path(folder / test.fileName).make_preferred();
        const std::vector<unsigned char> bytes = TestFileBytes(test.stream);
        if (!platform::WriteWholeFile(target, bytes.data(), bytes.size(), existing)) {
            *error = "Can't write file " + platform::NameOf(target);
            return false;
        }
        if (written) written->push_back(platform::NameOf(target));
    }
    return true;
}
