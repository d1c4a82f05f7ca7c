#include "app/app_info.h"

#include <gtest/gtest.h>

#include "support/test_context.h"

namespace {

using kel_test::TestContext;

TEST(CAppInfo, ConstructedWithComOneAndLandscape)
{
    TestContext t;
    const CAppInfo& info = t.context.appInfo;
    EXPECT_EQ(info.comPort, 1);
    EXPECT_EQ(info.orientation, 0);
}

TEST(CAppInfo, LoadSettingsTakesWhatTheListsOfferAndDefaultsForTheRest)
{
    const struct {
        std::vector<std::pair<const char*, int>> stored;
        int comPort;
        int orientation;
    } cases[] = {
        {{}, 1, 0},                                             // first start: defaults
        {{{"Orientation", 1}}, 1, 1},
        {{{"ComPort", 7}}, 7, 0},
        {{{"ComPort", 100}, {"Orientation", 1}}, 100, 1},      // the last of the list
        {{{"ComPort", 0}, {"Orientation", 5}}, 1, 0},           // outside the lists: the defaults
        {{{"ComPort", -3}, {"Orientation", -1}}, 1, 0},
        {{{"ComPort", 101}, {"Orientation", 2}}, 1, 0},
        {{{"ComPort", 150}}, 1, 0},
    };
    for (const auto& c : cases) {
        TestContext t;
        kel_test::MemorySettingsStore& store = t.settings;
        for (const auto& [entry, value] : c.stored) store.values[{"Settings", entry}] = value;
        store.values[{"Other", "ComPort"}] = 99;  // another section is not read
        CAppInfo& info = t.context.appInfo;
        info.comPort = 42;
        EXPECT_EQ(info.LoadSettings(), 1);
        EXPECT_EQ(info.comPort, c.comPort);
        EXPECT_EQ(info.orientation, c.orientation);
        EXPECT_EQ(store.writes, 0);  // nothing is written back
    }
}

TEST(CAppInfo, SetupStoresOnlyValuesFromItsLists)
{
    const struct {
        int portIndex, orientation;      // as the dialog hands them back
        int storedPort, storedOrientation;
    } cases[] = {
        {4, 1, 5, 1},
        {99, 0, 100, 0},
        {-1, -1, 1, 0},  // no row and no button chosen: the values in force
        {100, 2, 1, 0},
    };
    for (const auto& c : cases) {
        TestContext t;
        kel_test::MemorySettingsStore& store = t.settings;
        store.values[{"Settings", "ComPort"}] = 150;
        store.values[{"Settings", "Orientation"}] = 5;
        CAppInfo& info = t.context.appInfo;
        info.LoadSettings();
        info.runSetupDialog = [&](int& portIndex, int& orientation, ArchiveSettings&) {
            portIndex = c.portIndex;
            orientation = c.orientation;
            return true;
        };
        info.EditSettings();
        EXPECT_EQ(store.values.at({"Settings", "ComPort"}), c.storedPort) << c.portIndex;
        EXPECT_EQ(store.values.at({"Settings", "Orientation"}), c.storedOrientation) << c.orientation;
    }
}

TEST(CAppInfo, SaveSettingsWritesBoth)
{
    TestContext t;
    kel_test::MemorySettingsStore& store = t.settings;
    CAppInfo& info = t.context.appInfo;
    info.comPort = 33;
    info.orientation = 1;
    EXPECT_EQ(info.SaveSettings(), 1);
    EXPECT_EQ(store.values.at({"Settings", "ComPort"}), 33);
    EXPECT_EQ(store.values.at({"Settings", "Orientation"}), 1);
    EXPECT_EQ(store.writes, 2);

    CAppInfo reread(t.services, t.context.serialChannel);
    reread.LoadSettings();
    EXPECT_EQ(reread.comPort, 33);
    EXPECT_EQ(reread.orientation, 1);
}

TEST(CAppInfo, WithoutAStoreDefaultsApplyAndSavingStillSucceeds)
{
    TestContext t;
    t.services.settings = nullptr;
    CAppInfo& info = t.context.appInfo;
    info.comPort = 9;
    EXPECT_EQ(info.LoadSettings(), 1);
    EXPECT_EQ(info.comPort, 1);
    EXPECT_EQ(info.SaveSettings(), 1);
}

}  // namespace
