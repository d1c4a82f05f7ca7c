#include "testfile/kel_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/posix_only.h"
#include "support/temp_dir.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::RecordingPresenter;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

std::string Write(const TempDir& dir, const TestFileBuilder& builder, const std::string& name = "t.kel")
{
    const std::string path = dir.File(name);
    builder.Write(path);
    return path;
}

TEST(Load, GoldenFileFromRawBytes)
{
    // Written out by hand from the file layout, independent of the builder.
    std::vector<std::uint8_t> bytes(5 + 160 + 8, 0);
    const unsigned char preamble[] = {0x34, 0x12, 0x0D, 0xF0, 0x01};
    std::copy(std::begin(preamble), std::end(preamble), bytes.begin());
    auto header = [&](std::size_t offset, std::initializer_list<int> values) {
        std::size_t i = 5 + offset;
        for (int v : values) bytes[i++] = static_cast<std::uint8_t>(v);
    };
    header(0, {0x00, 0xA8});                    // L = 168: two samples
    header(4, {0x04, 0xD2});                    // test number 1234
    header(6, {0x12, 0x31, 0x99, 0x23, 0x59, 0x07});
    header(12, {3});                            // polarization index
    header(17, {'G', 0x02, 0x06, 0x1E});        // 1.566 G at one minute
    header(21, {'u', 0x04, 0x00, 0x7B});        // 1.23 uA
    header(33, {'T', 0x02, 0x0E, 0x2F});        // final 3.631 T
    header(37, {'n', 0x02, 0x05, 0x60});        // final 1.376 nA
    header(41, {0xFF, 0xFF, 0x01, 0x10});       // DD none, PI 2.72
    header(53, {0x13, 0x88, 0x00, 0x7D});       // 5000 V, 1.25 uF
    header(61, {72, 50, 'G', 0x01, 0x1C, 0x84}); // 72 F, 50 Hz, 0.7300 G at 40 C
    header(80, {'O', 'P'});
    header(100, {'D'});
    header(120, {'L', 'O', 'C'});
    header(140, {'C', 'O'});
    header(160, {0x01, 0xF4, 0xB1, 0xF4, 0x03, 0xE8, 0x50, 0x00});
    TempDir dir;
    const std::string path = dir.File("golden.kel");
    kel_test::WriteFileBytes(path, bytes);

    CKELFile record;
    ASSERT_TRUE(record.Load(path, 1));
    EXPECT_EQ(record.path, path);
    EXPECT_EQ(record.testNumber, 1234);
    EXPECT_STREQ(record.dateText, "12/31/99");
    EXPECT_STREQ(record.timeText, "23:59:07");
    EXPECT_STREQ(record.dateTimeText, "12/31/99 23:59:07");
    EXPECT_EQ(record.testType, 3);
    EXPECT_STREQ(record.testTypeName, "Polarization Index");
    EXPECT_STREQ(record.testTypeCode, "PI");
    EXPECT_STREQ(record.operatorName, "OP");
    EXPECT_STREQ(record.description, "D");
    EXPECT_STREQ(record.location, "LOC");
    EXPECT_STREQ(record.company, "CO");
    EXPECT_STREQ(record.resistanceAt1MinText, "1.566 G");
    EXPECT_STREQ(record.currentAt1MinText, "1.230 uA");
    EXPECT_STREQ(record.finalResistanceText, "3.631 T");
    EXPECT_STREQ(record.finalCurrentText, "1.376 nA");
    EXPECT_STREQ(record.ddRatioText, "N/A");
    EXPECT_STREQ(record.piRatioText, "2.720");
    EXPECT_STREQ(record.testVoltageText, "5000 V");
    EXPECT_EQ(record.testVoltage, 5000);
    EXPECT_STREQ(record.capacitanceText, "1.25 uF");
    EXPECT_EQ(record.hasCapacitance, 1);
    EXPECT_EQ(record.hasTemperature, 1);
    EXPECT_STREQ(record.temperatureText, "72 F");
    EXPECT_STREQ(record.humFrequencyText, "50 HZ");
    EXPECT_STREQ(record.equivRes40CText, "0.730 G");
    EXPECT_STREQ(record.equivRes20CText, "2.920 G");
    EXPECT_EQ(record.sampleCount, 2);
    EXPECT_STREQ(record.durationText, "00:02 MIN");
    ASSERT_TRUE(record.currents && record.resistances);
    EXPECT_FLOAT_EQ(record.currents[0], 5e-9f);
    EXPECT_FLOAT_EQ(record.resistances[0], 1e11f);
    EXPECT_EQ(record.currents[1], 0.0f);
    EXPECT_EQ(record.resistances[1], 0.0f);
}

struct TextCase {
    const char* name;
    std::function<void(TestFileBuilder&)> build;
    std::function<std::string(const CKELFile&)> field;
    std::string expected;
};

TEST(Load, HeaderTexts)
{
    const auto finalResistance = [](const CKELFile& r) { return std::string(r.finalResistanceText); };
    const auto hum = [](const CKELFile& r) { return std::string(r.humFrequencyText); };
    const auto equiv40 = [](const CKELFile& r) { return std::string(r.equivRes40CText); };
    const auto equiv20 = [](const CKELFile& r) { return std::string(r.equivRes20CText); };
    const auto duration = [](const CKELFile& r) { return std::string(r.durationText); };
    const auto capacitance = [](const CKELFile& r) { return std::string(r.capacitanceText); };
    const auto pi = [](const CKELFile& r) { return std::string(r.piRatioText); };
    const auto dd = [](const CKELFile& r) { return std::string(r.ddRatioText); };
    const auto date = [](const CKELFile& r) { return std::string(r.dateTimeText); };
    const auto typeName = [](const CKELFile& r) { return std::string(r.testTypeName) + "|" + r.testTypeCode; };
    const auto temperature = [](const CKELFile& r) {
        return std::to_string(r.hasTemperature) + "|" + (r.hasTemperature ? r.temperatureText : "");
    };
    const auto description = [](const CKELFile& r) { return std::string(r.description); };

    const std::vector<TextCase> cases = {
        {"over range 'O'", [](auto& b) { b.Measured(33, 'O', 0, 0); }, finalResistance, "> 65 T"},
        {"over range 'o'", [](auto& b) { b.Measured(33, 'o', 0x02, 1234); }, finalResistance, "> 65 T"},
        {"final resistance", [](auto& b) { b.Measured(33, 'M', 0x04, 1234); }, finalResistance, "12.340 M"},
        {"hum 50", [](auto& b) { b.HumFrequency(50); }, hum, "50 HZ"},
        {"hum 60", [](auto& b) { b.HumFrequency(60); }, hum, "60 HZ"},
        {"hum 0", [](auto& b) { b.HumFrequency(0); }, hum, "60 HZ"},
        {"hum 255", [](auto& b) { b.HumFrequency(255); }, hum, "60 HZ"},
        {"equiv FF FF FF 00", [](auto& b) { b.Byte(66, 0x00); }, equiv40, "Not Measured"},
        {"equiv FF FF FF 7F at 20 C", [](auto& b) { b.Byte(66, 0x7F); }, equiv20, "Not Measured"},
        {"equiv FF FF FE", [](auto& b) { b.Byte(65, 0xFE).Byte(66, 0x00); }, equiv40, "6.502 \xFF"},
        {"equiv measured", [](auto& b) { b.Measured(63, 'G', 0x02, 2500); }, equiv40, "2.500 G"},
        {"equiv at 20 C is four times", [](auto& b) { b.Measured(63, 'G', 0x02, 2500); }, equiv20, "10.000 G"},
        {"no samples", [](auto&) {}, duration, "00:00 MIN"},
        {"ninety seconds", [](auto& b) { b.Samples(90, 500, 1e-9); }, duration, "01:30 MIN"},
        {"incomplete sample ignored",
         [](auto& b) { b.Samples(91, 500, 1e-9).Length(160 + 90 * 4 + 3); }, duration, "01:30 MIN"},
        {"capacitance none", [](auto&) {}, capacitance, "N/A"},
        {"capacitance 1.25", [](auto& b) { b.Capacitance(125); }, capacitance, "1.25 uF"},
        {"capacitance 0.01", [](auto& b) { b.Capacitance(1); }, capacitance, "0.01 uF"},
        {"capacitance 0", [](auto& b) { b.Capacitance(0); }, capacitance, "0.00 uF"},
        {"capacitance 655.34", [](auto& b) { b.Capacitance(65534); }, capacitance, "655.34 uF"},
        {"pi none", [](auto&) {}, pi, "N/A"},
        {"pi 2.72", [](auto& b) { b.PiRatio(272); }, pi, "2.720"},
        {"pi 0", [](auto& b) { b.PiRatio(0); }, pi, "0.000"},
        {"dd 1.8", [](auto& b) { b.DdRatio(180); }, dd, "1.800"},
        {"dd 655.34", [](auto& b) { b.DdRatio(65534); }, dd, "655.340"},
        {"bcd with digits above nine", [](auto& b) { b.Date(0x1A, 0xA1, 0x7F).Time(0x00, 0x99, 0x0B); }, date,
         "01/00/07 00:99:00"},
        {"type 0", [](auto& b) { b.TestType(0); }, typeName, "Unknown|"},
        {"type 6", [](auto& b) { b.TestType(6); }, typeName, "Unknown|"},
        {"type 4", [](auto& b) { b.TestType(4); }, typeName, "Dielectric Discharge|DD"},
        {"no temperature", [](auto&) {}, temperature, "0|"},
        {"temperature 0", [](auto& b) { b.Temperature(0); }, temperature, "1|0 F"},
        {"temperature 254", [](auto& b) { b.Temperature(254); }, temperature, "1|254 F"},
        {"twenty characters", [](auto& b) { b.Description("ABCDEFGHIJKLMNOPQRST"); }, description,
         "ABCDEFGHIJKLMNOPQRST"},
        {"text stops at NUL", [](auto& b) { b.Description(std::string("AB\0CD", 5)); }, description, "AB"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        TestFileBuilder builder;
        c.build(builder);
        const std::string path = Write(dir, builder);
        CKELFile record;
        ASSERT_TRUE(record.Load(path, 1)) << c.name;
        EXPECT_EQ(c.field(record), c.expected) << c.name;
    }
}

struct StepCase {
    const char* name;
    std::uint8_t minutes, seconds;
    int samples;
    int stepCount;
    const char* intervalText;
    std::vector<std::string> lines;
};

TEST(Load, StepVoltageResults)
{
    const std::vector<StepCase> cases = {
        {"thirty seconds, twenty steps clamped to five", 0, 30, 600, 5, "00:30",
         {"AT 00:30,   500V,  R = 1.00 G", "AT 01:00,  1000V,  R = > 65 T", "AT 01:30,  1500V,  R = 12.35 o",
          "AT 02:00,  2000V,  R = 4.00 T", "AT 02:30,  2500V,  R = 5.00 T"}},
        {"no interval", 0, 0, 600, 0, "00:00", {}},
        {"one minute, two and a half steps", 1, 0, 150, 2, "01:00",
         {"AT 01:00,   500V,  R = 1.00 G", "AT 02:00,  1000V,  R = > 65 T"}},
        {"binary bytes, not BCD", 1, 0x10, 600, 5, "01:16", {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        TestFileBuilder builder;
        builder.TestType(5).StepInterval(c.minutes, c.seconds).Samples(c.samples, 500, 1e-9);
        builder.Measured(17, 'G', 0x02, 1000).Measured(21, 'O', 0, 0).Measured(25, 'o', 0x04, 1235);
        builder.Measured(29, 'T', 0x02, 4000).Measured(33, 'T', 0x02, 5000);
        for (int i = 0; i < 4; ++i) builder.StepVoltage(i, static_cast<std::uint16_t>(500 * (i + 1)));
        builder.TestVoltage(2500);
        const std::string path = Write(dir, builder);
        CKELFile record;
        ASSERT_TRUE(record.Load(path, 0)) << c.name;
        EXPECT_EQ(record.stepCount, c.stepCount) << c.name;
        EXPECT_STREQ(record.stepIntervalText, c.intervalText) << c.name;
        EXPECT_EQ(record.stepIntervalSeconds, c.minutes * 60 + c.seconds) << c.name;
        for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(record.stepResultText[i], c.lines[i]) << c.name;
    }
}

TEST(Load, FieldsOfOtherTypesStayAsTheyWere)
{
    TempDir dir;
    TestFileBuilder stepTest;
    stepTest.TestType(5).StepInterval(1, 0).Samples(300, 500, 1e-9).Measured(63, 'G', 0x02, 2500).Temperature(70);
    stepTest.Measured(17, 'G', 0x02, 1000).Measured(21, 'G', 0x02, 2000).Measured(25, 'G', 0x02, 3000);
    CKELFile record;
    ASSERT_TRUE(record.Load(Write(dir, stepTest, "a.kel"), 0));
    ASSERT_EQ(record.stepCount, 5);

    TestFileBuilder discharge;  // type 4 with a measured equivalent, no temperature, two steps' worth
    discharge.TestType(4).Measured(63, 'M', 0x02, 1000).Samples(60, 500, 1e-9);
    ASSERT_TRUE(record.Load(Write(dir, discharge, "b.kel"), 0));
    EXPECT_STREQ(record.equivRes40CText, "2.500 G");
    EXPECT_STREQ(record.equivRes20CText, "10.000 G");
    EXPECT_FLOAT_EQ(record.equivRes40C.value, 2.5f);
    EXPECT_EQ(record.hasTemperature, 0);
    EXPECT_STREQ(record.temperatureText, "70 F");
    EXPECT_EQ(record.stepCount, 5);
    EXPECT_STREQ(record.stepIntervalText, "01:00");

    TestFileBuilder twoSteps;
    twoSteps.TestType(5).StepInterval(1, 0).Samples(120, 500, 1e-9).Measured(17, 'K', 0x02, 1000);
    ASSERT_TRUE(record.Load(Write(dir, twoSteps, "c.kel"), 0));
    EXPECT_EQ(record.stepCount, 2);
    EXPECT_STREQ(record.stepResultText[0], "AT 01:00,     0V,  R = 1.00 K");
    EXPECT_STREQ(record.stepResultText[2], "AT 03:00,     0V,  R = 3.00 G");  // left from the first load
}

TEST(Load, SampleArraysFollowTheDepthOfEachLoad)
{
    TempDir dir;
    TestFileBuilder builder;
    builder.Samples(3, 1000, 2e-9);
    const std::string path = Write(dir, builder);
    CKELFile record;
    ASSERT_TRUE(record.Load(path, 1));
    ASSERT_TRUE(record.currents && record.resistances);
    EXPECT_FLOAT_EQ(record.resistances[2], 5e11f);
    ASSERT_TRUE(record.Load(path, 0));
    EXPECT_FALSE(record.currents);
    EXPECT_FALSE(record.resistances);

    TestFileBuilder empty;  // L = 160: no samples, but two (empty) arrays
    ASSERT_TRUE(record.Load(Write(dir, empty, "e.kel"), 1));
    EXPECT_EQ(record.sampleCount, 0);
    EXPECT_TRUE(record.currents && record.resistances);
}

TEST(Load, LongestTest)
{
    TempDir dir;
    TestFileBuilder builder;
    builder.Samples(16343, 5000, 1e-9);
    CKELFile record;
    ASSERT_TRUE(record.Load(Write(dir, builder), 1));
    EXPECT_EQ(record.sampleCount, 16343);
    EXPECT_STREQ(record.durationText, "272:23 MIN");
    EXPECT_FLOAT_EQ(record.resistances[16342], 5e12f);
}

struct FailureCase {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    int withSamples;
    std::vector<std::string> messages;  // "%s" stands for the path
    const char* why = "";                // what a file that is no test says of itself
};

TEST(Load, FailuresKeepTheRecordAndSayWhatTheUserMustKnow)
{
    const std::vector<FailureCase> cases = {
        {"missing", [](const TempDir& d) { return d.File("missing.kel"); }, 0, {"Can't open file %s"}},
        {"folder named like a test file",
         [](const TempDir& d) {
             std::filesystem::create_directory(d.File("x.kel"));
             return d.File("x.kel");
         },
         0, {"Can't open file %s"}},
        {"empty", [](const TempDir& d) { return Write(d, TestFileBuilder().TruncateTo(0)); }, 0, {}, "cut short at byte 0"},
        {"three bytes", [](const TempDir& d) { return Write(d, TestFileBuilder().TruncateTo(3)); }, 0, {}, "cut short at byte 3"},
        {"wrong magic", [](const TempDir& d) { return Write(d, TestFileBuilder().Magic(0x1234F00D)); }, 0, {}, "no magic number"},
        {"magic only", [](const TempDir& d) { return Write(d, TestFileBuilder().TruncateTo(4)); }, 0, {}, "cut short at byte 4"},
        {"header cut short", [](const TempDir& d) { return Write(d, TestFileBuilder().TruncateTo(164)); }, 0, {}, "cut short at byte 164"},
        {"L below 160", [](const TempDir& d) { return Write(d, TestFileBuilder().Length(159)); }, 0, {}, "length below 160"},
        {"L zero", [](const TempDir& d) { return Write(d, TestFileBuilder().Length(0)); }, 1, {}, "length below 160"},
        {"samples cut short",
         [](const TempDir& d) { return Write(d, TestFileBuilder().Samples(10, 500, 1e-9).TruncateTo(165 + 39)); }, 1,
         {}, "cut short at byte 204"},
        {"L beyond the file", [](const TempDir& d) { return Write(d, TestFileBuilder().Length(0xFFFF)); }, 1, {}, "cut short at byte 165"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        TestFileBuilder good;
        good.Samples(5, 500, 1e-9).Description("GOOD");
        CKELFile record;
        ASSERT_TRUE(record.Load(Write(dir, good, "good.kel"), 1));
        const float* currents = record.currents.get();

        const std::string path = c.make(dir);
        RecordingPresenter presenter;
        const Status loaded = record.Load(path, c.withSamples);
        Report(presenter, loaded);
        EXPECT_FALSE(loaded) << c.name;
        EXPECT_EQ(loaded.detail, c.why) << c.name;
        EXPECT_TRUE(record.path.empty()) << c.name;
        EXPECT_STREQ(record.description, "GOOD") << c.name;
        EXPECT_EQ(record.sampleCount, 5) << c.name;
        EXPECT_EQ(record.currents.get(), currents) << c.name;
        std::vector<std::string> expected;
        for (std::string message : c.messages) expected.push_back(message.replace(message.find("%s"), 2, path));
        EXPECT_EQ(presenter.Texts(), expected) << c.name;
        for (const auto& message : presenter.messages) EXPECT_EQ(message.caption, "KEL-7300");
    }
}

TEST(Load, HeaderOnlyDoesNotLookAtTheSamples)
{
    TempDir dir;
    CKELFile record;
    EXPECT_TRUE(record.Load(Write(dir, TestFileBuilder().Samples(10, 500, 1e-9).TruncateTo(170)), 0));
    EXPECT_EQ(record.sampleCount, 10);
}

TEST(ShowMessage, CutsTextsAt1023Characters)
{
    RecordingPresenter presenter;
    const std::string path(2000, 'p');
    CKELFile record;
    const Status loaded = record.Load(path, 0);
    Report(presenter, loaded);
    EXPECT_FALSE(loaded);
    ASSERT_EQ(presenter.messages.size(), 1u);
    EXPECT_EQ(presenter.messages[0].text.size(), 1023u);
    EXPECT_EQ(presenter.messages[0].text.substr(0, 20), "Can't open file pppp");
}

class WriteHeaderTextsTest : public ::testing::Test {
public:
    void SetUp() override
    {
        TestFileBuilder builder;
        builder.Samples(20, 500, 1e-9).Operator("OLD OPERATOR").Description("OLD DESCRIPTION").Location("OLD")
            .Company("OLD COMPANY");
        path = Write(dir, builder);
        ASSERT_TRUE(record.Load(path, 1));
        before = kel_test::ReadFileBytes(path);
    }

    TempDir dir;
    std::string path;
    CKELFile record;
    std::vector<std::uint8_t> before;
};

TEST_F(WriteHeaderTextsTest, ChangesOnlyTheEightyTextBytes)
{
    std::snprintf(record.operatorName, sizeof record.operatorName, "%s", "ABCDEFGHIJKLMNOPQRST");
    std::snprintf(record.description, sizeof record.description, "%s", "NEW");
    record.location[0] = 0;
    std::snprintf(record.company, sizeof record.company, "%s", "\xC9LECTRICIT\xC9");
    ASSERT_TRUE(record.WriteHeaderTexts());

    const auto after = kel_test::ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < 85 || i >= 165) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    const std::string texts(after.begin() + 85, after.begin() + 165);
    EXPECT_EQ(texts.substr(0, 20), "ABCDEFGHIJKLMNOPQRST");  // no terminator
    EXPECT_EQ(texts.substr(20, 20), std::string("NEW") + std::string(17, '\0'));
    EXPECT_EQ(texts.substr(40, 20), std::string(20, '\0'));
    EXPECT_EQ(texts.substr(60, 20), std::string("\xC9LECTRICIT\xC9") + std::string(9, '\0'));

    CKELFile reloaded;
    ASSERT_TRUE(reloaded.Load(path, 0));
    EXPECT_STREQ(reloaded.operatorName, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_STREQ(reloaded.description, "NEW");
    EXPECT_STREQ(reloaded.location, "");
}

TEST_F(WriteHeaderTextsTest, RefusesWithoutTouchingTheFile)
{
    const struct {
        const char* name;
        std::function<void(WriteHeaderTextsTest&)> damage;
        const char* message;  // empty: none
    } cases[] = {
        {"never loaded", [](auto& t) { t.record.path.clear(); }, ""},
        {"damaged magic",
         [](auto& t) {
             t.before[0] = 0;
             kel_test::WriteFileBytes(t.path, t.before);
         },
         "t.kel has changed since it was opened"},
        {"cut inside the header",
         [](auto& t) {
             t.before.resize(100);
             kel_test::WriteFileBytes(t.path, t.before);
         },
         "t.kel has changed since it was opened"},
        {"another test in its place",
         [](auto& t) {
             t.before = TestFileBuilder().Samples(20, 700, 1e-9).Bytes();
             kel_test::WriteFileBytes(t.path, t.before);
         },
         "t.kel has changed since it was opened"},
        {"a sample more", [](auto& t) {
             t.before.insert(t.before.end(), {0, 0, 0, 0});
             kel_test::WriteFileBytes(t.path, t.before);
         },
         "t.kel has changed since it was opened"},
        {"gone", [](auto& t) { std::filesystem::remove(t.path); }, "Can't open file %s"},
    };
    for (const auto& c : cases) {
        SetUp();
        c.damage(*this);
        std::snprintf(record.operatorName, sizeof record.operatorName, "%s", "CHANGED");
        RecordingPresenter presenter;
        const Status written = record.WriteHeaderTexts();
        Report(presenter, written);
        EXPECT_FALSE(written) << c.name;
        std::string expected = c.message;
        if (expected.find("%s") != std::string::npos) expected.replace(expected.find("%s"), 2, path);
        EXPECT_EQ(presenter.Texts(), expected.empty() ? std::vector<std::string>{} : std::vector{expected}) << c.name;
        if (std::filesystem::exists(path)) {
            EXPECT_EQ(kel_test::ReadFileBytes(path), before) << c.name;
        }
    }
}

}  // namespace

namespace {

// The new texts reach the file the record was loaded from, whole, keeping its
// mode; a link stays a link and its target is saved; a full disk leaves the
// file as it was and nothing beside it.
TEST_F(WriteHeaderTextsTest, SavesWholeIntoTheFileALinkLeadsToKeepingItsMode)
{
    KEL_POSIX_ONLY("symbolic links, permission bits and a file-size limit (setrlimit)");
#ifndef _WIN32
    namespace fs = std::filesystem;
    enum class Kind { Plain, ThroughALink, Twice, FullDisk };
    for (const Kind kind : {Kind::Plain, Kind::ThroughALink, Kind::Twice, Kind::FullDisk}) {
        SetUp();
        const std::string where = std::to_string(static_cast<int>(kind));
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        const std::string link = dir.File("link.kel");
        fs::remove(link);
        if (kind == Kind::ThroughALink) {
            fs::create_symlink(path, link);
            ASSERT_TRUE(record.Load(link, 1));
        }
        std::snprintf(record.operatorName, sizeof record.operatorName, "%s", "FIRST");
        if (kind == Kind::Twice) {
            ASSERT_TRUE(record.WriteHeaderTexts()) << where;
            std::snprintf(record.operatorName, sizeof record.operatorName, "%s", "SECOND");
        }
        rlimit previous{};
        if (kind == Kind::FullDisk) {
            signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &previous);
            rlimit small = previous;
            small.rlim_cur = 100;  // the test file is 245 bytes
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const Status saved = record.WriteHeaderTexts();
        if (kind == Kind::FullDisk) setrlimit(RLIMIT_FSIZE, &previous);
        EXPECT_EQ(static_cast<bool>(saved), kind != Kind::FullDisk) << where;

        auto expected = before;
        if (kind != Kind::FullDisk) {
            const char* text = kind == Kind::Twice ? "SECOND" : "FIRST";
            std::fill(expected.begin() + 85, expected.begin() + 105, 0);
            std::copy(text, text + std::strlen(text), expected.begin() + 85);
        }
        EXPECT_EQ(kel_test::ReadFileBytes(path), expected) << where;
        EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << where;
        if (kind == Kind::ThroughALink) {
            EXPECT_TRUE(fs::is_symlink(link)) << where;
        }
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
        EXPECT_EQ(files, kind == Kind::ThroughALink ? 2u : 1u) << where;
    }
#endif
}

}  // namespace
