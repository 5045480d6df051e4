#include "catalogue/file_commands.h"
#include "operations/undo.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

// The trash goes to a data folder that does not exist until the first delete.
class FileCommandsTest : public ::testing::Test {
protected:
    FileCommandsTest() : m_data(m_dir.path() + "data/home") {
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
    }
    ~FileCommandsTest() override { unsetenv("XDG_DATA_HOME"); }

    std::string trashed(const std::string& name) const { return m_data + "/Trash/files/" + name; }

    TempDir m_dir;
    std::string m_data;
};

TEST_F(FileCommandsTest, TrashTakesFilesAndFoldersIntoAMissingDataFolder) {
    const std::string file = m_dir.write("work/a.txt", "A");
    m_dir.write("work/sub/b.txt", "B");
    ASSERT_FALSE(PathExists(m_data));
    for (const std::string& path : {file, m_dir.file("work/sub")}) {
        UiText reason;
        std::string where;
        ASSERT_TRUE(MoveToTrash(path, reason, &where)) << reason;
        EXPECT_FALSE(PathExists(path));
        EXPECT_EQ(where.rfind(m_data + "/Trash/files/", 0), 0u) << where;
    }
    EXPECT_EQ(ReadWholeFile(trashed("a.txt")), "A");
    EXPECT_EQ(ReadWholeFile(trashed("sub/b.txt")), "B");
    EXPECT_TRUE(PathExists(m_data + "/Trash/info/a.txt.trashinfo"));
    UiText reason;
    EXPECT_FALSE(MoveToTrash(file, reason));
    EXPECT_EQ(reason.english(), "not found");
}

TEST_F(FileCommandsTest, ATrashThatCannotBeMadeLeavesTheFileInPlace) {
    const std::string file = m_dir.write("work/a.txt", "A");
    setenv("XDG_DATA_HOME", m_dir.write("plain-file", "").c_str(), 1);
    UiText reason;
    EXPECT_FALSE(MoveToTrash(file, reason));
    EXPECT_NE(reason.english().find("cannot make the trash folder"), std::string::npos) << reason;
    EXPECT_EQ(ReadWholeFile(file), "A");
}

TEST_F(FileCommandsTest, PermanentDeleteNeverFollowsLinks) {
    const std::string outside = m_dir.write("outside/keep.txt", "K");
    m_dir.write("work/sub/x.txt", "X");
    std::filesystem::create_directory_symlink(m_dir.file("outside"), m_dir.file("work/sub/link"));
    std::filesystem::create_directory_symlink(m_dir.file("outside"), m_dir.file("work/top"));
    UiText reason;
    EXPECT_TRUE(DeletePermanently(m_dir.file("work/sub"), reason)) << reason;
    EXPECT_TRUE(DeletePermanently(m_dir.file("work/top"), reason)) << reason;
    EXPECT_FALSE(PathExists(m_dir.file("work/sub")));
    EXPECT_FALSE(PathExists(m_dir.file("work/top")));
    EXPECT_EQ(ReadWholeFile(outside), "K");
    EXPECT_FALSE(DeletePermanently(m_dir.file("work/sub"), reason));
}

TEST_F(FileCommandsTest, OnlyEmptyFoldersAreRemoved) {
    const std::vector<std::string> paths = {m_dir.mkdir("e1"), m_dir.write("full/f", "F"),
                                            m_dir.mkdir("e2"), m_dir.write("file", "F"),
                                            m_dir.file("missing")};
    EXPECT_EQ(DirsDeletedText(RemoveEmptyDirectories(
                                  {paths[0], m_dir.file("full"), paths[2], paths[3], paths[4]}))
                  .english(),
              "2 Dir(s) deleted");
    EXPECT_FALSE(PathExists(paths[0]));
    EXPECT_TRUE(PathExists(paths[1]));
    EXPECT_TRUE(PathExists(paths[3]));
}

TEST(RecentTargetFolders, MostRecentFirstWithoutDuplicatesAndCapped) {
    QStringList history;
    for (int i = 0; i < 11; ++i)
        RememberTargetFolder(history, QString("/f%1").arg(i), 10);
    EXPECT_EQ(history.size(), 10);
    EXPECT_EQ(history.front(), "/f10");
    EXPECT_FALSE(history.contains("/f0"));
    RememberTargetFolder(history, "/f5", 10);
    RememberTargetFolder(history, "/f5", 10);
    EXPECT_EQ(history.count("/f5"), 1);
    EXPECT_EQ(history.front(), "/f5");
    EXPECT_EQ(history.size(), 10);
}

TEST_F(FileCommandsTest, ExistingTargetsAreNeverOverwritten) {
    const std::map<ExistingTarget, std::vector<std::pair<std::string, std::string>>> cases = {
        {ExistingTarget::Skip, {{"a.txt", "old"}}},
        {ExistingTarget::KeepBoth, {{"a.txt", "old"}, {"a[1].txt", "new"}}},
        {ExistingTarget::Replace, {{"a.txt", "new"}}},
    };
    for (const auto& [answer, expected] : cases) {
        TempDir dir;
        const std::string source = dir.write("src/a.txt", "new");
        dir.write("dst/a.txt", "old");
        std::string asked;
        TransferRequest request;
        request.targetFolder = dir.file("dst");
        request.ask = [&, answer = answer](const std::string& target) {
            asked = target;
            return answer;
        };
        const TransferResult result = TransferItems({source}, request);
        EXPECT_EQ(asked, dir.file("dst/a.txt"));
        EXPECT_TRUE(result.failures.empty());
        EXPECT_EQ(ReadWholeFile(source), "new");
        for (const auto& [name, content] : expected)
            EXPECT_EQ(ReadWholeFile(dir.file("dst/" + name)), content) << name;
    }
    EXPECT_EQ(ReadWholeFile(trashed("a.txt")), "old");
}

TEST_F(FileCommandsTest, MovesFoldersWholeAndUndoably) {
    const std::string folder = m_dir.write("src/tree/deep/x.txt", "X");
    const std::string file = m_dir.write("src/b.txt", "B");
    const std::string target = m_dir.mkdir("dst");
    auto group = std::make_unique<CUndoGroup>();
    TransferRequest request;
    request.move = true;
    request.targetFolder = target;
    request.group = group.get();
    const TransferResult result =
        TransferItems({m_dir.file("src/tree"), file, m_dir.file("src/missing")}, request);
    EXPECT_EQ(result.done, 2);
    ASSERT_EQ(result.failures.count(), 1);
    EXPECT_EQ(result.failures.items()[0].path, m_dir.file("src/missing"));
    EXPECT_EQ(ReadWholeFile(m_dir.file("dst/tree/deep/x.txt")), "X");
    CUndoHistory history;
    history.push(std::move(group));
    EXPECT_EQ(history.undo([] { return true; }, 1), 0);
    EXPECT_EQ(ReadWholeFile(folder), "X");
    EXPECT_EQ(ReadWholeFile(file), "B");
}

TEST_F(FileCommandsTest, CopiesIntoTheirOwnFolderAsSecondFilesAndRefuseItselfAsTarget) {
    const std::string file = m_dir.write("a.txt", "A");
    const std::string folder = m_dir.write("tree/x", "X");
    TransferRequest request;
    request.targetFolder = m_dir.path();
    TransferResult result = TransferItems({file}, request);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(ReadWholeFile(m_dir.file("a[1].txt")), "A");
    request.targetFolder = m_dir.file("tree");
    request.move = true;
    result = TransferItems({m_dir.file("tree")}, request);
    EXPECT_EQ(result.failures.count(), 1);
    EXPECT_EQ(ReadWholeFile(folder), "X");
}

TEST_F(FileCommandsTest, CancelStopsBeforeTheNextFile) {
    const std::string a = m_dir.write("src/a", "A");
    const std::string b = m_dir.write("src/b", "B");
    m_dir.write("dst/a", "old");
    TransferRequest request;
    request.targetFolder = m_dir.file("dst");
    request.ask = [](const std::string&) { return ExistingTarget::Cancel; };
    const TransferResult result = TransferItems({a, b}, request);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(PathExists(m_dir.file("dst/b")));
    EXPECT_EQ(ReadWholeFile(m_dir.file("dst/a")), "old");
}

} // namespace
} // namespace tressel
