#include <gtest/gtest.h>

#include "platform/MemorySettingsStore.h"
#include "platform/StringTable.h"

namespace corvid {
namespace {

TEST(SettingsStore, RoundTripKeepsNegativeIntegersAndTexts) {
    CMemorySettingsStore store;
    store.WriteProfileInt("Filter", "Value", -12345);
    store.WriteProfileString("Filter", "Text", "a;b;c");
    EXPECT_EQ(store.GetProfileInt("Filter", "Value", 7), -12345);
    EXPECT_EQ(store.GetProfileString("Filter", "Text", ""), "a;b;c");
    EXPECT_EQ(store.GetProfileInt("Filter", "Missing", 7), 7);
    EXPECT_EQ(store.GetProfileString("Other", "Text", "dflt"), "dflt");
}

TEST(SettingsStore, CorruptIntegerGivesTheDefault) {
    CMemorySettingsStore store;
    for (const char* bad : {"", "abc", "12x", "99999999999", "-", "1.5"}) {
        store.WriteProfileString("S", "K", bad);
        EXPECT_EQ(store.GetProfileInt("S", "K", 42), 42) << bad;
    }
    store.WriteProfileString("S", "K", " -2147483648 ");
    EXPECT_EQ(store.GetProfileInt("S", "K", 0), -2147483647 - 1);
    store.WriteProfileString("S", "K", "+3");
    EXPECT_EQ(store.GetProfileInt("S", "K", 0), 3);
}

TEST(StringTable, MissingEntryFallsBackToItsId) {
    CMapStringTable table({{200, "User"}, {201, ""}});
    EXPECT_EQ(table.Load(200), "User");
    EXPECT_EQ(table.Load(201), "STR # 201");
    EXPECT_EQ(table.Load(999), "STR # 999");
    CResourceStringTable resources;
    EXPECT_EQ(resources.Load(217), "%  Disk");
    EXPECT_EQ(resources.Load(258), "Error Message");
    EXPECT_EQ(resources.Load(259), "STR # 259");
}

}  // namespace
}  // namespace corvid
