#include "view_fixture.h"

#include "listview/context_menu.h"
#include "listview/list_context_menu.h"
#include "listview/properties_dialog.h"
#include "operations/feedback.h"
#include "url_recorder.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

namespace tressel::test {
namespace {

TEST(NameMenuItems, OneRowOffersDistinctTextsInDisplayOrderButNeverTheCurrentName) {
    const std::vector<std::string> cells{
        "0A1B.exe", "Setup Program", "Setup Program", "0A1B.exe", "0A1B", "", "Acme", "", "",
        "1.0"};
    const std::vector<int> order{0, 9, 1, 2, 3, 4, 5, 6, 7, 8};
    const auto items = SingleRowNameItems(cells, order);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].column, 9);
    EXPECT_EQ(items[0].text, "1.0");
    EXPECT_EQ(items[1].column, 1);
    EXPECT_EQ(items[1].text, "Setup Program");
    EXPECT_EQ(items[2].column, 6);
    EXPECT_TRUE(SingleRowNameItems({}, order).empty());
}

TEST(NameMenuItems, SeveralRowsOfferTheHeadersOfFilledColumnsInDisplayOrder) {
    std::vector<std::string> headers{"Name"};
    for (int i = 1; i <= 9; ++i)
        headers.push_back("H" + std::to_string(i));
    const auto items = MultiRowNameItems([](int column) { return column == 1 || column == 9; },
                                         headers, {0, 9, 2, 1, 3, 4, 5, 6, 7, 8, 42});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "H9");
    EXPECT_EQ(items[1].text, "H1");
    EXPECT_EQ(items[1].column, 1);
}

TEST(NameMenuItems, HistoryItemsShowTheLastPathComponent) {
    EXPECT_EQ(HistoryItemText("/sat/Apps/"), "Apps");
    EXPECT_EQ(HistoryItemText("/sat/Apps"), "Apps");
    EXPECT_EQ(HistoryItemText("/sat/Apps//"), "");
    EXPECT_EQ(HistoryItemText("Apps"), "Apps");
    EXPECT_EQ(HistoryItemText(""), "");
}

// Menus are built, never opened: tests trigger their actions as a click would.
QAction* FindCommand(QMenu* menu, int id) {
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            if (QAction* found = FindCommand(action->menu(), id))
                return found;
        } else if (!action->isSeparator() && action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

// A menu's items as a user reads them: separators as "-".
QStringList Texts(const QMenu* menu) {
    QStringList out;
    for (const QAction* action : menu->actions())
        out << (action->isSeparator() ? QString("-") : action->text());
    return out;
}

QMenu* NameMenu(QMenu* popup) {
    for (QAction* action : popup->actions()) {
        if (action->menu() && action->menu()->objectName() == "nameMenu")
            return action->menu();
    }
    return nullptr;
}

class MenuTest : public ViewTest {
protected:
    MenuTest() {
        view->setProgress(&progress);
        QObject::connect(view.get(), &CMarlockUtilView::statusText,
                         [this](int pane, const QString& text) {
                             if (pane == 2)
                                 paneTwo << text;
                         });
    }

    QPoint cellPoint(const QString& name, int column) {
        const int row = names().indexOf(name);
        return view->detailsView()->visualRect(view->model().index(row, column)).center();
    }

    // The menu a right click on the named row's cell opens.
    QMenu* menuAt(const QString& name, int column,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return view->contextMenu().build(cellPoint(name, column), modifiers);
    }

    EscAtStep progress;
    QStringList paneTwo;
};

TEST_F(MenuTest, ThreeEqualDescriptionsAreNumberedInRowOrderUndoablyFromTheMenu) {
    for (const char* name : {"0A.exe", "0B.exe", "0C.exe"})
        folder.write(name, ReadableContent("Setup") + name);
    open(folder.path());
    paint();
    select({"0A.exe", "0B.exe", "0C.exe"});
    QMenu* popup = menuAt("0B.exe", 2);
    QMenu* names = NameMenu(popup);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(popup).front(), "Rename To");
    EXPECT_EQ(Texts(names), (QStringList{"FileDescription (1)", "OriginalFilename (3)"}))
        << "headers, not the rows' texts";
    paneTwo.clear(); // what the menu said while the rows were read
    FindCommand(names, 1)->trigger();

    EXPECT_EQ(ReadWholeFile(folder.file("Setup.exe")), ReadableContent("Setup") + "0A.exe");
    EXPECT_EQ(ReadWholeFile(folder.file("Setup[1].exe")), ReadableContent("Setup") + "0B.exe");
    EXPECT_EQ(ReadWholeFile(folder.file("Setup[2].exe")), ReadableContent("Setup") + "0C.exe");
    EXPECT_EQ(this->names(), (QStringList{"Setup.exe", "Setup[1].exe", "Setup[2].exe"}));
    EXPECT_EQ(paneTwo, (QStringList{"Press Esc to cancel", "3 Renamed"}));
    EXPECT_EQ(progress.total, 3u);
    EXPECT_EQ(progress.done, 3u);
    EXPECT_TRUE(view->selectedRecords().empty()) << "renamed rows are deselected";
    EXPECT_EQ(view->model().cellText(0, 1), "Setup") << "the information stays";
    expectConsistent();

    ASSERT_TRUE(view->canUndo());
    view->undo();
    for (const char* name : {"0A.exe", "0B.exe", "0C.exe"})
        EXPECT_EQ(ReadWholeFile(folder.file(name)), ReadableContent("Setup") + name);
    EXPECT_FALSE(PathExists(folder.file("Setup.exe")));
    view->redo();
    EXPECT_EQ(ReadWholeFile(folder.file("Setup[2].exe")), ReadableContent("Setup") + "0C.exe");
}

// Esc pressed while the first file is renamed, through the same check the key uses.
struct EscAtFirstStep : IProgress {
    explicit EscAtFirstStep(QWidget* list) : list(list) {}
    void start(uint64_t) override {}
    void step() override {
        if (++steps == 1)
            QTest::keyClick(list, Qt::Key_Escape);
    }
    QWidget* list;
    int steps = 0;
};

TEST_F(MenuTest, EscStopsTheRenameAfterTheCurrentFileAndKeepsWhatWasDone) {
    for (const char* name : {"0A.exe", "0B.exe", "0C.exe"})
        folder.write(name, ReadableContent(std::string("Named ") + name[1]));
    open(folder.path());
    EscAtFirstStep esc(view->detailsView());
    view->setProgress(&esc);
    select({"0A.exe", "0B.exe", "0C.exe"});
    view->renameToColumn(1);
    EXPECT_TRUE(PathExists(folder.file("Named A.exe")));
    EXPECT_TRUE(PathExists(folder.file("0B.exe")));
    EXPECT_TRUE(PathExists(folder.file("0C.exe")));
    EXPECT_EQ(paneTwo.back(), "1 Renamed, Selected Unchanged");
    EXPECT_TRUE(view->cancelFlag());
    ASSERT_TRUE(view->canUndo()) << "what was done is undoable";
    view->undo();
    EXPECT_TRUE(PathExists(folder.file("0A.exe")));
}

// The refresh falls due at the command's first Esc check and would drop the first row
// under it; it waits, and the command renames the files it was given.
TEST_F(MenuTest, ARefreshFallingDueDuringARenameWaitsForItsEnd) {
    for (const char* name : {"0A.bin", "0B.bin", "0C.bin", "0D.bin"})
        folder.write(name, ReadableContent(std::string("Named ") + name[1]));
    open(folder.path());
    select({"0B.bin", "0C.bin"});
    std::filesystem::remove(folder.file("0A.bin"));
    view->scheduleRefresh(0);
    view->renameToColumn(1);
    EXPECT_EQ(paneTwo.back(), "2 Renamed");
    for (const char* name : {"Named B.bin", "Named C.bin", "0D.bin"})
        EXPECT_TRUE(PathExists(folder.file(name))) << name;
    EXPECT_TRUE(WaitUntil([this] { return view->model().rowCount() == 3; }))
        << "the refresh runs once the command is over";
    QStringList shown = names();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"0D.bin", "Named B.bin", "Named C.bin"}));
    expectConsistent();
}

TEST_F(MenuTest, ShiftAppendsTheTextToTheStemAndTheFlagEndsWithTheCommand) {
    folder.write("1A2B.zip", ReadableContent("Driver Pack"));
    open(folder.path());
    paint();
    select({"1A2B.zip"});
    QMenu* popup = menuAt("1A2B.zip", 0, Qt::ShiftModifier);
    EXPECT_EQ(Texts(popup).front(), "Append To Name");
    EXPECT_TRUE(view->contextMenu().appendFlag());
    FindCommand(popup, 1)->trigger();
    EXPECT_TRUE(PathExists(folder.file("1A2B_Driver Pack.zip")));
    EXPECT_FALSE(view->contextMenu().appendFlag());
    EXPECT_EQ(paneTwo.back(), "1 Renamed");
}

TEST_F(MenuTest, ForbiddenCharactersAndTabsAreReplacedAndTheExtensionKept) {
    folder.write("01.bin", ReadableContent("a/b: c?"));
    folder.write("02.bin", ReadableContent("tab\there"));
    open(folder.path());
    select({"01.bin", "02.bin"});
    view->renameToColumn(1);
    EXPECT_TRUE(PathExists(folder.file("a_b_ c_.bin")));
    EXPECT_TRUE(PathExists(folder.file("tab_here.bin")));
    EXPECT_EQ(paneTwo.back(), "2 Renamed");
}

TEST_F(MenuTest, ABracketInTheExtensionIsNumberedInTheStem) {
    folder.write("a.b[1]", "taken");
    folder.write("0A.b[1]", ReadableContent("a"));
    open(folder.path());
    select({"0A.b[1]"});
    view->renameToColumn(1);
    EXPECT_EQ(ReadWholeFile(folder.file("a.b[1]")), "taken");
    EXPECT_EQ(ReadWholeFile(folder.file("a[1].b[1]")), ReadableContent("a"));
}

TEST_F(MenuTest, FoldersAreDeselectedAndFilesWithoutTextStaySelected) {
    folder.mkdir("d1");
    folder.mkdir("d2");
    folder.write("0A.bin", "not readable");
    open(folder.path());
    select({"d1", "d2"});
    QMenu* popup = menuAt("d1", 0);
    EXPECT_EQ(NameMenu(popup), nullptr) << "folders only: no Rename To";
    EXPECT_EQ(Texts(popup).front(), "&Move To");

    select({"d1", "d2", "0A.bin"});
    view->renameToColumn(1);
    EXPECT_EQ(paneTwo.back(), "0 Renamed, Selected Unchanged");
    EXPECT_EQ(view->selectedRecords(), std::vector<int>{doc.findRecord("0A.bin")});
    EXPECT_FALSE(view->canUndo()) << "an empty group is not pushed";
}

TEST_F(MenuTest, OneRowSubmenuHidesTheCurrentNameAndRepeatedTexts) {
    folder.write("0A1B.exe", "TST\nSetup Program\nSetup Program\n0A1B.exe\n0A1B\n");
    open(folder.path());
    select({"0A1B.exe"});
    QMenu* names = NameMenu(menuAt("0A1B.exe", 0));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(names), QStringList{"Setup Program"});
    EXPECT_EQ(names->actions().front()->data().toInt(), 1);
}

// The header names the column; the reader's label names the value, in the tooltip, the
// one-row submenu and the properties, and only while the cell holds text.
TEST_F(MenuTest, ValueLabelsShowInTooltipSubmenuAndProperties) {
    folder.write("01.mp3", "TST\n\n\nArtist@@Radio Tressel\nNo label\nDuration@@3:07\n");
    open(folder.path());
    select({"01.mp3"});
    const CFileListModel& model = view->model();
    // A cell asked for is read off the window's thread.
    ASSERT_TRUE(WaitUntil([&] { return model.index(0, 1).data().isValid() && model.isRead(0); }));
    const QStringList tips{"", "", "", "Artist", "", "Duration"};
    for (int column = 0; column < tips.size(); ++column)
        EXPECT_EQ(model.index(0, column).data(Qt::ToolTipRole).toString(), tips[column]) << column;
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromStdString(doc.ColumnNames()[3]));

    QMenu* names = NameMenu(menuAt("01.mp3", 0));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(names), (QStringList{"Artist: Radio Tressel", "No label", "Duration: 3:07"}));
    EXPECT_EQ(names->actions().front()->data().toInt(), 3);

    EXPECT_EQ(
        EntryProperties({"/x", "", {"C1", "C2", "C3"}, {"", "v", "Radio"}, {"L", "", "Artist"}})
            .back()
            .second,
        "Artist: Radio");

    view->model().setInformation(0, 3, QString());
    EXPECT_TRUE(model.index(0, 3).data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_EQ(Texts(NameMenu(menuAt("01.mp3", 0))), (QStringList{"No label", "Duration: 3:07"}));
}

TEST_F(MenuTest, AFileWithNoInformationIsReadOnceMoreWithScanAll) {
    const ReaderTable scanAllOnly{{}, {&MakeReader<CCountingReader>}};
    doc.setReaderTable(&scanAllOnly);
    folder.write("0A.xyz", ReadableContent("Hidden Title"));
    open(folder.path());
    select({"0A.xyz"});
    EXPECT_EQ(view->model().cellText(0, 1), "") << "Scan All is off";
    QMenu* names = NameMenu(menuAt("0A.xyz", 0));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(names), QStringList{"Hidden Title"});
    EXPECT_FALSE(doc.scanAll()) << "Scan All is off again";
    doc.setReaderTable(&CountingReaderTable());
}

TEST_F(MenuTest, SeveralRowsOfferFilledColumnsInTheDraggedOrder) {
    folder.write("01.bin", "TST\nDesc\n\n\n\n\n\n\n\n1.0\n");
    folder.write("02.bin", ReadableContent("Other"));
    folder.write("03.bin", "nothing");
    open(folder.path());
    select({"01.bin", "02.bin", "03.bin"});
    QMenu* names = NameMenu(menuAt("01.bin", 0));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(names), (QStringList{"FileDescription (1)", "ProductVersion (9)"}));

    QHeaderView* header = view->detailsView()->horizontalHeader();
    header->moveSection(header->visualIndex(9), 1);
    names = NameMenu(menuAt("01.bin", 0));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(Texts(names), (QStringList{"ProductVersion (9)", "FileDescription (1)"}));
    EXPECT_EQ(names->actions().front()->data().toInt(), 9);
}

TEST_F(MenuTest, HistoryItemsCopyAndMoveIntoTheirFolders) {
    folder.write("0A.bin", "A");
    const std::string target = folder.mkdir("target");
    open(folder.path());
    paint();
    view->moveToHistory().entries() = QStringList{QString::fromStdString(target)};
    select({"0A.bin"});
    FindCommand(menuAt("0A.bin", 0), menu::CopyToHistory)->trigger();
    EXPECT_TRUE(PathExists(folder.file("0A.bin")));
    EXPECT_TRUE(std::filesystem::remove(target + "/0A.bin"));
    FindCommand(menuAt("0A.bin", 0), menu::MoveToHistory)->trigger();
    EXPECT_FALSE(PathExists(folder.file("0A.bin")));
    EXPECT_TRUE(PathExists(target + "/0A.bin"));
}

TEST_F(MenuTest, NothingSelectedShowsTheViewMenu) {
    folder.write("0A.bin", "");
    open(folder.path());
    QMenu viewMenu("&View");
    view->contextMenu().setViewMenu(&viewMenu);
    view->detailsView()->selectionModel()->clearSelection();
    EXPECT_EQ(view->contextMenu().build(QPoint(5, 300), Qt::NoModifier), &viewMenu);
    EXPECT_EQ(view->contextMenu().build(QPoint(5, 300), Qt::ControlModifier), &viewMenu);
}

TEST_F(MenuTest, FullMenuOrderWithHistory) {
    folder.write("0A.bin", ReadableContent("Desc"));
    open(folder.path());
    paint();
    view->moveToHistory().entries() = QStringList{"/sat/Apps/", "/sat/Music"};
    select({"0A.bin"});
    QMenu* popup = menuAt("0A.bin", 1);
    EXPECT_EQ(Texts(popup),
              (QStringList{"Rename To", "Pre&view Rename...", "-", "&Move To", "&Copy To", "-",
                           "Find this Text", "Copy this Text", "Clear this Text", "-", "&Delete",
                           "Rena&me", "-", "P&roperties..."}));
    for (int id : {menu::PreviewRename, menu::FindText, menu::CopyText, menu::ClearText,
                   menu::Rename, menu::Properties, menu::Delete, menu::MoveToChoose,
                   menu::CopyToChoose, menu::MoveToHistory + 1, menu::CopyToHistory})
        EXPECT_TRUE(FindCommand(popup, id)->isEnabled()) << id;
    EXPECT_EQ(FindCommand(popup, menu::MoveToHistory)->text(), "Apps");
    EXPECT_EQ(FindCommand(popup, menu::CopyToHistory + 1)->text(), "Music");
    const QMenu* moveTo = popup->actions()[3]->menu();
    ASSERT_NE(moveTo, nullptr);
    EXPECT_EQ(Texts(moveTo), (QStringList{"&Choose...", "-", "Apps", "Music"}));
}

TEST_F(MenuTest, NameCellOffersCopyButNotClear) {
    folder.write("0A.bin", ReadableContent("Desc"));
    open(folder.path());
    paint();
    select({"0A.bin"});
    QMenu* popup = menuAt("0A.bin", 0);
    EXPECT_TRUE(Texts(popup).contains("Find this Text"));
    EXPECT_EQ(FindCommand(popup, menu::ClearText), nullptr);
    EXPECT_EQ(view->contextMenu().hitCell(), std::make_pair(0, 0));
    FindCommand(popup, menu::CopyText)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "0A.bin");
}

// The keyboard's menu belongs to the current row's focused cell, and its Shift is the
// key event's: Shift+F10 is the plain menu key, Shift with the Menu key appends.
TEST_F(MenuTest, MenuKeysOpenAtTheFocusedCellWithTheirOwnShift) {
    for (char c = 'A'; c <= 'H'; ++c)
        folder.write(std::string("0") + c + ".bin", ReadableContent(std::string("Desc ") + c));
    open(folder.path());
    paint();
    auto* selection = view->detailsView()->selectionModel();
    selection->setCurrentIndex(view->model().index(5, 1),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->detailsView()->setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* first;
    } cases[] = {{Qt::Key_Menu, Qt::NoModifier, "Rename To"},
                 {Qt::Key_F10, Qt::ShiftModifier, "Rename To"},
                 {Qt::Key_Menu, Qt::ShiftModifier, "Append To Name"}};
    for (const auto& c : cases) {
        QApplication::clipboard()->clear();
        QTest::keyClick(view->detailsView(), c.key, c.modifiers);
        QMenu* popup = view->contextMenu().lastMenu();
        ASSERT_NE(popup, nullptr) << c.key;
        EXPECT_EQ(Texts(popup).front(), c.first) << c.key;
        EXPECT_EQ(view->contextMenu().hitCell(), std::make_pair(5, 1));
        FindCommand(popup, menu::CopyText)->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), "Desc F");
        popup->close();
    }
}

TEST_F(MenuTest, EmptyCellOffersNoTextCommands) {
    folder.write("0A.bin", ReadableContent("Desc"));
    open(folder.path());
    paint();
    select({"0A.bin"});
    QMenu* popup = menuAt("0A.bin", 5);
    EXPECT_FALSE(Texts(popup).contains("Copy this Text"));
    EXPECT_EQ(view->contextMenu().hitCell().first, -1);
    view->contextMenu().clearHitText();
    EXPECT_EQ(view->model().cellText(0, 1), "Desc") << "no cell was hit";
}

TEST_F(MenuTest, ClearedCellIsNoLongerOfferedAndTheFileIsUntouched) {
    folder.write("0A.bin", ReadableContent("Desc", "Product"));
    open(folder.path());
    paint();
    select({"0A.bin"});
    FindCommand(menuAt("0A.bin", 1), menu::ClearText)->trigger();
    EXPECT_EQ(view->model().cellText(0, 1), "");
    EXPECT_EQ(view->model().cellText(0, 2), "Product");
    EXPECT_EQ(ReadWholeFile(folder.file("0A.bin")), ReadableContent("Desc", "Product"));
    EXPECT_EQ(Texts(NameMenu(menuAt("0A.bin", 2))), QStringList{"Product"});
    view->renameToColumn(1);
    EXPECT_EQ(paneTwo.back(), "0 Renamed, Selected Unchanged") << "an emptied cell names nothing";
}

TEST_F(MenuTest, CtrlShowsTheNameSubmenuAndOurShortMenuOnly) {
    folder.write("0A.bin", ReadableContent("Desc"));
    folder.write("0B.bin", ReadableContent("Other"));
    open(folder.path());
    paint();
    select({"0A.bin", "0B.bin"});
    QMenu* popup = menuAt("0A.bin", 1, Qt::ControlModifier);
    EXPECT_EQ(Texts(popup), (QStringList{"Rename To", "&Open", "Open &Containing Folder",
                                         "Copy &Path", "P&roperties"}));
    EXPECT_EQ(FindCommand(popup, menu::CtrlFirst)->text(), "&Open");

    FindCommand(popup, menu::CtrlCopyPath)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromStdString(folder.file("0A.bin") + "\n" + folder.file("0B.bin")));
    UrlRecorder urls;
    FindCommand(popup, menu::CtrlOpen)->trigger();
    EXPECT_EQ(urls.opened, (QStringList{QString::fromStdString(folder.file("0A.bin")),
                                        QString::fromStdString(folder.file("0B.bin"))}));
    urls.opened.clear();
    FindCommand(popup, menu::CtrlOpenContainingFolder)->trigger();
    EXPECT_EQ(urls.opened, QStringList{QString::fromStdString(folder.path())});
    FindCommand(popup, menu::CtrlProperties)->trigger();
    ASSERT_NE(view->propertiesDialog(), nullptr);
    EXPECT_EQ(view->propertiesDialog()->tabs()->count(), 2);
    view->propertiesDialog()->close();
}

TEST_F(MenuTest, RenameEditsTheNameAndPropertiesShowsTheSelection) {
    folder.write("0A.bin", ReadableContent("Desc"));
    open(folder.path());
    paint();
    select({"0A.bin"});
    view->detailsView()->selectionModel()->setCurrentIndex(view->model().index(0, 0),
                                                           QItemSelectionModel::NoUpdate);
    QMenu* popup = menuAt("0A.bin", 0);
    FindCommand(popup, menu::Rename)->trigger();
    EXPECT_NE(view->detailsView()->findChild<QLineEdit*>(), nullptr) << "the name editor opened";

    FindCommand(popup, menu::Properties)->trigger();
    CPropertiesDialog* dialog = view->propertiesDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "0A.bin Properties");
    EXPECT_EQ(dialog->tabs()->count(), 1);
    dialog->close();
}

} // namespace
} // namespace tressel::test
