#include "support/LoopbackGuard.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new arvelo::test::TLoopbackGuard);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
