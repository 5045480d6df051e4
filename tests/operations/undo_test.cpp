#include "operations/move_item.h"
#include "operations/undo.h"
#include "operations/undo_commands.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

struct RecordingReport final : IOperationReport {
    void report(const UiText& subject, int errors) override {
        lines.push_back(ReportText(subject, errors).english());
    }
    std::vector<std::string> lines;
};

struct RecordingProgress final : IProgress {
    void start(uint64_t count) override {
        range = count;
        position = 0;
    }
    void step() override { ++position; }
    uint64_t range = 0;
    uint64_t position = 0;
};

class UndoTest : public ::testing::Test {
protected:
    // One command: renames each (from, to) pair in the folder and pushes its group.
    void Command(std::initializer_list<std::pair<const char*, const char*>> renames) {
        auto group = std::make_unique<CUndoGroup>();
        for (const auto& [from, to] : renames) {
            std::string target = m_dir.file(to);
            MoveItem(m_dir.file(from), target, group.get());
        }
        if (!group->empty())
            m_history.push(std::move(group));
    }

    std::string Undo() {
        RunUndoCommand(m_history, m_report, m_progress);
        return m_report.lines.empty() ? std::string() : m_report.lines.back();
    }
    std::string Redo() {
        RunRedoCommand(m_history, m_report, m_progress);
        return m_report.lines.empty() ? std::string() : m_report.lines.back();
    }

    TempDir m_dir;
    CUndoHistory m_history;
    RecordingReport m_report;
    RecordingProgress m_progress;
};

TEST_F(UndoTest, ThreeRenamesUndoneAndRedone) {
    for (const char* name : {"1.exe", "2.exe", "3.exe"})
        m_dir.write(name, name);
    EXPECT_FALSE(m_history.canUndo());
    Command({{"1.exe", "Setup.exe"}, {"2.exe", "Player.exe"}, {"3.exe", "Tool.exe"}});
    EXPECT_TRUE(m_history.canUndo());
    EXPECT_FALSE(m_history.canRedo());

    EXPECT_EQ(Undo(), "Successfully Undone (" + m_dir.path() + ")");
    EXPECT_EQ(m_progress.range, 3u);
    EXPECT_EQ(m_progress.position, 3u);
    for (const char* name : {"1.exe", "2.exe", "3.exe"})
        EXPECT_EQ(ReadWholeFile(m_dir.file(name)), name);
    EXPECT_FALSE(PathExists(m_dir.file("Setup.exe")));
    EXPECT_FALSE(m_history.canUndo());
    EXPECT_TRUE(m_history.canRedo());

    EXPECT_EQ(Redo(), "Successfully Redone (" + m_dir.path() + ")");
    EXPECT_EQ(ReadWholeFile(m_dir.file("Setup.exe")), "1.exe");
    EXPECT_EQ(ReadWholeFile(m_dir.file("Tool.exe")), "3.exe");
    EXPECT_FALSE(PathExists(m_dir.file("2.exe")));
    EXPECT_TRUE(m_history.canUndo());
    EXPECT_FALSE(m_history.canRedo());
}

TEST_F(UndoTest, NothingToUndoOrRedoDoesNothing) {
    EXPECT_EQ(RunUndoCommand(m_history, m_report, m_progress), -1);
    EXPECT_EQ(RunRedoCommand(m_history, m_report, m_progress), -1);
    EXPECT_TRUE(m_report.lines.empty());
}

TEST_F(UndoTest, NewCommandAfterUndoDropsTheRedoBranch) {
    for (const char* name : {"a", "b", "c"})
        m_dir.write(name, name);
    Command({{"a", "A1"}});
    Command({{"b", "B1"}});
    Undo();
    Undo();
    EXPECT_TRUE(m_history.canRedo());
    Command({{"c", "C1"}});
    EXPECT_FALSE(m_history.canRedo());
    EXPECT_EQ(m_history.size(), 1u);
    EXPECT_EQ(Undo(), "Successfully Undone (" + m_dir.path() + ")");
    EXPECT_TRUE(PathExists(m_dir.file("c")));
    EXPECT_FALSE(m_history.canUndo());
    // The dropped groups are gone: a, b stay where the undo left them.
    EXPECT_TRUE(PathExists(m_dir.file("a")));
    EXPECT_TRUE(PathExists(m_dir.file("b")));
}

TEST_F(UndoTest, CommandThatMovedNothingIsNotRecorded) {
    m_dir.write("a", "a");
    Command({{"a", "A1"}});
    Command({{"missing", "M1"}});
    EXPECT_EQ(m_history.size(), 1u);
    Undo();
    EXPECT_TRUE(PathExists(m_dir.file("a")));
}

TEST_F(UndoTest, DeletedFileCountsOneErrorAndTheRestGoBack) {
    for (const char* name : {"a", "b", "c"})
        m_dir.write(name, name);
    Command({{"a", "A1"}, {"b", "B1"}, {"c", "C1"}});
    ASSERT_EQ(std::remove(m_dir.file("B1").c_str()), 0);

    EXPECT_EQ(Undo(), "1 error(s) ocurred while Undo");
    EXPECT_EQ(m_progress.position, 3u);
    EXPECT_TRUE(PathExists(m_dir.file("a")));
    EXPECT_TRUE(PathExists(m_dir.file("c")));
    // The group counts as undone all the same.
    EXPECT_FALSE(m_history.canUndo());
    EXPECT_TRUE(m_history.canRedo());
}

TEST_F(UndoTest, OccupiedOldNameIsNotOverwritten) {
    m_dir.write("a", "moved");
    Command({{"a", "A1"}});
    m_dir.write("a", "newcomer");
    EXPECT_EQ(Undo(), "1 error(s) ocurred while Undo");
    EXPECT_EQ(ReadWholeFile(m_dir.file("a")), "newcomer");
    EXPECT_EQ(ReadWholeFile(m_dir.file("A1")), "moved");
}

TEST_F(UndoTest, RemovedOldFolderIsRecreatedOneLevel) {
    m_dir.write("in/a.txt", "a");
    m_dir.write("in/b.txt", "b");
    Command({{"in/a.txt", "out/a.txt"}, {"in/b.txt", "out/b.txt"}});
    ASSERT_TRUE(std::filesystem::remove(m_dir.file("in")));

    EXPECT_EQ(Undo(), "Successfully Undone (" + m_dir.file("in/") + ")");
    EXPECT_EQ(ReadWholeFile(m_dir.file("in/a.txt")), "a");
    EXPECT_EQ(ReadWholeFile(m_dir.file("in/b.txt")), "b");
    EXPECT_TRUE(PathExists(m_dir.file("out"))); // emptied folders stay

    std::filesystem::remove(m_dir.file("out"));
    EXPECT_EQ(Redo(), "Successfully Redone (" + m_dir.file("out/") + ")");
    EXPECT_EQ(ReadWholeFile(m_dir.file("out/b.txt")), "b");
}

TEST_F(UndoTest, StepReturningFalseAbandonsTheRestOfTheGroup) {
    for (const char* name : {"a", "b", "c"})
        m_dir.write(name, name);
    Command({{"a", "A1"}, {"b", "B1"}, {"c", "C1"}});
    int steps = 0;
    EXPECT_EQ(m_history.undo([&] { return ++steps < 2; }, 1), 0);
    EXPECT_EQ(steps, 2);
    // Newest first: c and b are back, a waits for the next undo.
    EXPECT_TRUE(PathExists(m_dir.file("c")));
    EXPECT_TRUE(PathExists(m_dir.file("b")));
    EXPECT_TRUE(PathExists(m_dir.file("A1")));
    EXPECT_TRUE(m_history.canUndo());
    EXPECT_EQ(Undo(), "Successfully Undone (" + m_dir.path() + ")");
    EXPECT_TRUE(PathExists(m_dir.file("a")));
    EXPECT_FALSE(m_history.canUndo());
}

TEST_F(UndoTest, NonUtf8NamesSurviveMoveUndoAndRedo) {
    const std::string oldName = "\x93quoted\x94 caf\xE9.zip";
    const std::string newName = "r\xE9sum\xE9 \xFF.zip";
    m_dir.write(oldName, "bytes");
    Command({{oldName.c_str(), newName.c_str()}});
    EXPECT_EQ(ReadWholeFile(m_dir.file(newName)), "bytes");
    Undo();
    EXPECT_EQ(ReadWholeFile(m_dir.file(oldName)), "bytes");
    Redo();
    EXPECT_EQ(ReadWholeFile(m_dir.file(newName)), "bytes");
    EXPECT_FALSE(PathExists(m_dir.file(oldName)));
}

} // namespace
} // namespace tressel
