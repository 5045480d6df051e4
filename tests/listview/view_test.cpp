#include "view_fixture.h"

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/view.h"
#include "operations/failure_list.h"
#include "operations/feedback.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tressel::test {
namespace {

std::string Bytes(size_t n) {
    return std::string(n, 'x');
}

TEST_F(ViewTest, OpenShowsOneRowPerRecordFoldersFirstAndNothingRead) {
    folder.write("0B.bin", "b");
    folder.write("0a.exe", "a");
    folder.write(".hidden", "h");
    folder.mkdir("sub");
    open(folder.path());

    EXPECT_EQ(names(), (QStringList{"sub", ".hidden", "0a.exe", "0B.bin"}));
    std::set<int> records;
    for (int row = 0; row < 4; ++row)
        records.insert(view->model().recordOfRow(row));
    EXPECT_EQ(records, (std::set<int>{0, 1, 2, 3}));
    expectConsistent();
    EXPECT_EQ(CCountingReader::reads, 0) << "opening must read no file contents";
    EXPECT_TRUE(view->model().data(view->model().index(1, 0), Qt::ForegroundRole).isValid());
    EXPECT_FALSE(view->model().data(view->model().index(2, 0), Qt::ForegroundRole).isValid());
    EXPECT_EQ(panes[0], "4 Object(s)");
}

TEST_F(ViewTest, RefreshRemovesAndAddsOnlyTheChangedRows) {
    folder.write("a.tst", ReadableContent("Alpha"));
    folder.write("b.tst", ReadableContent("Beta"));
    folder.write("c.tst", ReadableContent("Gamma"));
    open(folder.path());
    const int bRow = view->model().rowOfRecord(1);
    EXPECT_EQ(view->model().cellText(bRow, 1), "Beta");
    const int readsBefore = CCountingReader::reads;

    std::filesystem::remove(folder.file("a.tst"));
    std::filesystem::rename(folder.file("c.tst"), folder.file("e.tst"));
    folder.write("d.tst", ReadableContent("Delta"));
    view->refreshChanges();

    EXPECT_EQ(view->model().rowOfRecord(0), -1);
    EXPECT_EQ(view->model().rowOfRecord(2), -1) << "a renamed file is a new record";
    EXPECT_EQ(view->model().rowCount(), 3);
    EXPECT_TRUE(doc.isVacated(0));
    EXPECT_TRUE(view->model().isRead(view->model().rowOfRecord(1))) << "untouched row kept";
    EXPECT_EQ(CCountingReader::reads, readsBefore);
    EXPECT_EQ(doc.GetItemName(3, NameMode::InFolder), "d.tst");
    EXPECT_EQ(doc.GetItemName(4, NameMode::InFolder), "e.tst");
    EXPECT_GE(view->model().rowOfRecord(3), 0);
    EXPECT_GE(view->model().rowOfRecord(4), 0);
    expectConsistent();
}

TEST_F(ViewTest, RefreshRemovesScatteredRunsOfVanishedRows) {
    for (int i = 0; i < 60; ++i)
        folder.write(std::to_string(100 + i) + ".bin", "");
    open(folder.path());
    QStringList kept;
    for (int i = 0; i < 60; ++i) {
        const std::string name = std::to_string(100 + i) + ".bin";
        if (i % 3 == 0 || (i >= 20 && i < 30))
            std::filesystem::remove(folder.file(name));
        else
            kept << QString::fromStdString(name);
    }
    view->refreshChanges();
    EXPECT_EQ(names(), kept);
    expectConsistent();
}

// The scale of a big folder within a test's time (the bench runs a million rows): a
// thousand entries vanish and a thousand come while rows are selected and read.
TEST_F(ViewTest, RefreshOfAThousandEntriesKeepsRowsCellsAndSelectionTogether) {
    constexpr int kEntries = 20000;
    for (int i = 0; i < kEntries; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.bin", i);
        const int fd = ::open(folder.file(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    folder.write("kept.tst", ReadableContent("Kept"));
    open(folder.path());
    const int keptRecord = doc.findRecord("kept.tst");
    EXPECT_EQ(view->model().cellText(view->model().rowOfRecord(keptRecord), 1), "Kept");
    select({"00001.bin", "00002.bin", "kept.tst"});

    for (int i = 0; i < kEntries; i += kEntries / 1000) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.bin", i + 1);
        std::filesystem::rename(folder.file(name), folder.file(std::string(name) + ".new"));
    }
    view->refreshChanges();

    expectConsistent();
    EXPECT_EQ(view->model().rowCount(), kEntries + 1);
    const int keptRow = view->model().rowOfRecord(keptRecord);
    EXPECT_TRUE(view->model().isRead(keptRow));
    EXPECT_EQ(view->model().cellText(keptRow, 1), "Kept");
    QStringList selected;
    for (const QModelIndex& index : view->detailsView()->selectionModel()->selectedRows())
        selected << view->model().name(index.row());
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"00002.bin", "kept.tst"}));
    EXPECT_EQ(view->model().name(kEntries - 999), "00001.bin.new") << "new rows come last";
}

TEST_F(ViewTest, DetailsModeReadsOnlyTheVisibleRowsAndScrollingReadsMore) {
    for (int i = 0; i < 500; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%04X.exe", i);
        folder.write(name, ReadableContent("File " + std::to_string(i)));
    }
    open(folder.path());
    EXPECT_EQ(CCountingReader::reads, 0);
    paint();
    const int visible = view->detailsView()->viewport()->height() /
                            view->detailsView()->verticalHeader()->defaultSectionSize() +
                        1;
    // Read off the window's thread: the screen is done once its last full row is.
    EXPECT_TRUE(
        WaitUntil([&] { return view->model().isRead(0) && view->model().isRead(visible - 2); }));
    EXPECT_GT(CCountingReader::reads, 0);
    EXPECT_LE(CCountingReader::reads, visible);
    EXPECT_FALSE(view->model().isRead(499));

    const int firstScreen = CCountingReader::reads;
    view->detailsView()->verticalScrollBar()->setValue(
        view->detailsView()->verticalScrollBar()->maximum());
    view->detailsView()->viewport()->repaint();
    EXPECT_TRUE(WaitUntil([&] { return view->model().isRead(499); }));
    EXPECT_LE(CCountingReader::reads, firstScreen + visible);
    EXPECT_EQ(view->model().cellText(499, 1), "File 499");
    EXPECT_EQ(view->model().cellText(499, 2), "");
}

TEST_F(ViewTest, ListModeShowsNamesOnlyAndReadsNothing) {
    for (int i = 0; i < 50; ++i)
        folder.write(std::to_string(i) + ".tst", ReadableContent("x"));
    open(folder.path());
    view->setListMode(true);
    paint();
    view->listView()->viewport()->repaint();
    EXPECT_EQ(CCountingReader::reads, 0);
    EXPECT_TRUE(view->listView()->isVisible());
    EXPECT_FALSE(view->detailsView()->isVisible());
}

TEST_F(ViewTest, FolderRowsNeverReadAndAreNeverRead) {
    folder.mkdir("dir.tst");
    open(folder.path());
    EXPECT_EQ(view->model().cellText(0, 1), "");
    EXPECT_EQ(CCountingReader::reads, 0);
}

TEST_F(ViewTest, NumberedOnlyHidesDescriptiveNamesButKeepsFolders) {
    folder.write("0A1B.exe", "x");
    folder.write("readme.txt", "x");
    folder.write("12 34.txt", "x");
    folder.mkdir("docs");
    open(folder.path());
    view->toggleNumberedOnly();
    EXPECT_TRUE(view->numberedOnly());
    EXPECT_EQ(names(), (QStringList{"docs", "0A1B.exe"}));
    EXPECT_EQ(panes[0], "2 Object(s)");
    view->rescan();
    EXPECT_EQ(names(), (QStringList{"docs", "0A1B.exe"})) << "repopulation keeps the filter";
    view->toggleNumberedOnly();
    EXPECT_EQ(view->model().rowCount(), 4);
    expectConsistent();
}

TEST_F(ViewTest, ValidOnlyDropsFilesWithoutInformationAndKeepsFolders) {
    folder.write("0A.tst", ReadableContent("", "Second column only"));
    folder.write("0B.txt", "plain text no reader takes");
    folder.mkdir("sub");
    open(folder.path());
    view->validOnly();
    EXPECT_EQ(names(), (QStringList{"sub", "0A.tst"}));
    expectConsistent();
}

TEST_F(ViewTest, ScanAllOnRepopulatesSoRowsAreReadAgainOffRereadsNothing) {
    folder.write("0A.tst", ReadableContent("A"));
    open(folder.path());
    EXPECT_EQ(view->model().cellText(0, 1), "A");
    ASSERT_FALSE(doc.scanAll());
    view->toggleScanAll();
    EXPECT_TRUE(doc.scanAll());
    EXPECT_FALSE(view->model().isRead(0));
    EXPECT_EQ(view->model().cellText(0, 1), "A");
    view->toggleScanAll();
    EXPECT_TRUE(view->model().isRead(0));
}

TEST_F(ViewTest, StatusCountsSelectedRowsAndSumsFileSizes) {
    folder.write("a.bin", Bytes(1000));
    folder.write("b.bin", Bytes(2500));
    folder.write("c.bin", Bytes(7));
    folder.mkdir("sub");
    open(folder.path());
    EXPECT_EQ(panes[0], "4 Object(s)");
    EXPECT_EQ(panes[1], "");

    select({"a.bin", "b.bin", "sub"});
    view->updateStatus();
    EXPECT_EQ(panes[0], "(3 Selected) Total 4 Object(s)");
    EXPECT_EQ(panes[1], "3,500 Bytes");

    select({"sub"});
    view->updateStatus();
    EXPECT_EQ(panes[1], "") << "folders alone show no byte total";
}

TEST_F(ViewTest, SelectionChangeUpdatesTheStatusThroughItsTimer) {
    folder.write("a.bin", "");
    open(folder.path());
    select({"a.bin"});
    EXPECT_TRUE(WaitUntil([this] { return panes[0] == "(1 Selected) Total 1 Object(s)"; }))
        << panes[0].toStdString();
    EXPECT_EQ(panes[1], "0 Bytes");
}

TEST_F(ViewTest, HeaderClickSortsByTheColumnAndFixedSortsLastAcrossRepopulation) {
    folder.write("a.tst", ReadableContent("Zeta") + "padding to be the largest");
    folder.write("b.tst", ReadableContent("alpha"));
    folder.write("c.tst", ReadableContent("Mid"));
    open(folder.path());
    QHeaderView* header = view->detailsView()->horizontalHeader();
    emit header->sectionClicked(1);
    EXPECT_EQ(names(), (QStringList{"b.tst", "c.tst", "a.tst"}));
    EXPECT_EQ(view->model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              "FileDescription (1) *");
    EXPECT_EQ(view->sortMode(), SortByColumnKeys);
    emit header->sectionClicked(1);
    EXPECT_EQ(names(), (QStringList{"a.tst", "c.tst", "b.tst"}));

    view->sortFixed(SortBySize);
    EXPECT_EQ(names(), (QStringList{"c.tst", "b.tst", "a.tst"}));
    EXPECT_EQ(view->model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              "FileDescription (1)");
    view->rescan();
    EXPECT_EQ(names(), (QStringList{"c.tst", "b.tst", "a.tst"})) << "repopulation keeps the mode";
    expectConsistent();
}

TEST(GroupThousands, InsertsCommasEveryThirdDigit) {
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
    EXPECT_EQ(GroupThousands(18446744073709551615ULL), "18,446,744,073,709,551,615");
}

class StoredSortTest : public ViewTest, public ::testing::WithParamInterface<int> {};

TEST_P(StoredSortTest, OutOfRangeLastSortGivesTheNameOrder) {
    view.reset();
    SettingsStore::instance().writeInt("Settings", "LastSort", GetParam());
    folder.write("b.bin", "");
    folder.write("A.bin", "");
    folder.write("c.bin", "");
    view = std::make_unique<CMarlockUtilView>(doc);
    open(folder.path());
    EXPECT_EQ(view->sortMode(), 0);
    EXPECT_EQ(names(), (QStringList{"A.bin", "b.bin", "c.bin"}));
    view.reset();
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "LastSort", 99), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredSortTest, ::testing::Values(7, -1));

QByteArray Order(std::initializer_list<int32_t> order) {
    QByteArray bytes;
    for (int32_t v : order)
        bytes.append(reinterpret_cast<const char*>(&v), 4);
    return bytes;
}

TEST_F(ViewTest, ColumnOrderIsAppliedOnlyWithTheNameColumnFirst) {
    view.reset();
    SettingsStore::instance().writeBinary("Settings", "ColOrderArray",
                                          Order({2, 0, 1, 3, 4, 5, 6, 7, 8, 9}));
    view = std::make_unique<CMarlockUtilView>(doc);
    view->initialUpdate();
    QHeaderView* header = view->detailsView()->horizontalHeader();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(header->logicalIndex(i), i);

    view.reset();
    SettingsStore::instance().writeBinary("Settings", "ColOrderArray", Order({0, 3, 1, 2}));
    view = std::make_unique<CMarlockUtilView>(doc);
    view->initialUpdate();
    header = view->detailsView()->horizontalHeader();
    EXPECT_EQ(header->logicalIndex(0), 0);
    EXPECT_EQ(header->logicalIndex(1), 3);
    EXPECT_EQ(header->logicalIndex(2), 1);
    EXPECT_EQ(header->logicalIndex(3), 2);
    EXPECT_EQ(header->logicalIndex(4), 4);

    view.reset();
    const auto saved = SettingsStore::instance().readBinary("Settings", "ColOrderArray");
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, Order({0, 3, 1, 2, 4, 5, 6, 7, 8, 9}));
}

TEST_F(ViewTest, MaximumColumnWidthIsClampedAndCapsTheInformationColumnsOnly) {
    EXPECT_EQ(view->setMaxColumnWidthText("5"), "10");
    EXPECT_EQ(view->maxColumnWidth(), 10);
    EXPECT_EQ(view->setMaxColumnWidthText("300"), "255");
    EXPECT_EQ(view->maxColumnWidth(), 255);
    EXPECT_EQ(view->setMaxColumnWidthText("12x"), "255") << "unparsable text keeps the value";

    folder.write(std::string(60, 'N') + ".tst", ReadableContent(std::string(400, 'W')));
    open(folder.path());
    EXPECT_EQ(view->setMaxColumnWidthText(" 50 "), "50");
    paint();
    EXPECT_GT(view->detailsView()->columnWidth(0), 150)
        << "the name column fits the long name on first open and is never capped";
    view->detailsView()->resizeColumnToContents(1);
    EXPECT_EQ(view->detailsView()->columnWidth(1), 50);
    view->detailsView()->horizontalHeader()->resizeSection(2, 300);
    EXPECT_EQ(view->detailsView()->columnWidth(2), 50);
    view->setMaxColumnWidthText("255");
    view->detailsView()->resizeColumnToContents(1);
    EXPECT_GT(view->detailsView()->columnWidth(1), 50);
}

class RenameTest : public ViewTest {
protected:
    RenameTest() { view->setReport(&report); }

    struct Report : IOperationReport {
        void report(const UiText& subject, int errors) override {
            text = ReportText(subject, errors).english();
        }
        void reportFailures(const UiText& subject, const CFailureList& list) override {
            report(subject, list.count());
            failures = list;
        }
        std::string text;
        CFailureList failures;
    } report;
};

TEST_F(RenameTest, F2RenamesWithTheColonCleanedAndUndoTakesItBack) {
    folder.write("1A2B.zip", ReadableContent("Zip"));
    open(folder.path());
    paint();
    EXPECT_TRUE(WaitUntil([&] { return view->model().isRead(0); }));
    view->detailsView()->setFocus();
    QTest::keyClick(view->detailsView(), Qt::Key_F2);
    auto* editor = view->detailsView()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(editor->selectedText(), "1A2B");
    editor->setText("new:name.zip");
    const int readsBefore = CCountingReader::reads;
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    view->detailsView()->viewport()->repaint();

    EXPECT_TRUE(PathExists(folder.file("new_name.zip")));
    EXPECT_FALSE(PathExists(folder.file("1A2B.zip")));
    EXPECT_EQ(view->model().name(0), "new_name.zip");
    WaitUntil([&] { return CCountingReader::reads > readsBefore; }); // off the window's thread
    EXPECT_EQ(CCountingReader::reads, readsBefore + 1) << "the renamed file is read again";
    expectConsistent();

    ASSERT_TRUE(view->canUndo());
    view->undo();
    EXPECT_TRUE(PathExists(folder.file("1A2B.zip")));
    EXPECT_FALSE(PathExists(folder.file("new_name.zip")));
    EXPECT_EQ(report.text, "Successfully Undone (" + folder.path() + ")");
    EXPECT_TRUE(view->canRedo());
    view->redo();
    EXPECT_TRUE(PathExists(folder.file("new_name.zip")));
    view->refreshChanges();
    EXPECT_EQ(names(), QStringList{"new_name.zip"});
    expectConsistent();
}

TEST_F(RenameTest, ClashIsNumberedNeverOverwritten) {
    folder.write("1A2B.zip", "first");
    folder.write("taken.zip", "second");
    open(folder.path());
    view->renameRow(view->model().rowOfRecord(0), "taken.zip");
    EXPECT_EQ(ReadWholeFile(folder.file("taken.zip")), "second");
    EXPECT_EQ(ReadWholeFile(folder.file("taken[1].zip")), "first");
    EXPECT_EQ(view->model().name(view->model().rowOfRecord(0)), "taken[1].zip");
}

TEST_F(RenameTest, FailedRenameReportsWithItsCauseAndKeepsTheName) {
    folder.write("1A2B.zip", "");
    open(folder.path());
    std::filesystem::remove(folder.file("1A2B.zip"));
    view->renameRow(0, "other.zip");
    EXPECT_EQ(report.text, "1 error(s) ocurred while Setting name");
    ASSERT_EQ(report.failures.count(), 1);
    EXPECT_EQ(FailureLine(report.failures.items()[0]),
              folder.file("1A2B.zip") + ": No such file or directory");
    EXPECT_EQ(view->model().name(0), "1A2B.zip");
    EXPECT_FALSE(view->canUndo());
}

// A typed name is refused whole when too long (never cut); a '/' moves the file into
// that sub-folder and says so.
TEST_F(RenameTest, OverlongTypedNameIsRefusedAndASlashMovesIntoTheSubFolder) {
    folder.write("1A2B.zip", "");
    open(folder.path());
    for (const QString& name : {QString(300, 'a') + ".zip", "a/" + QString(300, 'b')}) {
        view->renameRow(0, name);
        EXPECT_TRUE(PathExists(folder.file("1A2B.zip")));
        EXPECT_TRUE(panes[2].startsWith("Not renamed: the name is 30")) << panes[2].toStdString();
        EXPECT_FALSE(view->canUndo());
    }
    view->renameRow(0, "a/new.zip");
    EXPECT_TRUE(PathExists(folder.file("a/new.zip")));
    EXPECT_EQ(panes[2], "Moved into a/");
}

TEST_F(RenameTest, UnchangedNameIsNoRename) {
    folder.write("1A2B.zip", "");
    open(folder.path());
    view->renameRow(0, "1A2B.zip");
    EXPECT_FALSE(view->canUndo());
    EXPECT_TRUE(PathExists(folder.file("1A2B.zip")));
}

TEST_F(ViewTest, BackspaceGoesUpAndF5Rescans) {
    folder.mkdir("inner");
    folder.write("inner/0A.bin", "");
    open(folder.path() + "inner");
    EXPECT_EQ(names(), QStringList{"0A.bin"});
    paint();
    view->detailsView()->setFocus();
    QTest::keyClick(view->detailsView(), Qt::Key_Backspace);
    EXPECT_EQ(names(), QStringList{"inner"});

    folder.write("late.bin", "");
    QTest::keyClick(view->detailsView(), Qt::Key_F5);
    EXPECT_EQ(names(), (QStringList{"inner", "late.bin"}));
}

TEST_F(ViewTest, EscInTheListSetsTheCancelFlag) {
    open(folder.path());
    paint();
    EXPECT_FALSE(view->cancelFlag());
    QTest::keyClick(view->detailsView(), Qt::Key_Escape);
    EXPECT_TRUE(view->cancelFlag());
}

TEST_F(ViewTest, EnterOnAFolderOpensIt) {
    folder.mkdir("sub");
    folder.write("sub/0A.bin", "");
    open(folder.path());
    paint();
    view->detailsView()->setFocus();
    QTest::keyClick(view->detailsView(), Qt::Key_Return);
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path()) << "Enter opens the selection only";
    select({"sub"});
    QTest::keyClick(view->detailsView(), Qt::Key_Return);
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path() + "sub/");
    EXPECT_EQ(names(), QStringList{"0A.bin"});
}

TEST_F(ViewTest, DeletedFolderEmptiesTheListAndUpStillWorks) {
    folder.mkdir("gone");
    folder.write("gone/0A.bin", "");
    open(folder.path() + "gone");
    QSignalSpy lost(view.get(), &CMarlockUtilView::folderLost);
    std::filesystem::remove_all(folder.file("gone"));
    view->refreshChanges();
    EXPECT_EQ(view->model().rowCount(), 0);
    ASSERT_EQ(lost.size(), 1);
    EXPECT_EQ(lost[0][0].toString().toStdString(), folder.path() + "gone/");
    EXPECT_TRUE(WaitUntil([this] { return panes[0] == "0 Object(s)"; })) << panes[0].toStdString();
    view->goUp();
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path());
    EXPECT_EQ(view->model().rowCount(), 0);
    folder.write("back.bin", "");
    view->openFolder(QString::fromStdString(folder.path()));
    EXPECT_EQ(names(), QStringList{"back.bin"});
}

TEST_F(ViewTest, ListModeTooltipShowsTheFirstInformation) {
    folder.write("0A.tst", ReadableContent("", "Second"));
    open(folder.path());
    view->setListMode(true);
    paint();
    EXPECT_EQ(CCountingReader::reads, 0);
    QWidget* viewport = view->listView()->viewport();
    const QRect rect = view->listView()->visualRect(view->model().index(0, 0));
    QHelpEvent help(QEvent::ToolTip, rect.center(), viewport->mapToGlobal(rect.center()));
    QApplication::sendEvent(viewport, &help);
    EXPECT_EQ(CCountingReader::reads, 1);
    EXPECT_EQ(QToolTip::text(), "Second");
    QToolTip::hideText();
}

TEST_F(ViewTest, ReaderFailureShowsARunTimeErrorAndEmptyCells) {
    struct Throwing : CFileReader {
        Throwing(const std::string& path, bool) : CFileReader(path) {
            throw std::runtime_error("Cant Load Library : libtest.so");
        }
    };
    static const ReaderTable table{{&MakeReader<Throwing>}, {}};
    doc.setReaderTable(&table);
    QStringList errors;
    view->setErrorPresenter([&errors](const QString& text) { errors << text; });
    folder.write("0A.bin", "");
    open(folder.path());
    EXPECT_EQ(view->model().cellText(0, 1), "");
    EXPECT_TRUE(WaitUntil([&errors] { return !errors.isEmpty(); }));
    EXPECT_EQ(errors, QStringList{"Cant Load Library : libtest.so"});
    EXPECT_EQ(view->model().rowCount(), 1);
    doc.setReaderTable(&CountingReaderTable());
}

} // namespace
} // namespace tressel::test

namespace tressel::test {
namespace {

TEST(EscapeCheck, RecordsEscAndSwallowsOtherInputOnlyWhileACommandRuns) {
    QLineEdit edit;
    edit.show();
    CEscapeCheck check;
    {
        CLongCommand command(check);
        QTest::keyClicks(&edit, "ab");
        EXPECT_EQ(edit.text(), "") << "input during a long command is swallowed";
        EXPECT_FALSE(check.cancelRequested());
        QTest::keyClick(&edit, Qt::Key_Escape);
        EXPECT_TRUE(check.cancelRequested());
    }
    QTest::keyClicks(&edit, "cd");
    EXPECT_EQ(edit.text(), "cd") << "the filter is gone with the command";
    CLongCommand next(check);
    EXPECT_FALSE(check.cancelRequested()) << "a new command starts without the old Esc";
}

TEST_F(ViewTest, EscStopsValidOnlyHalfWay) {
    for (int i = 0; i < 20; ++i)
        folder.write(std::to_string(10 + i) + ".txt", "nothing readable");
    open(folder.path());
    QTimer::singleShot(0, [this] { QTest::keyClick(view->detailsView(), Qt::Key_Escape); });
    view->validOnly();
    EXPECT_GT(view->model().rowCount(), 0) << "Esc ended the walk before every row was dropped";
    expectConsistent();
}

// A drop is answered as a copy or a link, never a move: a source honouring a move
// would delete its own copy.
TEST_F(ViewTest, DroppedFileOpensItsFolderAsACopyOrLinkNeverAMove) {
    folder.mkdir("there");
    folder.write("there/0A.bin", "");
    const struct {
        Qt::DropActions offered;
        Qt::DropAction answer;
    } cases[] = {{Qt::MoveAction | Qt::CopyAction | Qt::LinkAction, Qt::CopyAction},
                 {Qt::MoveAction | Qt::LinkAction, Qt::LinkAction},
                 {Qt::MoveAction, Qt::IgnoreAction}};
    for (const auto& c : cases) {
        open(folder.path());
        paint();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.file("there/0A.bin")))});
        QWidget* target = view->detailsView()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), c.offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_EQ(enter.isAccepted(), c.answer != Qt::IgnoreAction) << c.offered;
        if (c.answer == Qt::IgnoreAction)
            continue;
        EXPECT_EQ(enter.dropAction(), c.answer);
        QDropEvent drop(QPointF(5, 5), c.offered, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(drop.dropAction(), c.answer);
        EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path() + "there/");
        EXPECT_EQ(names(), QStringList{"0A.bin"});
    }
}

TEST_F(ViewTest, DraggedRowsTravelAsFileUrls) {
    folder.write("0A.bin", "");
    folder.write("0B.bin", "");
    open(folder.path());
    const QModelIndexList cells{view->model().index(0, 0), view->model().index(0, 1),
                                view->model().index(1, 0)};
    std::unique_ptr<QMimeData> mime(view->model().mimeData(cells));
    EXPECT_EQ(mime->urls(),
              (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(folder.file("0A.bin"))),
                           QUrl::fromLocalFile(QString::fromStdString(folder.file("0B.bin")))}));
    EXPECT_FALSE(view->model().supportedDragActions() & Qt::MoveAction);
}

TEST_F(ViewTest, RepopulationSignalsItsProgress) {
    folder.write("0A.bin", "");
    folder.write("0B.bin", "");
    QSignalSpy started(&view->model(), &CFileListModel::populateStarted);
    QSignalSpy finished(&view->model(), &CFileListModel::populateFinished);
    open(folder.path());
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0][0].toInt(), 2);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][0].toInt(), 2);
}

} // namespace
} // namespace tressel::test
