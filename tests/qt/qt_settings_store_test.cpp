// The desktop program's settings store, against a private XDG_CONFIG_HOME.
#include "qt/qt_settings_store.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_context.h"

namespace {

kel_test::TempDir* configHome = nullptr;

std::filesystem::path ConfigFile()
{
    return configHome->path() / "Quellton" / "KEL-7300.conf";
}

struct Settings {
    int comPort;
    int orientation;
};

// The settings as CAppInfo reads them through a fresh Qt store.
Settings LoadedThroughQt()
{
    platform::QtSettingsStore store;
    kel_test::TestContext t;
    t.services.settings = &store;
    CAppInfo& info = t.context.appInfo;
    info.LoadSettings();
    return {info.comPort, info.orientation};
}

class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove(ConfigFile()); }
};

TEST_F(QtSettingsStoreTest, EmptyStoreGivesDefaultsAndWritesNothing)
{
    const Settings info = LoadedThroughQt();
    EXPECT_EQ(info.comPort, 1);
    EXPECT_EQ(info.orientation, 0);
    EXPECT_FALSE(std::filesystem::exists(ConfigFile()));
}

TEST_F(QtSettingsStoreTest, SavedSettingsLandInTheUsersConfigFileAndReadBack)
{
    {
        platform::QtSettingsStore store;
        kel_test::TestContext t;
        t.services.settings = &store;
        CAppInfo& info = t.context.appInfo;
        info.comPort = 7;
        info.orientation = 1;
        info.SaveSettings();
    }
    ASSERT_TRUE(std::filesystem::exists(ConfigFile()));
    std::ifstream in(ConfigFile());
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("[Settings]"), std::string::npos) << text;
    EXPECT_NE(text.find("ComPort=7"), std::string::npos) << text;
    EXPECT_NE(text.find("Orientation=1"), std::string::npos) << text;

    const Settings info = LoadedThroughQt();
    EXPECT_EQ(info.comPort, 7);
    EXPECT_EQ(info.orientation, 1);
}

TEST_F(QtSettingsStoreTest, AValueThatIsNoIntegerReadsAsTheDefault)
{
    std::filesystem::create_directories(ConfigFile().parent_path());
    std::ofstream(ConfigFile()) << "[Settings]\nComPort=seven\nOrientation=1\n";
    platform::QtSettingsStore store;
    EXPECT_EQ(store.GetProfileInt("Settings", "ComPort", 1), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Orientation", 0), 1);
    EXPECT_EQ(store.GetProfileInt("Settings", "Missing", 5), 5);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // QSettings finds its folder once per process: point it at a private one first.
    kel_test::TempDir home;
    configHome = &home;
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
