#include "list/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "diag/TraceContext.h"
#include "platform/SignalCleanup.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 12345;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool WriteThrough(const std::string& target, const std::string& text, CTraceContext* trace = nullptr) {
    CAtomicFile file(target);
    file.SetTrace(trace);
    if (!file.Open()) return false;
    file.Write(text);
    return file.Commit();
}

// Runs `body` in a child process as another user; its result is the child's.
bool AsOtherUser(const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(kOtherUser) == 0 && ::setuid(kOtherUser) == 0 && body();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvid-atomicXXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        ::chmod(m_dir.c_str(), 0755);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::vector<std::string> Files(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_dir;
};

// Writing through a link replaces the file it names and keeps the link, when we
// own the link or no other user may write its folder; a link another user could
// have planted in a shared folder is refused and nothing is written.
TEST_F(AtomicFileTest, LinksAreFollowedOnlyWhereThatIsSafe) {
    fs::create_directory(Path("data"));
    WriteFile(Path("data/real.csv"), "old");
    fs::create_symlink("data/real.csv", Path("own.csv"));
    ASSERT_TRUE(WriteThrough(Path("own.csv"), "new"));
    EXPECT_TRUE(fs::is_symlink(Path("own.csv")));
    EXPECT_EQ(ReadFile(Path("data/real.csv")), "new");
    EXPECT_EQ(Files(Path("data")), std::vector<std::string>{"real.csv"});  // the temporary went beside the target

    // A chain of links, one of them absolute, ends at the same file.
    fs::create_symlink(Path("own.csv"), Path("data/chain.csv"));
    ASSERT_TRUE(WriteThrough(Path("data/chain.csv"), "chained"));
    EXPECT_EQ(ReadFile(Path("data/real.csv")), "chained");

    if (::geteuid() != 0) GTEST_SKIP() << "links owned by another user need root to create; not run";

    // Another user's link in a folder only we may write is safe.
    ASSERT_EQ(::lchown(Path("own.csv").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_TRUE(WriteThrough(Path("own.csv"), "theirs, our folder"));
    EXPECT_EQ(ReadFile(Path("data/real.csv")), "theirs, our folder");

    // The same link in a shared folder (like /tmp) is not.
    fs::create_directory(Path("shared"));
    ASSERT_EQ(::chmod(Path("shared").c_str(), 01777), 0);
    fs::create_symlink(Path("data/real.csv"), Path("shared/planted.csv"));
    ASSERT_EQ(::lchown(Path("shared/planted.csv").c_str(), kOtherUser, kOtherUser), 0);
    CAtomicFile planted(Path("shared/planted.csv"));
    EXPECT_FALSE(planted.Open());
    EXPECT_NE(planted.GetError().find("not followed"), std::string::npos) << planted.GetError();
    EXPECT_EQ(ReadFile(Path("data/real.csv")), "theirs, our folder");
    EXPECT_TRUE(fs::is_symlink(Path("shared/planted.csv")));
    // Our own link in the shared folder is followed.
    ASSERT_EQ(::lchown(Path("shared/planted.csv").c_str(), ::geteuid(), ::getegid()), 0);
    ASSERT_TRUE(WriteThrough(Path("shared/planted.csv"), "ours"));
    EXPECT_EQ(ReadFile(Path("data/real.csv")), "ours");
}

// An export keeps the permission bits, owner and group of the file it replaces,
// but never the set-user-ID, set-group-ID or sticky bits.
TEST_F(AtomicFileTest, ReplacedFileKeepsOwnerAndPermissionsButNoSpecialBits) {
    WriteFile(Path("out.csv"), "old");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(Path("out.csv").c_str(), kOtherUser, kOtherUser), 0);
    }
    // After the owner: a change of owner clears the set-ID bits.
    ASSERT_EQ(::chmod(Path("out.csv").c_str(), 06751), 0);
    fs::create_symlink("out.csv", Path("link.csv"));
    ASSERT_TRUE(WriteThrough(Path("link.csv"), "new"));
    struct stat info {};
    ASSERT_EQ(::stat(Path("out.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_EQ(ReadFile(Path("out.csv")), "new");
    if (::geteuid() == 0) {
        EXPECT_EQ(info.st_uid, kOtherUser);
        EXPECT_EQ(info.st_gid, kOtherUser);
    }
}

// A file we may write in a folder we may not: written in place, noted in the
// trace; a failure before Commit leaves it as it was.
TEST_F(AtomicFileTest, WritableFileInALockedFolderIsWrittenInPlace) {
    fs::create_directory(Path("locked"));
    const std::string target = Path("locked/out.csv");
    WriteFile(target, "old content");
    const auto attempt = [&target]() {
        {
            CAtomicFile abandoned(target);
            if (!abandoned.Open()) return false;
            abandoned.Write("never committed");
        }
        if (ReadFile(target) != "old content") return false;
        return WriteThrough(target, "written in place");
    };
    bool written = false;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), kOtherUser, kOtherUser), 0);
        written = AsOtherUser(attempt);
    } else {
        ASSERT_EQ(::chmod(Path("locked").c_str(), 0555), 0);
        written = attempt();
        ::chmod(Path("locked").c_str(), 0755);
    }
    EXPECT_TRUE(written);
    EXPECT_EQ(ReadFile(target), "written in place");
    EXPECT_EQ(Files(Path("locked")), std::vector<std::string>{"out.csv"});

    // Without an existing file there is nothing to fall back to.
    if (::geteuid() == 0) {
        EXPECT_FALSE(AsOtherUser([this] { return WriteThrough(Path("locked/new.csv"), "x"); }));
        EXPECT_FALSE(fs::exists(Path("locked/new.csv")));
    }
}

TEST_F(AtomicFileTest, TemporaryNamesStayWithinTheNameLimit) {
    for (std::size_t length : {5u, 200u, 240u, 245u, 251u, 255u}) {
        const std::string base(length - 4, 'n');
        const std::string name = base + ".CSV";
        const std::string temporary = CAtomicFile::TemporaryName(m_dir + "/" + name, 4194304, 4294967295u);
        EXPECT_LE(fs::path(temporary).filename().string().size(), 255u);
        EXPECT_EQ(fs::path(temporary).parent_path().string(), m_dir);
        ASSERT_TRUE(WriteThrough(Path(name), "x")) << length;
        EXPECT_EQ(ReadFile(Path(name)), "x");
    }
    // A shortened name never ends in part of a character.
    std::string name = "a";
    while (name.size() < 250)
        name += "\xC3\xA9";
    const std::string temporary = fs::path(CAtomicFile::TemporaryName(name, 123, 4)).filename().string();
    EXPECT_LE(temporary.size(), 255u);
    const std::size_t mark = temporary.rfind(".tmp-");
    EXPECT_EQ(mark % 2, 1u);  // "a" and whole two-byte characters
}

// A temporary file left by a writer that no longer runs goes at the next write
// to the same file; one whose writer still runs, and files of other names, stay.
TEST_F(AtomicFileTest, StaleTemporaryFilesOfTheSameTargetAreRemoved) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string target = Path("out.csv");
    const std::string stale = CAtomicFile::TemporaryName(target, gone, 7);
    const std::string running = CAtomicFile::TemporaryName(target, ::getppid(), 7);
    const std::string other = CAtomicFile::TemporaryName(Path("other.csv"), gone, 7);
    for (const std::string& path : {stale, running, other, Path("out.csv.tmp-notours")})
        WriteFile(path, "left over");
    ASSERT_TRUE(WriteThrough(target, "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(Path("out.csv.tmp-notours")));
}

// A process ended by a signal in the middle of a write leaves no temporary file.
TEST_F(AtomicFileTest, TemporaryFileGoesWhenTheProcessIsKilled) {
    const std::string target = Path("out.csv");
    const pid_t child = ::fork();
    if (child == 0) {
        InstallSignalCleanup();
        CAtomicFile file(target);
        if (!file.Open()) ::_exit(3);
        file.Write(std::string(3 << 20, 'x'));
        ::raise(SIGTERM);
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(Files(m_dir).empty());
}

}  // namespace
}  // namespace corvid
