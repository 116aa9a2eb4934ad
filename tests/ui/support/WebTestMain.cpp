#include "support/LoopbackGuard.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    // The web view draws on a real display (Xvfb in the tests), in software.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-dev-shm-usage", 0);
    // Chromium's sandbox cannot run as root (as on CI machines).
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new arvelo::test::TLoopbackGuard);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
