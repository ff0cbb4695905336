#include <gtest/gtest.h>

#include <cstdio>

#include <vector>

#include "collection/CorvidDoc.h"
#include "collection/UserSelection.h"
#include "list/StatementColumn.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"

namespace corvid {
namespace {

constexpr const char* kVersionMessage =
    "Saved list layout settings can't be used with current version!\nResetting them to default.";
constexpr const char* kCorruptMessage = "Saved list layout settings seem to be currupt!\nResetting them to default.";

// Remembers the order in which keys were written.
class COrderedStore : public CMemorySettingsStore {
public:
    bool WriteProfileInt(const std::string& section, const std::string& key, int value) override {
        m_order.push_back(section + "/" + key);
        m_inInt = true;
        const bool written = CMemorySettingsStore::WriteProfileInt(section, key, value);
        m_inInt = false;
        return written;
    }
    bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value) override {
        if (!m_inInt) m_order.push_back(section + "/" + key);
        return CMemorySettingsStore::WriteProfileString(section, key, value);
    }
    std::vector<std::string> m_order;
    bool m_inInt = false;
};

void AddUsers(CCorvidDoc& doc, std::initializer_list<int> ids) {
    for (int id : ids) {
        char name[16];
        std::snprintf(name, sizeof name, "U%d", id);
        doc.GetUserList().Add(CUserEntry(id, name, 1));
    }
}

std::vector<int> SelectedIds(CCorvidDoc& doc) {
    std::vector<int> ids;
    for (const CUserEntry& user : doc.GetUserList()) {
        if (user.IsSelected()) ids.push_back(user.GetUserId());
    }
    return ids;
}

TEST(DocumentSettings, EmptyStoreGivesDefaultsSilently) {
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        const CStatementFilter& filter = doc.GetFilter();
        EXPECT_EQ(filter, CStatementFilter());
        EXPECT_EQ(filter.m_FiltTextInclV, "%");
        EXPECT_EQ(filter.m_Select + filter.m_Insert + filter.m_Update + filter.m_Delete + filter.m_Others, 5);
        EXPECT_EQ(doc.m_Analyze, 1);
        EXPECT_EQ(doc.m_WarnIfNotAllUser, 1);
        EXPECT_EQ(doc.m_ExportType, 1);
        EXPECT_EQ(doc.m_ExportName, "SQL statements in the Oracle SGA");
        EXPECT_EQ(doc.m_ExportFileName, "Corvid");
        EXPECT_EQ(doc.m_CursorCachePlans, 1);
        // A fresh profile shows the earlier 25 columns, then SQL ID and elapsed per
        // execution; the other figures of today's servers are there to be chosen.
        EXPECT_TRUE(doc.GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
        EXPECT_EQ(doc.GetListLayout().GetCount(), 27);
        EXPECT_EQ(doc.GetListLayout().GetColumns()[25].m_Id, kColSqlId);
        EXPECT_EQ(doc.GetListLayout().GetColumns()[26].m_Id, kColElapsedPerExec);
        EXPECT_EQ(doc.GetDefaultLayout().GetCount(), 35);
        EXPECT_TRUE(doc.GetUserList().IsEmpty());
    }
    EXPECT_TRUE(prompter.Messages().empty());  // a first start has nothing to reset
    EXPECT_EQ(store.WriteCount(), 0);
}

TEST(DocumentSettings, WriteOrderAndRoundTripWithNegativeValues) {
    COrderedStore store;
    CRecordingPrompter prompter;
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        CStatementFilter& filter = doc.GetFilter();
        filter.m_Select = 0;
        filter.m_Others = -7;
        filter.m_FiltLoadTimeC = 1;
        filter.m_FiltLoadTimeV = -2147483647 - 1;
        filter.m_FiltBufDskC = 2;
        filter.m_FiltBufDskV = 12;
        filter.m_FiltRowsV = -5;
        filter.m_FiltElapsedC = 3;
        filter.m_FiltElapsedV = 250;  // 2.5 ms
        filter.m_FiltTextInclC = 1;
        filter.m_FiltTextInclV = "select%;from";
        filter.m_FiltTextExclC = 2;
        filter.m_FiltTextExclV = "";
        doc.m_Analyze = 0;
        doc.m_WarnIfNotAllUser = 0;
        doc.m_ExportType = 7;
        doc.m_ExportName = "Pool, today";
        doc.m_ExportFileName = "/tmp/out";
        doc.m_CursorCachePlans = 0;
        doc.m_ExplainAll = 1;
        // Written by the destructor.
    }
    const std::vector<std::string> expectedOrder = {
        "Version/Version",      "Filter/WarnIfNotAllUser", "Filter/Analyze",        "Filter/Select",
        "Filter/Insert",        "Filter/Update",           "Filter/Delete",         "Filter/Others",
        "Filter/ExportType",    "Filter/CursorCachePlans", "Filter/ExportName",     "Filter/ExportFileName",
        "Filter/FiltBufDskC",
        "Filter/FiltBufGetC",   "Filter/FiltDskRdsC",      "Filter/FiltElapsedC",   "Filter/FiltExecsC",
        "Filter/FiltLoadTimeC",
        "Filter/FiltRowsC",     "Filter/FiltSortsC",       "Filter/FiltTextExclC",  "Filter/FiltTextInclC",
        "Filter/FiltBufDskV",   "Filter/FiltBufGetV",      "Filter/FiltDskRdsV",    "Filter/FiltElapsedV",
        "Filter/FiltExecsV",    "Filter/FiltLoadTimeV", "Filter/FiltRowsV",        "Filter/FiltSortsV",     "Filter/FiltTextExclV",
        "Filter/FiltTextInclV", "Filter/ExplainEveryLoad"};
    EXPECT_EQ(store.m_order, expectedOrder);  // no users loaded: "UserList" is left alone
    EXPECT_EQ(store.GetProfileString("Version", "Version", ""), "1.7.2");

    CMemorySettingsStore& asMemory = store;
    CCorvidDoc again(nullptr, asMemory, prompter, nullptr);
    again.SetSaveOnDestroy(false);
    const CStatementFilter& filter = again.GetFilter();
    EXPECT_EQ(filter.m_Select, 0);
    EXPECT_EQ(filter.m_Others, -7);
    EXPECT_EQ(filter.m_FiltLoadTimeC, 1);
    EXPECT_EQ(filter.m_FiltLoadTimeV, -2147483647 - 1);
    EXPECT_EQ(filter.m_FiltBufDskC, 2);
    EXPECT_EQ(filter.m_FiltBufDskV, 12);
    EXPECT_EQ(filter.m_FiltRowsV, -5);
    EXPECT_EQ(filter.m_FiltElapsedC, 3);
    EXPECT_EQ(filter.m_FiltElapsedV, 250);
    EXPECT_EQ(filter.m_FiltTextInclC, 1);
    EXPECT_EQ(filter.m_FiltTextInclV, "select%;from");
    EXPECT_EQ(filter.m_FiltTextExclC, 2);
    EXPECT_EQ(filter.m_FiltTextExclV, "");
    EXPECT_EQ(again.m_Analyze, 0);
    EXPECT_EQ(again.m_WarnIfNotAllUser, 0);
    EXPECT_EQ(again.m_ExportType, 7);
    EXPECT_EQ(again.m_ExportName, "Pool, today");
    EXPECT_EQ(again.m_ExportFileName, "/tmp/out");
    EXPECT_EQ(again.m_CursorCachePlans, 0);
    EXPECT_EQ(again.m_ExplainAll, 1);
}

TEST(DocumentSettings, LayoutIsCheckedAgainstTheStoredVersion) {
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    store.WriteProfileString("Version", "Version", "1.7.2");
    {
        // Version right but no layout saved yet (settings written by an export before
        // the view saved its layout): the layout in use stays, without a message.
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
        CListLayout two;
        two.AddColumn(24, "SQL Text", 300, 0, 1, 0, true);
        two.AddColumn(9, "Exec", 50, 1, 2, 1, false);
        doc.GetListLayout().Assign(two);
        doc.RefreshSettings();  // as after the next connect
        EXPECT_TRUE(doc.GetListLayout().IsEqual(two));
    }
    EXPECT_TRUE(prompter.Messages().empty());

    // A saved layout whose columns cannot be read: corrupt.
    store.WriteProfileInt("ListLayout", "Column#", 2);
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
    }
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>({kCorruptMessage}));
    store.RemoveSection("ListLayout");

    // A usable stored layout of three columns is taken as it is.
    CListLayout three;
    three.AddColumn(24, "SQL Text", 300, 0, 1, 0, true);
    three.AddColumn(9, "Exec", 50, 1, 2, 1, false);
    three.AddColumn(22, "User", 80, 0, 1, 0, true);
    three.Save(store);
    prompter.Clear();
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(three));
    }
    EXPECT_TRUE(prompter.Messages().empty());

    // A layout saved by the earlier release, with its 25 columns, loads unchanged:
    // the new columns do not appear in it.
    CListLayout earlier;
    for (int i = 0; i < 25; ++i)
        earlier.AddColumn(CListLayout::MakeDefaultLayout().GetColumns()[i]);
    ASSERT_LE(earlier.GetColumns().back().m_Id, 30);
    earlier.Save(store);
    prompter.Clear();
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(earlier));
    }
    EXPECT_TRUE(prompter.Messages().empty());

    // More columns than the default layout has: corrupt.
    CListLayout many;
    for (int i = 0; i < 36; ++i) {
        char title[16];
        std::snprintf(title, sizeof title, "C%d", i);
        many.AddColumn(1 + i % 40, title, 50, 1, 2, 0, true);
    }
    many.Save(store);
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
    }
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>({kCorruptMessage}));

    // Another version: the version message, whatever is stored.
    store.WriteProfileString("Version", "Version", "1.7.1");
    prompter.Clear();
    three.Save(store);
    {
        CCorvidDoc doc(nullptr, store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        EXPECT_TRUE(doc.GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
    }
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>({kVersionMessage}));
}

TEST(DocumentSettings, SavedUserSelection) {
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    CCorvidDoc doc(nullptr, store, prompter, nullptr);
    doc.SetSaveOnDestroy(false);
    AddUsers(doc, {0, 5, 7, 9, 12});
    prompter.Clear();

    store.WriteProfileString("Filter", "UserList", "7;x;12;;-1");
    doc.ApplySavedUserSelection();
    EXPECT_EQ(SelectedIds(doc), std::vector<int>({7, 12}));
    EXPECT_TRUE(prompter.Messages().empty());  // not connected: no warning

    store.WriteProfileString("Filter", "UserList", "abc;;x");
    doc.ApplySavedUserSelection();
    EXPECT_EQ(SelectedIds(doc), std::vector<int>({0, 5, 7, 9, 12}));

    // No user selected is written as an empty list and reads back as all selected.
    for (CUserEntry& user : doc.GetUserList())
        user.SetSelected(0);
    doc.WriteSettings();
    EXPECT_EQ(store.GetProfileString("Filter", "UserList", "unset"), "");
    doc.ApplySavedUserSelection();
    EXPECT_EQ(SelectedIds(doc), std::vector<int>({0, 5, 7, 9, 12}));

    doc.GetUserList()[1].SetSelected(0);
    doc.WriteSettings();
    EXPECT_EQ(store.GetProfileString("Filter", "UserList", ""), "0;7;9;12");
}

TEST(DocumentSettings, UserListStringParsing) {
    EXPECT_EQ(ParseUserListString("0;5;21"), std::vector<int>({0, 5, 21}));
    EXPECT_EQ(ParseUserListString(";;3;;;4;"), std::vector<int>({3, 4}));
    EXPECT_EQ(ParseUserListString("12abc;-3;+8;-1;99999999999"), std::vector<int>({12, -3, 8}));
    EXPECT_TRUE(ParseUserListString("").empty());
    EXPECT_TRUE(ParseUserListString("x;y").empty());
}

}  // namespace
}  // namespace corvid
