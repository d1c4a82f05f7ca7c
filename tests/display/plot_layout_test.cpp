#include "display/plot_layout.h"
#include "testfile/results_description.h"

#include <gtest/gtest.h>

#include <cstring>

#include "testfile/kel_file.h"

namespace {

using namespace plot_layout;

constexpr int kTop = 100;
constexpr int kBottom = 900;  // Fh = 800, D = 100
constexpr int kD = 100;

TEST(PlotMapping, ResistanceRows)
{
    const struct {
        float ohms;
        int y;
    } cases[] = {
        {5e9f, kBottom - 469},   // B - 4D - trunc(log10(5) * 100)
        {2e11f, kBottom - 630},
        {1e6f, kBottom - 100},   // the bound belongs to the decade below: B - t(1e6 / 1e5)
        {3e5f, kBottom - 47},
        {0.0f, kTop},            // over range
        {5e13f, kTop},           // above the top edge
        {9e12f, kTop + 5},       // B - 7D - t(9) = 900 - 700 - 95
        {5e4f, kBottom},         // below the bottom edge
        {1.0f, kBottom},
        {-1.0f, kBottom},
    };
    for (const auto& c : cases) EXPECT_EQ(ResistanceY(c.ohms, kTop, kBottom, kD), c.y) << c.ohms;
}

TEST(PlotMapping, CurrentRows)
{
    const struct {
        float amperes;
        int y;
    } cases[] = {
        {2e-7f, kBottom - 430},  // B - 4D - trunc(log10(2) * 100)
        {5e-4f, kBottom - 769},
        {2e-3f, kTop},           // above 1 mA
        {0.0f, kBottom},
        {5e-12f, kBottom},       // below 10 pA
        {3e-11f, kBottom - 47},
    };
    for (const auto& c : cases) EXPECT_EQ(CurrentY(c.amperes, kTop, kBottom, kD), c.y) << c.amperes;
}

TEST(PlotMapping, SampleColumnsSpanTheFrame)
{
    EXPECT_EQ(SampleX(0, 600, 70, 1000), 70);
    EXPECT_EQ(SampleX(599, 600, 70, 1000), 70 + 998);
    EXPECT_EQ(SampleX(299, 300, 70, 1000), 70 + 996);
    EXPECT_EQ(SampleX(1, 3, 0, 100), 33);
}

TEST(PlotMapping, MinuteTicks)
{
    const struct {
        int samples;
        std::vector<int> ticks;
    } cases[] = {
        {59, {}},
        {60, {}},
        {119, {}},
        {120, {500}},
        {600, {100, 200, 300, 400, 500, 600, 700, 800, 900}},
        {185, {333, 666}},
    };
    for (const auto& c : cases) EXPECT_EQ(MinuteTicks(c.samples, 0, 1000), c.ticks) << c.samples;
}

TEST(TimeTable, EntriesUpToTheEndOfTheTest)
{
    CKELFile test;
    test.sampleCount = 600;
    test.resistances = std::make_unique<float[]>(600);
    for (int i = 0; i < 600; ++i) test.resistances[i] = 1e9f * static_cast<float>(i);
    std::snprintf(test.finalResistanceText, sizeof test.finalResistanceText, "FINAL");

    const auto entries = TimeTable(test);
    ASSERT_EQ(entries.size(), 13u);  // 15, 30, 45 s and 1-10 min
    EXPECT_EQ(entries[0].line, "R@15sec : 15.000 G");
    EXPECT_EQ(entries[2].line, "R@45sec : 45.000 G");
    EXPECT_EQ(entries[3].line, "R@1min : 60.000 G");
    EXPECT_EQ(entries[4].line, "R@2min : 120.000 G");
    EXPECT_EQ(entries[12].line, "R@10min : FINAL");
    EXPECT_EQ(entries[12].index, 12);

    test.sampleCount = 45;  // a 45-second test: 15, 30 and the final at 45
    const auto shortTest = TimeTable(test);
    ASSERT_EQ(shortTest.size(), 3u);
    EXPECT_EQ(shortTest[2].line, "R@45sec : FINAL");

    test.sampleCount = 1000;  // beyond fifteen minutes: all eighteen
    test.resistances = std::make_unique<float[]>(1000);
    EXPECT_EQ(TimeTable(test).size(), 18u);
    EXPECT_EQ(TimeTable(test)[17].line, "R@15min : > 65 T");

    test.resistances.reset();  // header only: only the entry that needs no sample
    test.sampleCount = 120;
    const auto headerOnly = TimeTable(test);
    ASSERT_EQ(headerOnly.size(), 1u);
    EXPECT_EQ(headerOnly[0].index, 4);
}

}  // namespace
