// Undo when things went wrong in between: chains, taken names, impostors, damaged or
// unwritable journals, re-pointed links, read-only folders and killed undos. Every name
// comes back, or the file is named with the reason and a later run finishes the job.

#include "../operations/scratch_mount.h"
#include "cli/cli.h"
#include "isolated_settings.h"
#include "isolated_state.h"
#include "operations/move_item.h"
#include "operations/undo.h"
#include "operations/undo_commands.h"
#include "operations/undo_journal.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>

namespace tressel::cli {
namespace {

namespace fs = std::filesystem;
using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;
using Renames = std::vector<std::pair<std::string, std::string>>;

class UndoRecoveryTest : public ::testing::Test {
public:
    // One journalled command in folder (the scratch folder by default).
    void Command(const Renames& renames, std::string folder = {}) {
        if (folder.empty())
            folder = m_dir.path();
        auto group = CUndoGroup::Journaled(folder, "rename");
        ASSERT_TRUE(group->canRecord()) << group->journalError();
        for (const auto& [from, to] : renames) {
            std::string target = folder + to;
            ASSERT_TRUE(MoveItem(folder + from, target, group.get())) << from;
        }
    }

    int Tressel(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return cli::Run(args, m_out, m_err);
    }

    // Every file of folder with its content, in name order.
    std::string Snapshot(std::string folder = {}) const {
        return test::FolderSnapshot(folder.empty() ? m_dir.path() : folder);
    }

    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(m_dir.file(name), std::ios::binary | std::ios::trunc) << bytes;
    }

    std::string Newest() { return ListJournals(m_dir.path()).at(0).path; }

    test::IsolatedSettings m_settings;
    test::IsolatedState m_state;
    TempDir m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

using Step = std::function<void(UndoRecoveryTest&)>;

struct RecoveryCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    Renames renames;
    Step meddle;         // what happens between the command and the undo
    const char* planned; // a line of the dry run's output (stdout and stderr)
    int firstExit;
    const char* firstErr; // a line of the first undo's error output
    const char* afterFirst;
    Step fix;
    int secondExit;
    const char* afterSecond;
};

class UndoRecoveryCases : public UndoRecoveryTest,
                          public ::testing::WithParamInterface<RecoveryCase> {};

TEST_P(UndoRecoveryCases, EveryNameComesBackOrIsReportedAndFinishedLater) {
    const RecoveryCase& c = GetParam();
    for (const auto& [name, bytes] : c.files)
        Write(name, bytes);
    Command(c.renames);
    if (c.meddle)
        c.meddle(*this);
    const std::string before = Snapshot();

    Tressel({"undo", "--dry-run", m_dir.path()});
    EXPECT_NE((m_out.str() + m_err.str()).find(c.planned), std::string::npos)
        << m_out.str() << m_err.str();
    EXPECT_EQ(Snapshot(), before) << "a dry run changes nothing";

    EXPECT_EQ(Tressel({"undo", m_dir.path()}), c.firstExit) << m_err.str();
    EXPECT_NE(m_err.str().find(c.firstErr), std::string::npos) << m_err.str();
    EXPECT_EQ(Snapshot(), c.afterFirst);
    if (c.fix)
        c.fix(*this);
    EXPECT_EQ(Tressel({"undo", m_dir.path()}), c.secondExit) << m_err.str();
    EXPECT_EQ(Snapshot(), c.afterSecond);
}

// What an undo killed after its first move back leaves: that move recorded, the next
// one made but not recorded.
void KillUndoHalfWay(UndoRecoveryTest& t) {
    {
        auto group = LoadJournalGroup(t.Newest());
        ASSERT_TRUE(group);
        EXPECT_EQ(t.Tressel({"undo", "--list", t.m_dir.path()}), 0);
        EXPECT_NE(t.m_out.str().find("\trunning\t"), std::string::npos) << t.m_out.str();
        group->moveBack([] { return false; });
    }
    ASSERT_EQ(std::rename(t.m_dir.file("B").c_str(), t.m_dir.file("b").c_str()), 0);
    t.Tressel({"undo", "--list", t.m_dir.path()});
    EXPECT_NE(t.m_out.str().find("\tpartly undone\t3 moves\t"), std::string::npos) << t.m_out.str();
}

const RecoveryCase kRecoveryCases[] = {
    {"ChainGoesBackNewestFirst",
     {{"b.mp3", "B"}, {"c.mp3", "C"}},
     {{"b.mp3", "a.mp3"}, {"c.mp3", "b.mp3"}},
     {},
     "b.mp3 -> ",
     0,
     "",
     "b.mp3=B;c.mp3=C;",
     {},
     1,
     "b.mp3=B;c.mp3=C;"},
    {"TakenNameIsNamedThenFinishedOnceFree",
     {{"a", "A"}},
     {{"a", "A1"}},
     [](UndoRecoveryTest& t) { t.Write("a", "blocker"); },
     "A1: would not go back: cannot go back to",
     1,
     "A1: cannot go back to",
     "A1=A;a=blocker;",
     [](UndoRecoveryTest& t) { std::remove(t.m_dir.file("a").c_str()); },
     0,
     "a=A;"},
    {"ImpostorAtTheNewNameIsLeftAlone",
     {{"a", "A"}},
     {{"a", "A1"}},
     [](UndoRecoveryTest& t) {
         t.Write("new", "impostor");
         std::rename(t.m_dir.file("new").c_str(), t.m_dir.file("A1").c_str());
     },
     "would not go back",
     1,
     "A1: another file has taken its place",
     "A1=impostor;",
     {},
     1,
     "A1=impostor;"},
    {"KilledUndoIsFinishedByARun",
     {{"a", "a"}, {"b", "b"}, {"c", "c"}},
     {{"a", "A"}, {"b", "B"}, {"c", "C"}},
     KillUndoHalfWay,
     "already back: ",
     0,
     "",
     "a=a;b=b;c=c;",
     {},
     1,
     "a=a;b=b;c=c;"},
};

INSTANTIATE_TEST_SUITE_P(Undo, UndoRecoveryCases, ::testing::ValuesIn(kRecoveryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UndoRecoveryTest, WindowHistoryReplaysChainsAndKeepsFailedMoves) {
    Write("b", "B");
    Write("c", "C");
    auto group = std::make_unique<CUndoGroup>();
    for (const auto& [from, to] : Renames{{"b", "a"}, {"c", "b"}}) {
        std::string target = m_dir.file(to);
        ASSERT_TRUE(MoveItem(m_dir.file(from), target, group.get()));
    }
    CUndoHistory history;
    history.push(std::move(group));
    struct Report : IOperationReport {
        void report(const UiText& subject, int errors) override {
            line = ReportText(subject, errors).english();
        }
        void reportFailures(const UiText& subject, const CFailureList& list) override {
            report(subject, list.count());
            failures = list;
        }
        std::string line;
        CFailureList failures;
    } report;
    struct : IProgress {
        void start(uint64_t) override {}
        void step() override {}
    } progress;

    Write("c", "blocker");
    EXPECT_EQ(RunUndoCommand(history, report, progress), 2) << "b waits for c, a for b";
    EXPECT_EQ(report.line, "2 error(s) ocurred while Undo");
    ASSERT_EQ(report.failures.count(), 2);
    EXPECT_EQ(report.failures.items()[0].path, m_dir.file("b"));
    EXPECT_TRUE(history.canUndo()) << "the failed moves stay undoable";

    std::remove(m_dir.file("c").c_str());
    EXPECT_EQ(RunUndoCommand(history, report, progress), 0);
    EXPECT_EQ(Snapshot(), "b=B;c=C;");
    EXPECT_EQ(RunRedoCommand(history, report, progress), 0);
    EXPECT_EQ(Snapshot(), "a=B;b=C;");
    EXPECT_EQ(report.line, "Successfully Redone (" + m_dir.path() + ")");
}

TEST_F(UndoRecoveryTest, JournalNamingAnythingOutsideItsFolderIsRefusedWhole) {
    TempDir sibling;
    const std::string victim = sibling.write("victim", "theirs");
    const std::string dir = JournalFolderKey(m_dir.path());
    Write("x", "x");
    const std::string ids = "\t1\t2\t3\t4\n";
    for (const std::string& record :
         {"done\t" + dir + "x\t/etc/passwd" + ids, "done\t" + victim + "\t" + dir + "stolen" + ids,
          "done\t" + dir + "x\t" + dir + "../x" + ids, "done\t" + dir + "x\t" + dir + "a/b/c" + ids,
          "done\t" + dir + "x\t" + dir + "./y" + ids, "intend\t/etc/passwd\t" + dir + "p" + ids,
          "rm -rf\t" + dir + "\n"}) {
        fs::create_directories(JournalFolder());
        const std::string journal = JournalFolder() + "00000000000000000001-1-0.journal";
        std::ofstream(journal, std::ios::binary | std::ios::trunc)
            << "TRESSEL-UNDO-JOURNAL 1\nfolder\t" << EscapeJournalField(dir)
            << "\ndone\t" + dir + "x\t" + dir + "w" + ids << record << "end\n";
        EXPECT_EQ(Tressel({"undo", m_dir.path()}), 1) << record;
        EXPECT_NE(m_err.str().find("damaged undo journal, refused"), std::string::npos)
            << m_err.str();
        Tressel({"undo", "--list", m_dir.path()});
        EXPECT_NE(m_out.str().find("\tdamaged\t"), std::string::npos) << m_out.str();
        EXPECT_EQ(Snapshot(), "x=x;") << record;
        EXPECT_EQ(ReadWholeFile(victim), "theirs");
    }
}

TEST_F(UndoRecoveryTest, RepointedFolderLinkNeverUndoesInTheOtherFolder) {
    const std::string real = m_dir.mkdir("real") + "/";
    const std::string other = m_dir.mkdir("other") + "/";
    const std::string link = m_dir.file("link/");
    fs::create_directory_symlink(real, m_dir.file("link"));
    std::ofstream(real + "a") << "mine";
    Command({{"a", "b"}}, link);
    std::ofstream(other + "b") << "theirs";
    fs::remove(m_dir.file("link"));
    fs::create_directory_symlink(other, m_dir.file("link"));

    EXPECT_EQ(Tressel({"undo", link}), 1) << "the journal belongs to the real folder";
    EXPECT_EQ(Snapshot(other), "b=theirs;");
    EXPECT_EQ(Tressel({"undo", real}), 0) << m_err.str();
    EXPECT_EQ(Snapshot(real), "a=mine;");
    EXPECT_EQ(Snapshot(other), "b=theirs;");
}

// A tmpfs of 16 KiB as the state folder, with `free` bytes left when the command starts.
TEST_F(UndoRecoveryTest, UnwritableJournalStopsTheCommandBeforeItsNextMove) {
    const std::string exe = ReadWholeFile(test::SourcePath("tests/fixtures/exe/us_english.exe"));
    for (const size_t free : {size_t(0), size_t(4096)}) {
        SCOPED_TRACE(free);
        TempDir folder;
        const std::string state = folder.mkdir("state") + "/";
        std::string why;
        auto mount = test::ScratchMount::tmpfs(state, "size=16k", 0, &why);
        if (!mount)
            GTEST_SKIP() << why;
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        fs::create_directories(JournalFolder());
        {
            // Bounded, so that a mount gone wrong never fills a real disk.
            std::ofstream filler(state + "filler", std::ios::binary);
            const std::string page(4096, 'f');
            for (int i = 0; i < 16 && filler.write(page.data(), page.size()); ++i)
                filler.flush();
        }
        fs::resize_file(state + "filler", fs::file_size(state + "filler") / 4096 * 4096 - free);
        const std::string sat = folder.mkdir("sat") + "/";
        for (int i = 0; i < 40; ++i)
            std::ofstream(sat + std::to_string(1000 + i) + ".exe", std::ios::binary) << exe;
        const std::string original = Snapshot(sat);

        EXPECT_EQ(Tressel({"rename", "--column", "1", sat}), 1);
        EXPECT_NE(m_err.str().find("Stopped: the undo journal cannot be written"),
                  std::string::npos)
            << m_err.str();
        const std::string printed = m_out.str();
        const auto renamed = static_cast<size_t>(std::count(printed.begin(), printed.end(), '>'));
        EXPECT_EQ(renamed == 0, free == 0) << printed;
        EXPECT_LT(renamed, 40u);
        fs::remove(state + "filler");
        if (renamed > 0) {
            EXPECT_EQ(Tressel({"undo", sat}), 0) << m_err.str();
        }
        EXPECT_EQ(Snapshot(sat), original) << "every move made was recorded";
    }
}

TEST_F(UndoRecoveryTest, UndoInAReadOnlyFolderFinishesOnceWritable) {
    const std::string ro = m_dir.mkdir("ro") + "/";
    std::string why;
    auto mount = test::ScratchMount::tmpfs(ro, "size=64k", 0, &why);
    if (!mount)
        GTEST_SKIP() << why;
    std::ofstream(ro + "a") << "a";
    std::ofstream(ro + "b") << "b";
    Command({{"a", "A"}, {"b", "B"}}, ro);
    ASSERT_EQ(::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);

    EXPECT_EQ(Tressel({"undo", ro}), 1);
    EXPECT_NE(m_err.str().find(ro + "A: cannot be moved to"), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find(ro + "B: cannot be moved to"), std::string::npos) << m_err.str();
    Tressel({"undo", "--list", ro});
    EXPECT_NE(m_out.str().find("\tapplied\t"), std::string::npos) << m_out.str();

    ASSERT_EQ(::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT, nullptr), 0);
    EXPECT_EQ(Tressel({"undo", ro}), 0) << m_err.str();
    EXPECT_EQ(Snapshot(ro), "a=a;b=b;");
}

// Root may write anywhere: the undo runs as nobody, in a folder nobody may not write.
TEST_F(UndoRecoveryTest, FolderWithoutWritePermissionKeepsTheMovesForLater) {
    if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv to run the undo as another user";
    const std::string state = m_dir.mkdir("state") + "/";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string sat = m_dir.mkdir("sat") + "/";
    std::ofstream(sat + "a") << "a";
    Command({{"a", "A"}}, sat);
    fs::permissions(m_dir.path(), fs::perms(0755));
    fs::permissions(sat, fs::perms(0755));
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + state + "'").c_str()), 0);
    const std::string run = "XDG_STATE_HOME='" + state + "' XDG_CONFIG_HOME='" + state +
                            "' setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                            TRESSEL_BINARY_DIR "/src/tressel' undo '" + sat + "' 2>'" +
                            m_dir.file("err") + "' >/dev/null";
    const auto exitStatus = [&run] {
        const int status = std::system(run.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    EXPECT_EQ(exitStatus(), 1);
    EXPECT_NE(ReadWholeFile(m_dir.file("err")).find(sat + "A: cannot be moved to"),
              std::string::npos)
        << ReadWholeFile(m_dir.file("err"));
    EXPECT_EQ(Snapshot(sat), "A=a;");
    fs::permissions(sat, fs::perms(0777));
    EXPECT_EQ(exitStatus(), 0) << ReadWholeFile(m_dir.file("err"));
    EXPECT_EQ(Snapshot(sat), "a=a;");
}

} // namespace
} // namespace tressel::cli
