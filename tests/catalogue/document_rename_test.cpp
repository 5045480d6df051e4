#include "catalogue/document.h"
#include "isolated_settings.h"
#include "operations/undo.h"
#include "operations/undo_commands.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

struct SilentReport final : IOperationReport {
    void report(const UiText& subject, int errors) override {
        line = ReportText(subject, errors).english();
    }
    std::string line;
};

struct SilentProgress final : IProgress {
    void start(uint64_t) override {}
    void step() override {}
};

// The document's options go to a private settings file.
class DocumentRenameTest : public ::testing::Test {
protected:
    void SetUp() override { m_document = std::make_unique<CMarlockUtilDoc>(); }
    void TearDown() override { m_document.reset(); }

    int Record(const std::string& name) const { return m_document->findRecord(name); }

    test::IsolatedSettings m_settings;
    TempDir m_dir;
    std::unique_ptr<CMarlockUtilDoc> m_document;
};

TEST_F(DocumentRenameTest, RenameInTheFolderKeepsRecordNumberAndCachedFacts) {
    m_dir.write("0A1B.exe", "12345");
    m_dir.write("ZZ.txt", "other");
    ASSERT_TRUE(m_document->TryOpenFolderPath(m_dir.path()));
    const int record = Record("0A1B.exe");
    ASSERT_GE(record, 0);
    EXPECT_EQ(m_document->GetRecordSize(record), 5u);
    const uint64_t time = m_document->GetLastWriteTime(record);

    CUndoGroup group;
    std::string used;
    // Relative paths resolve against the open folder, not the process's directory.
    ASSERT_TRUE(m_document->RenameItem(record, "Setup: v2.exe", &group, &used));
    EXPECT_EQ(used, m_dir.file("Setup_ v2.exe"));
    EXPECT_EQ(m_document->GetItemName(record, NameMode::InFolder), "Setup_ v2.exe");
    EXPECT_EQ(Record("Setup_ v2.exe"), record);
    EXPECT_EQ(m_document->GetRecordSize(record), 5u);
    EXPECT_EQ(m_document->GetLastWriteTime(record), time);
    ASSERT_EQ(group.count(), 1u);
    EXPECT_EQ(group.entries().front().oldPath, m_dir.file("0A1B.exe"));
}

TEST_F(DocumentRenameTest, ClashIsNumberedAndTheRecordFollows) {
    // A name another file holds is numbered, also when it differs only in letter case:
    // which file is which is decided by device and inode, not by the name.
    const struct {
        const char *source, *other, *want;
    } cases[] = {
        {"1.zip", "Game.zip", "Game[1].zip"},
        {"README.mp3", "readme.mp3", "readme[1].mp3"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.write(c.source, "new");
        dir.write(c.other, "old");
        if (ReadWholeFile(dir.file(c.source)) != "new")
            GTEST_SKIP() << "the temporary folder ignores letter case";
        CMarlockUtilDoc document;
        ASSERT_TRUE(document.TryOpenFolderPath(dir.path()));
        const int record = document.findRecord(c.source);
        ASSERT_TRUE(document.RenameItem(record, dir.file(c.other), nullptr)) << c.source;
        EXPECT_EQ(document.GetItemName(record, NameMode::InFolder), c.want);
        EXPECT_EQ(ReadWholeFile(dir.file(c.other)), "old");
        EXPECT_EQ(ReadWholeFile(dir.file(c.want)), "new");
    }
}

TEST_F(DocumentRenameTest, MoveIntoAnotherFolderKeepsTheOldId) {
    m_dir.write("1.zip", "zip");
    ASSERT_TRUE(m_document->TryOpenFolderPath(m_dir.path()));
    const int record = Record("1.zip");
    ASSERT_TRUE(m_document->RenameItem(record, "Archives/Game.zip", nullptr));
    EXPECT_EQ(ReadWholeFile(m_dir.file("Archives/Game.zip")), "zip");
    EXPECT_EQ(m_document->GetItemName(record, NameMode::InFolder), "1.zip");
}

TEST_F(DocumentRenameTest, FailedOrImpossibleRenameChangesNothing) {
    m_dir.write("1.txt", "one");
    ASSERT_TRUE(m_document->TryOpenFolderPath(m_dir.path()));
    const int record = Record("1.txt");
    std::filesystem::remove(m_dir.file("1.txt"));
    CUndoGroup group;
    EXPECT_FALSE(m_document->RenameItem(record, "x.txt", &group));
    EXPECT_EQ(m_document->GetItemName(record, NameMode::InFolder), "1.txt");
    EXPECT_EQ(group.count(), 0u);
    EXPECT_FALSE(m_document->RenameItem(99, "y.txt", &group));
    EXPECT_FALSE(m_document->RenameItem(record, "", &group));
}

TEST_F(DocumentRenameTest, UndoAfterOpeningAnotherFolder) {
    TempDir other;
    m_dir.write("1.exe", "a");
    m_dir.write("2.exe", "b");
    ASSERT_TRUE(m_document->TryOpenFolderPath(m_dir.path()));
    CUndoHistory history;
    auto group = std::make_unique<CUndoGroup>();
    ASSERT_TRUE(m_document->RenameItem(Record("1.exe"), "Alpha.exe", group.get()));
    ASSERT_TRUE(m_document->RenameItem(Record("2.exe"), "Beta.exe", group.get()));
    history.push(std::move(group));

    ASSERT_TRUE(m_document->TryOpenFolderPath(other.path()));
    SilentReport report;
    SilentProgress progress;
    EXPECT_EQ(RunUndoCommand(history, report, progress), 0);
    EXPECT_EQ(report.line, "Successfully Undone (" + m_dir.path() + ")");
    EXPECT_EQ(ReadWholeFile(m_dir.file("1.exe")), "a");
    EXPECT_EQ(ReadWholeFile(m_dir.file("2.exe")), "b");
    EXPECT_FALSE(PathExists(m_dir.file("Alpha.exe")));
}

} // namespace
} // namespace tressel
