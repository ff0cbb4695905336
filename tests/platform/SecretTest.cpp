#include "platform/Secret.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvid {
namespace {

namespace fs = std::filesystem;

// While a password is held the process cannot be dumped; afterwards it can again.
TEST(SecretTest, ProcessIsNotDumpableWhileThePasswordIsHeld) {
    ASSERT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
    {
        CSecret secret;
        ASSERT_TRUE(secret.Assign("TIGER"));
        EXPECT_EQ(secret.View(), "TIGER");
        EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
        secret.Wipe();
        EXPECT_TRUE(secret.View().empty());
        EXPECT_FALSE(secret.Holds());
        EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
        ASSERT_TRUE(secret.Assign("again"));
        EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
    CSecret tooLong;
    EXPECT_FALSE(tooLong.Assign(std::string(CSecret::kCapacity, 'x')));
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);

    char argument[] = "-pTIGER";
    WipeArgument(argument + 2);
    EXPECT_EQ(std::string(argument, sizeof argument), std::string("-p\0\0\0\0\0\0", 8));
}

TEST(SecretTest, PasswordFileMustBeItsOwnersAlone) {
    char pattern[] = "/tmp/corvid-secretXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string path = dir + "/password";
    std::ofstream(path) << "s3cret word\r\nsecond line\n";
    const struct {
        mode_t mode;
        bool accepted;
    } modes[] = {{0600, true}, {0400, true}, {0640, false}, {0604, false}, {0620, false}};
    for (const auto& m : modes) {
        ASSERT_EQ(::chmod(path.c_str(), m.mode), 0);
        CSecret secret;
        std::string error;
        EXPECT_EQ(ReadPasswordFile(path, secret, error), m.accepted) << std::oct << m.mode;
        if (m.accepted) {
            EXPECT_EQ(secret.View(), "s3cret word");
        } else {
            EXPECT_NE(error.find("may be read by others"), std::string::npos) << error;
            EXPECT_FALSE(secret.Holds());
        }
    }
    CSecret secret;
    std::string error;
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadPasswordFile(dir + "/fifo", secret, error));  // refused, never waited on
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(ReadPasswordFile(dir + "/missing", secret, error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    fs::remove_all(dir);
}

}  // namespace
}  // namespace corvid
