#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "diag/FileVersionInfo.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;

TEST(FileVersionInfo, VersionComesFromTheLibraryFileName) {
    EXPECT_EQ(LibraryVersionFromFileName("/opt/oracle/lib/libclntsh.so.19.1"), "19.1");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so.21"), "21");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so.21.3.0"), "21.3.0");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so"), "");
    EXPECT_EQ(LibraryVersionFromFileName("libociw32.so"), "");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so.19.x"), "");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so.19."), "");
    EXPECT_EQ(LibraryVersionFromFileName("libclntsh.so..1"), "");
    EXPECT_EQ(LibraryVersionFromFileName("/lib.so.1/libx.so"), "");
}

TEST(FileVersionInfo, OpenFollowsTheLinkToTheVersionedFile) {
    const fs::path dir = fs::temp_directory_path() / ("corvid-version-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "libclntsh.so.19.1") << "x";
    fs::create_symlink("libclntsh.so.19.1", dir / "libclntsh.so");
    std::ofstream(dir / "libociw32.so") << "x";

    CFileVersionInfo info;
    ASSERT_TRUE(info.Open((dir / "libclntsh.so").string()));
    EXPECT_EQ(info.GetFileVersion(), "19.1");
    EXPECT_EQ(info.Language(), 0);
    EXPECT_EQ(info.CodePage(), 1252);
    EXPECT_EQ(info.GetStringValue("ProductName"), "");

    EXPECT_FALSE(info.Open((dir / "libociw32.so").string()));
    EXPECT_EQ(info.GetFileVersion(), "");
    EXPECT_FALSE(info.Open((dir / "missing.so.1").string()));
    EXPECT_EQ(info.GetFileVersion(), "");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace corvid
