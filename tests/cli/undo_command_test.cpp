#include "cli/cli.h"
#include "isolated_settings.h"
#include "isolated_state.h"
#include "operations/move_item.h"
#include "operations/undo.h"
#include "operations/undo_journal.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tressel::cli {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

class UndoCommandTest : public ::testing::Test {
protected:
    // Runs a journaled command in the folder, as a later CLI command would.
    void Command(const std::string& name,
                 std::initializer_list<std::pair<const char*, const char*>> renames) {
        CUndoGroup group(CUndoJournal::create(m_dir.path(), name));
        ASSERT_NE(group.journal(), nullptr);
        for (const auto& [from, to] : renames) {
            std::string target = m_dir.file(to);
            MoveItem(m_dir.file(from), target, &group);
        }
    }

    int Tressel(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return cli::Run(args, m_out, m_err);
    }

    // Every file of the folder with its content, in name order.
    std::string Snapshot() const { return test::FolderSnapshot(m_dir.path()); }

    test::IsolatedSettings m_settings;
    test::IsolatedState m_state;
    TempDir m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(UndoCommandTest, TakesBackTheNewestCommandThenTheOneBefore) {
    m_dir.write("1.exe", "one");
    m_dir.write("2.exe", "two");
    Command("first", {{"1.exe", "Setup.exe"}});
    Command("second", {{"2.exe", "Setup.exe"}});
    EXPECT_EQ(Snapshot(), "Setup.exe=one;Setup[1].exe=two;");

    EXPECT_EQ(Tressel({"undo", m_dir.path()}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "Successfully Undone (" + m_dir.path() + ")\n");
    EXPECT_EQ(Snapshot(), "2.exe=two;Setup.exe=one;");

    EXPECT_EQ(Tressel({"undo", m_dir.path()}), 0);
    EXPECT_EQ(Snapshot(), "1.exe=one;2.exe=two;");

    EXPECT_EQ(Tressel({"undo", m_dir.path()}), 1);
    EXPECT_NE(m_err.str().find("nothing to undo"), std::string::npos);
}

TEST_F(UndoCommandTest, ListShowsCommandsNewestFirstWithTheirState) {
    m_dir.write("a", "a");
    m_dir.write("b", "b");
    Command("first", {{"a", "A"}});
    Command("second", {{"b", "B"}});
    ASSERT_EQ(Tressel({"undo", m_dir.path()}), 0);

    EXPECT_EQ(Tressel({"undo", "--list", m_dir.path()}), 0);
    const std::string list = m_out.str();
    const size_t second = list.find("\tundone\t1 move\tsecond\t");
    const size_t first = list.find("\tapplied\t1 move\tfirst\t");
    ASSERT_NE(second, std::string::npos) << list;
    ASSERT_NE(first, std::string::npos) << list;
    EXPECT_LT(second, first);
    EXPECT_TRUE(list.ends_with("\n2 commands kept; applied and undone ones go when older than 90 "
                               "days and 200 newer ones exist\n"))
        << list;
}

TEST_F(UndoCommandTest, DryRunChangesNothing) {
    m_dir.write("1.zip", "zip");
    Command("rename", {{"1.zip", "Game.zip"}});
    const std::string before = Snapshot();
    const std::string journal = ListJournals(m_dir.path()).at(0).path;
    const std::string journalBefore = ReadWholeFile(journal);

    EXPECT_EQ(Tressel({"undo", "--dry-run", m_dir.path()}), 0);
    EXPECT_EQ(m_out.str(),
              "would move " + m_dir.file("Game.zip") + " -> " + m_dir.file("1.zip") + "\n");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ReadWholeFile(journal), journalBefore);
}

TEST_F(UndoCommandTest, KilledCommandIsTakenBack) {
    const std::string a = m_dir.write("a.txt", "a");
    {
        // What a kill leaves: the intent on disk, the move made, no outcome, no end.
        auto journal = CUndoJournal::create(m_dir.path(), "killed");
        ASSERT_TRUE(journal);
        journal->recordIntent(a, m_dir.file("A.txt"));
        ASSERT_EQ(std::rename(a.c_str(), m_dir.file("A.txt").c_str()), 0);
    }

    EXPECT_EQ(Tressel({"undo", "--list", m_dir.path()}), 0);
    EXPECT_NE(m_out.str().find("\tinterrupted\t0 moves\tkilled\t"), std::string::npos)
        << m_out.str();
    EXPECT_EQ(Tressel({"undo", "--dry-run", m_dir.path()}), 0);
    EXPECT_NE(m_out.str().find("(interrupted move)"), std::string::npos);
    EXPECT_EQ(Tressel({"undo", m_dir.path()}), 0) << m_err.str();
    EXPECT_EQ(Snapshot(), "a.txt=a;");
}

TEST_F(UndoCommandTest, WrongUsageExitsWithTwo) {
    EXPECT_EQ(Tressel({"undo"}), 2);
    EXPECT_EQ(Tressel({"undo", "--bogus", m_dir.path()}), 2);
    EXPECT_EQ(Tressel({"undo", m_dir.path(), m_dir.path()}), 2);
    EXPECT_EQ(Tressel({"undo", "--help"}), 0);
    EXPECT_NE(m_out.str().find("TresselUtil/undo/"), std::string::npos);
}

} // namespace
} // namespace tressel::cli
