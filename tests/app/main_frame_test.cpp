#include "../listview/gui_fixture.h"

#include "app/application.h"
#include "app/main_frame.h"
#include "app/translations.h"
#include "app/window_placement.h"
#include "catalogue/document.h"
#include "cli/cli.h"
#include "listview/failure_list_dialog.h"
#include "listview/file_list_model.h"
#include "listview/find_dialog.h"
#include "listview/list_context_menu.h"
#include "listview/view.h"

#include <QHeaderView>
#include <QIcon>
#include <QSet>
#include <QTableView>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QTreeWidget>
#include <QXmlStreamReader>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <tuple>

namespace tressel::test {
namespace {

class FrameTest : public GuiTest {
protected:
    std::unique_ptr<CTresselApplication> startProgram(const QStringList& arguments = {}) {
        auto program = std::make_unique<CTresselApplication>();
        program->start(arguments, false);
        return program;
    }

    static QStringList names(CMainFrame& frame) {
        QStringList out;
        for (int row = 0; row < frame.view().model().rowCount(); ++row)
            out << frame.view().model().name(row);
        return out;
    }
};

TEST_F(FrameTest, FirstRunWithAnEmptyStoreOpensNoFolder) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    EXPECT_TRUE(frame.previewPane()->isVisible());
    EXPECT_TRUE(frame.action("previewAutoHide")->isChecked());
    EXPECT_EQ(frame.maxColBox()->text(), "255");
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), "");
    EXPECT_EQ(frame.view().model().rowCount(), 0);
    EXPECT_TRUE(frame.recentFolders().isEmpty());
    EXPECT_FALSE(frame.view().isListMode());
    EXPECT_GT(frame.view().width(), frame.previewPane()->width()) << "the list takes most room";
    EXPECT_EQ(frame.statusPaneText(0), "0 Object(s)");
}

TEST_F(FrameTest, CommandLineFolderIsOpenedAndRemembered) {
    folder.write("0A.bin", "");
    {
        auto program = startProgram({QString::fromStdString(folder.path())});
        EXPECT_EQ(names(*program->frame()), QStringList{"0A.bin"});
        EXPECT_TRUE(
            program->frame()->windowTitle().contains(QString::fromStdString(folder.path())));
        program->frame()->close();
    }
    auto program = startProgram();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.path())
        << "the last folder reopens";
}

TEST_F(FrameTest, OptionsSurviveARestartAndSettingsRemovalGivesAFirstRun) {
    folder.write("0A.bin", "");
    {
        auto program = startProgram({QString::fromStdString(folder.path())});
        program->frame()->view().setListMode(true);
        program->frame()->view().toggleNumberedOnly();
        program->frame()->close();
    }
    {
        auto program = startProgram();
        CMainFrame& frame = *program->frame();
        EXPECT_TRUE(frame.view().isListMode());
        EXPECT_TRUE(frame.view().numberedOnly());
        EXPECT_TRUE(frame.action("numberedOnly")->isChecked());
        frame.requestSettingsRemoval(false);
        frame.close();
    }
    auto program = startProgram();
    EXPECT_FALSE(program->frame()->view().isListMode());
    EXPECT_FALSE(program->frame()->view().numberedOnly());
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), "");
    EXPECT_TRUE(program->frame()->recentFolders().isEmpty());
}

TEST_F(FrameTest, EveryRecentEntryOpensItsFolder) {
    folder.mkdir("a");
    folder.mkdir("b");
    folder.write("a/1.bin", "");
    folder.write("b/2.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path() + "a")});
    CMainFrame& frame = *program->frame();
    frame.openFolder(QString::fromStdString(folder.path() + "b"));
    ASSERT_EQ(frame.recentFolders().size(), 2);
    EXPECT_EQ(frame.recentFolders()[0].toStdString(), folder.path() + "b/");

    frame.chooseRecent(0);
    EXPECT_EQ(names(frame), QStringList{"2.bin"});
    frame.chooseRecent(1);
    EXPECT_EQ(names(frame), QStringList{"1.bin"});
    EXPECT_EQ(frame.recentFolders()[0].toStdString(), folder.path() + "a/");
    EXPECT_NE(frame.action("recent2"), nullptr);
}

TEST_F(FrameTest, AMissingCommandLineFolderIsReported) {
    auto program = startProgram({QString::fromStdString(folder.file("missing"))});
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), "");
    EXPECT_EQ(program->frame()->statusPaneText(2).toStdString(),
              "The folder " + folder.file("missing") + " could not be opened: it does not exist");
}

// The folder opened last is away at start-up (unmounted, say); once it is back, File 1
// opens it.
TEST_F(FrameTest, FileOneReopensAFolderThatFailedAtStartUp) {
    folder.mkdir("disk");
    startProgram({QString::fromStdString(folder.file("disk"))})->frame()->close();
    std::filesystem::rename(folder.file("disk"), folder.file("away"));
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), "");
    EXPECT_TRUE(frame.statusPaneText(2).contains("could not be opened"));
    std::filesystem::rename(folder.file("away"), folder.file("disk"));
    folder.write("disk/0A.bin", "");
    frame.action("recent1")->trigger();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.file("disk/"));
    EXPECT_EQ(names(frame), QStringList{"0A.bin"});
}

TEST_F(FrameTest, GroupBySubmenuIsBuiltOnceFromTheColumnNames) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    ASSERT_EQ(frame.groupByMenu()->actions().size(), 1);
    frame.fillGroupByMenu();
    frame.fillGroupByMenu();
    const QList<QAction*> items = frame.groupByMenu()->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items.front()->text(), "FileDescription (1)");
    EXPECT_EQ(items.front()->data().toInt(), 603);
    EXPECT_EQ(items.back()->text(), "ProductVersion (9)");
    EXPECT_EQ(items.back()->data().toInt(), 611);
    for (QAction* item : items)
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
    for (const char* name : {"groupByType", "groupByExtension", "setExtensions"})
        EXPECT_TRUE(frame.action(name)->isEnabled()) << name;
}

TEST_F(FrameTest, CommandsNotInThisBuildArePresentAndDisabled) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    for (const char* name :
         {"undo", "redo"}) {
        QAction* a = frame.action(name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_FALSE(a->isEnabled()) << name;
    }
    EXPECT_TRUE(frame.action("open")->isEnabled());
    EXPECT_EQ(frame.action("undo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
    EXPECT_EQ(frame.action("about")->shortcut(), QKeySequence("F1"));
}

// Each dialog-bar switch stands for one action: either changes the one state.
TEST_F(FrameTest, DialogBarSwitchesAndMenuOptionsAreOneState) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    CMarlockUtilView& view = frame.view();
    // control, its action, the action that sets the state back, the state
    const std::vector<std::tuple<const char*, const char*, const char*, std::function<bool()>>>
        options = {
            {"scanAllCheck", "scanAll", "scanAll", [&] { return view.scanAll(); }},
            {"numberedCheck", "numberedOnly", "numberedOnly", [&] { return view.numberedOnly(); }},
            {"listRadio", "list", "details", [&] { return view.isListMode(); }},
            {"previewCheck", "preview", "preview",
             [&] { return !frame.previewPane()->isHidden(); }},
        };
    for (const auto& [button, name, back, state] : options) {
        auto* control = frame.findChild<QAbstractButton*>(button);
        QAction* action = frame.action(name);
        const bool before = state();
        control->click();
        EXPECT_NE(state(), before) << button;
        EXPECT_EQ(action->isChecked(), state()) << name;
        EXPECT_EQ(control->isChecked(), state()) << button;
        frame.action(back)->trigger();
        EXPECT_EQ(state(), before) << name;
        EXPECT_EQ(control->isChecked(), before) << button;
        EXPECT_EQ(control->statusTip(), action->statusTip()) << button;
    }
    frame.findChild<QAbstractButton*>("listRadio")->click();
    frame.findChild<QAbstractButton*>("listRadio")->click();
    EXPECT_TRUE(frame.findChild<QAbstractButton*>("listRadio")->isChecked())
        << "a made choice stays";
    EXPECT_FALSE(frame.findChild<QAbstractButton*>("detailsRadio")->isChecked());
}

TEST_F(FrameTest, UndoAndRedoAreEnabledByTheHistoryAndReportOnPaneTwo) {
    folder.write("0A.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    auto* undoButton = frame.findChild<QPushButton*>("undoButton");
    auto* redoButton = frame.findChild<QPushButton*>("redoButton");
    EXPECT_FALSE(frame.action("undo")->isEnabled());
    EXPECT_FALSE(undoButton->isEnabled());

    frame.view().renameRow(0, "Named.bin");
    ASSERT_TRUE(PathExists(folder.file("Named.bin")));
    EXPECT_TRUE(frame.action("undo")->isEnabled());
    EXPECT_TRUE(undoButton->isEnabled());
    EXPECT_FALSE(frame.action("redo")->isEnabled());

    frame.action("undo")->trigger();
    EXPECT_TRUE(PathExists(folder.file("0A.bin")));
    EXPECT_EQ(frame.statusPaneText(2).toStdString(), "Successfully Undone (" + folder.path() + ")");
    EXPECT_EQ(frame.progressBar()->maximum(), 1);
    EXPECT_FALSE(frame.action("undo")->isEnabled());
    EXPECT_TRUE(redoButton->isEnabled());

    redoButton->click();
    EXPECT_TRUE(PathExists(folder.file("Named.bin")));
    EXPECT_TRUE(frame.action("undo")->isEnabled());
    EXPECT_TRUE(WaitUntil([&frame] { return names(frame) == QStringList{"Named.bin"}; }))
        << names(frame).join(' ').toStdString();
}

TEST_F(FrameTest, FailedUndoOffersDetailsAndAnUnwritableJournalStopsTheRename) {
    folder.write("0A.bin", "moved");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    auto* details = frame.findChild<QPushButton*>("detailsButton");
    frame.view().renameRow(0, "Named.bin");
    folder.write("0A.bin", "blocker");

    frame.action("undo")->trigger();
    EXPECT_EQ(frame.statusPaneText(2), "1 error(s) ocurred while Undo");
    ASSERT_FALSE(details->isHidden());
    details->click();
    auto* dialog = frame.findChild<CFailureListDialog*>("failureListDialog");
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog->list()->topLevelItem(0)->text(0).toStdString(), folder.file("Named.bin"));
    EXPECT_TRUE(dialog->list()->topLevelItem(0)->text(1).contains("another file has that name"));
    dialog->close();

    std::filesystem::remove(folder.file("0A.bin"));
    EXPECT_TRUE(frame.action("undo")->isEnabled()) << "the failed move stays undoable";
    frame.action("undo")->trigger();
    EXPECT_EQ(ReadWholeFile(folder.file("0A.bin")), "moved");
    EXPECT_TRUE(details->isHidden());

    // Journals cannot go where a file stands: no rename without a record of it.
    setenv("XDG_STATE_HOME", folder.write("state", "").c_str(), 1);
    ASSERT_TRUE(WaitUntil([&frame] { return names(frame).contains("0A.bin"); }));
    frame.view().renameRow(static_cast<int>(names(frame).indexOf("0A.bin")), "Other.bin");
    EXPECT_TRUE(PathExists(folder.file("0A.bin")));
    EXPECT_TRUE(frame.statusPaneText(2).contains("Stopped: the undo journal cannot be written"))
        << frame.statusPaneText(2).toStdString();
}

TEST_F(FrameTest, ContextMenuShowsTheViewMenuOrRenamesWithAReportAndProgress) {
    folder.write("0A.exe", ReadableContent("Setup"));
    folder.write("0B.exe", ReadableContent("Setup"));
    auto program = startProgram();
    program->document()->setReaderTable(&CountingReaderTable());
    CMainFrame& frame = *program->frame();
    frame.openFolder(QString::fromStdString(folder.path()));
    CMarlockUtilView& view = frame.view();
    QMenu* viewMenu = view.contextMenu().build(QPoint(1, 1), Qt::NoModifier);
    ASSERT_NE(viewMenu, nullptr);
    EXPECT_EQ(viewMenu->title(), "&View");
    EXPECT_EQ(viewMenu, frame.findChild<QMenu*>("viewMenu"));

    view.selectAll();
    QMenu* popup = view.contextMenu().build(QPoint(1, 1), Qt::NoModifier);
    ASSERT_NE(popup, nullptr);
    ASSERT_NE(popup->actions().front()->menu(), nullptr);
    QAction* description = popup->actions().front()->menu()->actions().front();
    EXPECT_EQ(description->text(), "FileDescription (1)");
    description->trigger();
    EXPECT_EQ(frame.statusPaneText(2), "2 Renamed");
    EXPECT_EQ(frame.progressBar()->maximum(), 2);
    EXPECT_TRUE(PathExists(folder.file("Setup[1].exe")));
    EXPECT_TRUE(frame.action("undo")->isEnabled());
    frame.action("undo")->trigger();
    EXPECT_TRUE(PathExists(folder.file("0A.exe")));
    EXPECT_TRUE(PathExists(folder.file("0B.exe")));
}

TEST_F(FrameTest, RightClickAndTheMenuKeyPopUpTheContextMenu) {
    folder.write("0A.exe", ReadableContent("Setup"));
    auto program = startProgram();
    program->document()->setReaderTable(&CountingReaderTable());
    CMainFrame& frame = *program->frame();
    frame.openFolder(QString::fromStdString(folder.path()));
    frame.show();
    CMarlockUtilView& view = frame.view();
    view.selectAll();
    QWidget* viewport = view.currentView()->viewport();
    const QRect cell = view.detailsView()->visualRect(view.model().index(0, 1));
    QContextMenuEvent click(QContextMenuEvent::Mouse, cell.center(),
                            viewport->mapToGlobal(cell.center()));
    QApplication::sendEvent(viewport, &click);
    auto* popup = view.findChild<QMenu*>("contextMenu");
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(WaitUntil([popup] { return popup->isVisible(); }));
    EXPECT_EQ(view.contextMenu().hitCell(), std::make_pair(0, 1));
    popup->close();

    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                          view.currentView()->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(view.currentView(), &key);
    EXPECT_EQ(view.contextMenu().hitCell(), std::make_pair(0, 0))
        << "the keyboard's menu is at the current cell";
    QApplication::processEvents();
    for (QMenu* menu : view.findChildren<QMenu*>("contextMenu"))
        menu->close();
}

TEST_F(FrameTest, OpenBrowsesForAFolderStartingAtTheLastChoice) {
    folder.mkdir("one");
    folder.mkdir("two");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    QStringList calls;
    QString answer = QString::fromStdString(folder.file("one"));
    frame.setFolderChooser([&](const QString& title, const QString& start) {
        calls << title + "|" + start;
        return answer;
    });
    frame.action("open")->trigger();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.file("one/"));
    answer = QString();
    frame.action("open")->trigger();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.file("one/"))
        << "Cancel opens nothing";
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[1], "Choose a folder|" + QString::fromStdString(folder.file("one")));
}

TEST_F(FrameTest, MenuHelpTakesTheStatusBarAndThePanesComeBack) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    frame.report("Renamed", 0);
    EXPECT_EQ(frame.action("open")->statusTip(), "Open a folder");
    QStatusTipEvent help(frame.action("open")->statusTip());
    QApplication::sendEvent(&frame, &help);
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Open a folder");
    EXPECT_FALSE(frame.findChild<QLabel*>("pane2")->isVisible());
    QStatusTipEvent done{QString()};
    QApplication::sendEvent(&frame, &done);
    EXPECT_TRUE(frame.findChild<QLabel*>("pane2")->isVisible());
    EXPECT_EQ(frame.statusPaneText(2), "Successfully Renamed");
}

TEST_F(FrameTest, MaxColBoxIsClampedWhenEditingEnds) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    CMaxColBox* box = frame.maxColBox();
    auto enter = [box](const char* text) {
        box->setFocus();
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    };
    enter("5");
    EXPECT_EQ(box->text(), "10");
    EXPECT_EQ(frame.view().maxColumnWidth(), 10);
    enter("300");
    EXPECT_EQ(box->text(), "255");
    EXPECT_EQ(frame.view().maxColumnWidth(), 255);
    box->stepBy(-5);
    EXPECT_EQ(frame.view().maxColumnWidth(), 250);
    frame.close();
    EXPECT_EQ(SettingsStore::instance().readString("Settings", "MaxColSize"), "250");
}

TEST_F(FrameTest, PriorityCheckMarkFollowsTheValueInForce) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    EXPECT_TRUE(frame.setPriorityChoice(-2));
    EXPECT_TRUE(frame.action("priority2")->isChecked());
    EXPECT_FALSE(frame.action("priority0")->isChecked());
    const bool lowered = frame.setPriorityChoice(0);
    // Raising the priority back needs privileges; without them the mark stays on Low.
    EXPECT_EQ(frame.action("priority0")->isChecked(), lowered);
    EXPECT_EQ(frame.action("priority2")->isChecked(), !lowered);
    if (!lowered) {
        EXPECT_FALSE(frame.statusPaneText(2).isEmpty());
    }
}

TEST_F(FrameTest, ReportGoesToPaneTwoAndProgressToTheBar) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    frame.report("Renamed", 0);
    EXPECT_EQ(frame.statusPaneText(2), "Successfully Renamed");
    frame.report("Setting name", 2);
    EXPECT_EQ(frame.statusPaneText(2), "2 error(s) ocurred while Setting name");
    frame.start(4);
    frame.step();
    frame.step();
    EXPECT_EQ(frame.progressBar()->maximum(), 4);
    EXPECT_EQ(frame.progressBar()->value(), 2);
    frame.start(10'000'000'000ULL);
    EXPECT_LE(frame.progressBar()->maximum(), INT_MAX);
    EXPECT_GT(frame.progressBar()->maximum(), 0);
}

// The bar shows, with its text, only while a command runs.
TEST_F(FrameTest, ProgressBarIsShownOnlyWhileACommandRuns) {
    folder.write("0A.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    QProgressBar* bar = frame.progressBar();
    EXPECT_FALSE(bar->isVisible());
    bool shownWithText = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&] {
        shownWithText |= bar->isVisible() && bar->isTextVisible() && !bar->text().isEmpty();
    });
    frame.view().renameRow(0, "Named.bin");
    frame.action("undo")->trigger();
    EXPECT_TRUE(PathExists(folder.file("0A.bin")));
    EXPECT_TRUE(shownWithText);
    EXPECT_FALSE(bar->isVisible()) << "hidden once the undo ended";
}

TEST_F(FrameTest, HelpAndVersionPrintAndExit) {
    for (const char* option : {"--help", "--version"}) {
        QProcess process;
        process.start(TRESSEL_RENAMER, {option});
        ASSERT_TRUE(process.waitForFinished(10000)) << option;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_TRUE(process.readAllStandardOutput().startsWith(
            option == std::string("--help") ? "Usage: tressel-renamer" : "tressel-renamer "))
            << option;
    }
}

// A file argument opens its folder with the file selected; a start without a folder
// shows how to open one; a new folder clears what pane 2 said about the old one.
TEST_F(FrameTest, FileArgumentSelectsTheFileAndStartUpHintsAndStatusFollowTheFolder) {
    folder.mkdir("inner");
    for (const char* name : {"inner/0A.bin", "inner/0B.bin", "inner/0C.bin"})
        folder.write(name, "");
    {
        auto program = startProgram();
        CMainFrame& frame = *program->frame();
        frame.showFirstTime();
        auto* hint = frame.view().detailsView()->findChild<QLabel*>("emptyHint");
        ASSERT_NE(hint, nullptr);
        EXPECT_TRUE(hint->isVisible());
        EXPECT_EQ(hint->text(), "Open a folder with Ctrl+O or drop one here");
        emit frame.view().statusText(2, "about no folder");
        frame.openFolder(QString::fromStdString(folder.path()));
        EXPECT_FALSE(hint->isVisible());
        EXPECT_EQ(frame.statusPaneText(2), "");
        emit frame.view().statusText(2, "3 Renamed");
        frame.view().rescan();
        EXPECT_EQ(frame.statusPaneText(2), "3 Renamed") << "same folder, same report";
    }
    auto program = startProgram({QString::fromStdString(folder.file("inner/0B.bin"))});
    CMarlockUtilView& view = program->frame()->view();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.path() + "inner/");
    ASSERT_EQ(view.selectedRecords().size(), 1u);
    EXPECT_EQ(view.model().name(view.model().rowOfRecord(view.selectedRecords()[0])), "0B.bin");
    EXPECT_EQ(view.currentView()->currentIndex().row(),
              view.model().rowOfRecord(view.selectedRecords()[0]));
}

TEST_F(FrameTest, OutsideChangesReachTheListAboutASecondLater) {
    folder.write("0A.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    folder.write("0B.bin", "");
    folder.write("0C.bin", "");
    std::filesystem::remove(folder.file("0A.bin"));
    EXPECT_TRUE(WaitUntil([&frame] {
        return names(frame) == QStringList{"0B.bin", "0C.bin"};
    })) << names(frame).join(' ').toStdString();
    std::string problem;
    EXPECT_TRUE(frame.view().model().isConsistent(&problem)) << problem;
}

TEST_F(FrameTest, DeletedFolderIsReportedAndUpStillWorks) {
    folder.mkdir("gone");
    folder.write("gone/0A.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path() + "gone")});
    CMainFrame& frame = *program->frame();
    std::filesystem::remove_all(folder.file("gone"));
    EXPECT_TRUE(WaitUntil([&frame] { return frame.statusPaneText(2).contains("gone"); }));
    EXPECT_EQ(frame.view().model().rowCount(), 0);
    frame.findChild<QPushButton*>("upButton")->click();
    EXPECT_EQ(program->document()->GetCurrentFolderPath(), folder.path());
}

TEST_F(FrameTest, RenamedFolderIsReportedAndOpenStillWorks) {
    folder.mkdir("before");
    folder.write("before/0A.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path() + "before")});
    CMainFrame& frame = *program->frame();
    std::filesystem::rename(folder.file("before"), folder.file("after"));
    EXPECT_TRUE(WaitUntil([&frame] { return frame.statusPaneText(2).contains("before"); }));
    EXPECT_EQ(frame.view().model().rowCount(), 0);
    frame.openFolder(QString::fromStdString(folder.path() + "after"));
    EXPECT_EQ(names(frame), QStringList{"0A.bin"});
}

TEST_F(FrameTest, TabSwitchesBetweenTheListAndThePreview) {
    auto program = startProgram();
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    QApplication::setActiveWindow(&frame);
    QWidget* list = frame.view().currentView();
    list->setFocus();
    ASSERT_TRUE(WaitUntil([list] { return list->hasFocus(); }));
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_TRUE(frame.previewPane()->hasFocus());
    QTest::keyClick(frame.previewPane(), Qt::Key_F6);
    EXPECT_TRUE(list->hasFocus());
}

// F3 and Shift+F3 step through the matches; the check-box item shows the boxes' state,
// and Select Checked (menu and button) works only while they are shown.
TEST_F(FrameTest, FindKeysAndCheckBoxItemsReachTheList) {
    for (const char* name : {"a-setup.bin", "b.bin", "c-setup.bin"})
        folder.write(name, "");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    QApplication::setActiveWindow(&frame);
    QWidget* list = frame.view().currentView();
    list->setFocus();
    ASSERT_TRUE(WaitUntil([list] { return list->hasFocus(); }));
    QStringList notFound;
    frame.view().setNotFoundPresenter([&notFound](const QString& text) { notFound << text; });
    frame.view().findDialog().setFindText("setup");
    const std::pair<Qt::KeyboardModifiers, int> presses[] = {
        {Qt::NoModifier, 0}, {Qt::NoModifier, 2}, {Qt::ShiftModifier, 0}};
    for (const auto& [modifiers, row] : presses) {
        QTest::keyClick(list, Qt::Key_F3, modifiers);
        EXPECT_EQ(frame.view().selectedRecords().size(), 1u);
        EXPECT_EQ(frame.view().findPosition(), row);
    }
    EXPECT_EQ(frame.statusPaneText(2), "Find Complete 'setup',Col: 0");
    EXPECT_TRUE(notFound.isEmpty());

    QAction* boxes = frame.action("checkBoxes");
    auto* checkedButton = frame.findChild<QPushButton*>("checkedButton");
    EXPECT_TRUE(boxes->isChecked());
    EXPECT_TRUE(frame.action("find")->isEnabled());
    EXPECT_TRUE(frame.findChild<QMenu*>("viewMenu")->actions().contains(boxes));
    for (bool shown : {false, true}) {
        boxes->trigger();
        EXPECT_EQ(boxes->isChecked(), shown);
        EXPECT_EQ(frame.action("selectChecked")->isEnabled(), shown);
        EXPECT_EQ(checkedButton->isEnabled(), shown);
        EXPECT_EQ(frame.view()
                      .model()
                      .flags(frame.view().model().index(0, 0))
                      .testFlag(Qt::ItemIsUserCheckable),
                  shown);
    }
}

TEST_F(FrameTest, ChangesBesideTheOpenFolderRefreshNothing) {
    folder.mkdir("open");
    CMarlockUtilDoc doc;
    doc.setWatching(true);
    ASSERT_TRUE(doc.TryOpenFolderPath(folder.path() + "open"));
    QSignalSpy changed(&doc, &CMarlockUtilDoc::folderChanged);
    folder.write("sibling.bin", "");
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(changed.size(), 0);
    folder.write("open/inside.bin", "");
    EXPECT_TRUE(WaitUntil([&changed] { return changed.size() > 0; }));
}

TEST_F(FrameTest, WindowPlacementIsStoredAndOnlyAFullRecordIsUsed) {
    {
        auto program = startProgram();
        program->frame()->showFirstTime();
        program->frame()->setGeometry(QRect(50, 60, 900, 500));
        program->frame()->close();
    }
    const auto stored = SettingsStore::instance().readBinary("Settings", "WP");
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 44);
    const auto placement = WindowPlacement::fromBytes(*stored);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->normal.size(), QSize(900, 500));
    EXPECT_EQ(placement->showCommand, WindowPlacement::kShowNormal);
    EXPECT_FALSE(WindowPlacement::fromBytes(stored->left(43)));

    auto program = startProgram();
    program->frame()->showFirstTime();
    EXPECT_EQ(program->frame()->size(), QSize(900, 500));
}

// Each start shows what the last one left: the list pane's width and every column's
// width come back unchanged however often the program is restarted.
TEST_F(FrameTest, RestartsKeepTheListWidthAndTheColumnWidths) {
    folder.write("0A1B2C3D4E5F60718293A4B5C6D7E8F9 [1].mp3", "");
    folder.write("1.bin", "");
    const QStringList arguments{QString::fromStdString(folder.path())};
    auto widths = [](CMainFrame& frame) {
        const auto* details = frame.view().findChild<QTableView*>("details");
        QList<int> out;
        for (int column = 0; column < frame.view().model().columnCount(); ++column)
            out << details->horizontalHeader()->sectionSize(column);
        return out;
    };
    QList<int> firstWidths;
    int firstListWidth = 0;
    for (int start = 0; start < 4; ++start) {
        auto program = startProgram(arguments);
        CMainFrame& frame = *program->frame();
        frame.showFirstTime();
        if (start == 0) {
            frame.resize(1000, 600);
            QApplication::processEvents();
            const auto* details = frame.view().findChild<QTableView*>("details");
            EXPECT_GE(details->horizontalHeader()->sectionSize(0),
                      details->fontMetrics().horizontalAdvance(frame.view().model().name(0)))
                << "the name column fits the longest name";
            details->horizontalHeader()->resizeSection(2, 77);
            firstWidths = widths(frame);
            firstListWidth = frame.view().width();
        } else {
            EXPECT_EQ(widths(frame), firstWidths) << "start " << start;
            EXPECT_EQ(frame.view().width(), firstListWidth) << "start " << start;
        }
        frame.close();
    }
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "ListWidth", 0), firstListWidth);
    EXPECT_EQ(SettingsStore::instance().readBinary("Settings", "ColWidthArray")->size(), 40);
}

// Where the platform names no icon theme (offscreen, bare X sessions), hicolor is used,
// backed by a full theme: a theme without the types' own icons (no audio-mpeg in
// Adwaita) still tells types apart by their generic icons, each one the theme has.
TEST_F(FrameTest, EveryTypeGetsAnIconTheThemesHave) {
    const auto restore =
        qScopeGuard([theme = QIcon::themeName(), fallback = QIcon::fallbackThemeName()] {
            QIcon::setThemeName(theme);
            QIcon::setFallbackThemeName(fallback);
        });
    QIcon::setThemeName("");
    QIcon::setFallbackThemeName("");
    for (const char* name : {"song.mp3", "page.html", "0A1B"})
        folder.write(name, "");
    folder.mkdir("Sub");
    auto program = startProgram({QString::fromStdString(folder.path())});
    EXPECT_EQ(QIcon::themeName(), "hicolor");
    EXPECT_EQ(QIcon::fallbackThemeName(), "Adwaita") << "adwaita-icon-theme is installed";
    EXPECT_FALSE(QIcon::hasThemeIcon("audio-mpeg"));
    QStringList icons;
    const CFileListModel& model = program->frame()->view().model();
    for (int row = 0; row < model.rowCount(); ++row)
        icons << model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().name();
    SCOPED_TRACE(icons.join(' ').toStdString());
    for (const QString& icon : icons)
        EXPECT_TRUE(QIcon::hasThemeIcon(icon)) << icon.toStdString();
    const QStringList shown = names(*program->frame());
    EXPECT_EQ(icons[shown.indexOf("song.mp3")], "audio-x-generic");
    EXPECT_EQ(icons[shown.indexOf("Sub")], "folder");
    EXPECT_EQ(QSet<QString>(icons.begin(), icons.end()).size(), 4) << "types told apart";
}

// The first window shows every control of the bars, whatever the fonts and the screen's
// scale make of their widths, and the header shows the column sort's direction too.
TEST_F(FrameTest, FirstWindowShowsEveryBarControlAndTheSortDirection) {
    folder.write("1.bin", "");
    auto program = startProgram({QString::fromStdString(folder.path())});
    CMainFrame& frame = *program->frame();
    frame.showFirstTime();
    QApplication::processEvents();
    for (const char* bar : {"dialogBar", "optionsBar"}) {
        for (auto* extension :
             frame.findChild<QToolBar*>(bar)->findChildren<QToolButton*>("qt_toolbar_ext_button"))
            EXPECT_FALSE(extension->isVisible()) << bar;
    }
    for (const char* control : {"redoButton", "scanAllCheck", "numberedCheck", "maxColWidth"})
        EXPECT_TRUE(frame.findChild<QWidget*>(control)->isVisible()) << control;
    EXPECT_TRUE(frame.maxColBox()->toolTip().contains("pixels"));

    const auto* header = frame.view().findChild<QTableView*>("details")->horizontalHeader();
    const auto marked = [&](int column) {
        return frame.view()
            .model()
            .headerData(column, Qt::Horizontal, Qt::DisplayRole)
            .toString()
            .endsWith(" *");
    };
    EXPECT_EQ(header->isSortIndicatorShown() && header->sortIndicatorSection() == 0, marked(0));
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        frame.view().sortByColumn(2);
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), 2);
        EXPECT_EQ(header->sortIndicatorOrder(), order);
        EXPECT_TRUE(marked(2));
    }
}

// On a dark palette an unchecked box still stands out from the dark field it sits on.
TEST_F(FrameTest, CheckBoxesShowOnADarkPalette) {
    auto program = startProgram();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    QCheckBox box("Scan All");
    box.setPalette(dark);
    box.resize(box.sizeHint());
    const QImage image = box.grab().toImage();
    QStyleOptionButton option;
    option.initFrom(&box);
    const QRect indicator =
        box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
    int contrast = 0;
    for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
        for (int x = indicator.left(); x <= indicator.right(); ++x)
            contrast = std::max(contrast, std::abs(QColor(image.pixel(x, y)).lightness() - 30));
    }
    EXPECT_GT(contrast, 80);
}

#ifdef TRESSEL_TEST_QM_DIR
// A catalogue for the user's locale replaces the English texts; without one they stay.
TEST_F(FrameTest, ATranslationForTheLocaleIsLoadedWhenOneExists) {
    EXPECT_EQ(InstallOwnTranslation(QLocale("fr_FR"), {TRESSEL_TEST_QM_DIR}), nullptr);
    QTranslator* german =
        InstallOwnTranslation(QLocale("de_DE"), {"/nonexistent", TRESSEL_TEST_QM_DIR});
    ASSERT_NE(german, nullptr);
    const auto remove = qScopeGuard([german] {
        QCoreApplication::removeTranslator(german);
        delete german;
    });
    auto program = startProgram();
    EXPECT_EQ(program->frame()->menuBar()->actions().front()->text(), "&Datei");
    EXPECT_EQ(program->frame()->findChild<QCheckBox*>("scanAllCheck")->text(), "Alles lesen");
}
#endif

#if defined(TRESSEL_LUPDATE_COMMAND) && defined(TRESSEL_LRELEASE)
// Runs program with arguments; answers whether it ended well.
bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

// "context|source" of every message of a translation source.
QSet<QString> MessagesOf(const QString& tsPath) {
    QFile file(tsPath);
    QSet<QString> messages;
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == u"source")
            messages.insert(context + "|" +
                            xml.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The texts the core composes reach the translation source under the contexts the
// window looks them up in: a catalogue made from that very file changes the window's
// report lines, while the command-line tool, in the same process, stays English.
TEST_F(FrameTest, CoreTextsAreGatheredAndShownTranslatedWhileTheToolStaysEnglish) {
    const QString ts = QString::fromStdString(folder.file("tressel_en.ts"));
    QStringList lupdate = QString(TRESSEL_LUPDATE_COMMAND).split('|');
    const QString tool = lupdate.takeFirst();
    ASSERT_TRUE(RunTool(tool, lupdate << ts));
    const QSet<QString> messages = MessagesOf(ts);
    for (const char* message :
         {"Report|Successfully %1", "Report|%1 error(s) ocurred while %2",
          "Report|Stopped: the undo journal cannot be written (%1)", "Rename|%1 Renamed",
          "Rename|%1 Error(s), %2 Renamed, Selected Unchanged", "Duplicates|%1 dups Removed",
          "Duplicates|remove (%1)", "FileCommands|%1 Dir(s) deleted", "Undo|Undone (%1)",
          "Undo|Redo", "FileCommands|already in that folder",
          "tressel::CMarlockUtilView|moving to %1 (%2 done)",
          "tressel::CMarlockUtilView|No application could open %1", "tressel::CMainFrame|&File",
          "Reading|not this format", "Reading|no version resource", "Reading|%1: %2"})
        EXPECT_TRUE(messages.contains(message)) << message;
    // The column names and the readers' labels, kept as plain literals in their tables.
    for (const char* message :
         {"Columns|ProductName", "Columns|Name", "Labels|Artist", "Labels|Readme title"})
        EXPECT_TRUE(messages.contains(message)) << message;

    // German for three patterns, one nested in another, a column name and a label.
    QFile file(ts);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString xml = QString::fromUtf8(file.readAll());
    file.close();
    for (const auto& [source, german] :
         std::vector<std::pair<QString, QString>>{{"Successfully %1", "Erfolgreich: %1"},
                                                  {"Undone (%1)", "Rückgängig gemacht (%1)"},
                                                  {"%1 dups Removed", "%1 Doppelte entfernt"},
                                                  {"ProductName", "Produktname"},
                                                  {"Title", "Titel"}}) {
        const QString open = "<source>" + source + "</source>";
        const qsizetype at = xml.indexOf(open);
        ASSERT_GE(at, 0) << source.toStdString();
        const QString unfinished = "<translation type=\"unfinished\"></translation>";
        const qsizetype slot = xml.indexOf(unfinished, at);
        ASSERT_GT(slot, at);
        xml.replace(slot, unfinished.size(), "<translation>" + german + "</translation>");
    }
    const QString de = QString::fromStdString(folder.file("tressel_de.ts"));
    const QString qm = QString::fromStdString(folder.file("tressel_de.qm"));
    ASSERT_TRUE(file.rename(de));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(xml.toUtf8());
    file.close();
    ASSERT_TRUE(RunTool(TRESSEL_LRELEASE, {"-silent", de, "-qm", qm}));
    QTranslator german;
    ASSERT_TRUE(german.load(qm));
    QCoreApplication::installTranslator(&german);
    const auto remove = qScopeGuard([&german] { QCoreApplication::removeTranslator(&german); });

    TempDir work;
    work.write("0A.bin", "");
    work.write("1B.bin", "same");
    work.write("2C.bin", "same");
    work.write("page.html", "<html><head><title>Hallo</title></head></html>");
    auto program = startProgram({QString::fromStdString(work.path())});
    CMainFrame& frame = *program->frame();
    ASSERT_EQ(names(frame).indexOf("0A.bin"), 0);
    frame.view().renameRow(0, "Named.bin");
    frame.action("undo")->trigger();
    EXPECT_EQ(frame.statusPaneText(2).toStdString(),
              "Erfolgreich: Rückgängig gemacht (" + work.path() + ")");
    frame.view().removeDuplicates();
    EXPECT_EQ(frame.statusPaneText(2), "1 Doppelte entfernt");
    const CFileListModel& model = frame.view().model();
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Produktname (2)");
    const int page = names(frame).indexOf("page.html");
    ASSERT_EQ(frame.view().model().cellText(page, 1), "Hallo");
    EXPECT_EQ(frame.view().model().cellLabel(page, 1), "Titel");
    std::ostringstream info, infoErr;
    ASSERT_EQ(cli::Run({"info", "--json", work.file("page.html")}, info, infoErr), 0)
        << infoErr.str();
    EXPECT_NE(info.str().find("\"labels\": [\"Title\"]"), std::string::npos) << info.str();
    info.str("");
    ASSERT_EQ(cli::Run({"info", work.file("page.html")}, info, infoErr), 0) << infoErr.str();
    EXPECT_NE(info.str().find("\tProductName (2)\t"), std::string::npos) << info.str();

    folder.write("dups/a", "same");
    folder.write("dups/b", "same");
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"dups", "--dry-run", folder.file("dups")}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("\n1 dups Removed\n"), std::string::npos) << out.str();
}
#endif

} // namespace
} // namespace tressel::test
