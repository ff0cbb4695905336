#include <gtest/gtest.h>

#include "dialogs/ConnectDlgData.h"
#include "dialogs/ServerHistory.h"
#include "platform/MemorySettingsStore.h"

namespace corvid {
namespace {

TEST(ServerHistory, KeepsEachSpellingOnceInFirstUseOrder) {
    CMemorySettingsStore store;
    CServerHistory history(store);
    EXPECT_TRUE(history.Load().empty());

    EXPECT_TRUE(history.Add("DEMO"));
    EXPECT_FALSE(history.Add("DEMO"));  // the same name once
    EXPECT_TRUE(history.Add("demo"));   // another case is another name
    EXPECT_TRUE(history.Add(""));       // an empty name counts like any other, once
    EXPECT_FALSE(history.Add(""));
    EXPECT_TRUE(history.Add("PROD"));
    EXPECT_EQ(history.Load(), (std::vector<std::string>{"DEMO", "demo", "", "PROD"}));

    const auto& section = store.Sections().at("ServerList");
    EXPECT_EQ(section.at("Items"), "4");
    EXPECT_EQ(section.at("Item1"), "DEMO");
    EXPECT_EQ(section.at("Item2"), "demo");
    EXPECT_EQ(section.at("Item3"), "");
    EXPECT_EQ(section.at("Item4"), "PROD");
}

TEST(ServerHistory, MissingItemsReadAsEmptyAndBadCountsAreSurvived) {
    CMemorySettingsStore store;
    store.WriteProfileInt("ServerList", "Items", 3);
    store.WriteProfileString("ServerList", "Item1", "A");
    store.WriteProfileString("ServerList", "Item3", "C");
    CServerHistory history(store);
    EXPECT_EQ(history.Load(), (std::vector<std::string>{"A", "", "C"}));
    // The missing second entry equals the empty name.
    EXPECT_FALSE(history.Add(""));
    EXPECT_TRUE(history.Add("D"));
    EXPECT_EQ(store.GetProfileString("ServerList", "Item4", "?"), "D");

    CMemorySettingsStore negative;
    negative.WriteProfileInt("ServerList", "Items", -5);
    CServerHistory broken(negative);
    EXPECT_TRUE(broken.Load().empty());
    EXPECT_TRUE(broken.Add("X"));
    EXPECT_EQ(broken.Load(), (std::vector<std::string>{"X"}));
}

TEST(ConnectDlgData, RemembersUserDatabaseAndModeButNeverThePassword) {
    CMemorySettingsStore store;
    CConnectDlgData first;
    first.LoadRemembered(store);
    EXPECT_EQ(first.m_User, "");
    EXPECT_EQ(first.m_Database, "");
    EXPECT_EQ(first.m_ConnectAs, "NORMAL");
    EXPECT_EQ(first.m_Password, "");

    store.WriteProfileString("Connect", "Usr", "SYSTEM");
    store.WriteProfileString("Connect", "Srv", "PROD");
    store.WriteProfileString("Connect", "ConnectAs", "SYSDBA");
    CConnectDlgData data;
    data.m_Password = "left over";
    data.LoadRemembered(store);
    EXPECT_EQ(data.m_User, "SYSTEM");
    EXPECT_EQ(data.m_Database, "PROD");
    EXPECT_EQ(data.m_ConnectAs, "SYSDBA");
    EXPECT_EQ(data.m_Password, "");
}

TEST(ConnectDlgData, ModeCodesIgnoreCase) {
    EXPECT_EQ(ConnectModeOfText("NORMAL"), EConnectMode::Normal);
    EXPECT_EQ(ConnectModeOfText("sysdba"), EConnectMode::SysDba);
    EXPECT_EQ(ConnectModeOfText("SysOper"), EConnectMode::SysOper);
    EXPECT_EQ(ConnectModeOfText(""), EConnectMode::Normal);
    EXPECT_EQ(ConnectModeOfText("SYSASM"), EConnectMode::Normal);
}

TEST(ConnectDlgData, FieldLimitsCountCharacters) {
    CConnectDlgData data;
    std::string message;
    data.m_User = std::string(30, 'u');
    data.m_Password = std::string(30, 'p');
    data.m_Database = std::string(128, 'd');
    EXPECT_EQ(data.Validate(message), CConnectDlgData::EField::None);
    EXPECT_EQ(message, "");

    data.m_Database += "d";
    EXPECT_EQ(data.Validate(message), CConnectDlgData::EField::Database);
    EXPECT_EQ(message, "Please enter no more than 128 characters.");

    data.m_Password += "p";
    EXPECT_EQ(data.Validate(message), CConnectDlgData::EField::Password);
    EXPECT_EQ(message, "Please enter no more than 30 characters.");

    // Thirty letters of two bytes each still fit.
    data.m_Password = std::string(30, 'p');
    data.m_Database = "DEMO";
    data.m_User.clear();
    for (int i = 0; i < 30; ++i)
        data.m_User += "\xC3\xA9";
    EXPECT_EQ(data.Validate(message), CConnectDlgData::EField::None);
    data.m_User += "x";
    EXPECT_EQ(data.Validate(message), CConnectDlgData::EField::User);
}

TEST(ConnectDlgData, StatusLines) {
    CConnectDlgData data;
    data.m_User = "SCOTT";
    data.m_Database = "DEMO";
    EXPECT_EQ(data.ConnectingLine1(), "Connecting to database");
    EXPECT_EQ(data.ConnectingLine2(), "SCOTT@DEMO");
    EXPECT_EQ(data.ConnectedLine1(), "Connected with database");
    EXPECT_EQ(data.ConnectedLine2(), "DEMO");
}

}  // namespace
}  // namespace corvid

namespace corvid {
namespace {

TEST(ServerHistory, ADamagedItemCountIsHeldToASaneSize) {
    CMemorySettingsStore store;
    store.WriteProfileInt("ServerList", "Items", 1000000000);
    store.WriteProfileString("ServerList", "Item1", "DEMO");
    CServerHistory history(store);
    const std::vector<std::string> names = history.Load();
    ASSERT_EQ(names.size(), 10000u);
    EXPECT_EQ(names.front(), "DEMO");
    EXPECT_TRUE(history.Add("PROD"));
    EXPECT_EQ(store.GetProfileInt("ServerList", "Items", 0), 10001);
    EXPECT_EQ(store.GetProfileString("ServerList", "Item10001", ""), "PROD");

    store.WriteProfileInt("ServerList", "Items", 2147483647);
    EXPECT_FALSE(history.Add("DEMO"));
    store.WriteProfileInt("ServerList", "Items", -5);
    EXPECT_TRUE(history.Load().empty());
    EXPECT_TRUE(history.Add("TEST"));
    EXPECT_EQ(history.Load(), std::vector<std::string>{"TEST"});
}

}  // namespace
}  // namespace corvid
