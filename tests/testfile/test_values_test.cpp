#include "testfile/test_values.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/test_file_builder.h"

namespace {

using kel::Presence;
using kel_test::TestFileBuilder;

// One header, and what its typed form must say.
struct ValuesCase {
    const char* name;
    std::function<void(TestFileBuilder&)> build;
    std::function<void(const kel::TestValues&)> check;
};

TEST(DecodeTestValues, StatesAndSiUnitsOfEachKindOfValue)
{
    const ValuesCase cases[] = {
        {"a reading in SI units",
         [](TestFileBuilder& b) { b.Measured(33, 'M', 0x02, 12345).Measured(37, 'u', 0x04, 250); },
         [](const kel::TestValues& v) {
             EXPECT_EQ(v.finalResistance.state, Presence::Measured);
             EXPECT_DOUBLE_EQ(v.finalResistance.si, static_cast<double>(12.345f) * 1e6);
             EXPECT_DOUBLE_EQ(*v.finalCurrent.Si(), static_cast<double>(2.5f) * 1e-6);
         }},
        {"over range has no number",
         [](TestFileBuilder& b) { b.Measured(33, 'o', 0x00, 0); },
         [](const kel::TestValues& v) {
             EXPECT_EQ(v.finalResistance.state, Presence::OverRange);
             EXPECT_FALSE(v.finalResistance.Si());
         }},
        {"the not-measured markers",
         [](TestFileBuilder&) {},
         [](const kel::TestValues& v) {
             EXPECT_EQ(v.equivRes40C.state, Presence::NotMeasured);
             EXPECT_EQ(v.equivRes20C.state, Presence::NotMeasured);
             EXPECT_FALSE(v.piRatio || v.ddRatio || v.capacitanceHundredths || v.temperatureF);
             EXPECT_FALSE(v.CapacitanceFarads() || v.TemperatureKelvin());
         }},
        {"equivalents, ratios, capacitance and temperature",
         [](TestFileBuilder& b) {
             b.Measured(63, 'G', 0x04, 250).PiRatio(215).Capacitance(150).Temperature(104).HumFrequency(50);
         },
         [](const kel::TestValues& v) {
             EXPECT_DOUBLE_EQ(*v.equivRes40C.Si(), 2.5e9);
             EXPECT_DOUBLE_EQ(*v.equivRes20C.Si(), 10e9);
             EXPECT_DOUBLE_EQ(*v.piRatio, 2.15);
             EXPECT_DOUBLE_EQ(*v.CapacitanceFarads(), 1.5e-6);
             EXPECT_DOUBLE_EQ(*v.TemperatureKelvin(), 313.15);
             EXPECT_EQ(v.humFrequencyHz, 50);
         }},
        {"a dielectric-discharge test has no equivalents whatever its bytes",
         [](TestFileBuilder& b) { b.TestType(4).Measured(63, 'G', 0x04, 250); },
         [](const kel::TestValues& v) {
             EXPECT_EQ(v.type, kel::TestType::DielectricDischarge);
             EXPECT_EQ(v.equivRes40C.state, Presence::NotMeasured);
         }},
        {"step voltage: five steps, the fifth in the final resistance and test voltage",
         [](TestFileBuilder& b) {
             b.TestType(5).StepInterval(1, 0).Samples(300, 1000, 1e-9).StepVoltage(0, 200).TestVoltage(1000);
             b.Measured(17, 'G', 0x02, 1000).Measured(33, 'O', 0x00, 0);
         },
         [](const kel::TestValues& v) {
             ASSERT_EQ(v.stepCount, 5);
             EXPECT_EQ(v.steps[0].endSecond, 60);
             EXPECT_EQ(v.steps[0].volts, 200);
             EXPECT_DOUBLE_EQ(*v.steps[0].resistance.Si(), 1e9);
             EXPECT_EQ(v.steps[4].endSecond, 300);
             EXPECT_EQ(v.steps[4].volts, 1000);
             EXPECT_EQ(v.steps[4].resistance.state, Presence::OverRange);
         }},
        {"an unknown type code, and the date as ISO 8601",
         [](TestFileBuilder& b) { b.TestType(9).Date(0x12, 0x31, 0x99).Time(0x23, 0x59, 0x58); },
         [](const kel::TestValues& v) {
             EXPECT_EQ(v.type, kel::TestType::Unknown);
             EXPECT_EQ(v.typeCode, 9);
             EXPECT_EQ(v.IsoDateTime(), "2099-12-31T23:59:58");
         }},
    };
    // One TestValues decodes every case, as a scan of many files does: nothing of one test stays in the next.
    kel::TestValues values;
    for (const ValuesCase& c : cases) {
        TestFileBuilder first;
        first.TestType(5).StepInterval(1, 0).Samples(300, 1000, 1e-9).Measured(63, 'G', 0x04, 1).PiRatio(1);
        ASSERT_TRUE(kel::DecodeTestValues(first.Bytes(), values)) << c.name;
        TestFileBuilder builder;
        c.build(builder);
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(kel::DecodeTestValues(builder.Bytes(), values));
        c.check(values);
    }
}

}  // namespace
