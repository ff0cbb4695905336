#include "list/ListLayout.h"

#include <gtest/gtest.h>

#include "collection/ObjectEntry.h"
#include "list/ListCtrlEx.h"
#include "platform/MemorySettingsStore.h"
#include "platform/StringTable.h"

namespace corvid {
namespace {

const char* kSection = "ListLayout";

std::vector<int> Ids(const CListLayout& layout) {
    std::vector<int> ids;
    for (const CListColLayout& c : layout.GetColumns())
        ids.push_back(c.m_Id);
    return ids;
}

TEST(ListColLayoutTest, DerivedValuesAndNames) {
    CListColLayout empty;
    EXPECT_EQ(empty.m_Id, -1);
    EXPECT_EQ(empty.m_Width, -1);
    EXPECT_EQ(empty.m_Alignment, 0);
    EXPECT_EQ(empty.m_Format, 1);
    EXPECT_EQ(empty.m_Sort, 0);
    EXPECT_EQ(empty.GetSortOrderName(), "");
    EXPECT_TRUE(empty.IsAscending());

    CListColLayout down(6, "Buf Get/E", 70, kAlignRight, kFormatNumber, 1, false);
    EXPECT_EQ(down.m_Sort, -1);
    EXPECT_EQ(down.GetSortPosition(), 1);
    EXPECT_FALSE(down.IsAscending());
    EXPECT_EQ(down.GetSortOrderName(), "dec");
    EXPECT_EQ(down.GetAlignmentName(), "Right");
    EXPECT_EQ(down.GetFormatName(), "Number");
    EXPECT_EQ(CListColLayout(1, "t", 1, 0, 1, 0, false).m_Sort, 0);
    EXPECT_EQ(CListColLayout(1, "t", 1, 2, 1, 3, true).GetSortOrderName(), "asc");
    EXPECT_EQ(CListColLayout(1, "t", 1, 2, 1, 3, true).GetAlignmentName(), "Center");
    EXPECT_EQ(CListColLayout(1, "t", 1, 3, 0, 3, true).GetAlignmentName(), "?");
    EXPECT_EQ(CListColLayout(1, "t", 1, 3, 0, 3, true).GetFormatName(), "?");

    CListColLayout other = down;
    EXPECT_TRUE(other.IsEqual(down));
    other.m_Title = "buf get/e";
    EXPECT_FALSE(other.IsEqual(down));
}

TEST(ListLayoutTest, DefaultAndSimilarLayouts) {
    CListLayout layout = CListLayout::MakeDefaultLayout();
    EXPECT_EQ(layout.GetName(), "ListLayout");
    EXPECT_EQ(Ids(layout), (std::vector<int>{22, 9,  1,  4,  26, 27, 3,  6,  8,  12, 24, 25, 18, 10, 2,  5,  7, 11,
                                             13, 14, 15, 19, 23, 28, 30, 31, 35, 33, 34, 36, 37, 32, 38, 39, 40}));
    // A fresh profile: the earlier 25 columns, then SQL ID and elapsed per execution.
    CListLayout fresh = CListLayout::MakeFreshLayout();
    ASSERT_EQ(fresh.GetCount(), 27);
    for (int i = 0; i < 25; ++i)
        EXPECT_TRUE(fresh.GetColumns()[i].IsEqual(layout.GetColumns()[i])) << i;
    EXPECT_TRUE(fresh.GetColumns()[25].IsEqual(CListColLayout(31, "SQL ID", 110, kAlignLeft, kFormatText, 0, true)));
    EXPECT_TRUE(
        fresh.GetColumns()[26].IsEqual(CListColLayout(35, "Elapsed/E (ms)", 90, kAlignRight, kFormatNumber, 0, true)));
    CListColLayout c;
    ASSERT_TRUE(layout.FindColumn(kColBufferGetsPerExec, c));
    EXPECT_TRUE(c.IsEqual(CListColLayout(6, "Buf Get/E", 70, kAlignRight, kFormatNumber, 1, false)));
    ASSERT_TRUE(layout.FindColumn(kColPercOfDiskReads, c));
    EXPECT_EQ(c.m_Title, "%  Disk");
    ASSERT_TRUE(layout.FindColumn(kColStatus, c));
    EXPECT_EQ(c.m_Alignment, kAlignCenter);
    ASSERT_TRUE(layout.GetColumn(24, c));
    EXPECT_TRUE(c.IsEqual(CListColLayout(30, "Error Message", 200, kAlignLeft, kFormatText, 0, true)));
    EXPECT_FALSE(layout.GetColumn(35, c));
    EXPECT_FALSE(layout.FindColumn(kColLoads, c));
    int sorted = 0;
    for (const CListColLayout& col : layout.GetColumns())
        sorted += col.m_Sort != 0;
    EXPECT_EQ(sorted, 1);

    CListLayout similar = CListLayout::MakeSimilarLayout();
    ASSERT_EQ(similar.GetCount(), 3);
    EXPECT_TRUE(
        similar.GetColumns()[0].IsEqual(CListColLayout(29, "Distance", 80, kAlignRight, kFormatNumber, 1, true)));
    EXPECT_TRUE(similar.GetColumns()[1].IsEqual(CListColLayout(22, "User", 80, kAlignLeft, kFormatText, 0, true)));
    EXPECT_TRUE(
        similar.GetColumns()[2].IsEqual(CListColLayout(24, "SQL Text", 1500, kAlignLeft, kFormatText, 0, true)));
}

TEST(ListLayoutTest, MissingTitleResourceBecomesStrNumber) {
    CMapStringTable table({{200, "Benutzer"}, {201, ""}});
    SetStringTable(&table);
    CListLayout layout;
    EXPECT_EQ(layout.AddDefaultColumn(22, 200, 80, 0, 1, 0, true), 1);
    EXPECT_EQ(layout.AddDefaultColumn(18, 201, 80, 0, 1, 0, true), 2);
    EXPECT_EQ(layout.AddDefaultColumn(24, 9999, 80, 0, 1, 0, true), 3);
    SetStringTable(nullptr);
    EXPECT_EQ(layout.GetColumns()[0].m_Title, "Benutzer");
    EXPECT_EQ(layout.GetColumns()[1].m_Title, "STR # 201");
    EXPECT_EQ(layout.GetColumns()[2].m_Title, "STR # 9999");
}

TEST(ListLayoutTest, CopiesAreDeepAndSelfAssignmentIsHarmless) {
    CListLayout a = CListLayout::MakeDefaultLayout();
    CListLayout b(a);
    EXPECT_TRUE(b.IsEqual(a));
    b.AddColumn(16, "# Loads", 50, 1, 2, 0, true);
    EXPECT_EQ(a.GetCount(), 35);
    EXPECT_FALSE(b.IsEqual(a));
    a.Assign(a);
    EXPECT_EQ(a.GetCount(), 35);
    b.Assign(a);
    EXPECT_TRUE(b.IsEqual(a));
    b.SetName("Other");
    EXPECT_FALSE(b.IsEqual(a));
    b.RemoveAll();
    EXPECT_EQ(b.GetCount(), 0);
}

TEST(ListLayoutTest, SaveWritesEveryKeyAndLoadReadsItBack) {
    CMemorySettingsStore store;
    CListLayout layout = CListLayout::MakeDefaultLayout();
    EXPECT_TRUE(layout.Save(store));
    EXPECT_EQ(store.WriteCount(), 1 + 35 * 6);
    EXPECT_EQ(store.GetProfileInt(kSection, "Column#", 0), 35);
    EXPECT_EQ(store.GetProfileInt(kSection, "C007_I", 0), 6);
    EXPECT_EQ(store.GetProfileString(kSection, "C007_N", ""), "Buf Get/E");
    EXPECT_EQ(store.GetProfileInt(kSection, "C007_W", 0), 70);
    EXPECT_EQ(store.GetProfileInt(kSection, "C007_J", 0), 1);
    EXPECT_EQ(store.GetProfileInt(kSection, "C007_T", 0), 2);
    EXPECT_EQ(store.GetProfileString(kSection, "C007_S", ""), "-1");
    EXPECT_EQ(store.GetProfileString(kSection, "C000_S", ""), "0");

    CListLayout loaded;
    loaded.AddColumn(1, "stale", 1, 0, 1, 0, true);
    EXPECT_TRUE(loaded.Load(store));
    EXPECT_TRUE(loaded.IsEqual(layout));

    // A shorter layout leaves the old keys behind; Load never reads them.
    CListLayout shorter = CListLayout::MakeSimilarLayout();
    shorter.Save(store);
    EXPECT_TRUE(store.HasKey(kSection, "C024_I"));
    EXPECT_TRUE(loaded.Load(store));
    EXPECT_TRUE(loaded.IsEqual(shorter));
}

// A valid stored layout of two columns, for the failure cases to spoil.
void StoreTwoColumns(CMemorySettingsStore& store) {
    store.RemoveSection(kSection);
    CListLayout layout;
    layout.AddColumn(22, "User", 80, kAlignLeft, kFormatText, 0, true);
    layout.AddColumn(6, "Buf Get/E", 70, kAlignRight, kFormatNumber, 1, false);
    layout.Save(store);
}

TEST(ListLayoutTest, LoadRejectsUnusableLayouts) {
    CMemorySettingsStore store;
    CListLayout layout;
    EXPECT_FALSE(layout.Load(store));  // nothing stored at all

    struct SCase {
        const char* key;
        const char* value;
        bool loads;
    } cases[] = {
        {"C001_I", "-1", false},  {"C001_I", "abc", false}, {"C001_W", "-1", false}, {"C001_J", "3", false},
        {"C001_J", "-1", false},  {"C000_T", "0", false},   {"C001_T", "3", false},  {"C001_S", "3", false},
        {"C001_S", "-3", false},  {"C001_S", "2", true},    {"C001_S", "x", true},   {"C000_N", "", true},
        {"C001_I", "4711", true},
    };
    for (const SCase& c : cases) {
        StoreTwoColumns(store);
        store.WriteProfileString(kSection, c.key, c.value);
        EXPECT_EQ(layout.Load(store), c.loads) << c.key << "=" << c.value;
    }

    // Missing keys: an id or a width fails; a missing title or sort does not.
    for (const char* key : {"C001_I", "C001_W", "C001_J", "C001_T"}) {
        StoreTwoColumns(store);
        CMemorySettingsStore copy;
        for (const auto& [k, v] : store.Sections().at(kSection)) {
            if (k != key) copy.WriteProfileString(kSection, k, v);
        }
        EXPECT_FALSE(layout.Load(copy)) << key;
        EXPECT_EQ(layout.GetCount(), 1) << "the columns read so far stay";
    }
    for (const char* key : {"C001_N", "C001_S"}) {
        StoreTwoColumns(store);
        CMemorySettingsStore copy;
        for (const auto& [k, v] : store.Sections().at(kSection)) {
            if (k != key) copy.WriteProfileString(kSection, k, v);
        }
        EXPECT_TRUE(layout.Load(copy)) << key;
        EXPECT_EQ(layout.GetColumns()[1].m_Sort, std::string(key) == "C001_S" ? 0 : -1);
        EXPECT_EQ(layout.GetColumns()[1].m_Title, std::string(key) == "C001_N" ? "" : "Buf Get/E");
    }

    StoreTwoColumns(store);
    store.WriteProfileInt(kSection, "Column#", 0);
    EXPECT_TRUE(layout.Load(store));
    EXPECT_EQ(layout.GetCount(), 0);
    store.WriteProfileInt(kSection, "Column#", -5);
    EXPECT_TRUE(layout.Load(store));
    store.WriteProfileInt(kSection, "Column#", -1);
    EXPECT_FALSE(layout.Load(store));
    store.WriteProfileInt(kSection, "Column#", 3);
    EXPECT_FALSE(layout.Load(store));  // C002_I missing
}

TEST(ListLayoutTest, StoredSortTexts) {
    CMemorySettingsStore store;
    CListLayout layout;
    struct SCase {
        const char* text;
        int sort;
    } cases[] = {{"-2", -2}, {"+3", 3}, {"3", 3}, {"0", 0}, {"text", 0}, {" -1x", -1}, {"", 0}};
    for (const SCase& c : cases) {
        store.RemoveSection(kSection);
        store.WriteProfileInt(kSection, "Column#", 3);
        for (int i = 0; i < 3; ++i) {
            const std::string p = "C00" + std::to_string(i);
            store.WriteProfileInt(kSection, p + "_I", 22);
            store.WriteProfileString(kSection, p + "_N", std::string("T").append(std::to_string(i)));
            store.WriteProfileInt(kSection, p + "_W", 10);
            store.WriteProfileInt(kSection, p + "_J", 0);
            store.WriteProfileInt(kSection, p + "_T", 1);
        }
        store.WriteProfileString(kSection, "C002_S", c.text);
        ASSERT_TRUE(layout.Load(store)) << c.text;
        EXPECT_EQ(layout.GetColumns()[2].m_Sort, c.sort) << c.text;
    }
}

TEST(ListLayoutTest, ColumnsKeysAndRowsReachTheList) {
    CListLayout layout = CListLayout::MakeDefaultLayout();
    CListCtrlEx list;
    list.InsertColumn(0, "old");
    list.AddSortKey(0, kFormatText, 1, true);
    layout.CreateColumns(list);
    EXPECT_FALSE(list.IsSortable());
    ASSERT_EQ(list.GetColumnCount(), 35);
    EXPECT_EQ(list.GetColumnTitle(0), "User");
    EXPECT_EQ(list.GetColumnWidth(10), 400);
    EXPECT_EQ(list.GetColumnAlignment(23), kAlignCenter);
    layout.ApplySortKeys(list);
    ASSERT_EQ(list.GetSortKeys().size(), 35u);
    EXPECT_EQ(list.GetSortKeys()[1].position, 0);
    EXPECT_EQ(list.GetSortKeys()[7].column, 7);
    EXPECT_EQ(list.GetSortKeys()[7].format, kFormatNumber);
    EXPECT_EQ(list.GetSortKeys()[7].position, 1);
    EXPECT_FALSE(list.GetSortKeys()[7].ascending);

    CObjectEntry a(1, 2, 30, 700, 0, 2, 1, 4, 10, 20, 30, 1, 3, "CHOOSE", 5, 5, "SCOTT", "0000ABCD", "select 1",
                   "2026-01-01/00:00:00");
    CObjectEntry b = a;
    b.m_BufferGets = 900;
    b.m_UserName = "SYS";
    layout.FillRow(list, 0, a);
    layout.FillRow(list, 0, b);  // inserted before a
    ASSERT_EQ(list.GetItemCount(), 2);
    for (int i = 0; i < 35; ++i) {
        EXPECT_EQ(list.GetItemText(0, i), b.GetColumnText(layout.GetColumns()[i].m_Id)) << i;
        EXPECT_EQ(list.GetItemText(1, i), a.GetColumnText(layout.GetColumns()[i].m_Id)) << i;
    }
    list.SetItemData(0, 1);
    list.SetItemData(1, 0);
    list.Sort();  // Buf Get/E, descending
    EXPECT_EQ(list.GetItemText(0, 0), "SYS");
    list.OnHeaderClick(7, false);  // the sorted column flips to ascending
    EXPECT_EQ(list.GetItemText(0, 0), "SCOTT");
    EXPECT_EQ(list.GetItemData(0), 0);

    CListLayout none;
    none.FillRow(list, 0, a);
    EXPECT_EQ(list.GetItemCount(), 2);
}

TEST(ListLayoutTest, ReadFromListKeepsTheUsersOrderWidthsAndKeys) {
    CMemorySettingsStore store;
    CListLayout layout = CListLayout::MakeDefaultLayout();
    CListCtrlEx list;
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    // Drag "SQL Text" (column 10) to the first place and narrow it; Ctrl-click "Exec".
    ASSERT_TRUE(list.MoveColumn(list.GetColumnDisplayPosition(10), 0));
    list.SetColumnWidth(10, 250);
    list.OnHeaderClick(1, true);
    layout.ReadFromList(list);
    layout.Save(store);

    EXPECT_EQ(store.GetProfileString(kSection, "C000_N", ""), "SQL Text");
    EXPECT_EQ(store.GetProfileInt(kSection, "C000_I", 0), 24);
    EXPECT_EQ(store.GetProfileInt(kSection, "C000_W", 0), 250);
    EXPECT_EQ(store.GetProfileString(kSection, "C001_N", ""), "User");
    EXPECT_EQ(store.GetProfileString(kSection, "C002_S", ""), "-2");  // Exec, second key, descending
    EXPECT_EQ(store.GetProfileString(kSection, "C008_S", ""), "-1");  // Buf Get/E

    CListLayout next;
    ASSERT_TRUE(next.Load(store));
    EXPECT_TRUE(next.IsEqual(layout));
    CListCtrlEx fresh;
    next.CreateColumns(fresh);
    EXPECT_EQ(fresh.GetColumnTitle(0), "SQL Text");
    EXPECT_EQ(fresh.GetColumnWidth(0), 250);
    EXPECT_EQ(fresh.GetColumnAlignment(0), kAlignLeft);

    // A header text that no layout column carries is left out.
    list.SetColumnTitle(0, "Renamed");
    layout.ReadFromList(list);
    EXPECT_EQ(layout.GetCount(), 34);
    CListColLayout c;
    EXPECT_FALSE(layout.FindColumn(kColUserName, c));
}

}  // namespace
}  // namespace corvid
