// The library files themselves: names, links, which entry points each exports,
// and that the release 7 calls stay inside the data area's fixed part.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "ClientLibrary.h"

namespace {

const char* const kRelease8Names[] = {
#define OCISIM_NAME(name) #name,
    OCISIM_RELEASE8_FUNCTIONS(OCISIM_NAME)
#undef OCISIM_NAME
};
const char* const kRelease7Names[] = {
#define OCISIM_NAME(name) #name,
    OCISIM_RELEASE7_FUNCTIONS(OCISIM_NAME)
#undef OCISIM_NAME
};

TEST(LibraryFilesTest, ClntshIsALinkToTheVersionedFileAndExportsBothGenerations) {
    const CClientLibrary& library = CClientLibrary::Clntsh();
    ASSERT_TRUE(library.IsLoaded()) << library.Path();
    char target[PATH_MAX] = {};
    ASSERT_GT(readlink(library.Path().c_str(), target, sizeof target - 1), 0) << "libclntsh.so is a link";
    EXPECT_STREQ(target, "libclntsh.so.19.1");
    for (const char* name : kRelease8Names) EXPECT_NE(library.Symbol(name), nullptr) << name;
    for (const char* name : kRelease7Names) EXPECT_NE(library.Symbol(name), nullptr) << name;
    // Nothing of the implementation is visible.
    EXPECT_EQ(library.Symbol("_ZN6ocisim10TheServerEv"), nullptr);
}

TEST(LibraryFilesTest, Ociw32ExportsTheRelease7FunctionsOnly) {
    static const CClientLibrary alone("lib7", "libociw32.so");
    for (const CClientLibrary* library : {&CClientLibrary::Ociw32(), &alone}) {
        ASSERT_TRUE(library->IsLoaded()) << library->Path();
        for (const char* name : kRelease7Names) EXPECT_NE(library->Symbol(name), nullptr) << name;
        for (const char* name : kRelease8Names) EXPECT_EQ(library->Symbol(name), nullptr) << name;
    }
    struct stat info;
    EXPECT_NE(stat((CClientLibrary("lib7", "libociw32.so").Path() + "/../libclntsh.so").c_str(), &info), 0)
        << "the release 7 folder holds the release 7 library alone";
}

TEST(LibraryFilesTest, MissingVariantLacksExactlyOneEntryPoint) {
    static const CClientLibrary library("lib-missing", "libclntsh.so");
    ASSERT_TRUE(library.IsLoaded()) << library.Path();
    int missing = 0;
    for (const char* name : kRelease8Names) missing += library.Symbol(name) == nullptr;
    for (const char* name : kRelease7Names) missing += library.Symbol(name) == nullptr;
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(library.Symbol("OCIDefineDynamic"), nullptr);
}

TEST(LibraryFilesTest, Release7CallsWriteNothingPastTheFixedPartOfTheAreas) {
    // Areas of the 64-bit size (88 bytes), marked beyond the 56 bytes that every
    // layout shares.
    alignas(8) unsigned char lda[88];
    alignas(8) unsigned char cda[88];
    std::memset(lda, 0, sizeof lda);
    std::memset(cda, 0, sizeof cda);
    std::memset(lda + 56, 0xCD, 32);
    std::memset(cda + 56, 0xCD, 32);
    ub1 hda[512] = {};
    const Release7Api api = CClientLibrary::Ociw32().Release7();
    auto* logon = reinterpret_cast<cda_def*>(lda);
    auto* cursor = reinterpret_cast<cda_def*>(cda);
    ASSERT_EQ(api.olog(logon, hda, (OraText*)"SCOTT", -1, (OraText*)"TIGER", -1, (OraText*)"DEMO", -1, 0), 0)
        << logon->rc;
    ASSERT_EQ(api.oopen(cursor, logon, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(api.oparse(cursor, (OraText*)"SELECT user FROM dual", -1, 1, 1), 0);
    char name[31] = {};
    ASSERT_EQ(api.odefin(cursor, 1, (ub1*)name, sizeof name, SQLT_STR, -1, nullptr, nullptr, -1, -1, nullptr, nullptr),
              0);
    EXPECT_EQ(api.oexfet(cursor, 1, 0, 0), 0) << cursor->rc;
    EXPECT_STREQ(name, "SCOTT");
    EXPECT_EQ(api.ofen(cursor, 1), 4) << "the release 2 code of no data found";
    EXPECT_EQ(cursor->rc, 1403);
    EXPECT_EQ(api.oclose(cursor), 0);
    EXPECT_EQ(api.ologof(logon), 0);
    for (int i = 56; i < 88; ++i) {
        EXPECT_EQ(lda[i], 0xCD) << i;
        EXPECT_EQ(cda[i], 0xCD) << i;
    }
}

}  // namespace
