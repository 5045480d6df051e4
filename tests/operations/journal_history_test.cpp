#include "isolated_state.h"
#include "operations/journal_history.h"
#include "operations/move_item.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

// A summary whose moves are in the given states (A applied, U undone, G gone); "R" alone
// is a running command, "" an ended command with no moves left.
JournalSummary Summary(const std::string& states) {
    JournalSummary summary;
    summary.running = states == "R";
    summary.contents.ended = true;
    for (char c : states) {
        UndoEntry entry;
        entry.state = c == 'U'   ? EntryState::Undone
                      : c == 'G' ? EntryState::Gone
                                 : EntryState::Applied;
        summary.contents.entries.push_back(entry);
    }
    return summary;
}

TEST(JournalChoice, UndoTakesTheNewestAppliedAndRedoTheOldestOfTheUndoneOnTop) {
    // Journals newest first; the index Undo and Redo pick, -1 for none.
    const struct {
        std::vector<std::string> journals;
        int undo, redo;
    } cases[] = {
        {{}, -1, -1},          {{"AA", "A"}, 0, -1}, {{"UU", "A"}, 1, 0}, {{"UU", "U", "A"}, 2, 1},
        {{"A", "UU"}, 0, -1},                       // a newer command dropped the redo
        {{"UA", "U"}, 0, 0},                        // partly undone: either finishes it
        {{"U", "UA"}, 1, 1},   {{"R", "U"}, 0, -1}, // running: in the way of both
        {{"UG", "GG"}, -1, 0},                      // a lost file leaves nothing to redo
    };
    for (const auto& c : cases) {
        std::vector<JournalSummary> journals;
        for (const std::string& states : c.journals)
            journals.push_back(Summary(states));
        auto index = [&](const JournalSummary* found) {
            return found ? static_cast<int>(found - journals.data()) : -1;
        };
        EXPECT_EQ(index(NewestToUndo(journals)), c.undo) << ::testing::PrintToString(c.journals);
        EXPECT_EQ(index(NextToRedo(journals)), c.redo) << ::testing::PrintToString(c.journals);
    }
}

class JournalHistoryTest : public ::testing::Test {
protected:
    // A command that renamed `from` to `to` in the folder, as a finished process leaves it.
    std::string Command(const std::string& from, const std::string& to) {
        auto group = CUndoGroup::Journaled(m_dir.path(), "rename");
        std::string target = m_dir.file(to);
        EXPECT_TRUE(MoveItem(m_dir.file(from), target, group.get()));
        const std::string path = group->journal()->path();
        group->finish();
        return path;
    }

    test::IsolatedState m_state;
    TempDir m_dir;
};

TEST_F(JournalHistoryTest, UndoneCommandIsRedoneByALaterProcessAndRecorded) {
    m_dir.write("1.zip", "one");
    const std::string journal = Command("1.zip", "Game.zip");
    EXPECT_EQ(ReplayJournal(journal, true).errors, 0);
    ASSERT_EQ(ReadWholeFile(m_dir.file("1.zip")), "one");

    const auto undone = ListJournals(m_dir.path());
    ASSERT_EQ(NextToRedo(undone), &undone[0]);
    const JournalReplay redo = ReplayJournal(journal, false);
    EXPECT_EQ(redo.errors, 0);
    EXPECT_EQ(ReportText(redo.subject, 0).english(), "Successfully Redone (" + m_dir.path() + ")");
    EXPECT_EQ(ReadWholeFile(m_dir.file("Game.zip")), "one");
    EXPECT_FALSE(PathExists(m_dir.file("1.zip")));

    const auto redone = ListJournals(m_dir.path());
    EXPECT_EQ(redone[0].contents.state(), JournalState::Applied);
    EXPECT_EQ(NextToRedo(redone), nullptr);
    EXPECT_EQ(NewestToUndo(redone), &redone[0]);
}

TEST_F(JournalHistoryTest, RedoRefusesAReplacedFileAndNeverOverwrites) {
    // What happens to the folder after the undo, and where the refused file is reported.
    const struct {
        const char* name;
        std::function<void(TempDir&)> change;
        const char* reported;
    } cases[] = {
        {"old name replaced",
         [](TempDir& d) {
             // Made before the old one goes, so it cannot get its inode.
             std::filesystem::rename(d.write("new", "other"), d.file("1.zip"));
         },
         "1.zip"},
        {"new name taken", [](TempDir& d) { d.write("Game.zip", "other"); }, "1.zip"},
    };
    for (const auto& c : cases) {
        m_dir.write("1.zip", "one");
        const std::string journal = Command("1.zip", "Game.zip");
        ASSERT_EQ(ReplayJournal(journal, true).errors, 0);
        c.change(m_dir);
        const std::string oldText = ReadWholeFile(m_dir.file("1.zip"));
        const std::string newText =
            PathExists(m_dir.file("Game.zip")) ? ReadWholeFile(m_dir.file("Game.zip")) : "";

        const JournalReplay redo = ReplayJournal(journal, false);
        EXPECT_EQ(redo.errors, 1) << c.name;
        EXPECT_EQ(ReportText(redo.subject, redo.errors).english(), "1 error(s) ocurred while Redo");
        ASSERT_EQ(redo.failures.count(), 1) << c.name;
        EXPECT_EQ(redo.failures.items()[0].path, m_dir.file(c.reported)) << c.name;
        EXPECT_EQ(ReadWholeFile(m_dir.file("1.zip")), oldText) << c.name;
        EXPECT_EQ(PathExists(m_dir.file("Game.zip")) ? ReadWholeFile(m_dir.file("Game.zip")) : "",
                  newText)
            << c.name;
        EXPECT_EQ(ListJournals(m_dir.path())[0].contents.state(), JournalState::Undone) << c.name;
        std::filesystem::remove(journal);
        std::filesystem::remove(m_dir.file("1.zip"));
        std::filesystem::remove(m_dir.file("Game.zip"));
    }
}

// A journal written straight to the journal folder, numbered to sort by start, last
// changed `daysAgo`.
std::string FabricatedJournal(int number, const std::string& folder, const std::string& records,
                              int daysAgo) {
    char name[40];
    std::snprintf(name, sizeof name, "%020d-1-0.journal", number);
    const std::string path = JournalFolder() + name;
    std::filesystem::create_directories(JournalFolder());
    const std::string key = JournalFolderKey(folder);
    std::ofstream(path, std::ios::binary)
        << "TRESSEL-UNDO-JOURNAL 1\nfolder\t" << key << "\ncommand\trename\nstarted\tthen\n"
        << records;
    const timespec changed{std::time(nullptr) - daysAgo * 24 * 60 * 60, 0};
    const timespec times[2] = {changed, changed};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    return path;
}

TEST_F(JournalHistoryTest, NewCommandPrunesOnlySettledOldJournalsBeyondTheNewest) {
    const std::string key = JournalFolderKey(m_dir.path());
    const std::string two = "done\t" + key + "b\t" + key + "a\t1\t2\t3\t4\t0\n" + "done\t" + key +
                            "d\t" + key + "c\t1\t5\t3\t4\t0\n";
    const std::string applied = two + "end\n";
    // Older than the kJournalKeepNewest below them, newest first.
    const struct {
        const char* name;
        std::string records;
        int daysAgo;
        bool kept;
    } cases[] = {
        {"applied", applied, 91, false},
        {"undone", applied + "back\t1\t1\t2\t3\t4\t0\nback\t0\t1\t5\t3\t4\t0\nundone\n", 91, false},
        {"partly undone", applied + "back\t1\t1\t2\t3\t4\t0\n", 400, true},
        {"interrupted", two, 400, true},
        {"damaged", applied + "garbage\n", 400, true},
        {"recent", applied, 89, true},
        {"running", applied, 400, true},
    };
    std::vector<std::string> paths;
    int number = 1000;
    for (const auto& c : cases)
        paths.push_back(FabricatedJournal(number--, m_dir.path(), c.records, c.daysAgo));
    std::vector<std::string> newest;
    for (size_t i = 0; i < kJournalKeepNewest; ++i)
        newest.push_back(FabricatedJournal(2000 + static_cast<int>(i), m_dir.path(), applied, 400));
    TempDir other; // its one journal is the newest of its folder
    const std::string otherJournal = FabricatedJournal(1, other.path(), applied, 400);
    const int running = ::open(paths.back().c_str(), O_RDONLY);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);

    ASSERT_TRUE(CUndoJournal::create(m_dir.path(), "new"));
    ::close(running);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(PathExists(paths[i]), cases[i].kept) << cases[i].name;
    for (const std::string& path : newest)
        EXPECT_TRUE(PathExists(path)) << path;
    EXPECT_TRUE(PathExists(otherJournal));
    // No longer running, and the oldest of the newest pushed out by the new command.
    EXPECT_EQ(PruneJournals(std::time(nullptr)), 2u);
    EXPECT_FALSE(PathExists(paths.back()));
    EXPECT_FALSE(PathExists(newest.front()));
}

} // namespace
} // namespace tressel
