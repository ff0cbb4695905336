// Dates written and read through masks, with the padding and clock defaults
// Oracle's TO_CHAR and TO_DATE give.

#include <gtest/gtest.h>

#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Errors.h"

namespace {

using ocisim::FormatDate;
using ocisim::MakeDate;
using ocisim::ParseDate;

TEST(DateTime, MasksPadEveryFieldAndReadBack) {
    const std::int64_t t = MakeDate(987, 3, 4, 0, 5, 9);
    EXPECT_EQ(FormatDate(t, "YYYY-MM-DD/HH24:MI:SS"), "0987-03-04/00:05:09");
    EXPECT_EQ(FormatDate(t, "DD-MON-YY HH12:MI AM"), "04-MAR-87 12:05 AM");
    EXPECT_EQ(FormatDate(MakeDate(2024, 12, 31, 23, 59, 58), "HH12 PM \"at\" YYYY"), "11 PM at 2024");
    EXPECT_EQ(FormatDate(MakeDate(2024, 9, 1, 13, 0, 0), "MONTH DD"), "SEPTEMBER 01");
    for (const char* mask : {"YYYY-MM-DD/HH24:MI:SS", "DD.MM.YYYY HH24:MI:SS", "YYYY MON DD HH12:MI:SS PM"}) {
        for (const std::int64_t when : {MakeDate(1999, 1, 1, 0, 0, 0), MakeDate(2024, 2, 29, 12, 30, 1),
                                        MakeDate(2030, 11, 30, 23, 0, 59)}) {
            EXPECT_EQ(ParseDate(FormatDate(when, mask), mask), when) << mask << " " << FormatDate(when, mask);
        }
    }
    // Without a year the current one is taken; the day defaults to the first.
    const std::int64_t noYear = ParseDate("07-15", "MM-DD");
    EXPECT_EQ(FormatDate(noYear, "MM-DD HH24:MI:SS"), "07-15 00:00:00");
    EXPECT_EQ(FormatDate(ParseDate("2024-07", "YYYY-MM"), "YYYY-MM-DD"), "2024-07-01");
    EXPECT_THROW(ParseDate("2024-02-30", "YYYY-MM-DD"), ocisim::OraException);
}

}  // namespace
