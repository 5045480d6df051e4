#include "../listview/gui_fixture.h"
#include "app/application.h"
#include "app/main_frame.h"
#include "cli/cli.h"
#include "listview/file_list_model.h"
#include "listview/undo_history_dialog.h"
#include "listview/view.h"

#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include <sstream>

namespace tressel::test {
namespace {

class UndoHistoryTest : public GuiTest {
protected:
    std::unique_ptr<CTresselApplication> startProgram() {
        auto program = std::make_unique<CTresselApplication>();
        program->start({QString::fromStdString(folder.path())}, false);
        return program;
    }

    // The history's rows as "command files state", newest first.
    static QStringList rows(const CUndoHistoryDialog& dialog) {
        QStringList out;
        for (int i = 0; i < dialog.list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = dialog.list()->topLevelItem(i);
            out << row->text(CUndoHistoryDialog::Command) + " " +
                       row->text(CUndoHistoryDialog::Files) + " " +
                       row->text(CUndoHistoryDialog::State);
        }
        return out;
    }

    bool renamed() const {
        return PathExists(folder.file("Alpha.html")) && PathExists(folder.file("Beta.html")) &&
               !PathExists(folder.file("a.html")) && !PathExists(folder.file("b.html"));
    }
    bool original() const {
        return PathExists(folder.file("a.html")) && PathExists(folder.file("b.html")) &&
               !PathExists(folder.file("Alpha.html")) && !PathExists(folder.file("Beta.html"));
    }
};

TEST_F(UndoHistoryTest, ToolCommandIsUndoneFromTheHistoryAndRedoneAfterARestart) {
    folder.write("a.html", "<html><head><title>Alpha</title></head></html>");
    folder.write("b.html", "<html><head><title>Beta</title></head></html>");
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"rename", "--column", "1", folder.path()}, out, err), 0) << err.str();
    ASSERT_TRUE(renamed()) << out.str();
    const QString done = "Successfully %1 (" + QString::fromStdString(folder.path()) + ")";
    {
        auto program = startProgram();
        CMainFrame& frame = *program->frame();
        EXPECT_TRUE(frame.action("undo")->isEnabled()) << "offered from the journal";
        frame.action("undoHistory")->trigger();
        CUndoHistoryDialog* dialog = frame.view().undoHistoryDialog();
        ASSERT_TRUE(dialog && dialog->isVisible());
        EXPECT_EQ(rows(*dialog), QStringList{"rename --column 1 2 applied"});
        EXPECT_FALSE(dialog->redoButton()->isEnabled());

        QTest::mouseClick(dialog->undoButton(), Qt::LeftButton);
        EXPECT_TRUE(original());
        EXPECT_EQ(frame.statusPaneText(2), done.arg("Undone"));
        EXPECT_EQ(rows(*dialog), QStringList{"rename --column 1 2 undone"});
        EXPECT_FALSE(dialog->undoButton()->isEnabled());
        EXPECT_TRUE(dialog->redoButton()->isEnabled());
        EXPECT_FALSE(frame.action("undo")->isEnabled());
    }

    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    EXPECT_FALSE(frame.action("undo")->isEnabled());
    ASSERT_TRUE(frame.action("redo")->isEnabled()) << "the restart offers Redo";
    frame.action("redo")->trigger();
    EXPECT_TRUE(renamed());
    EXPECT_EQ(frame.statusPaneText(2), done.arg("Redone"));

    // Nothing in this run's history: Undo names the journaled command first.
    QStringList asked;
    bool answer = false;
    frame.view().setJournalUndoQuestion([&](const QString& question) {
        asked << question;
        return answer;
    });
    for (bool yes : {false, true}) {
        answer = yes;
        ASSERT_TRUE(frame.action("undo")->isEnabled());
        frame.action("undo")->trigger();
        EXPECT_EQ(original(), yes);
    }
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].contains(QRegularExpression(
        "^Undo 'rename --column 1' of 2 files from \\d+ \\w+, \\d\\d:\\d\\d\\?$")))
        << asked[0].toStdString();

    // A command of this run is listed as the window holds it, and undone through it.
    ASSERT_TRUE(WaitUntil([&frame] { return frame.view().model().name(0) == "a.html"; }));
    frame.view().renameRow(0, "Named.html");
    frame.action("undoHistory")->trigger();
    CUndoHistoryDialog* dialog = frame.view().undoHistoryDialog();
    EXPECT_EQ(rows(*dialog), (QStringList{"rename 1 applied", "rename --column 1 2 undone"}));
    dialog->undoButton()->setFocus();
    QTest::keyClick(dialog->undoButton(), Qt::Key_Space);
    EXPECT_TRUE(original());
    EXPECT_EQ(rows(*dialog), (QStringList{"rename 1 undone", "rename --column 1 2 undone"}));
}

TEST(UndoHistoryText, StartTimesAreShortAndLocalOrLeftAsWritten) {
    EXPECT_TRUE(JournalStartText("2026-12-03 14:02:00 UTC")
                    .contains(QRegularExpression("^\\d+ Dec, \\d\\d:\\d\\d$")));
    EXPECT_EQ(JournalStartText("yesterday"), "yesterday");
}

} // namespace
} // namespace tressel::test
