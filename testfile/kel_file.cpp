#include "testfile/kel_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "testfile/kel_format.h"
#include "testfile/same_test.h"
#include "testfile/results_description.h"

using namespace kel;

namespace {

// A test file is at most the preamble and a 16-bit stream; Save reads no more than a few times that.
constexpr std::size_t kLargestFile = 16 * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

unsigned int Word(const unsigned char* header, std::size_t offset)
{
    return static_cast<unsigned int>(header[offset]) << 8 | header[offset + 1];
}

bool HasMagic(const unsigned char* bytes)
{
    const std::uint32_t magic = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return magic == kMagic;
}

// Copies a 20-byte header text, stopping at the first NUL, always terminated.
void CopyHeaderText(char (&text)[kHeaderTextSize + 1], const unsigned char* field)
{
    std::size_t length = 0;
    while (length < kHeaderTextSize && field[length] != 0) ++length;
    std::memcpy(text, field, length);
    text[length] = 0;
}

// Sample bytes announced by the header's L, or -1 when L is below the header size.
long SampleCount(const unsigned char* header)
{
    const long length = static_cast<long>(Word(header, kHeaderLength));
    if (length < static_cast<long>(kHeaderSize)) return -1;
    return (length - static_cast<long>(kHeaderSize)) / static_cast<long>(kSampleSize);
}

}  // namespace

CKELFile::~CKELFile() = default;

Status CKELFile::Load(const std::string& filePath, int withSamples)
{
    path.clear();
    const Status cantOpen = Status::File(Problem::CantOpenFile, filePath);

    FilePtr file(platform::OpenRegularFile(filePath, "rb"));
    if (!file) return cantOpen;
    // Every read below is one piece; a stream buffer would only copy it twice.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);

    // The header first; the samples it announces only when they are wanted, read
    // after it into one buffer that nothing fills first.
    unsigned char head[kFileHeaderEnd];
    std::size_t got = std::fread(head, 1, sizeof head, file.get());
    // Opened but unreadable: a folder named like a test file, or a device error.
    if (got < sizeof head && std::ferror(file.get())) return cantOpen;
    std::unique_ptr<unsigned char[]> whole;
    const unsigned char* bytes = head;
    bool readToEnd = got < sizeof head;
    if (withSamples && got == kFileHeaderEnd) {
        const long count = SampleCount(head + kPreambleSize);
        if (count > 0) {
            const std::size_t rawSize = static_cast<std::size_t>(count) * kSampleSize;
            // One byte more than announced tells, in the same read, whether the file ends with the test.
            whole.reset(new (std::nothrow) unsigned char[kFileHeaderEnd + rawSize + 1]);
            if (!whole) return Status::Of(Problem::NotATest);
            std::memcpy(whole.get(), head, kFileHeaderEnd);
            const std::size_t read = std::fread(whole.get() + kFileHeaderEnd, 1, rawSize + 1, file.get());
            readToEnd = read <= rawSize;
            got += std::min(read, rawSize);
            bytes = whole.get();
        }
    }
    Status decoded = Decode({bytes, got}, withSamples);
    if (decoded) {
        path = filePath;
        loadedBytes_.assign(bytes, bytes + got);
        loadedWholeFile_ = readToEnd;
    }
    return decoded;
}

Status CKELFile::DecodeValues(std::span<const unsigned char> bytes)
{
    if (bytes.size() < kFileHeaderEnd || !HasMagic(bytes.data()) || SampleCount(bytes.data() + kPreambleSize) < 0)
        return Status::Of(Problem::NotATest);
    DecodeValues(bytes.data() + kPreambleSize);
    return {};
}

Status CKELFile::Decode(std::span<const unsigned char> bytes, int withSamples)
{
    const Status notATest = Status::Of(Problem::NotATest);
    if (bytes.size() < kMagicSize || !HasMagic(bytes.data())) return notATest;
    // A file cut short inside its header, or announcing fewer than zero samples,
    // holds no test; the record keeps what it had.
    if (bytes.size() < kFileHeaderEnd) return notATest;
    const unsigned char* header = bytes.data() + kPreambleSize;
    const long count = SampleCount(header);
    if (count < 0) return notATest;

    std::unique_ptr<float[]> newCurrents;
    std::unique_ptr<float[]> newResistances;
    std::unique_ptr<float[]> newVoltages;
    if (withSamples) {
        const std::size_t rawSize = static_cast<std::size_t>(count) * kSampleSize;
        if (bytes.size() - kFileHeaderEnd < rawSize) return notATest;
        newCurrents.reset(new (std::nothrow) float[count]);
        newResistances.reset(new (std::nothrow) float[count]);
        newVoltages.reset(new (std::nothrow) float[count]);
        if (!newCurrents || !newResistances || !newVoltages) return notATest;
        const unsigned char* raw = bytes.data() + kFileHeaderEnd;
        DecodeSamples(raw, static_cast<int>(count), newCurrents.get(), newResistances.get());
        for (long k = 0; k < count; ++k) newVoltages[k] = static_cast<float>(Word(raw + k * kSampleSize, 0));
    }

    DecodeHeader(header);
    currents = std::move(newCurrents);
    resistances = std::move(newResistances);
    voltages = std::move(newVoltages);
    return {};
}

void CKELFile::DecodeValues(const unsigned char* header)
{
    testNumber = static_cast<int>(Word(header, kHeaderTestNumber));
    for (int i = 0; i < 3; ++i) {
        dateParts[i] = DecodeBcd(header[kHeaderDate + i]);
        timeParts[i] = DecodeBcd(header[kHeaderTime + i]);
    }
    testType = header[kHeaderTestType];
    CopyHeaderText(operatorName, header + kHeaderOperator);
    CopyHeaderText(description, header + kHeaderDescription);
    CopyHeaderText(location, header + kHeaderLocation);
    CopyHeaderText(company, header + kHeaderCompany);
    sampleCount = static_cast<int>(SampleCount(header));
    finalCurrent = DecodeMeasuredValue(header + kHeaderFinalCurrent);
    finalResistance = DecodeMeasuredValue(header + kHeaderFinalResistance);
    testVoltage = static_cast<int>(Word(header, kHeaderTestVoltage));
    // A dielectric-discharge test carries no equivalent resistance: those fields stay as they were.
    if (HasEquivalentResistances(*this)) {
        const unsigned char* equiv = header + kHeaderEquivRes40C;
        hasEquivRes40C =
            equiv[0] == kNotMeasured8 && equiv[1] == kNotMeasured8 && equiv[2] == kNotMeasured8 ? 0 : 1;
        if (hasEquivRes40C) {
            equivRes40C = DecodeMeasuredValue(equiv);
            equivRes20C = equivRes40C.value * 4;
        }
    }
    hasCapacitance = Word(header, kHeaderCapacitance) == kNotMeasured16 ? 0 : 1;
    hasTemperature = header[kHeaderTemperature] != kNotMeasured8 ? 1 : 0;
    const auto hundredths = [&](std::size_t offset) {
        const unsigned int word = Word(header, offset);
        return word == kNotMeasured16 ? -1 : static_cast<int>(word);
    };
    piRatioHundredths = hundredths(kHeaderPiRatio);
    ddRatioHundredths = hundredths(kHeaderDdRatio);
    capacitanceHundredths = hundredths(kHeaderCapacitance);
    temperatureF = hasTemperature ? header[kHeaderTemperature] : -1;
    humFrequencyHz = header[kHeaderHumFrequency] == 50 ? 50 : 60;
    resistanceAt1Min = DecodeMeasuredValue(header + kHeaderResistanceAt1Min);
    currentAt1Min = DecodeMeasuredValue(header + kHeaderCurrentAt1Min);
    if (testType == 5) {
        stepIntervalSeconds = header[kHeaderStepMinutes] * 60 + header[kHeaderStepSeconds];
        stepCount = stepIntervalSeconds == 0 ? 0 : sampleCount / stepIntervalSeconds;
        if (stepCount > 5) stepCount = 5;
        for (int i = 0; i < stepCount; ++i) {
            // Step 5 stands in the final resistance and the test voltage, right after steps 1-4.
            stepVolts[i] = static_cast<int>(Word(header, kHeaderStepVoltages + 2 * i));
            stepResistances[i] = DecodeMeasuredValue(header + kHeaderStepResistances + 4 * i);
        }
    }
}

void CKELFile::DecodeHeader(const unsigned char* header)
{
    DecodeValues(header);
    std::snprintf(dateText, sizeof dateText, "%02d/%02d/%02d", dateParts[0], dateParts[1], dateParts[2]);
    std::snprintf(timeText, sizeof timeText, "%02d:%02d:%02d", timeParts[0], timeParts[1], timeParts[2]);
    std::snprintf(dateTimeText, sizeof dateTimeText, "%s %s", dateText, timeText);
    std::snprintf(testTypeName, sizeof testTypeName, "%s", TestTypeName(testType));
    std::snprintf(testTypeCode, sizeof testTypeCode, "%s", TestTypeShortCode(testType));
    std::snprintf(durationText, sizeof durationText, "%02d:%02d MIN", sampleCount / 60, sampleCount % 60);
    std::snprintf(humFrequencyText, sizeof humFrequencyText, "%s",
                  header[kHeaderHumFrequency] == 50 ? "50 HZ" : "60 HZ");

    std::snprintf(finalCurrentText, sizeof finalCurrentText, "%3.3f %cA", finalCurrent.value, finalCurrent.unit);
    if (finalResistance.unit == 'O' || finalResistance.unit == 'o')
        std::snprintf(finalResistanceText, sizeof finalResistanceText, "> 65 T");
    else
        std::snprintf(finalResistanceText, sizeof finalResistanceText, "%3.3f %c", finalResistance.value,
                      finalResistance.unit);
    std::snprintf(testVoltageText, sizeof testVoltageText, "%d V", testVoltage);

    if (HasEquivalentResistances(*this)) {
        if (!hasEquivRes40C) {
            std::snprintf(equivRes40CText, sizeof equivRes40CText, "Not Measured");
            std::snprintf(equivRes20CText, sizeof equivRes20CText, "Not Measured");
        } else {
            std::snprintf(equivRes40CText, sizeof equivRes40CText, "%3.3f %c", equivRes40C.value, equivRes40C.unit);
            std::snprintf(equivRes20CText, sizeof equivRes20CText, "%.3lf %c", static_cast<double>(equivRes20C),
                          equivRes40C.unit);
        }
    }

    if (!hasCapacitance) {
        std::snprintf(capacitanceText, sizeof capacitanceText, "N/A");
    } else {
        const float microfarads = static_cast<float>(Word(header, kHeaderCapacitance) / 100.0);
        std::snprintf(capacitanceText, sizeof capacitanceText, "%3.2f uF", microfarads);
    }

    const unsigned int piRatio = Word(header, kHeaderPiRatio);
    if (piRatio == kNotMeasured16) std::snprintf(piRatioText, sizeof piRatioText, "N/A");
    else std::snprintf(piRatioText, sizeof piRatioText, "%3.3f", piRatio / 100.0);
    const unsigned int ddRatio = Word(header, kHeaderDdRatio);
    if (ddRatio == kNotMeasured16) std::snprintf(ddRatioText, sizeof ddRatioText, "N/A");
    else std::snprintf(ddRatioText, sizeof ddRatioText, "%3.3f", ddRatio / 100.0);

    std::snprintf(resistanceAt1MinText, sizeof resistanceAt1MinText, "%3.3f %c", resistanceAt1Min.value,
                  resistanceAt1Min.unit);
    std::snprintf(currentAt1MinText, sizeof currentAt1MinText, "%3.3f %cA", currentAt1Min.value,
                  currentAt1Min.unit);

    if (hasTemperature) std::snprintf(temperatureText, sizeof temperatureText, "%d F", header[kHeaderTemperature]);

    if (testType == 5) {
        std::snprintf(stepIntervalText, sizeof stepIntervalText, "%02d:%02d", stepIntervalSeconds / 60,
                      stepIntervalSeconds % 60);
        for (int i = 0; i < stepCount; ++i) {
            const int t = (i + 1) * stepIntervalSeconds;
            const MeasuredValue& resistance = stepResistances[i];
            const int volts = stepVolts[i];
            if (resistance.unit == 'O')
                std::snprintf(stepResultText[i], sizeof stepResultText[i], "AT %02d:%02d, %5dV,  R = > 65 T",
                              t / 60, t % 60, volts);
            else
                std::snprintf(stepResultText[i], sizeof stepResultText[i], "AT %02d:%02d, %5dV,  R = %3.2f %c",
                              t / 60, t % 60, volts, resistance.value, resistance.unit);
        }
    }
}

Status CKELFile::WriteHeaderTexts()
{
    if (path.empty()) return Status::Of(Problem::NotATest);
    const std::string name = std::filesystem::path(path).filename().string();

    // The file a link leads to is the one saved; the link stays a link.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error) return Status::File(Problem::CantOpenFile, path);
    std::vector<unsigned char> bytes;
    platform::FileIdentity identity;
    if (!platform::ReadFileStart(target.string(), kLargestFile + 1, bytes, identity))
        return Status::File(Problem::CantOpenFile, path);
    // Still the test that was loaded, texts aside (they may have been saved already)? What the
    // load read (the header, and the samples it announces when they were loaded) is compared.
    const bool same = bytes.size() >= kFileHeaderEnd && loadedBytes_.size() <= bytes.size() &&
                      (!loadedWholeFile_ || loadedBytes_.size() == bytes.size()) &&
                      kel::CompareTests(loadedBytes_, std::span(bytes).first(loadedBytes_.size())) !=
                          kel::Sameness::Different;
    if (!same || !HasMagic(bytes.data())) return Status::File(Problem::ChangedSinceOpened, name);

    const struct {
        std::size_t offset;
        const char* text;
    } fields[] = {
        {kHeaderOperator, operatorName},
        {kHeaderDescription, description},
        {kHeaderLocation, location},
        {kHeaderCompany, company},
    };
    for (const auto& field : fields) {
        unsigned char* text = bytes.data() + kPreambleSize + field.offset;
        std::memset(text, 0, kHeaderTextSize);
        const void* end = std::memchr(field.text, 0, kHeaderTextSize);
        std::memcpy(text, field.text, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field.text)
                                          : kHeaderTextSize);
    }
    platform::AtomicFile file;
    if (!file.Open(target)) return Status::File(Problem::CantWriteFile, path);
    file.KeepModeOf(target);
    if (!file.Write(bytes.data(), bytes.size()) || !file.Commit(platform::Existing::Replace))
        return Status::File(Problem::CantWriteFile, path);
    // What the file holds now is what a later save compares with.
    loadedBytes_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(loadedBytes_.size()));
    return {};
}
