#include "list/ListCtrlEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "list/SortClass.h"

namespace corvid {
namespace {

// A list of three columns A, B, C; each row's item data is its first position.
void Fill(CListCtrlEx& list, const std::vector<std::vector<std::string>>& rows) {
    list.DeleteAllColumns();
    list.RemoveAllSortKeys();
    list.InsertColumn(0, "A", kAlignLeft, 50);
    list.InsertColumn(1, "B", kAlignRight, 60);
    list.InsertColumn(2, "C", kAlignCenter, 70);
    list.DeleteAllItems();
    for (const auto& row : rows) {
        int r = list.InsertItem(list.GetItemCount(), row[0]);
        for (std::size_t c = 1; c < row.size(); ++c)
            list.SetItemText(r, static_cast<int>(c), row[c]);
        list.SetItemData(r, 100 + r);
    }
}

std::vector<std::string> Column(const CListCtrlEx& list, int column) {
    std::vector<std::string> texts;
    for (int r = 0; r < list.GetItemCount(); ++r)
        texts.push_back(list.GetItemText(r, column));
    return texts;
}

std::vector<CListCtrlEx::ItemData> Data(const CListCtrlEx& list) {
    std::vector<CListCtrlEx::ItemData> data;
    for (int r = 0; r < list.GetItemCount(); ++r)
        data.push_back(list.GetItemData(r));
    return data;
}

struct SKeyState {
    int position;
    bool ascending;
};

SKeyState Key(const CListCtrlEx& list, int column) {
    SKeyState s{};
    list.GetSortKey(column, s.position, s.ascending);
    return s;
}

TEST(ListCtrlExTest, CellsFollowColumnInsertionAndRemoval) {
    CListCtrlEx list;
    Fill(list, {{"a1", "b1", "c1"}, {"a2", "", "c2"}});
    EXPECT_EQ(list.GetItemText(1, 1), "");
    EXPECT_TRUE(list.SetItemText(1, 1, "longer text"));
    EXPECT_TRUE(list.SetItemText(0, 0, ""));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"b1", "longer text"}));
    EXPECT_EQ(list.GetItemText(0, 2), "c1");

    list.InsertColumn(1, "X");
    EXPECT_EQ(list.GetColumnCount(), 4);
    EXPECT_EQ(list.GetItemText(1, 1), "");
    EXPECT_EQ(list.GetItemText(1, 2), "longer text");
    EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{0, 1, 2, 3}));
    list.DeleteColumn(0);
    EXPECT_EQ(list.GetColumnTitle(0), "X");
    EXPECT_EQ(list.GetItemText(1, 1), "longer text");
    EXPECT_EQ(list.GetItemText(1, 2), "c2");

    // Cells read in place end with a NUL byte, so the C conversions can read them.
    std::string_view cell = list.GetItemTextView(1, 2);
    EXPECT_EQ(cell.data()[cell.size()], '\0');

    // Nonexistent rows and columns are refused, never touched.
    EXPECT_FALSE(list.SetItemText(2, 0, "x"));
    EXPECT_FALSE(list.SetItemText(0, 3, "x"));
    EXPECT_EQ(list.GetItemText(-1, 0), "");
    EXPECT_EQ(list.GetItemData(5), 0);
    EXPECT_EQ(list.InsertItem(-1, "x"), -1);
    EXPECT_EQ(list.InsertItem(99, "end"), 2);
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemText(0, 1), "longer text");
}

TEST(ListCtrlExTest, HeaderDragChangesOnlyTheDisplayOrder) {
    CListCtrlEx list;
    Fill(list, {{"a", "b", "c"}});
    EXPECT_TRUE(list.MoveColumn(2, 0));
    EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(list.GetColumnDisplayPosition(2), 0);
    EXPECT_EQ(list.GetColumnTitle(2), "C");
    EXPECT_EQ(list.GetItemText(0, 2), "c");
    EXPECT_FALSE(list.SetColumnOrderArray({0, 0, 1}));
    EXPECT_FALSE(list.SetColumnOrderArray({0, 1}));
    EXPECT_TRUE(list.SetColumnOrderArray({1, 2, 0}));
    list.DeleteColumn(1);
    EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{1, 0}));
}

TEST(ListCtrlExTest, NumberAndTextSortsOfTheSameCells) {
    CListCtrlEx list;
    Fill(list, {{"10", "", ""}, {"9", "", ""}, {"", "", ""}});
    list.AddSortKey(0, kFormatNumber, 1, true);
    list.Sort();
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"", "9", "10"}));
    EXPECT_EQ(Data(list), (std::vector<CListCtrlEx::ItemData>{102, 101, 100}));

    list.RemoveAllSortKeys();
    list.AddSortKey(0, kFormatText, 1, true);
    list.Sort();
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"", "10", "9"}));
    EXPECT_EQ(Data(list), (std::vector<CListCtrlEx::ItemData>{102, 100, 101}));

    list.RemoveAllSortKeys();
    list.AddSortKey(0, kFormatNumber, 1, false);
    list.Sort();
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"10", "9", ""}));
}

TEST(ListCtrlExTest, TiesKeepTheirOrderAndCaseDoesNotCount) {
    CListCtrlEx list;
    Fill(list, {{"abc", "1", ""}, {"b", "2", ""}, {"ABC", "3", ""}, {"aBc", "4", ""}, {"_", "5", ""}});
    list.AddSortKey(0, kFormatText, 1, true);
    list.Sort();
    // Letters fold to lower case, so "_" (95) sorts before "a" (97).
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"5", "1", "3", "4", "2"}));
    list.RemoveAllSortKeys();
    list.AddSortKey(0, kFormatText, 1, false);
    list.Sort();
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"2", "1", "3", "4", "5"}));

    // Short texts that differ only past their end: the shorter one first.
    Fill(list, {{std::string("a\0", 2), "1", ""},
                {"a", "2", ""},
                {"A", "3", ""},
                {"abcdefgh", "4", ""},
                {"abcdefgH", "5", ""},
                {"abcdefghi", "6", ""}});
    list.AddSortKey(0, kFormatText, 1, true);
    list.Sort();
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"2", "3", "1", "4", "5", "6"}));
}

TEST(ListCtrlExTest, KeysAreAppliedFromTheLastToTheFirst) {
    CListCtrlEx list;
    Fill(list, {{"x", "2", "b"}, {"y", "1", "a"}, {"X", "1", "b"}, {"y", "2", "a"}, {"x", "1", "a"}});
    list.AddSortKey(0, kFormatText, 1, true);
    list.AddSortKey(1, kFormatNumber, 2, false);
    list.AddSortKey(2, kFormatText, 0, true);
    list.Sort();
    std::vector<std::string> rows;
    for (int r = 0; r < list.GetItemCount(); ++r) {
        rows.push_back(list.GetItemText(r, 0) + list.GetItemText(r, 1) + list.GetItemText(r, 2));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"x2b", "X1b", "x1a", "y2a", "y1a"}));
    // Every row still carries its own item data.
    EXPECT_EQ(Data(list), (std::vector<CListCtrlEx::ItemData>{100, 102, 104, 103, 101}));
    bool ascending = false;
    EXPECT_TRUE(list.GetHeader().HasSortArrow(0, &ascending));
    EXPECT_TRUE(ascending);
    EXPECT_TRUE(list.GetHeader().HasSortArrow(1, &ascending));
    EXPECT_FALSE(ascending);
    EXPECT_FALSE(list.GetHeader().HasSortArrow(2));

    // A resized sorted column gets its arrow redrawn at the new width.
    EXPECT_TRUE(list.EndColumnResize(1, 90));
    EXPECT_EQ(list.GetColumnWidth(1), 90);
    EXPECT_EQ(list.GetHeader().GetSortArrows()[0].column, 1);
    EXPECT_EQ(list.GetHeader().GetSortArrows()[0].width, 90);
    EXPECT_TRUE(list.EndColumnResize(2, 10));
    EXPECT_FALSE(list.GetHeader().HasSortArrow(2));
}

TEST(ListCtrlExTest, HeaderClicksWithoutCtrl) {
    CListCtrlEx list;
    Fill(list, {{"1", "3", "b"}, {"2", "1", "a"}, {"3", "2", "c"}});
    list.OnHeaderClick(0, false);  // not sortable yet: nothing happens
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"1", "2", "3"}));
    for (int c = 0; c < 3; ++c)
        list.AddSortKey(c, c == 2 ? kFormatText : kFormatNumber, 0, true);
    EXPECT_TRUE(list.IsSortable());

    list.OnHeaderClick(0, false);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"3", "2", "1"}));
    EXPECT_EQ(Key(list, 0).position, 1);
    EXPECT_FALSE(Key(list, 0).ascending);
    list.OnHeaderClick(0, false);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(Key(list, 0).ascending);
    list.OnHeaderClick(0, false);
    EXPECT_FALSE(Key(list, 0).ascending);

    // Right-button clicks do not sort.
    list.OnHeaderClick(1, false, CListCtrlEx::EMouseButton::Right);
    EXPECT_EQ(Key(list, 1).position, 0);

    list.OnHeaderClick(1, true);   // B becomes the second key
    list.OnHeaderClick(2, false);  // a plain click discards every other key
    EXPECT_EQ(Key(list, 0).position, 0);
    EXPECT_EQ(Key(list, 1).position, 0);
    EXPECT_EQ(Key(list, 2).position, 1);
    EXPECT_FALSE(Key(list, 2).ascending);
    ASSERT_EQ(list.GetHeader().GetSortArrows().size(), 1u);
    EXPECT_EQ(list.GetHeader().GetSortArrows()[0].column, 2);
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(ListCtrlExTest, CtrlClickMovesAKeyToTheEnd) {
    CListCtrlEx list;
    Fill(list, {{"1", "1", "1"}});
    list.AddSortKey(0, kFormatNumber, 1, true);
    list.AddSortKey(1, kFormatNumber, 2, false);
    list.AddSortKey(2, kFormatNumber, 3, true);
    list.OnHeaderClick(0, true);
    EXPECT_EQ(Key(list, 1).position, 1);
    EXPECT_FALSE(Key(list, 1).ascending);
    EXPECT_EQ(Key(list, 2).position, 2);
    EXPECT_TRUE(Key(list, 2).ascending);
    EXPECT_EQ(Key(list, 0).position, 3);
    EXPECT_FALSE(Key(list, 0).ascending);
    EXPECT_EQ(list.GetHeader().GetSortArrows().size(), 3u);

    // Ctrl-click on a column that is not sorted adds it as the last key, descending.
    CListCtrlEx other;
    Fill(other, {{"1", "1", "1"}});
    other.AddSortKey(0, kFormatNumber, 1, true);
    other.AddSortKey(1, kFormatNumber, 0, true);
    other.AddSortKey(2, kFormatNumber, 0, true);
    other.OnHeaderClick(2, true);
    EXPECT_EQ(Key(other, 0).position, 1);
    EXPECT_TRUE(Key(other, 0).ascending);
    EXPECT_EQ(Key(other, 2).position, 2);
    EXPECT_FALSE(Key(other, 2).ascending);
    EXPECT_TRUE(other.GetHeader().HasSortArrow(0));
    EXPECT_TRUE(other.GetHeader().HasSortArrow(2));
}

TEST(ListCtrlExTest, KeysWithGapsOrBadColumnsAreHandledSafely) {
    CListCtrlEx list;
    Fill(list, {{"b", "1", ""}, {"a", "2", ""}});
    list.AddSortKey(7, kFormatText, 1, true);  // no such column
    list.AddSortKey(0, kFormatText, 5, true);
    list.Sort();
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(list.GetHeader().HasSortArrow(7));
    list.OnHeaderClick(2, false);  // no key for that column
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"a", "b"}));

    list.RemoveAllSortKeys();
    list.Sort();  // no keys: only the arrows go
    EXPECT_TRUE(list.GetHeader().GetSortArrows().empty());
    EXPECT_FALSE(list.IsSortable());
}

TEST(ListCtrlExTest, SortDoesNotReenter) {
    CListCtrlEx list;
    Fill(list, {{"2", "", ""}, {"1", "", ""}});
    list.AddSortKey(0, kFormatNumber, 1, true);
    int depth = 0, maxDepth = 0, orders = 0;
    list.SetChangeHandler([&](CListCtrlEx::EChange change) {
        if (change != CListCtrlEx::EChange::Order) return;
        ++orders;
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        EXPECT_TRUE(list.IsSorting());
        EXPECT_EQ(list.GetItemData(0), 101);  // the rows' own item data, not the pass's
        list.Sort();
        --depth;
    });
    list.Sort();
    EXPECT_EQ(orders, 1);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_FALSE(list.IsSorting());
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"1", "2"}));
}

TEST(ListCtrlExTest, SelectionTravelsWithItsRow) {
    CListCtrlEx list;
    Fill(list, {{"2", "", ""}, {"1", "", ""}, {"3", "", ""}});
    list.SetItemSelected(0, true);
    list.AddSortKey(0, kFormatNumber, 1, true);
    list.Sort();
    EXPECT_EQ(list.GetSelectedItems(), std::vector<int>{1});
    EXPECT_EQ(list.GetItemData(1), 100);
    EXPECT_EQ(list.GetSelectedCount(), 1);
    list.SelectNone();
    EXPECT_EQ(list.GetSelectedCount(), 0);
}

TEST(ListCtrlExTest, RedrawSuspensionReportsOnce) {
    CListCtrlEx list;
    int changes = 0;
    list.SetChangeHandler([&](CListCtrlEx::EChange) { ++changes; });
    list.SetRedraw(false);
    Fill(list, {{"1", "2", "3"}, {"4", "5", "6"}});
    EXPECT_EQ(changes, 0);
    list.SetRedraw(true);
    EXPECT_EQ(changes, 1);
}

TEST(SortClassTest, NumbersReadLikeTheCLibrary) {
    const char* samples[] = {"10",
                             " 42abc",
                             "-3.5",
                             "+7",
                             "1e3",
                             "1e",
                             "2.5E-2x",
                             ".5",
                             "5.",
                             "-.25",
                             "abc",
                             "",
                             "0x1A",
                             "inf",
                             "nan",
                             "1e400",
                             "-1e400",
                             "1e-400",
                             "\t\n12",
                             "1,5",
                             "- 3",
                             "12 34",
                             "3.14159265358979323846264338327950288"};
    for (const char* s : samples) {
        std::string text(s);
        double expected = std::strtod(text.c_str(), nullptr);
        // Hexadecimal numbers, "inf" and "nan" are no decimal numbers.
        if (text == "0x1A" || text == "inf" || text == "nan") expected = 0;
        EXPECT_EQ(CSortClass::ParseNumber(text), expected) << '"' << s << '"';
    }
}

TEST(SortClassTest, PassRestoresItemDataEvenWithoutSorting) {
    CListCtrlEx list;
    Fill(list, {{"b", "", ""}, {"a", "", ""}});
    {
        CSortClass pass(list, 0, false);
        EXPECT_EQ(list.GetItemData(0), 0);  // the sort item's number stands in meanwhile
        EXPECT_EQ(list.GetItemData(1), 1);
    }
    EXPECT_EQ(Data(list), (std::vector<CListCtrlEx::ItemData>{100, 101}));
    {
        CSortClass pass(list, 0, false);
        pass.SortRows(true);
        pass.SortRows(false);  // a second run starts from the rows as they stand
    }
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(Data(list), (std::vector<CListCtrlEx::ItemData>{100, 101}));
    EXPECT_LT(CSortClass::CompareNoCase("abc", "ABD"), 0);
    EXPECT_EQ(CSortClass::CompareNoCase("ABCDEFGHIJ", "abcdefghij"), 0);
    EXPECT_GT(CSortClass::CompareNoCase("abcdefghij", "abcdefgh"), 0);
}

// Byte by byte, ASCII capitals folded: the order the text sort must give.
int ReferenceCompareNoCase(const std::string& a, const std::string& b) {
    auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return static_cast<unsigned char>(u >= 'A' && u <= 'Z' ? u + 32 : u);
    };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

TEST(ListCtrlExTest, TextSortAgreesWithAByteByByteCaseFoldingCompare) {
    // Texts that share long prefixes and differ in the bytes next to the capitals
    // ('@', '[', '`', '{'), in capitals and small letters, and above 0x7F (where
    // 0xC1 and 0xE1 differ only in the top bit), at every offset and length.
    const std::string alphabet = "@AZ[`az{aAzZ \xC1\xE1\x80\xFF" "0";
    std::mt19937 random(17);
    std::vector<std::string> texts;
    for (int i = 0; i < 600; ++i) {
        std::string text = i % 3 == 0 ? "SELECT * FROM " : (i % 3 == 1 ? "select * from " : "");
        const std::size_t length = random() % 30;
        for (std::size_t k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        texts.push_back(text);
    }
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        for (std::size_t j : {i + 1, texts.size() - 1 - i % 7}) {
            const int expected = ReferenceCompareNoCase(texts[i], texts[j]);
            const int got = CSortClass::CompareNoCase(texts[i], texts[j]);
            ASSERT_EQ((got > 0) - (got < 0), expected) << "[" << texts[i] << "] [" << texts[j] << "]";
        }
    }

    CListCtrlEx list;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& text : texts)
        rows.push_back({text, "", ""});
    Fill(list, rows);
    std::vector<std::string> expected = texts;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) { return ReferenceCompareNoCase(a, b) < 0; });
    {
        CSortClass pass(list, 0, false);
        pass.SortRows(true);
    }
    EXPECT_EQ(Column(list, 0), expected);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) { return ReferenceCompareNoCase(b, a) < 0; });
    Fill(list, rows);
    {
        CSortClass pass(list, 0, false);
        pass.SortRows(false);
    }
    EXPECT_EQ(Column(list, 0), expected);
}

}  // namespace
}  // namespace corvid
