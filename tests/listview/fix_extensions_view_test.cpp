#include "view_fixture.h"

#include "listview/planned_changes_dialog.h"
#include "readers/registry.h"

#include <QAction>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>

namespace tressel::test {
namespace {

using Rows = std::vector<std::tuple<std::string, std::string, QString>>;

Rows RowsOf(const std::vector<PlannedChange>& changes) {
    Rows rows;
    for (const PlannedChange& change : changes)
        rows.emplace_back(change.oldName, change.newName, change.description);
    return rows;
}

// The window reads files as the program does, and the planned-changes list is answered
// by the test: it notes the rows it was shown and leaves those of `untick` out.
class FixExtensionsViewTest : public ViewTest {
protected:
    FixExtensionsViewTest() {
        doc.setReaderTable(&DefaultReaderTable());
        doc.setScanAll(true);
        FileQuestions questions;
        questions.confirmChanges = [this](const QString& title, const QString&,
                                          const std::vector<PlannedChange>& changes) {
            titles << title;
            shown = changes;
            std::vector<PlannedChange> ticked;
            for (const PlannedChange& change : changes) {
                if (change.oldName != untick)
                    ticked.push_back(change);
            }
            return ticked;
        };
        view->setFileQuestions(questions);
        exe = ReadWholeFile(SourcePath("tests/fixtures/exe/us_english.exe"));
    }

    QStringList titles;
    std::vector<PlannedChange> shown;
    std::string untick;
    std::string exe;
};

TEST_F(FixExtensionsViewTest, PlannedChangesAreShownAndOnlyTheTickedOnesMadeInOneUndoGroup) {
    for (const char* name : {"7F00A1.bin", "C0DE.bin", "C0DE.exe"})
        folder.write(name, exe);
    folder.write("0001", "Frequencies for the autumn schedule\n");
    folder.write("README", "Read me first\n");
    folder.mkdir("0A0B");
    open(folder.path());
    const std::string before = FolderSnapshot(folder.path());
    select({"0001", "7F00A1.bin", "C0DE.bin", "C0DE.exe", "README", "0A0B"});
    untick = "0001";
    view->fixExtensionsFromContent();

    EXPECT_EQ(titles, QStringList{"Fix Extensions from Content"});
    EXPECT_EQ(RowsOf(shown), (Rows{{"0001", "0001.txt", "ASCII text"},
                                   {"7F00A1.bin", "7F00A1.exe", "Windows executable"},
                                   {"C0DE.bin", "C0DE[1].exe", "Windows executable"}}));
    EXPECT_EQ(folder.listing(), "0001;0A0B;7F00A1.exe;C0DE.exe;C0DE[1].exe;README;");
    EXPECT_EQ(panes[2], "2 Renamed");
    ASSERT_TRUE(view->canUndo());
    view->undo();
    EXPECT_EQ(FolderSnapshot(folder.path()), before) << "one undo takes the command back";

    untick = "";
    select({"README", "C0DE.exe"});
    titles.clear();
    view->fixExtensionsFromContent();
    EXPECT_TRUE(titles.empty()) << "nothing to ask about";
    EXPECT_EQ(panes[2], "Every extension fits its content");
}

// "Fix Extensions when Renaming" is off at first, remembered, and makes the rename
// command give the content's extension.
TEST_F(FixExtensionsViewTest, RenamingFixesExtensionsWhileTheOptionIsOn) {
    QAction* option = view->fixExtensionsAction();
    EXPECT_FALSE(option->isChecked());
    folder.write("7F00A1.bin", exe);
    folder.write("0A1B.bin", exe);
    open(folder.path());
    select({"7F00A1.bin"});
    view->renameToColumn(1);
    EXPECT_TRUE(PathExists(folder.file("Orbit Tracker.bin")));

    option->setChecked(true);
    select({"0A1B.bin"});
    view->renameToColumn(2);
    EXPECT_TRUE(PathExists(folder.file("Orbit Suite.exe")));
    {
        CMarlockUtilDoc first;
        first.setFixExtensions(true);
    }
    EXPECT_TRUE(CMarlockUtilDoc().fixExtensions()) << "a new run finds the option as it was left";
}

TEST_F(FixExtensionsViewTest, DialogReturnsTheTickedRowsInPlanOrderWhateverTheSort) {
    const std::vector<PlannedChange> plan = {
        {"b.bin", "b.exe", "Windows executable", true},
        {"a.bin", "a.pdf", "PDF document", false},
        {"c.dat", "c.jpg", "JPEG image data", true},
    };
    CPlannedChangesDialog dialog("Fix Extensions from Content", "Content", "Rename", plan, nullptr);
    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->headerItem()->text(2), "Content");
    list->sortItems(0, Qt::AscendingOrder);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "a.pdf");
    EXPECT_EQ(RowsOf(dialog.tickedChanges()), (Rows{{"b.bin", "b.exe", "Windows executable"},
                                                    {"c.dat", "c.jpg", "JPEG image data"}}));
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    list->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(RowsOf(dialog.tickedChanges()),
              (Rows{{"b.bin", "b.exe", "Windows executable"}, {"a.bin", "a.pdf", "PDF document"}}));
    auto* accept = dialog.findChild<QPushButton*>("acceptChanges");
    ASSERT_NE(accept, nullptr);
    EXPECT_TRUE(accept->isEnabled());
    for (int row = 0; row < 3; ++row)
        list->topLevelItem(row)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(accept->isEnabled()) << "nothing ticked, nothing to do";
}

} // namespace
} // namespace tressel::test
