#include "collection/QArray.h"

#include <gtest/gtest.h>

#include <string>

#include "collection/ObjectEntry.h"

namespace corvid {
namespace {

TEST(QArrayTest, GrowsShrinksAndChecksPositions) {
    CQArray<std::string> a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.Add("a"), 0);
    EXPECT_EQ(a.Add("b"), 1);
    a.InsertAt(0, "z");
    a.InsertAt(3, "end");
    ASSERT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[0], "z");
    EXPECT_EQ(a.GetAt(3), "end");
    EXPECT_EQ(a.GetUpperBound(), 3);
    a.RemoveAt(1, 2);
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[1], "end");
    a.SetAt(1, "e");
    EXPECT_EQ(a.ElementAt(1), "e");
    a.SetSize(5);
    EXPECT_EQ(a[4], "");
    a.SetSize(1);
    EXPECT_EQ(a.GetCount(), 1);

    EXPECT_THROW(a.GetAt(1), std::out_of_range);
    EXPECT_THROW(a[-1], std::out_of_range);
    EXPECT_THROW(a.RemoveAt(0, 2), std::out_of_range);
    EXPECT_THROW(a.InsertAt(3, "x"), std::out_of_range);
    EXPECT_THROW(a.SetSize(-1), std::out_of_range);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}

TEST(QArrayTest, HoldsStatementsByValue) {
    CObjectArray a;
    CObjectEntry e;
    e.m_SqlText = "select 1 from dual";
    a.Add(e);
    e.m_SqlText = "changed";
    EXPECT_EQ(a[0].m_SqlText, "select 1 from dual");

    CObjectArray b;
    b.Copy(a);
    b.Append(a);
    b[0].SetDistance(3);
    EXPECT_EQ(b.GetSize(), 2);
    EXPECT_EQ(a[0].m_Distance, 0);
    b.Copy(b);
    EXPECT_EQ(b.GetSize(), 2);
}

TEST(QArrayTest, SortIsStable) {
    CQArray<std::pair<int, int>> a;
    for (int i = 0; i < 20; ++i)
        a.Add({i % 3, i});
    a.Sort([](const auto& x, const auto& y) { return x.first < y.first; });
    for (int i = 1; i < a.GetSize(); ++i) {
        ASSERT_LE(a[i - 1].first, a[i].first);
        if (a[i - 1].first == a[i].first) {
            ASSERT_LT(a[i - 1].second, a[i].second);
        }
    }
}

}  // namespace
}  // namespace corvid
