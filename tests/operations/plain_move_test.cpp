#include "operations/plain_move.h"
#include "platform/text.h"
#include "scratch_mount.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::ScratchMount;
using test::TempDir;

struct stat Lstat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

void SetTimes(const std::string& path, time_t atime, time_t mtime) {
    const struct timespec times[2] = {{atime, 123456789}, {mtime, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

std::string Bytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

TEST(PlainMove, RenamesWithinAFolderAndNeverOverwrites) {
    TempDir dir;
    const std::string a = dir.write("a.bin", "first");
    const std::string b = dir.write("b.bin", "second");

    errno = 0;
    EXPECT_FALSE(PlainMove(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadWholeFile(a), "first");
    EXPECT_EQ(ReadWholeFile(b), "second");

    EXPECT_TRUE(PlainMove(a, dir.file("c.bin")));
    EXPECT_FALSE(PathExists(a));
    EXPECT_EQ(ReadWholeFile(dir.file("c.bin")), "first");

    EXPECT_FALSE(PlainMove(dir.file("missing"), dir.file("d.bin")));
    EXPECT_FALSE(PathExists(dir.file("d.bin")));
}

TEST(PlainMove, MovesSymbolicLinksAsLinks) {
    TempDir dir;
    dir.write("data.txt", "payload");
    ASSERT_EQ(::symlink("data.txt", dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", dir.file("dangling").c_str()), 0);

    EXPECT_TRUE(PlainMove(dir.file("link"), dir.file("moved-link")));
    EXPECT_TRUE(PlainMove(dir.file("dangling"), dir.file("moved-dangling")));
    EXPECT_TRUE(S_ISLNK(Lstat(dir.file("moved-link")).st_mode));
    EXPECT_TRUE(S_ISLNK(Lstat(dir.file("moved-dangling")).st_mode));
    EXPECT_EQ(ReadWholeFile(dir.file("data.txt")), "payload");
}

TEST(PlainMove, HardLinksDifferingInCaseOnlyAreNotMerged) {
    // On a case-sensitive file system two names of one file are two entries: the
    // case-only path must not drop either.
    TempDir dir;
    const std::string lower = dir.write("readme.txt", "text");
    const std::string upper = dir.file("README.TXT");
    ASSERT_EQ(::link(lower.c_str(), upper.c_str()), 0);

    EXPECT_FALSE(PlainMove(lower, upper));
    EXPECT_EQ(ReadWholeFile(lower), "text");
    EXPECT_EQ(ReadWholeFile(upper), "text");
    EXPECT_EQ(Lstat(lower).st_nlink, 2u);
}

TEST(PlainMove, TemporaryNameStepLeavesNoTraceAndRollsBack) {
    TempDir dir;
    const std::string from = dir.write("readme.txt", "text");
    ASSERT_TRUE(RenameViaTemporaryName(from, dir.file("README.TXT")));
    EXPECT_EQ(ReadWholeFile(dir.file("README.TXT")), "text");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    dir.write("taken", "other");
    EXPECT_FALSE(RenameViaTemporaryName(dir.file("README.TXT"), dir.file("taken")));
    EXPECT_EQ(ReadWholeFile(dir.file("README.TXT")), "text");
    EXPECT_EQ(ReadWholeFile(dir.file("taken")), "other");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(PlainMove, NonUtf8NamesAreMovedAsTheyAre) {
    TempDir dir;
    const std::string from = dir.write("caf\xE9.txt", "latin-1 name");
    const std::string to = dir.file("\xFF\xFE name \x80.txt");
    ASSERT_FALSE(IsValidUtf8(to));
    EXPECT_TRUE(PlainMove(from, to));
    EXPECT_EQ(ReadWholeFile(to), "latin-1 name");
    EXPECT_FALSE(PathExists(from));
}

class AcrossFileSystems : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PathExists("/dev/shm/") || test::OnSameFileSystem(m_here.path(), "/dev/shm"))
            GTEST_SKIP() << "the temporary folder and /dev/shm are one file system here";
        char templ[] = "/dev/shm/tressel-test-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_there = std::string(templ) + "/";
    }
    void TearDown() override {
        if (!m_there.empty())
            std::system(("rm -rf '" + m_there + "'").c_str());
    }

    TempDir m_here;
    std::string m_there;
};

TEST_F(AcrossFileSystems, CopyKeepsContentModeAndTimesThenRemovesTheSource) {
    const std::string content = Bytes(3 << 20); // several copy chunks
    const std::string from = m_here.write("big.bin", content);
    ASSERT_EQ(::chmod(from.c_str(), 0751), 0);
    SetTimes(from, 1000000000, 1200000000);
    const std::string to = m_there + "big.bin";

    ASSERT_TRUE(PlainMove(from, to));
    EXPECT_FALSE(PathExists(from));
    const struct stat st = Lstat(to); // before reading, which may touch the access time
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_TRUE(ReadWholeFile(to) == content);

    // And back again.
    ASSERT_TRUE(PlainMove(to, from));
    EXPECT_TRUE(ReadWholeFile(from) == content);
    EXPECT_FALSE(PathExists(to));
}

TEST_F(AcrossFileSystems, ExistingTargetIsNeverReplaced) {
    const std::string from = m_here.write("a.txt", "mine");
    const std::string to = m_there + "a.txt";
    ASSERT_EQ(::symlink("a.txt", (m_there + "link").c_str()), 0);
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "theirs", 6), 6);
    ::close(fd);

    EXPECT_FALSE(PlainMove(from, to));
    EXPECT_FALSE(PlainMove(from, m_there + "link")); // not through a link either
    EXPECT_EQ(ReadWholeFile(from), "mine");
    EXPECT_EQ(ReadWholeFile(to), "theirs");
}

TEST_F(AcrossFileSystems, SymbolicLinkIsRecreatedNotFollowed) {
    m_here.write("target.txt", "not copied");
    const std::string from = m_here.file("link");
    ASSERT_EQ(::symlink("target.txt", from.c_str()), 0);
    const std::string to = m_there + "link";

    ASSERT_TRUE(PlainMove(from, to));
    EXPECT_FALSE(PathExists(from));
    ASSERT_TRUE(S_ISLNK(Lstat(to).st_mode));
    char text[64] = {};
    ASSERT_EQ(::readlink(to.c_str(), text, sizeof text - 1), 10);
    EXPECT_STREQ(text, "target.txt");
    EXPECT_EQ(ReadWholeFile(m_here.file("target.txt")), "not copied");
}

TEST_F(AcrossFileSystems, FolderStaysWhereItIs) {
    m_here.write("folder/inside.txt", "x");
    EXPECT_FALSE(PlainMove(m_here.file("folder"), m_there + "folder"));
    EXPECT_EQ(ReadWholeFile(m_here.file("folder/inside.txt")), "x");
    EXPECT_FALSE(PathExists(m_there + "folder"));
}

class FailingCopy : public ::testing::Test {
protected:
    TempDir m_dir;
};

TEST_F(FailingCopy, FullFileSystemLosesNothing) {
    const std::string small = m_dir.mkdir("small") + "/";
    std::string why;
    auto mount = ScratchMount::tmpfs(small, "size=64k", 0, &why);
    if (!mount)
        GTEST_SKIP() << why;
    const std::string content = Bytes(1 << 20);
    const std::string from = m_dir.write("big.bin", content);

    errno = 0;
    EXPECT_FALSE(PlainMove(from, small + "big.bin"));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(ReadWholeFile(from) == content);
    EXPECT_FALSE(PathExists(small + "big.bin")) << "the partial copy must be removed";
}

TEST_F(FailingCopy, ReadOnlyTargetFolderLosesNothing) {
    const std::string target = m_dir.mkdir("locked") + "/";
    std::unique_ptr<ScratchMount> mount;
    if (::geteuid() == 0) {
        // Permission bits do not stop root; a read-only file system does.
        std::string why;
        mount = ScratchMount::tmpfs(target, "size=64k", MS_RDONLY, &why);
        if (!mount)
            GTEST_SKIP() << "running as root, where only a read-only mount can refuse: " << why;
    } else {
        ASSERT_EQ(::chmod(target.c_str(), 0555), 0);
    }
    const std::string from = m_dir.write("keep.txt", "precious");

    EXPECT_FALSE(PlainMove(from, target + "keep.txt"));
    EXPECT_EQ(ReadWholeFile(from), "precious");
    EXPECT_FALSE(PathExists(target + "keep.txt"));
}

TEST(CaseOnlyRename, WorksOnACaseInsensitiveFileSystem) {
    TempDir dir;
    const std::string fat = dir.mkdir("fat") + "/";
    std::string why;
    auto mount = ScratchMount::vfat(dir, fat, &why);
    if (!mount)
        GTEST_SKIP() << why;
    const std::string lower = dir.write("fat/readme.txt", "hello");
    const std::string upper = fat + "README.TXT";
    ASSERT_TRUE(PathExists(upper)) << "vfat should ignore case";

    ASSERT_TRUE(PlainMove(lower, upper));
    const auto names = [&] {
        std::string all;
        for (const auto& entry : std::filesystem::directory_iterator(fat))
            all += entry.path().filename().string() + ";";
        return all;
    };
    EXPECT_EQ(names(), "README.TXT;");
    EXPECT_EQ(ReadWholeFile(upper), "hello");

    ASSERT_TRUE(PlainMove(upper, lower));
    EXPECT_EQ(names(), "readme.txt;");
}

TEST(FitFileName, CutsTheStemAtACharacterBoundaryKeepingTheExtension) {
    const std::string stem = "\xC3\xA9\xC3\xA9\xC3\xA9"; // three two-byte characters
    EXPECT_EQ(FitFileName(stem, "", ".txt", 10), stem + ".txt");
    EXPECT_EQ(FitFileName(stem, "", ".txt", 9), "\xC3\xA9\xC3\xA9.txt"); // not half an é
    EXPECT_EQ(FitFileName(stem, "[12]", ".txt", 11), "\xC3\xA9[12].txt");
    EXPECT_EQ(FitFileName("abc", "", ".extension", 8), ".extensi");
    EXPECT_EQ(FitFileName("abc", "", "", 255), "abc");
    // Bytes that are not UTF-8 are cut where the limit falls.
    EXPECT_EQ(FitFileName("\x80\x80\x80\x80\x80\x80", "", ".a", 5), "\x80\x80\x80.a");
}

} // namespace
} // namespace tressel
