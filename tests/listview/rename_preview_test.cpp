#include "view_fixture.h"

#include "listview/list_context_menu.h"
#include "listview/rename_preview_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>

namespace tressel::test {
namespace {

// The preview is the window's own dialog, driven by the test instead of a user: `act`
// changes its choices and ticks, then OK (or Cancel) is pressed.
class RenamePreviewTest : public ViewTest {
protected:
    RenamePreviewTest() {
        FileQuestions questions;
        questions.previewRename = [this](const std::vector<NameMenuItem>& columns,
                                         const RenamePreviewSettings& start,
                                         const RenamePlanner& planner) {
            CRenamePreviewDialog dialog(columns, start, planner, nullptr);
            if (act)
                act(dialog);
            shown = Shown(dialog);
            return ok ? dialog.tickedChanges() : std::vector<PlannedChange>();
        };
        view->setFileQuestions(questions);
    }

    // "old -> new; ...", with "old (unchanged)" for a greyed row without a check box.
    static std::string Shown(const CRenamePreviewDialog& dialog) {
        QStringList rows;
        for (int i = 0; i < dialog.list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = dialog.list()->topLevelItem(i);
            const bool greyed =
                !(item->flags() & Qt::ItemIsEnabled) && !(item->flags() & Qt::ItemIsUserCheckable);
            rows << (greyed ? item->text(0) + " (unchanged)"
                            : item->text(0) + " -> " + item->text(1));
        }
        return rows.join("; ").toStdString();
    }

    // The folder after the rename command's own run on every file, taken back again.
    std::string realRun(bool append) {
        selectAll();
        if (append)
            view->contextMenu().build({0, 0}, Qt::ShiftModifier); // Shift appends
        view->renameToColumn(1);
        const std::string listing = folder.listing();
        EXPECT_TRUE(view->canUndo());
        view->undo();
        EXPECT_EQ(FolderSnapshot(folder.path()), before);
        open(folder.path()); // the rows in name order again
        selectAll();
        return listing;
    }

    void selectAll() { select(names()); }

    // The folder a run of the shown rows makes.
    static std::string ListingOf(const std::string& shown) {
        std::vector<std::string> files;
        for (QString row : QString::fromStdString(shown).split("; "))
            files.push_back(row.remove(" (unchanged)").section(" -> ", -1).toStdString());
        std::sort(files.begin(), files.end());
        std::string listing;
        for (const std::string& file : files)
            listing += file + ";";
        return listing;
    }

    std::function<void(CRenamePreviewDialog&)> act;
    bool ok = true;
    std::string shown;
    std::string before;
};

// A clash set (two files to one text beside a file that holds it), a file whose name
// is its text already, and an appended name: the preview names every file as the
// command does, and OK makes just those names in one undo group.
TEST_F(RenamePreviewTest, ShowsTheNamesOfARealRunAndAppliesThemAsOneUndoGroup) {
    for (const char* name : {"0A.bin", "0B.bin", "Setup.bin"})
        folder.write(name, ReadableContent("Setup", "Second"));
    folder.write("0C.bin", ReadableContent("Other"));
    open(folder.path());
    before = FolderSnapshot(folder.path());
    const std::string plain = "0A.bin -> Setup[1].bin; 0B.bin -> Setup[2].bin; "
                              "0C.bin -> Other.bin; Setup.bin (unchanged)";
    const std::string appended = "0A.bin -> 0A_Setup.bin; 0B.bin -> 0B_Setup.bin; "
                                 "0C.bin -> 0C_Other.bin; Setup.bin -> Setup_Setup.bin";
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "append" : "plain");
        const std::string real = realRun(append);
        ok = false;
        view->previewRename(append);
        EXPECT_EQ(shown, append ? appended : plain);
        EXPECT_EQ(ListingOf(shown), real);
        EXPECT_EQ(FolderSnapshot(folder.path()), before) << "Cancel renames nothing";
    }

    // Append switched on in the dialog plans again; OK applies what it shows.
    ok = true;
    act = [](CRenamePreviewDialog& dialog) { dialog.appendBox()->setChecked(true); };
    view->previewRename(false);
    EXPECT_EQ(shown, appended);
    EXPECT_EQ(folder.listing(), ListingOf(appended));
    EXPECT_EQ(panes[2], "4 Renamed");
    view->undo();
    EXPECT_EQ(FolderSnapshot(folder.path()), before) << "one undo takes all back";
    EXPECT_FALSE(view->canUndo());
}

// An unticked file stays as it is; a shown name another file took meanwhile is
// numbered on, never overwritten.
TEST_F(RenamePreviewTest, UntickedFilesStayAndNamesTakenMeanwhileAreNumbered) {
    folder.write("0A.bin", ReadableContent("Alpha"));
    folder.write("0B.bin", ReadableContent("Beta"));
    folder.write("0C.bin", ReadableContent("", "Gamma"));
    open(folder.path());
    selectAll();
    act = [this](CRenamePreviewDialog& dialog) {
        EXPECT_EQ(dialog.columnChooser()->count(), 2) << "the columns some file fills";
        QTreeWidget* list = dialog.list();
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Space); // unticks 0A.bin
        dialog.appendBox()->toggle();         // planned again twice: still unticked
        dialog.appendBox()->toggle();
        folder.write("Beta.bin", "someone else's");
    };
    view->previewRename(false);
    EXPECT_EQ(shown, "0A.bin -> Alpha.bin; 0B.bin -> Beta.bin; 0C.bin (unchanged)");
    EXPECT_EQ(folder.listing(), "0A.bin;0C.bin;Beta.bin;Beta[1].bin;");
    EXPECT_EQ(ReadWholeFile(folder.file("Beta.bin")), "someone else's");
    EXPECT_EQ(panes[2], "1 Renamed. 1 name(s) were taken meanwhile and got the next number");

    // The second column, chosen in the dialog.
    act = [](CRenamePreviewDialog& dialog) { dialog.columnChooser()->setCurrentIndex(1); };
    select({"0C.bin"});
    view->previewRename(false);
    EXPECT_EQ(shown, "0C.bin -> Gamma.bin");
    EXPECT_TRUE(PathExists(folder.file("Gamma.bin")));
}

// Fix Extensions in the dialog gives the content's extension, as the command does with
// the window's option on.
TEST_F(RenamePreviewTest, FixExtensionsPlansTheContentsExtension) {
    doc.setReaderTable(&DefaultReaderTable());
    doc.setScanAll(true); // the executable reader looks past the extension
    folder.write("7F00A1.bin", ReadWholeFile(SourcePath("tests/fixtures/exe/us_english.exe")));
    open(folder.path());
    before = FolderSnapshot(folder.path());
    view->fixExtensionsAction()->setChecked(true);
    const std::string real = realRun(false);
    view->fixExtensionsAction()->setChecked(false);
    std::string unfixed;
    act = [&unfixed](CRenamePreviewDialog& dialog) {
        unfixed = Shown(dialog);
        dialog.fixExtensionsBox()->setChecked(true);
    };
    view->previewRename(false);
    EXPECT_EQ(unfixed, "7F00A1.bin -> Orbit Tracker.bin");
    EXPECT_EQ(shown, "7F00A1.bin -> Orbit Tracker.exe");
    EXPECT_EQ(folder.listing(), real);
}

} // namespace
} // namespace tressel::test
