// Integration tests run against the real desktop services of the test desktop
// (scripts/test-desktop.sh), so they need a QApplication on the real display.

#include <cstdio>

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests happens at build time, where there is no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        fprintf(stderr, "No display: run inside scripts/test-desktop.sh\n");
        return 1;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
