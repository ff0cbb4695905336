// The main of every Qt test program: a QApplication on the offscreen platform
// (unless the environment names another) around GoogleTest. A program that needs
// set-up before its tests registers a ::testing::Environment.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
