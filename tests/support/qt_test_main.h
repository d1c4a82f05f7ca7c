// The main of a test program that needs a QApplication: offscreen unless told
// otherwise, with the user's settings (the recent-file list) in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "support/temp_dir.h"

namespace kel_test {

inline int RunQtTests(int argc, char** argv)
{
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace kel_test
