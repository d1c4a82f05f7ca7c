#include "app/app_info.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using kel_test::MemorySettingsStore;

TEST(CAppInfo, ConstructedWithComOneAndLandscape)
{
    CAppInfo info;
    EXPECT_EQ(info.comPort, 1);
    EXPECT_EQ(info.orientation, 0);
}

TEST(CAppInfo, LoadSettingsTakesStoredValuesAsTheyAre)
{
    const struct {
        std::vector<std::pair<const char*, int>> stored;
        int comPort;
        int orientation;
    } cases[] = {
        {{}, 1, 0},                                             // first start: defaults
        {{{"Orientation", 1}}, 1, 1},
        {{{"ComPort", 7}}, 7, 0},
        {{{"ComPort", 0}, {"Orientation", 5}}, 0, 5},           // no range check
        {{{"ComPort", -3}, {"Orientation", -1}}, -3, -1},
        {{{"ComPort", 100000}}, 100000, 0},
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        for (const auto& [entry, value] : c.stored) store.values[{"Settings", entry}] = value;
        store.values[{"Other", "ComPort"}] = 99;  // another section is not read
        CAppInfo info;
        info.comPort = 42;
        EXPECT_EQ(info.LoadSettings(), 1);
        EXPECT_EQ(info.comPort, c.comPort);
        EXPECT_EQ(info.orientation, c.orientation);
        EXPECT_EQ(store.writes, 0);
    }
}

TEST(CAppInfo, SaveSettingsWritesBoth)
{
    MemorySettingsStore store;
    CAppInfo info;
    info.comPort = 33;
    info.orientation = 1;
    EXPECT_EQ(info.SaveSettings(), 1);
    EXPECT_EQ(store.values.at({"Settings", "ComPort"}), 33);
    EXPECT_EQ(store.values.at({"Settings", "Orientation"}), 1);
    EXPECT_EQ(store.writes, 2);

    CAppInfo reread;
    reread.LoadSettings();
    EXPECT_EQ(reread.comPort, 33);
    EXPECT_EQ(reread.orientation, 1);
}

TEST(CAppInfo, WithoutAStoreDefaultsApplyAndSavingStillSucceeds)
{
    CAppInfo info;
    info.comPort = 9;
    EXPECT_EQ(info.LoadSettings(), 1);
    EXPECT_EQ(info.comPort, 1);
    EXPECT_EQ(info.SaveSettings(), 1);
}

}  // namespace
