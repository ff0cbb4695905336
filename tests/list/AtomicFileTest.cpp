#include "list/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
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

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The temporary file is its owner's alone while the text is written; the file
// gets its final mode only at Commit: the mask's for a new file, the old file's
// for one it replaces.
TEST_F(AtomicFileTest, TemporaryFileIsOwnerOnlyUntilCommit) {
    const mode_t savedMask = ::umask(022);
    CAtomicFile file(Path("out.csv"));
    ASSERT_TRUE(file.Open());
    file.Write("statements with customer literals");
    EXPECT_EQ(ModeOf(file.GetTemporary()), 0600u);
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ModeOf(Path("out.csv")), 0644u);

    ::umask(027);
    ASSERT_TRUE(WriteThrough(Path("new.csv"), "x"));
    EXPECT_EQ(ModeOf(Path("new.csv")), 0640u);
    ASSERT_EQ(::chmod(Path("out.csv").c_str(), 0604), 0);
    ASSERT_TRUE(WriteThrough(Path("out.csv"), "y"));
    EXPECT_EQ(ModeOf(Path("out.csv")), 0604u);
    ::umask(savedMask);
}

// What stands at the target must be a regular file: a folder, a FIFO or a device
// is refused at Open, before anything is written (a rename would replace the
// FIFO or device node; a folder would fail only at the end).
TEST_F(AtomicFileTest, TargetsThatAreNoRegularFileAreRefused) {
    fs::create_directory(Path("folder"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    fs::create_symlink(Path("fifo"), Path("to-fifo"));
    for (const char* name : {"folder", "fifo", "to-fifo"}) {
        CAtomicFile file(Path(name));
        EXPECT_FALSE(file.Open()) << name;
        EXPECT_NE(file.GetError().find("is not a regular file"), std::string::npos) << file.GetError();
        EXPECT_NE(file.FailureMessage().find("Unable to create the file '" + Path(name) + "': "), std::string::npos);
    }
    EXPECT_EQ(Files(m_dir), (std::vector<std::string>{"fifo", "folder", "to-fifo"}));
    CAtomicFile missing(Path("none/out.csv"));
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.GetError(), "No such file or directory");
}

// Several files commit as one: when one cannot be put in place, the others keep
// (or get back) their old content.
TEST_F(AtomicFileTest, CommitAllIsAllOrNothing) {
    WriteFile(Path("a.xml"), "old a");
    CAtomicFile a(Path("a.xml"));
    CAtomicFile b(Path("b.html"));
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(b.Open());
    a.Write("new a");
    b.Write("new b");
    // Something takes b's name after it was opened: its rename fails.
    fs::create_directory(Path("b.html"));
    fs::create_directory(Path("b.html/inside"));
    EXPECT_FALSE(CAtomicFile::CommitAll({&a, &b}));
    EXPECT_EQ(ReadFile(Path("a.xml")), "old a");
    EXPECT_EQ(Files(m_dir), (std::vector<std::string>{"a.xml", "b.html"}));

    fs::remove_all(Path("b.html"));
    CAtomicFile c(Path("a.xml"));
    CAtomicFile d(Path("b.html"));
    ASSERT_TRUE(c.Open());
    ASSERT_TRUE(d.Open());
    c.Write("newer a");
    d.Write("new b");
    EXPECT_TRUE(CAtomicFile::CommitAll({&c, &d}));
    EXPECT_EQ(ReadFile(Path("a.xml")), "newer a");
    EXPECT_EQ(ReadFile(Path("b.html")), "new b");
    EXPECT_EQ(Files(m_dir), (std::vector<std::string>{"a.xml", "b.html"}));
}

// A small file system of its own, to fill; skipped where none can be mounted.
class FullDiskTest : public AtomicFileTest {
protected:
    void SetUp() override {
        AtomicFileTest::SetUp();
        m_mount = Path("disk");
        fs::create_directory(m_mount);
        // In a mount namespace of the test's own, so that no mount outlives it.
        static const bool ownNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!ownNamespace || ::mount("tmpfs", m_mount.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0) {
            GTEST_SKIP() << "no tmpfs can be mounted here (needs root): the full-disk cases are not run";
        }
        m_mounted = true;
    }
    void TearDown() override {
        if (m_mounted) ::umount2(m_mount.c_str(), MNT_DETACH);
        AtomicFileTest::TearDown();
    }
    // Takes every free block but about `leave` bytes.
    void Fill(std::size_t leave) {
        const std::string filler = m_mount + "/filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size())) {
        }
        ::close(fd);
        ASSERT_EQ(::truncate(filler.c_str(), static_cast<off_t>(fs::file_size(filler) - leave)), 0);
    }

    std::string m_mount;
    bool m_mounted = false;
};

// Replacing a file in place on a disk without room for the new text fails with
// the system's reason and leaves the old bytes, size included, as they were.
TEST_F(FullDiskTest, InPlaceReplacementNeverLosesTheOldContent) {
    const std::string target = m_mount + "/out.csv";
    std::string old;
    for (int i = 0; old.size() < 40000; ++i)
        old += "old row " + std::to_string(i) + "\r\n";
    WriteFile(target, old);
    Fill(16384);
    const int fd = ::open(target.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    std::string error;
    EXPECT_FALSE(CAtomicFile::ReplaceInPlace(fd, std::string(60000, 'n'), error));
    EXPECT_EQ(error, "No space left on device");
    EXPECT_EQ(ReadFile(target), old);
    // A text that fits replaces it, shorter or longer than the old.
    EXPECT_TRUE(CAtomicFile::ReplaceInPlace(fd, "short", error)) << error;
    EXPECT_EQ(ReadFile(target), "short");
    EXPECT_TRUE(CAtomicFile::ReplaceInPlace(fd, std::string(10000, 'l'), error)) << error;
    EXPECT_EQ(ReadFile(target), std::string(10000, 'l'));
    ::close(fd);
}

// The whole path: a writable export in a folder that takes no new file, on a
// full disk. The export fails and the old export is still there, whole.
TEST_F(FullDiskTest, ExportInALockedFolderOnAFullDiskKeepsTheOldExport) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    fs::create_directory(m_mount + "/locked");
    const std::string target = m_mount + "/locked/out.csv";
    const std::string old(30000, 'o');
    WriteFile(target, old);
    ASSERT_EQ(::chown(target.c_str(), kOtherUser, kOtherUser), 0);
    Fill(8192);
    EXPECT_FALSE(AsOtherUser([&target] {
        CAtomicFile file(target);
        if (!file.Open()) return false;
        file.Write(std::string(50000, 'n'));
        return file.Commit();
    }));
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Files(m_mount + "/locked"), std::vector<std::string>{"out.csv"});
    // The atomic path on the same full disk: fails, and nothing is left behind.
    CAtomicFile file(m_mount + "/out.csv");
    WriteFile(m_mount + "/out.csv", "old");
    ASSERT_TRUE(file.Open());
    file.Write(std::string(50000, 'n'));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.GetError(), "No space left on device");
    EXPECT_EQ(ReadFile(m_mount + "/out.csv"), "old");
    EXPECT_EQ(Files(m_mount), (std::vector<std::string>{"filler", "locked", "out.csv"}));
}

// In a sticky folder open to all (like /tmp), another user's links steer nothing:
// not the last component, not a folder on the way, wherever it sits below the
// shared folder. Another user's file there is not written over; the folder
// owner's and our own are.
TEST_F(AtomicFileTest, SharedFoldersObeyTheProtectedLinkAndFileRules) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of another user need root to create; not run";
    fs::create_directory(Path("private"));
    WriteFile(Path("private/out.csv"), "root's own");
    fs::create_directory(Path("shared"));
    ASSERT_EQ(::chmod(Path("shared").c_str(), 01777), 0);

    // A folder of the other user, holding their link to our private folder.
    fs::create_directory(Path("shared/x"));
    ASSERT_EQ(::chown(Path("shared/x").c_str(), kOtherUser, kOtherUser), 0);
    fs::create_symlink(Path("private"), Path("shared/x/reports"));
    ASSERT_EQ(::lchown(Path("shared/x/reports").c_str(), kOtherUser, kOtherUser), 0);
    // Their link right in the shared folder.
    fs::create_symlink(Path("private"), Path("shared/reports"));
    ASSERT_EQ(::lchown(Path("shared/reports").c_str(), kOtherUser, kOtherUser), 0);
    for (const std::string& target : {Path("shared/x/reports/out.csv"), Path("shared/reports/out.csv")}) {
        CAtomicFile file(target);
        EXPECT_FALSE(file.Open()) << target;
        EXPECT_NE(file.GetError().find("not followed"), std::string::npos) << file.GetError();
    }
    EXPECT_EQ(ReadFile(Path("private/out.csv")), "root's own");
    EXPECT_EQ(Files(Path("private")), std::vector<std::string>{"out.csv"});
    // Our own link in the shared folder leads where we meant.
    fs::create_symlink(Path("private"), Path("shared/mine"));
    ASSERT_TRUE(WriteThrough(Path("shared/mine/out.csv"), "through our link"));
    EXPECT_EQ(ReadFile(Path("private/out.csv")), "through our link");
    // Outside a shared folder another user's folder link is followed as before.
    fs::create_directory(Path("plain"));
    fs::create_symlink(Path("private"), Path("plain/reports"));
    ASSERT_EQ(::lchown(Path("plain/reports").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_TRUE(WriteThrough(Path("plain/reports/out.csv"), "plain"));
    EXPECT_EQ(ReadFile(Path("private/out.csv")), "plain");

    // A file planted by the other user, open to all.
    WriteFile(Path("shared/report.csv"), "planted");
    ASSERT_EQ(::chown(Path("shared/report.csv").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(Path("shared/report.csv").c_str(), 0666), 0);
    CAtomicFile planted(Path("shared/report.csv"));
    EXPECT_FALSE(planted.Open());
    EXPECT_NE(planted.GetError().find("belongs to another user"), std::string::npos) << planted.GetError();
    EXPECT_EQ(ReadFile(Path("shared/report.csv")), "planted");
    EXPECT_EQ(Files(Path("shared")), (std::vector<std::string>{"mine", "report.csv", "reports", "x"}));
    // The same file when the other user owns the shared folder: theirs to offer.
    ASSERT_EQ(::chown(Path("shared").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(Path("shared").c_str(), 01777), 0);
    EXPECT_TRUE(WriteThrough(Path("shared/report.csv"), "written"));
    EXPECT_EQ(ReadFile(Path("shared/report.csv")), "written");
}

}  // namespace
}  // namespace corvid
