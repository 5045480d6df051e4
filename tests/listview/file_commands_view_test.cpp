#include "view_fixture.h"

#include "listview/view.h"
#include "operations/feedback.h"
#include "settings/settings_store.h"

#include <QAction>

#include <cstdlib>
#include <filesystem>

namespace tressel::test {
namespace {

// The commands' dialogs answered by the test; the trash in a data folder that does not
// exist yet.
class FileCommandsViewTest : public ViewTest {
protected:
    FileCommandsViewTest() : data(folder.path() + "data") {
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        FileQuestions questions;
        questions.confirmDelete = [this](const QStringList& paths, bool permanent) {
            asked.push_back({paths, permanent});
            return answer;
        };
        questions.chooseFolder = [this](const QString&, const QString&) { return chosen; };
        questions.askExisting = [this](const std::string&) { return existing; };
        view->setFileQuestions(questions);
    }
    ~FileCommandsViewTest() override { unsetenv("XDG_DATA_HOME"); }

    std::string work(const std::string& name) const { return folder.file("work/" + name); }
    void openWork() { open(folder.file("work")); }

    std::string data;
    std::vector<std::pair<QStringList, bool>> asked;
    bool answer = true;
    QString chosen;
    ExistingTarget existing = ExistingTarget::Skip;
};

TEST_F(FileCommandsViewTest, DeleteAsksAsConfirmShiftDeleteSays) {
    struct Case {
        bool shift, confirm, answer;
        bool asked, gone, trashed;
    };
    const Case cases[] = {
        {false, true, true, true, true, true},    {false, false, true, true, true, true},
        {false, true, false, true, false, false}, {true, true, true, true, true, false},
        {true, true, false, true, false, false},  {true, false, false, false, true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "f" + std::to_string(n++) + ".txt";
        const std::string path = folder.write("work/" + name, "content");
        openWork();
        select({QString::fromStdString(name)});
        view->confirmShiftDeleteAction()->setChecked(c.confirm);
        asked.clear();
        answer = c.answer;
        view->deleteSelection(c.shift);
        SCOPED_TRACE(name);
        ASSERT_EQ(asked.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(asked[0].second, c.shift);
        }
        EXPECT_EQ(!PathExists(path), c.gone);
        EXPECT_EQ(PathExists(data + "/Trash/files/" + name), c.trashed);
        if (c.trashed) {
            EXPECT_EQ(ReadWholeFile(data + "/Trash/files/" + name), "content");
        }
    }
    EXPECT_EQ(panes[2], "Delete " + QString::fromStdString(folder.file("work/f5.txt")));
}

TEST_F(FileCommandsViewTest, MoveToKeepsTheRecentFoldersAndIsUndoable) {
    folder.write("work/a.txt", "A");
    openWork();
    select({"a.txt"});
    const QStringList& history = view->moveToHistory().entries();
    for (int i = 0; i < 11; ++i) {
        chosen = QString::fromStdString(folder.mkdir("t" + std::to_string(i)));
        view->copyOrMove(false, -1);
    }
    EXPECT_EQ(history.size(), 10);
    EXPECT_EQ(history.front(), chosen);
    EXPECT_FALSE(history.contains(QString::fromStdString(folder.file("t0"))));
    EXPECT_EQ(ReadWholeFile(folder.file("t0/a.txt")), "A");
    EXPECT_EQ(panes[2], "Last Copy to " + chosen);

    // A recent folder deleted meanwhile comes back; moving there twice lists it once.
    std::filesystem::remove_all(folder.file("t5"));
    const QString t5 = QString::fromStdString(folder.file("t5"));
    view->copyOrMove(true, static_cast<int>(history.indexOf(t5)));
    EXPECT_EQ(ReadWholeFile(folder.file("t5/a.txt")), "A");
    EXPECT_FALSE(PathExists(work("a.txt")));
    EXPECT_EQ(panes[2], "Last Move to " + t5);
    chosen = t5;
    view->copyOrMove(true, -1);
    EXPECT_EQ(history.count(t5), 1);
    EXPECT_EQ(history.front(), t5);
    EXPECT_EQ(history.size(), 10);

    // No journal names the folders outside the open one (it would read as damaged).
    const char* journals = std::getenv("XDG_STATE_HOME");
    ASSERT_NE(journals, nullptr);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(journals))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    view->undo();
    EXPECT_EQ(ReadWholeFile(work("a.txt")), "A");
    EXPECT_FALSE(PathExists(folder.file("t5/a.txt")));
}

TEST_F(FileCommandsViewTest, CopyToReplaceSendsTheOldFileToTheTrash) {
    folder.write("work/a.txt", "new");
    folder.write("dst/a.txt", "old");
    openWork();
    select({"a.txt"});
    chosen = QString::fromStdString(folder.file("dst"));
    existing = ExistingTarget::Replace;
    view->copyOrMove(false, -1);
    EXPECT_EQ(ReadWholeFile(folder.file("dst/a.txt")), "new");
    EXPECT_EQ(ReadWholeFile(data + "/Trash/files/a.txt"), "old");
    EXPECT_EQ(ReadWholeFile(work("a.txt")), "new");
}

struct Recorder final : IOperationReport, IProgress {
    void report(const UiText& subject, int errors) override {
        line = ReportText(subject, errors).english();
    }
    void reportFailures(const UiText& subject, const CFailureList& list) override {
        report(subject, list.count());
        failures = list;
    }
    void start(uint64_t count) override { total = count; }
    void step() override { ++steps; }
    std::string line;
    CFailureList failures;
    uint64_t total = 0, steps = 0;
};

TEST_F(FileCommandsViewTest, EachFileThatCannotGoIsListedWithItsReason) {
    folder.write("work/a.txt", "A");
    folder.write("work/b.txt", "B");
    openWork();
    select({"a.txt", "b.txt"});
    Recorder recorder;
    view->setReport(&recorder);
    view->setProgress(&recorder);
    chosen = QString::fromStdString(folder.file("missing/deeper"));
    view->copyOrMove(true, -1);
    EXPECT_EQ(recorder.line,
              "2 error(s) ocurred while moving to " + chosen.toStdString() + " (0 done)");
    ASSERT_EQ(recorder.failures.count(), 2);
    EXPECT_EQ(recorder.failures.items()[1].path, work("b.txt"));
    EXPECT_FALSE(recorder.failures.items()[1].reason.empty());
    EXPECT_EQ(recorder.total, 2u);
    EXPECT_EQ(recorder.steps, 2u);
    EXPECT_EQ(ReadWholeFile(work("b.txt")), "B");
    view->setReport(nullptr);
    view->setProgress(nullptr);
}

TEST_F(FileCommandsViewTest, DeleteEmptyDirectoriesCountsTheFoldersRemoved) {
    folder.mkdir("work/e1");
    folder.mkdir("work/e2");
    folder.write("work/full/f", "F");
    openWork();
    view->deleteEmptyDirectories();
    EXPECT_EQ(panes[2], "2 Dir(s) deleted");
    EXPECT_FALSE(PathExists(work("e1")));
    EXPECT_TRUE(PathExists(work("full/f")));
}

} // namespace
} // namespace tressel::test
