#include "platform/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace corvid {
namespace {

namespace fs = std::filesystem;

TEST(SettingsFileTest, MissingFileIsCreatedOwnerOnlyAndOnlyRegularFilesPass) {
    char pattern[] = "/tmp/corvid-settingsXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const mode_t savedMask = ::umask(022);
    std::string error;

    const std::string fresh = dir + "/config/Quarry Lane/Corvid.ini";
    ASSERT_TRUE(PrepareSettingsFile(fresh, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 0);

    // An existing file is left as it is.
    std::ofstream(dir + "/kept.ini") << "[Settings]\nleft=1\n";
    ASSERT_EQ(::chmod((dir + "/kept.ini").c_str(), 0640), 0);
    ASSERT_TRUE(PrepareSettingsFile(dir + "/kept.ini", error)) << error;
    ASSERT_EQ(::stat((dir + "/kept.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A FIFO would block a reader forever: refused at once.
    ASSERT_EQ(::mkfifo((dir + "/fifo.ini").c_str(), 0600), 0);
    EXPECT_FALSE(PrepareSettingsFile(dir + "/fifo.ini", error));
    EXPECT_EQ(error, "the settings file '" + dir + "/fifo.ini' is not a regular file");
    fs::create_directory(dir + "/folder.ini");
    EXPECT_FALSE(PrepareSettingsFile(dir + "/folder.ini", error));
    ::umask(savedMask);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace corvid
