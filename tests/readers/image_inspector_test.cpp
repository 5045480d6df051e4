#include "readers/image_inspector.h"
#include "readers/temp_file_item.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::SourcePath;
using test::TempDir;

std::string FixturePath(std::string_view name) {
    return SourcePath("tests/fixtures/exe/" + std::string(name));
}

TEST(ImageInspector, FindsTheCabinetAppendedAfterTheSections) {
    const std::string path = FixturePath("overlay.exe");
    const std::string bytes = ReadWholeFile(path);
    const std::string cabinet = ReadWholeFile(FixturePath("payload.cab"));
    CImageInspector inspector(path);
    ASSERT_TRUE(inspector.isRecognized());
    EXPECT_TRUE(inspector.hasOverlay());
    EXPECT_EQ(inspector.fileSize(), bytes.size());
    EXPECT_EQ(bytes.substr(inspector.overlayStart()), cabinet);
    EXPECT_EQ(inspector.source()->read(inspector.overlayStart(), 4), "MSCF");
    EXPECT_EQ(inspector.rvaToFileOffset(0x1000), 0x400u);
    EXPECT_EQ(inspector.rvaToFileOffset(0x10), 0u);
}

TEST(ImageInspector, ReadsTheCabinetResource) {
    CImageInspector inspector(FixturePath("wextract_long_title.exe"));
    ASSERT_TRUE(inspector.isRecognized());
    EXPECT_FALSE(inspector.hasOverlay());
    const auto resource = inspector.rcData("CABINET");
    ASSERT_TRUE(resource);
    const std::string cabinet = ReadWholeFile(FixturePath("payload.cab"));
    EXPECT_EQ(resource->size, cabinet.size());
    EXPECT_EQ(inspector.readRcData("CABINET", 1 << 20), cabinet);
    EXPECT_EQ(inspector.readRcData("CABINET", 4), "MSCF");
    EXPECT_EQ(inspector.readRcData("MISSING", 100), "");
}

TEST(ImageInspector, NonImageAnswersZeroButKnowsItsSize) {
    TempDir dir;
    CImageInspector text(dir.write("readme.exe", "just some text"));
    EXPECT_FALSE(text.isRecognized());
    EXPECT_EQ(text.overlayStart(), 0u);
    EXPECT_FALSE(text.hasOverlay());
    EXPECT_EQ(text.rvaToFileOffset(0x1000), 0u);
    EXPECT_EQ(text.fileSize(), 14u);
    EXPECT_FALSE(text.rcData("CABINET"));
    EXPECT_EQ(text.image(), nullptr);

    CImageInspector missing(dir.file("missing.exe"));
    EXPECT_FALSE(missing.isRecognized());
    EXPECT_EQ(missing.fileSize(), 0u);
    EXPECT_EQ(missing.source(), nullptr);
}

// ---- scratch directory ---------------------------------------------------------------

class TempFileItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        if (old)
            saved = old;
        hadTmpdir = old != nullptr;
        ::setenv("TMPDIR", base.path().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmpdir)
            ::setenv("TMPDIR", saved.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TempDir base;
    std::string saved;
    bool hadTmpdir = false;
};

TEST_F(TempFileItemTest, IsAPrivateFreshDirectoryRemovedWithEverythingInIt) {
    const std::string outside = base.write("outside.txt", "keep me");
    std::string path;
    {
        CTempFileItem scratch;
        path = scratch.path();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.rfind(base.path() + "tmp", 0), 0u) << path;
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);

        CTempFileItem other;
        EXPECT_NE(other.path(), path);

        const int fd = scratch.createMember("readme.txt");
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
        ASSERT_EQ(::symlink(outside.c_str(), (path + "/link").c_str()), 0);
        ASSERT_EQ(::mkdir((path + "/sub").c_str(), 0700), 0);
    }
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(ReadWholeFile(outside), "keep me");
}

TEST_F(TempFileItemTest, ThreadScratchDirectoryLastsWhileItsThreadAndPlaceDo) {
    const std::string first = ThreadScratchDirectory().path();
    ASSERT_EQ(first.rfind(base.path() + "tmp", 0), 0u) << first;
    EXPECT_EQ(ThreadScratchDirectory().path(), first);

    std::string other;
    std::thread([&other] { other = ThreadScratchDirectory().path(); }).join();
    EXPECT_NE(other, first);
    EXPECT_FALSE(PathExists(other)) << "removed when its thread ended";

    ASSERT_EQ(::rmdir(first.c_str()), 0); // a cleaner of the temporary directory
    const std::string remade = ThreadScratchDirectory().path();
    EXPECT_NE(remade, first);
    EXPECT_TRUE(PathExists(remade));

    TempDir elsewhere;
    ::setenv("TMPDIR", elsewhere.path().c_str(), 1);
    EXPECT_EQ(ThreadScratchDirectory().path().rfind(elsewhere.path() + "tmp", 0), 0u);
    EXPECT_FALSE(PathExists(remade));
}

// The window's reading threads are detached: one still running at exit leaves no
// directory behind all the same.
TEST_F(TempFileItemTest, ThreadScratchDirectoriesGoAtExitWhileTheirThreadsRun) {
    EXPECT_EXIT(
        {
            static std::atomic<bool> made{false};
            std::thread([] {
                ThreadScratchDirectory();
                made = true;
                for (;;)
                    ::pause();
            }).detach();
            while (!made)
                std::this_thread::yield();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::is_empty(base.path()));
}

TEST_F(TempFileItemTest, MembersGoInUnderTheirFileNameOnly) {
    CTempFileItem scratch;
    const std::string dir = scratch.path() + "/";
    EXPECT_EQ(scratch.memberPath("docs/readme.txt"), dir + "readme.txt");
    EXPECT_EQ(scratch.memberPath("..\\..\\evil.ini"), dir + "evil.ini");
    EXPECT_EQ(scratch.memberPath("../../etc/passwd"), dir + "passwd");
    EXPECT_EQ(scratch.memberPath(""), "");
    EXPECT_EQ(scratch.memberPath("."), "");
    EXPECT_EQ(scratch.memberPath("a/.."), "");
    EXPECT_EQ(scratch.memberPath("folder/"), "");
    EXPECT_EQ(scratch.createMember(".."), -1);
}

TEST_F(TempFileItemTest, ExistingNamesAndLinksAreNeverReplacedOrFollowed) {
    CTempFileItem scratch;
    const int first = scratch.createMember("a.txt");
    ASSERT_GE(first, 0);
    ::close(first);
    EXPECT_EQ(scratch.createMember("other/a.txt"), -1);
    const std::string target = base.write("target.txt", "untouched");
    ASSERT_EQ(::symlink(target.c_str(), scratch.memberPath("link.txt").c_str()), 0);
    EXPECT_EQ(scratch.createMember("link.txt"), -1);
    EXPECT_EQ(ReadWholeFile(target), "untouched");
}

TEST_F(TempFileItemTest, UnusableTemporaryDirectoryGivesNoPath) {
    ::setenv("TMPDIR", base.file("does-not-exist").c_str(), 1);
    CTempFileItem scratch;
    EXPECT_EQ(scratch.path(), "");
    EXPECT_EQ(scratch.memberPath("a.txt"), "");
    EXPECT_EQ(scratch.createMember("a.txt"), -1);
}

} // namespace
} // namespace tressel
