#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/qt/QtSettingsStore.h"

namespace corvid {
namespace {

TEST(QtSettingsStore, ValuesSurviveAReopenOfTheIniFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Corvid.ini");
    {
        CQtSettingsStore store(path);
        EXPECT_TRUE(store.WriteProfileInt("Filter", "Value", -2147483647 - 1));
        EXPECT_TRUE(store.WriteProfileString("Filter", "Users", "7;x;12;;-1"));
        EXPECT_TRUE(store.WriteProfileString("ListLayout", "Column 1", "a, b, c"));
        EXPECT_TRUE(store.WriteProfileString("Connect", "Server", "DEMO"));
    }
    CQtSettingsStore store(path);
    EXPECT_EQ(store.GetProfileInt("Filter", "Value", 0), -2147483647 - 1);
    EXPECT_EQ(store.GetProfileString("Filter", "Users", ""), "7;x;12;;-1");
    EXPECT_EQ(store.GetProfileString("ListLayout", "Column 1", ""), "a, b, c");
    EXPECT_TRUE(store.HasKey("Connect", "Server"));
    EXPECT_FALSE(store.HasKey("Connect", "Password"));
    EXPECT_EQ(store.GetProfileInt("Filter", "Missing", 17), 17);
    // A hand-edited value that is no number reads as the default.
    EXPECT_EQ(store.GetProfileInt("Connect", "Server", 5), 5);
    store.RemoveSection("Filter");
    EXPECT_FALSE(store.HasKey("Filter", "Value"));
    EXPECT_TRUE(store.HasKey("Connect", "Server"));
}

}  // namespace
}  // namespace corvid
