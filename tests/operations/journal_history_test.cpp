#include "isolated_state.h"
#include "operations/journal_history.h"
#include "operations/move_item.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
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
    test::IsolatedState m_state;
    TempDir m_dir;
};

// The folder's files as "name=content;", sorted.
std::string Snapshot(const TempDir& dir) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.insert(entry.path().filename().string() + "=" + ReadWholeFile(entry.path()) + ";");
    std::string out;
    for (const std::string& file : files)
        out += file;
    return out;
}

TEST_F(JournalHistoryTest, UndoneCommandIsRedoneByALaterProcessUnlessItsFileChanged) {
    // What happens to the folder after the undo; an empty `after` is the redo's result.
    const struct {
        const char* name;
        std::function<void(TempDir&)> change;
        const char* after;
    } cases[] = {
        {"untouched", [](TempDir&) {}, "Game.zip=one;"},
        {"old name replaced",
         [](TempDir& d) {
             // Made before the old one goes, so it cannot get its inode.
             std::filesystem::rename(d.write("new", "other"), d.file("1.zip"));
         },
         "1.zip=other;"},
        {"new name taken", [](TempDir& d) { d.write("Game.zip", "other"); },
         "1.zip=one;Game.zip=other;"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.write("1.zip", "one");
        auto group = CUndoGroup::Journaled(dir.path(), "rename");
        std::string target = dir.file("Game.zip");
        ASSERT_TRUE(MoveItem(dir.file("1.zip"), target, group.get()));
        const std::string journal = group->journal()->path();
        group.reset();
        ASSERT_EQ(ReplayJournal(journal, true).errors, 0);
        c.change(dir);
        const auto undone = ListJournals(dir.path());
        ASSERT_EQ(NextToRedo(undone), &undone[0]) << c.name;

        const JournalReplay redo = ReplayJournal(journal, false);
        const bool refused = std::string(c.name) != "untouched";
        EXPECT_EQ(ReportText(redo.subject, redo.errors).english(),
                  refused ? "1 error(s) ocurred while Redo"
                          : "Successfully Redone (" + dir.path() + ")")
            << c.name;
        ASSERT_EQ(redo.failures.count(), refused ? 1 : 0) << c.name;
        if (refused)
            EXPECT_EQ(redo.failures.items()[0].path, dir.file("1.zip")) << c.name;
        EXPECT_EQ(Snapshot(dir), c.after) << c.name;
        const auto after = ListJournals(dir.path());
        EXPECT_EQ(after[0].contents.state(), refused ? JournalState::Undone : JournalState::Applied)
            << c.name;
        EXPECT_EQ(NewestToUndo(after) != nullptr, !refused) << c.name;
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
