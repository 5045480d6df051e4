#include "isolated_state.h"
#include "operations/move_item.h"
#include "operations/undo.h"
#include "operations/undo_journal.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

// Journals go to a private state folder for the length of a test.
class JournalTest : public ::testing::Test {
protected:
    std::unique_ptr<CUndoGroup> JournaledGroup(const std::string& command = "rename") {
        std::string error;
        auto journal = CUndoJournal::create(m_dir.path(), command, &error);
        EXPECT_TRUE(journal) << error;
        return std::make_unique<CUndoGroup>(std::move(journal));
    }

    std::string Move(CUndoGroup& group, const std::string& from, const std::string& to) {
        std::string target = m_dir.file(to);
        return MoveItem(m_dir.file(from), target, &group) ? target : std::string();
    }

    // A journal as a process killed part-way leaves it: no "end" record.
    std::string WriteJournal(const std::string& records) {
        const std::string path = JournalFolder() + "00000000000000000001-1-0.journal";
        std::filesystem::create_directories(JournalFolder());
        std::ofstream(path, std::ios::binary)
            << "TRESSEL-UNDO-JOURNAL 1\nfolder\t"
            << EscapeJournalField(JournalFolderKey(m_dir.path()))
            << "\ncommand\tgroup\nstarted\t2026-01-01 00:00:00 UTC\n"
            << records;
        return path;
    }

    std::string Intent(const std::string& from, const std::string& to) {
        struct stat st {};
        EXPECT_EQ(::lstat(from.c_str(), &st), 0);
        return "intend\t" + EscapeJournalField(from) + "\t" + EscapeJournalField(to) + "\t" +
               std::to_string(st.st_dev) + "\t" + std::to_string(st.st_ino) + "\t" +
               std::to_string(st.st_size) + "\n";
    }

    test::IsolatedState m_state;
    TempDir m_dir;
};

TEST(JournalField, EveryByteSurvivesEscaping) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    const std::string escaped = EscapeJournalField(all);
    EXPECT_EQ(escaped.find('\t'), std::string::npos);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(UnescapeJournalField(escaped), all);
    // Valid UTF-8 stays readable; stray bytes do not.
    EXPECT_EQ(EscapeJournalField("Über 100%"), "Über 100%25");
    EXPECT_EQ(EscapeJournalField("caf\xE9"), "caf%E9");
    EXPECT_FALSE(UnescapeJournalField("bad%4"));
    EXPECT_FALSE(UnescapeJournalField("bad%zz"));
}

TEST(JournalParse, RejectsForeignBytesAndIgnoresACutLastLine) {
    EXPECT_FALSE(ParseJournal(""));
    EXPECT_FALSE(ParseJournal("something else\n"));
    auto parsed =
        ParseJournal("TRESSEL-UNDO-JOURNAL 1\nfolder\t/sat/\ndone\t/sat/b\t/sat/a\t1\t2\t3\t4\n"
                     "done\t/sat/d\t/sat/c\t1\t5\t3\t4\nend\nundone\nredone\ndone\t/sat/x\t/s");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->folder, "/sat/");
    EXPECT_EQ(parsed->damage, "");
    ASSERT_EQ(parsed->entries.size(), 2u);
    EXPECT_EQ(parsed->entries[1].newPath, "/sat/d");
    EXPECT_EQ(parsed->entries[1].identity.inode, 5u);
    EXPECT_EQ(parsed->state(), JournalState::Applied);
}

TEST_F(JournalTest, CommandIsRecordedAndUndoneByAnotherProcess) {
    m_dir.write("1.zip", "one");
    m_dir.write("2.zip", "two");
    std::string journalPath;
    {
        auto group = JournaledGroup("rename to column 1");
        Move(*group, "1.zip", "Alpha.zip");
        Move(*group, "2.zip", "Beta.zip");
        journalPath = group->journal()->path();
        // While the command runs its journal cannot be taken back.
        std::string error;
        EXPECT_FALSE(LoadJournalGroup(journalPath, &error));
        EXPECT_NE(error.find("in use"), std::string::npos) << error;
        CUndoHistory history;
        history.push(std::move(group));
    }
    auto journals = ListJournals(m_dir.path());
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_EQ(journals[0].contents.command, "rename to column 1");
    EXPECT_EQ(journals[0].contents.state(), JournalState::Applied);
    EXPECT_EQ(journals[0].contents.moveCount(), 2u);

    std::string error;
    auto loaded = LoadJournalGroup(journalPath, &error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->count(), 2u);
    EXPECT_EQ(loaded->moveBack({}), 0);
    EXPECT_EQ(ReadWholeFile(m_dir.file("1.zip")), "one");
    EXPECT_EQ(ReadWholeFile(m_dir.file("2.zip")), "two");
    loaded.reset();
    EXPECT_EQ(ListJournals(m_dir.path())[0].contents.state(), JournalState::Undone);
    EXPECT_TRUE(PathExists(journalPath));
}

TEST_F(JournalTest, CommandThatMovedNothingLeavesNoJournal) {
    std::string journalPath;
    {
        auto group = JournaledGroup();
        EXPECT_EQ(Move(*group, "missing", "x"), "");
        journalPath = group->journal()->path();
        EXPECT_TRUE(PathExists(journalPath));
    }
    EXPECT_FALSE(PathExists(journalPath));
    EXPECT_TRUE(ListJournals(m_dir.path()).empty());
}

TEST_F(JournalTest, KilledBetweenIntentAndDoneIsUndone) {
    const std::string a = m_dir.write("a.txt", "a");
    const std::string b = m_dir.write("b.txt", "b");
    const std::string c = m_dir.write("c.txt", "c");
    const std::string movedA = m_dir.file("A.txt");
    const std::string movedC = m_dir.file("C.txt");
    // a moved and confirmed; b clashed and failed; c moved, and the process died
    // while writing its "done" record.
    std::string records = Intent(a, movedA);
    ASSERT_EQ(std::rename(a.c_str(), movedA.c_str()), 0);
    records += "done\t" + EscapeJournalField(movedA) + "\t" + EscapeJournalField(a) + "\n";
    records += Intent(b, movedA) + "failed\n";
    records += Intent(c, movedC);
    ASSERT_EQ(std::rename(c.c_str(), movedC.c_str()), 0);
    records += "done\t" + EscapeJournalField(movedC);
    const std::string path = WriteJournal(records);

    auto contents = ReadJournal(path);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->state(), JournalState::Interrupted);
    EXPECT_EQ(contents->moveCount(), 1u);
    EXPECT_EQ(contents->entries.size(), 2u);

    std::string error;
    auto group = LoadJournalGroup(path, &error);
    ASSERT_TRUE(group) << error;
    EXPECT_EQ(group->moveBack({}), 0);
    EXPECT_EQ(ReadWholeFile(a), "a");
    EXPECT_EQ(ReadWholeFile(b), "b");
    EXPECT_EQ(ReadWholeFile(c), "c");
    EXPECT_FALSE(PathExists(movedA));
    EXPECT_FALSE(PathExists(movedC));
}

TEST_F(JournalTest, KilledBeforeTheMoveChangesNothingOnUndo) {
    const std::string a = m_dir.write("a.txt", "a");
    const std::string path = WriteJournal(Intent(a, m_dir.file("A.txt")));
    auto group = LoadJournalGroup(path);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->moveBack({}), 0);
    EXPECT_EQ(ReadWholeFile(a), "a");
    EXPECT_FALSE(PathExists(m_dir.file("A.txt")));
}

TEST_F(JournalTest, IntendedMoveIsTakenBackOnlyWhenItsFileLanded) {
    const std::string a = m_dir.write("a.txt", "a");
    const std::string intent = Intent(a, m_dir.file("A.txt"));
    ASSERT_EQ(std::rename(a.c_str(), m_dir.file("A.txt").c_str()), 0);
    const std::string path = WriteJournal(intent);

    // Another file now has the old name: the landed one stays, and is reported.
    m_dir.write("a.txt", "someone else");
    CFailureList failures;
    EXPECT_EQ(LoadJournalGroup(path)->moveBack({}, &failures), 1);
    EXPECT_EQ(ReadWholeFile(a), "someone else");
    EXPECT_EQ(ReadWholeFile(m_dir.file("A.txt")), "a");
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.items()[0].path, m_dir.file("A.txt"));

    // A different file at the target is not the one announced: no error, left alone.
    ASSERT_EQ(std::remove(a.c_str()), 0);
    ASSERT_EQ(std::rename(m_dir.file("A.txt").c_str(), m_dir.file("kept").c_str()), 0);
    m_dir.write("A.txt", "impostor");
    EXPECT_EQ(LoadJournalGroup(path)->moveBack({}), 0);
    EXPECT_EQ(ReadWholeFile(m_dir.file("A.txt")), "impostor");
    EXPECT_FALSE(PathExists(a));
}

TEST_F(JournalTest, JournalsAreFiledByFolderNewestFirst) {
    TempDir other;
    m_dir.write("a", "");
    m_dir.write("b", "");
    {
        auto first = JournaledGroup("first");
        Move(*first, "a", "A");
    }
    {
        auto second = JournaledGroup("second");
        Move(*second, "b", "B");
    }
    const auto journals = ListJournals(m_dir.path());
    ASSERT_EQ(journals.size(), 2u);
    EXPECT_EQ(journals[0].contents.command, "second");
    EXPECT_EQ(journals[1].contents.command, "first");
    // The same folder named another way finds them too; another folder does not.
    EXPECT_EQ(ListJournals(m_dir.path() + "./x/..").size(), 2u);
    EXPECT_TRUE(ListJournals(other.path()).empty());
}

} // namespace
} // namespace tressel
