#include "tools/demo_set.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/names.h"
#include "support/temp_dir.h"
#include "testfile/kel_file.h"

namespace {

using kel_test::TempDir;

TEST(DemoTests, CoverEveryTypeAndBothSidesOfEachOption)
{
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(WriteDemoTests(platform::NameOf(dir.path() / "demo"), &written, &error)) << error;
    ASSERT_EQ(written.size(), MakeDemoTests().size() + MakeDemoHistory().size());

    std::set<int> types;
    std::set<int> temperature, capacitance;
    int shortest = 1 << 30, longest = 0;
    for (const std::string& path : written) {
        CKELFile record;
        ASSERT_TRUE(record.Load(path, 1)) << path;
        types.insert(record.testType);
        temperature.insert(record.hasTemperature);
        capacitance.insert(record.hasCapacitance);
        shortest = std::min(shortest, record.sampleCount);
        longest = std::max(longest, record.sampleCount);

        // Insulation absorbs charge: the resistance at the end is above that of the first seconds.
        if (record.resistances[record.sampleCount - 1] != 0) {
            EXPECT_GT(record.resistances[record.sampleCount - 1], record.resistances[2]) << path;
        }
        EXPECT_LT(record.currents[record.sampleCount - 1], record.currents[0]) << path;

        if (record.testType == 3) {
            // The PI ratio is the ten-minute resistance over the one-minute resistance of the curve.
            const double ratio = record.resistances[599] / record.resistances[59];
            EXPECT_NEAR(std::stod(record.piRatioText), ratio, 0.006) << path;
        }
        if (record.testType == 5) {
            EXPECT_EQ(record.stepCount, 5);
            EXPECT_STREQ(record.stepResultText[0], "AT 01:00,  1000V,  R = 370.60 G");
        }
        if (record.testType == 4) {
            EXPECT_STRNE(record.ddRatioText, "N/A");
        }
    }
    EXPECT_EQ(types, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(temperature, (std::set<int>{0, 1}));
    EXPECT_EQ(capacitance, (std::set<int>{0, 1}));
    EXPECT_LT(shortest, 60);
    EXPECT_GT(longest, 15 * 60);
}

TEST(DemoTests, SameBytesOnEveryCall)
{
    const auto first = MakeDemoTests();
    const auto second = MakeDemoTests();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].stream, second[i].stream);
}

}  // namespace
