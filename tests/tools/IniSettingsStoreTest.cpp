#include "IniSettingsStore.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

// What the desktop's settings library writes: escaped keys, quoted values with
// backslash escapes, typed values with "@", and sections in brackets.
TEST(IniSettingsStore, ReadsTheDesktopFileForms) {
    CIniSettingsStore store;
    store.Parse("[General]\r\n"
                "top=1\r\n"
                "\r\n"
                "[Filter]\r\n"
                "Analyze=0\r\n"
                "UserList=\"0;5;21\"\r\n"
                "ExportName=\"Pool, \\\"nightly\\\" \\\\ report\"\r\n"
                "FiltTextInclV=%SELECT%\r\n"
                "FiltTextExclV=\"  padded  \"\r\n"
                "Multi=\"line\\none\\ttab\"\r\n"
                "Accent=\"caf\\x00e9\"\r\n"
                "At=@@home\r\n"
                "Nothing=@Invalid()\r\n"
                "Bytes=@ByteArray(raw)\r\n"
                "List=a, b ,c\r\n"
                "Long=first \\\r\n"
                "second\r\n"
                "; a comment\r\n"
                "[ListLayout]\r\n"
                "Column%23=2\r\n"
                "C000_S=-1\r\n"
                "[Odd%20Section]\r\n"
                "Key%20With%20Spaces=yes\r\n");
    EXPECT_EQ(store.GetProfileInt("General", "top", 0), 1);
    EXPECT_EQ(store.GetProfileInt("Filter", "Analyze", 1), 0);
    EXPECT_EQ(store.GetProfileString("Filter", "UserList", ""), "0;5;21");
    EXPECT_EQ(store.GetProfileString("Filter", "ExportName", ""), "Pool, \"nightly\" \\ report");
    EXPECT_EQ(store.GetProfileString("Filter", "FiltTextInclV", ""), "%SELECT%");
    EXPECT_EQ(store.GetProfileString("Filter", "FiltTextExclV", ""), "  padded  ");
    EXPECT_EQ(store.GetProfileString("Filter", "Multi", ""), "line\none\ttab");
    EXPECT_EQ(store.GetProfileString("Filter", "Accent", ""), "caf\xC3\xA9");
    EXPECT_EQ(store.GetProfileString("Filter", "At", ""), "@home");
    EXPECT_FALSE(store.HasKey("Filter", "Nothing"));
    EXPECT_EQ(store.GetProfileString("Filter", "Nothing", "dflt"), "dflt");
    EXPECT_EQ(store.GetProfileString("Filter", "Bytes", ""), "raw");
    EXPECT_EQ(store.GetProfileString("Filter", "List", ""), "a,b,c");
    EXPECT_EQ(store.GetProfileString("Filter", "Long", ""), "first second");
    EXPECT_EQ(store.GetProfileInt("ListLayout", "Column#", -1), 2);
    EXPECT_EQ(store.GetProfileString("ListLayout", "C000_S", "0"), "-1");
    EXPECT_EQ(store.GetProfileString("Odd Section", "Key With Spaces", ""), "yes");
    // Missing keys and text that is no number give the default.
    EXPECT_EQ(store.GetProfileInt("Filter", "Missing", 7), 7);
    EXPECT_EQ(store.GetProfileInt("Filter", "UserList", 7), 7);
}

// A value whose last character is a backslash is written with the backslash
// doubled at the end of its line; that line must not swallow the next key.
TEST(IniSettingsStore, EscapedBackslashAtTheEndOfALineEndsTheLine) {
    CIniSettingsStore store;
    store.Parse("[Filter]\r\n"
                "ExportFileName=C:\\\\exports\\\\\r\n"
                "FiltBufDskC=2\r\n"
                "FiltTextInclV=odd\\\\\\\r\n"
                "run\r\n"
                "FiltTextExclV=even\\\\\\\\\n"
                "Select=0\n");
    EXPECT_EQ(store.GetProfileString("Filter", "ExportFileName", ""), "C:\\exports\\");
    EXPECT_EQ(store.GetProfileInt("Filter", "FiltBufDskC", 0), 2);
    // Three backslashes: an escaped one, then one that continues the line.
    EXPECT_EQ(store.GetProfileString("Filter", "FiltTextInclV", ""), "odd\\run");
    EXPECT_EQ(store.GetProfileString("Filter", "FiltTextExclV", ""), "even\\\\");
    EXPECT_EQ(store.GetProfileInt("Filter", "Select", 1), 0);
}

TEST(IniSettingsStore, WritesStayInMemory) {
    CIniSettingsStore store;
    EXPECT_FALSE(store.Load("/nonexistent/Corvid.ini"));
    store.WriteProfileInt("Filter", "Select", -3);
    EXPECT_EQ(store.GetProfileInt("Filter", "Select", 1), -3);
    store.RemoveSection("Filter");
    EXPECT_FALSE(store.HasKey("Filter", "Select"));
}

}  // namespace
}  // namespace corvid
