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
#include "testfile/test_values.h"
#include "platform/names.h"

using namespace kel;

namespace {

// A test file is at most the preamble and a 16-bit stream; Save reads no more than a few times that.
constexpr std::size_t kLargestFile = 16 * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Copies a header text into a record field, always terminated.
void CopyText(char (&field)[kHeaderTextSize + 1], const std::string& text)
{
    std::snprintf(field, sizeof field, "%s", text.c_str());
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
        const long count = (static_cast<long>(BigEndian16(head + kPreambleSize + kHeaderLength)) -
                            static_cast<long>(kHeaderSize)) / static_cast<long>(kSampleSize);
        if (count > 0) {
            const std::size_t rawSize = static_cast<std::size_t>(count) * kSampleSize;
            // One byte more than announced tells, in the same read, whether the file ends with the test.
            whole.reset(new (std::nothrow) unsigned char[kFileHeaderEnd + rawSize + 1]);
            if (!whole) return kel::NotATest("too large to read");
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

Status CKELFile::Decode(std::span<const unsigned char> bytes, int withSamples)
{
    // A file that holds no test, or is cut short inside its samples, leaves the record as it was.
    kel::TestValues decoded;
    if (Status header = kel::DecodeTestValues(bytes, decoded); !header) return header;
    const int count = decoded.sampleCount;

    std::unique_ptr<float[]> newCurrents;
    std::unique_ptr<float[]> newResistances;
    std::unique_ptr<float[]> newVoltages;
    if (withSamples) {
        const std::size_t rawSize = static_cast<std::size_t>(count) * kSampleSize;
        if (bytes.size() - kFileHeaderEnd < rawSize) return kel::CutShort(bytes.size());
        newCurrents.reset(new (std::nothrow) float[static_cast<std::size_t>(count)]);
        newResistances.reset(new (std::nothrow) float[static_cast<std::size_t>(count)]);
        newVoltages.reset(new (std::nothrow) float[static_cast<std::size_t>(count)]);
        if (!newCurrents || !newResistances || !newVoltages) return kel::NotATest("too large to read");
        const unsigned char* raw = bytes.data() + kFileHeaderEnd;
        DecodeSamples(raw, count, newCurrents.get(), newResistances.get());
        for (int k = 0; k < count; ++k)
            newVoltages[k] = static_cast<float>(BigEndian16(raw + static_cast<std::size_t>(k) * kSampleSize));
    }

    Fill(decoded);
    values = std::move(decoded);
    currents = std::move(newCurrents);
    resistances = std::move(newResistances);
    voltages = std::move(newVoltages);
    return {};
}

void CKELFile::Fill(const kel::TestValues& v)
{
    using kel::Presence;
    testNumber = v.testNumber;
    for (int i = 0; i < 3; ++i) {
        dateParts[i] = v.dateParts[i];
        timeParts[i] = v.timeParts[i];
    }
    testType = v.typeCode;
    CopyText(operatorName, v.operatorName);
    CopyText(description, v.description);
    CopyText(location, v.location);
    CopyText(company, v.company);
    sampleCount = v.sampleCount;
    finalCurrent = v.finalCurrent.tester;
    finalResistance = v.finalResistance.tester;
    testVoltage = v.testVolts;
    hasCapacitance = v.capacitanceHundredths ? 1 : 0;
    hasTemperature = v.temperatureF ? 1 : 0;

    std::snprintf(dateText, sizeof dateText, "%02d/%02d/%02d", dateParts[0], dateParts[1], dateParts[2]);
    std::snprintf(timeText, sizeof timeText, "%02d:%02d:%02d", timeParts[0], timeParts[1], timeParts[2]);
    std::snprintf(dateTimeText, sizeof dateTimeText, "%s %s", dateText, timeText);
    std::snprintf(testTypeName, sizeof testTypeName, "%s", TestTypeName(testType));
    std::snprintf(testTypeCode, sizeof testTypeCode, "%s", TestTypeShortCode(testType));
    std::snprintf(durationText, sizeof durationText, "%02d:%02d MIN", sampleCount / 60, sampleCount % 60);
    std::snprintf(humFrequencyText, sizeof humFrequencyText, "%s", v.humFrequencyHz == 50 ? "50 HZ" : "60 HZ");

    std::snprintf(finalCurrentText, sizeof finalCurrentText, "%3.3f %cA", finalCurrent.value, finalCurrent.unit);
    if (v.finalResistance.state == Presence::OverRange)
        std::snprintf(finalResistanceText, sizeof finalResistanceText, "> 65 T");
    else
        std::snprintf(finalResistanceText, sizeof finalResistanceText, "%3.3f %c", finalResistance.value,
                      finalResistance.unit);
    std::snprintf(testVoltageText, sizeof testVoltageText, "%d V", testVoltage);

    // A dielectric-discharge test carries no equivalent resistance: those fields stay as they were.
    if (HasEquivalentResistances(*this)) {
        if (v.equivRes40C.state == Presence::NotMeasured) {
            std::snprintf(equivRes40CText, sizeof equivRes40CText, "Not Measured");
            std::snprintf(equivRes20CText, sizeof equivRes20CText, "Not Measured");
        } else {
            equivRes40C = v.equivRes40C.tester;
            equivRes20C = v.equivRes20C.tester.value;
            std::snprintf(equivRes40CText, sizeof equivRes40CText, "%3.3f %c", equivRes40C.value, equivRes40C.unit);
            std::snprintf(equivRes20CText, sizeof equivRes20CText, "%.3lf %c", static_cast<double>(equivRes20C),
                          equivRes40C.unit);
        }
    }

    if (!v.capacitanceHundredths)
        std::snprintf(capacitanceText, sizeof capacitanceText, "N/A");
    else
        std::snprintf(capacitanceText, sizeof capacitanceText, "%3.2f uF",
                      static_cast<float>(*v.capacitanceHundredths / 100.0));
    if (!v.piRatio) std::snprintf(piRatioText, sizeof piRatioText, "N/A");
    else std::snprintf(piRatioText, sizeof piRatioText, "%3.3f", *v.piRatio);
    if (!v.ddRatio) std::snprintf(ddRatioText, sizeof ddRatioText, "N/A");
    else std::snprintf(ddRatioText, sizeof ddRatioText, "%3.3f", *v.ddRatio);

    const MeasuredValue& atOneMinute = v.resistanceAt1Min.tester;
    std::snprintf(resistanceAt1MinText, sizeof resistanceAt1MinText, "%3.3f %c", atOneMinute.value, atOneMinute.unit);
    const MeasuredValue& afterOneMinute = v.currentAt1Min.tester;
    std::snprintf(currentAt1MinText, sizeof currentAt1MinText, "%3.3f %cA", afterOneMinute.value,
                  afterOneMinute.unit);
    if (v.temperatureF) std::snprintf(temperatureText, sizeof temperatureText, "%d F", *v.temperatureF);

    if (HasSteps(*this)) {
        stepIntervalSeconds = v.stepIntervalSeconds;
        stepCount = v.stepCount;
        std::snprintf(stepIntervalText, sizeof stepIntervalText, "%02d:%02d", stepIntervalSeconds / 60,
                      stepIntervalSeconds % 60);
        for (int i = 0; i < stepCount; ++i) {
            const kel::StepResult& step = v.steps[static_cast<std::size_t>(i)];
            const int t = step.endSecond;
            // Only the upper-case letter reads as over range here, as the tester's own listing has it.
            if (step.resistance.tester.unit == 'O')
                std::snprintf(stepResultText[i], sizeof stepResultText[i], "AT %02d:%02d, %5dV,  R = > 65 T",
                              t / 60, t % 60, step.volts);
            else
                std::snprintf(stepResultText[i], sizeof stepResultText[i], "AT %02d:%02d, %5dV,  R = %3.2f %c",
                              t / 60, t % 60, step.volts, step.resistance.tester.value, step.resistance.tester.unit);
        }
    }
}

Status CKELFile::WriteHeaderTexts()
{
    if (path.empty()) return Status::Of(Problem::NotATest);
    const std::string name = platform::NameOf(platform::PathOf(path).filename());

    // The file a link leads to is the one saved; the link stays a link.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(platform::PathOf(path), error);
    if (error) return Status::File(Problem::CantOpenFile, path);
    std::vector<unsigned char> bytes;
    platform::FileIdentity identity;
    if (!platform::ReadFileStart(platform::NameOf(target), kLargestFile + 1, bytes, identity))
        return Status::File(Problem::CantOpenFile, path);
    // Still the test that was loaded, texts aside (they may have been saved already)? What the
    // load read (the header, and the samples it announces when they were loaded) is compared.
    const bool same = bytes.size() >= kFileHeaderEnd && loadedBytes_.size() <= bytes.size() &&
                      (!loadedWholeFile_ || loadedBytes_.size() == bytes.size()) &&
                      kel::CompareTests(loadedBytes_, std::span(bytes).first(loadedBytes_.size())) !=
                          kel::Sameness::Different;
    if (!same || !kel::HasMagic(bytes.data())) return Status::File(Problem::ChangedSinceOpened, name);

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
