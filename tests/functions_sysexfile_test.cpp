// SysEx files on disk: byte-exact content, all-or-nothing replacement where it
// keeps what a rewrite keeps, and reading that refuses anything but a regular
// file.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "functions/SysexFile.h"
#include "TestSupport.h"

using namespace velkora;

namespace {

ByteArray Bytes(const std::string& s) { return ByteArray(s.begin(), s.end()); }
std::string Str(const ByteArray& b) { return std::string(b.begin(), b.end()); }

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

TEST(WriteSysexFile, WritesTheBytesThemselves) {
    const std::string contents[] = {
        std::string("\xF0\x43\x10\x00\xF7", 5),  // a dump request
        "\n",                                    // no carriage return is added
        "\r\n\r",
        std::string(1, '\0'),
        std::string(100000, '\x7F') + std::string(3, '\0'),
    };
    for (const std::string& content : contents) {
        TempDir dir;
        const std::string path = dir.file("out.syx");
        EXPECT_EQ(WriteSysexFile(path, Bytes(content)), static_cast<long>(content.size())) << content.size();
        EXPECT_TRUE(ReadFile(path) == content) << content.size() << " bytes";
        EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u) << "a temporary file was left behind";
    }
}

TEST(WriteSysexFile, ReplacesALongerFileWhole) {
    TempDir dir;
    const std::string path = dir.file("out.syx");
    WriteFile(path, std::string(5000, 'x'));
    EXPECT_EQ(WriteSysexFile(path, Bytes("\x01\x02")), 2);
    EXPECT_EQ(ReadFile(path), "\x01\x02");
}

TEST(WriteSysexFile, AnEmptyArrayMakesAnEmptyFile) {
    TempDir dir;
    const std::string path = dir.file("empty.syx");
    EXPECT_EQ(WriteSysexFile(path, ByteArray()), 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(ReadFile(path), "");
}

TEST(WriteSysexFile, FailuresReturnMinusOneAndChangeNothing) {
    TempDir dir;
    const std::string existing = dir.file("keep.syx");
    WriteFile(existing, "old");
    ASSERT_EQ(mkdir(dir.file("subdir").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"missing directory", dir.file("missing/out.syx")},
        {"path names a directory", dir.file("subdir")},
        {"path ends in a slash", dir.file("subdir/")},
        {"path names a FIFO", dir.file("fifo")},
        {"empty path", ""},
        {"file as a directory", existing + "/out.syx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteSysexFile(c.path, Bytes("\xF0\xF7")), -1) << c.name;
    }
    EXPECT_EQ(ReadFile(existing), "old");
    struct stat st;
    ASSERT_EQ(lstat(dir.file("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(DirectoryEntries(dir.file("subdir")).empty());
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 3u) << "something was created";
}

// The write as an ordinary user: a child that gives up root for `as`, or this
// process when it is no root anyway. kUnreachable when `as` cannot see `dir`.
constexpr long kUnreachable = -100;
long WriteAsUser(const passwd& as, const std::string& dir, const std::string& path) {
    if (geteuid() != 0) return WriteSysexFile(path, Bytes("new"));
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(as.pw_gid) != 0 || setuid(as.pw_uid) != 0) _exit(99);
        if (access(dir.c_str(), X_OK) != 0) _exit(98);
        _exit(static_cast<int>(WriteSysexFile(path, Bytes("new")) + 1));
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 99) return -99;
    return WEXITSTATUS(status) == 98 ? kUnreachable : WEXITSTATUS(status) - 1;
}

// Whatever the file system would refuse a plain rewrite is refused, and what
// a plain rewrite keeps (owner, mode, other names, attributes) is kept.
TEST(WriteSysexFile, DoesNoMoreThanARewriteMay) {
    const passwd* found = getpwnam("nobody");
    ASSERT_NE(found, nullptr);
    const passwd nobody = *found;
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        mode_t dir_mode, file_mode;
        bool by_user;    // written by an ordinary user (nobody when we are root)
        bool foreign;    // the file belongs to someone other than the writer
        bool linked;     // the file has a second name
        bool attribute;  // the file carries an extended attribute
        long expected;
    } rows[] = {
        {"read-only file in an open folder", 0777, 0444, true, false, false, false, -1},
        {"writable file in a read-only folder", 0555, 0644, true, false, false, false, 3},
        {"file with a second name", 0755, 0644, false, false, true, false, 3},
        {"someone else's file, written by root", 0755, 0640, false, true, false, false, 3},
        {"root's file in a shared sticky folder", 01777, 0666, true, true, false, false, 3},
        {"file with an extended attribute", 0755, 0604, false, false, false, true, 3},
    };
    for (const auto& r : rows) {
        if (r.foreign && !root) {
            std::printf("row skipped, %s: only root can give a file to someone else\n", r.name);
            continue;
        }
        TempDir dir;
        const std::string path = dir.file("patch.syx"), link = dir.file("second.syx");
        WriteFile(path, "old");
        const bool writer_is_nobody = r.by_user && root;
        if (r.foreign != writer_is_nobody) {
            ASSERT_EQ(chown(path.c_str(), nobody.pw_uid, nobody.pw_gid), 0);
        }
        ASSERT_EQ(chmod(path.c_str(), r.file_mode), 0);
        if (r.linked) {
            ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
        }
        if (r.attribute && setxattr(path.c_str(), "user.velkora", "1", 1, 0) != 0) {
            std::printf("row skipped, %s: no user attributes on this file system\n", r.name);
            continue;
        }
        struct stat before, after;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        ASSERT_EQ(chmod(dir.path().c_str(), r.dir_mode), 0);

        const long got = r.by_user ? WriteAsUser(nobody, dir.path(), path) : WriteSysexFile(path, Bytes("new"));
        if (got == kUnreachable) GTEST_SKIP() << "nobody cannot reach " << dir.path() << "; set TMPDIR";
        EXPECT_EQ(got, r.expected) << r.name;
        const std::string content = r.expected < 0 ? "old" : "new";
        EXPECT_EQ(ReadFile(path), content) << r.name;
        if (r.linked) {
            EXPECT_EQ(ReadFile(link), content) << r.name << ": the second name";
        }
        if (r.attribute) {
            EXPECT_EQ(getxattr(path.c_str(), "user.velkora", nullptr, 0), 1) << r.name;
        }
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << r.name;
        EXPECT_EQ(after.st_uid, before.st_uid) << r.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << r.name;
        EXPECT_EQ(DirectoryEntries(dir.path()).size(), r.linked ? 2u : 1u) << r.name << ": a file left behind";
    }
}

TEST(WriteSysexFile, PermissionBits) {
    TempDir dir;
    const std::string replaced = dir.file("replaced.syx");
    WriteFile(replaced, "old");
    ASSERT_EQ(chmod(replaced.c_str(), 0640), 0);
    EXPECT_EQ(WriteSysexFile(replaced, Bytes("new")), 3);
    EXPECT_EQ(ModeOf(replaced), 0640u) << "a replaced file keeps its mode";

    const std::string fresh = dir.file("fresh.syx");
    EXPECT_EQ(WriteSysexFile(fresh, Bytes("new")), 3);
    EXPECT_EQ(ModeOf(fresh), 0666u & ~CurrentUmask()) << "a new file gets what fopen would give it";
}

TEST(WriteSysexFile, FollowsASymbolicLink) {
    TempDir dir;
    const std::string target = dir.file("real.syx");
    const std::string link = dir.file("link.syx");
    WriteFile(target, "old");
    ASSERT_EQ(symlink("real.syx", link.c_str()), 0);
    EXPECT_EQ(WriteSysexFile(link, Bytes("new")), 3);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(ReadFile(target), "new");
}

TEST(WriteSysexFile, AVeryLongFileNameStillWorks) {
    TempDir dir;
    // 250 characters: room for the file, none for a suffix after it.
    const std::string path = dir.file(std::string(250, 'n'));
    EXPECT_EQ(WriteSysexFile(path, Bytes("\xF0")), 1);
    EXPECT_EQ(ReadFile(path), "\xF0");
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u);
}

TEST(ReadSysexFile, ReadsRegularFilesWhole) {
    TempDir dir;
    std::string big;
    for (size_t i = 0; i < (1u << 20) + 17; ++i) big += static_cast<char>(i * 7 % 256);
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"one byte FF", "\xFF"},
        {"zero bytes and line ends", std::string("\0\r\n\0", 4)},
        {"a little more than 1 MiB", big},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("in.syx");
        WriteFile(path, c.content);
        ByteArray got = Bytes("stale");
        EXPECT_TRUE(ReadSysexFile(path, got)) << c.name;
        EXPECT_TRUE(Str(got) == c.content) << c.name << ": " << got.size() << " bytes read";
    }
}

TEST(ReadSysexFile, AnythingButARegularFileReadsAsNothing) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"missing file", dir.file("missing.syx")},
        {"directory", dir.path()},
        {"FIFO without a writer", dir.file("fifo")},
        {"endless device", "/dev/zero"},
        {"empty path", ""},
    };
    for (const auto& c : cases) {
        ByteArray got = Bytes("stale");
        EXPECT_FALSE(ReadSysexFile(c.path, got)) << c.name;
        EXPECT_TRUE(got.empty()) << c.name;
    }
}

TEST(SysexFile, WrittenBytesReadBack) {
    TempDir dir;
    ByteArray all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
    const std::string path = dir.file("all.syx");
    ASSERT_EQ(WriteSysexFile(path, all), 256);
    ByteArray back;
    ASSERT_TRUE(ReadSysexFile(path, back));
    EXPECT_TRUE(back == all);
}

}  // namespace
