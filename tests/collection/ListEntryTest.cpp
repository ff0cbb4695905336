#include "list/ListEntry.h"

#include <gtest/gtest.h>

#include <memory>

#include "collection/ObjectEntry.h"

namespace corvid {
namespace {

// An entry that only knows how to build a whole text.
class CNameEntry : public CListEntry {
public:
    std::string GetColumnText(StatementColumn code) const override { return code == kColUserName ? "SCOTT" : ""; }
};

TEST(ListEntryTest, AppendingGoesThroughTheColumnText) {
    CNameEntry entry;
    std::string out = "<";
    entry.AppendColumnText(kColUserName, out);
    entry.AppendColumnText(kColSqlText, out);
    EXPECT_EQ(out, "<SCOTT");
}

TEST(ListEntryTest, StatementsAnswerThroughTheBase) {
    std::unique_ptr<CListEntry> entry = std::make_unique<CObjectEntry>();
    static_cast<CObjectEntry&>(*entry).m_UserName = "SYS";
    EXPECT_EQ(entry->GetColumnText(kColUserName), "SYS");
    EXPECT_EQ(entry->GetColumnText(kColExecutions), "0");
    std::string out;
    entry->AppendColumnText(kColStatus, out);
    EXPECT_EQ(out, "analyzed");
}

}  // namespace
}  // namespace corvid
