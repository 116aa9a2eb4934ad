#include "support/LoopbackGuard.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char **argv)
{
    // Real widgets without a display; discovery runs this too.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new arvelo::test::TLoopbackGuard);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
