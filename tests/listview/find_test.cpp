#include "view_fixture.h"

#include "listview/find_dialog.h"
#include "listview/list_context_menu.h"
#include "operations/feedback.h"
#include "settings/settings_store.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace tressel::test {
namespace {

constexpr int kNotFound = -1;

// Ten files 00.bin to 09.bin; the rows in `matching` say "Setup Wizard" in column 2.
class FindTest : public ViewTest {
protected:
    FindTest() {
        view->setNotFoundPresenter([this](const QString& text) { boxes << text; });
        view->setGroupAllHandler([this](const QString& text) { grouped << text; });
        view->setProgress(&progress);
        QObject::connect(view.get(), &CMarlockUtilView::statusText,
                         [this](int pane, const QString& text) {
                             if (pane == PaneReport)
                                 paneTwo << text;
                         });
    }

    void openTen(const std::vector<int>& matching, const std::string& sub = "ten") {
        for (int i = 0; i < 10; ++i) {
            const bool match = std::find(matching.begin(), matching.end(), i) != matching.end();
            folder.write(sub + "/0" + std::to_string(i) + ".bin",
                         ReadableContent("plain", match ? "Setup Wizard" : "other"));
        }
        open(folder.file(sub));
    }

    // The user's answer to the next Find dialog: the text typed (a null text keeps the
    // one shown), the direction and the button. What the dialog showed is kept.
    void answer(const QString& text, FindButton button, bool down = true) {
        QTimer::singleShot(0, [=, this] {
            auto* dialog = qobject_cast<CFindDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* what = dialog->findChild<QComboBox*>("findWhat");
            shown = what->currentText();
            for (int i = 0; i < what->count(); ++i)
                shownHistory << what->itemText(i);
            if (!text.isNull())
                what->setEditText(text);
            dialog->findChild<QRadioButton*>(down ? "findDown" : "findUp")->setChecked(true);
            static const char* const names[] = {"cancelButton", "findNextButton", "selectAllButton",
                                                "groupAllButton"};
            auto* push = dialog->findChild<QPushButton*>(names[static_cast<int>(button)]);
            buttonEnabled = push->isEnabled();
            if (buttonEnabled)
                push->click();
            else
                dialog->reject();
        });
    }

    std::vector<int> selectedRows() const {
        std::vector<int> rows;
        for (const QModelIndex& index : view->detailsView()->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // The one row F3 selects, or kNotFound when it selects none.
    int foundRow() const {
        const std::vector<int> rows = selectedRows();
        EXPECT_LE(rows.size(), 1u);
        return rows.empty() ? kNotFound : rows.front();
    }

    int currentRow() const { return view->detailsView()->selectionModel()->currentIndex().row(); }

    EscAtStep progress;
    QStringList boxes, grouped, paneTwo, shownHistory;
    QString shown;
    bool buttonEnabled = true;
};

// From the dialog, then F3 (or Shift+F3) again and again: a match, the next one, the
// not-found box, and a fresh start at the end the direction starts from.
TEST_F(FindTest, FindNextStepsThroughTheMatchesThenReportsNotFoundThenStartsAgain) {
    const struct {
        std::vector<int> matching;
        bool up;
        std::vector<int> rows;
    } cases[] = {
        {{3, 7}, false, {3, 7, kNotFound, 3}},
        {{3, 7}, true, {7, 3, kNotFound, 7}},
        {{0, 9}, false, {0, 9, kNotFound, 0}},
        {{0, 9}, true, {9, 0, kNotFound, 9}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        openTen(c.matching, "case" + std::to_string(n++));
        boxes.clear();
        answer("setup", FindButton::FindNext, !c.up);
        view->find();
        for (size_t i = 0; i < c.rows.size(); ++i) {
            if (i > 0)
                view->findNext(c.up);
            SCOPED_TRACE(i);
            EXPECT_EQ(foundRow(), c.rows[i]);
            EXPECT_EQ(view->findPosition(), c.rows[i]);
            if (c.rows[i] == kNotFound) {
                EXPECT_EQ(paneTwo.back(), "Find Complete 'setup'");
                EXPECT_EQ(boxes, QStringList{"'setup' :Not found"});
                EXPECT_EQ(currentRow(), 0);
            } else {
                EXPECT_EQ(paneTwo.back(), "Find Complete 'setup',Col: 2");
                EXPECT_EQ(currentRow(), c.rows[i]);
            }
        }
    }
    EXPECT_TRUE(paneTwo.contains("Press Esc to cancel"));
}

// The bar starts with the rows already behind the start and moves one per row visited.
TEST_F(FindTest, ProgressCountsTheRowsBehindTheStart) {
    openTen({3, 7});
    view->findDialog().setFindText("setup");
    const struct {
        bool up;
        int row;
        uint64_t done;
    } steps[] = {{false, 3, 4}, {false, 7, 8}, {true, 3, 7}, {true, kNotFound, 10}};
    for (const auto& step : steps) {
        view->findNext(step.up);
        EXPECT_EQ(foundRow(), step.row);
        EXPECT_EQ(progress.total, 10u);
        EXPECT_EQ(progress.done, step.done) << step.row;
    }
}

// The text and every cell are lowered with the locale: any case finds the same rows,
// non-ASCII letters included; Select All reads every row it passes.
TEST_F(FindTest, SelectAllFindsTheSameRowsWhateverTheCase) {
    folder.write("a.bin", ReadableContent("Über Setup"));
    folder.write("b.bin", ReadableContent("x", "my SETUP"));
    folder.write("c.bin", ReadableContent("nothing"));
    folder.write("setup.bin", "unreadable");
    open(folder.path());
    const struct {
        const char* text;
        std::vector<int> rows;
    } cases[] = {{"Setup", {0, 1, 3}}, {"SETUP", {0, 1, 3}}, {"setup", {0, 1, 3}},
                 {"ÜBER", {0}},        {"über s", {0}},      {"ber", {0}}};
    for (const auto& c : cases) {
        answer(c.text, FindButton::SelectAll, false);
        view->find();
        EXPECT_EQ(selectedRows(), c.rows) << c.text;
        EXPECT_EQ(paneTwo.back(), "Find Complete '" + QString(c.text).toLower() + "'");
    }
    EXPECT_EQ(CCountingReader::reads, 4) << "each file read once";
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(FindTest, SelectAllWithNoMatchDeselectsEverythingWithoutABox) {
    openTen({3, 7});
    view->selectAll();
    answer("zzz", FindButton::SelectAll);
    view->find();
    EXPECT_TRUE(selectedRows().empty());
    EXPECT_EQ(paneTwo.back(), "Find Complete 'zzz'");
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(view->findPosition(), -1);
}

TEST_F(FindTest, GroupAllSelectsEveryMatchThenGroupsUnderTheTypedText) {
    openTen({3, 7});
    answer("Setup", FindButton::GroupAll);
    view->find();
    EXPECT_EQ(selectedRows(), (std::vector<int>{3, 7}));
    EXPECT_EQ(grouped, QStringList{"Setup"});
    // Nothing typed: no search button can be pressed.
    answer("", FindButton::GroupAll);
    view->find();
    EXPECT_FALSE(buttonEnabled);
    EXPECT_EQ(grouped.size(), 1);
}

TEST_F(FindTest, EscStopsTheSearchKeepingWhatItSelectedAndGroupsNothing) {
    for (int i = 0; i < 40; ++i)
        folder.write(std::to_string(10 + i) + ".bin", ReadableContent("setup"));
    open(folder.path());
    progress.list = view->detailsView();
    progress.escAt = 5;
    answer("setup", FindButton::GroupAll);
    view->find();
    EXPECT_EQ(paneTwo.back(), "Find Cancelled");
    EXPECT_EQ(selectedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(CCountingReader::reads, CMarlockUtilView::kFindReadAhead)
        << "rows past the batch read when Esc came stay unread";
    EXPECT_TRUE(grouped.isEmpty());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(view->findPosition(), -1);
    EXPECT_TRUE(view->cancelFlag());
}

// The recent texts: most recent first, no duplicates, ten at most; read from
// "string0".."string9" skipping gaps, and written back without the keys beyond.
TEST_F(FindTest, HistoryHoldsTenTextsAndIsWrittenBackWithoutStaleKeys) {
    view.reset(); // it would write its own empty history back
    auto& store = SettingsStore::instance();
    for (int i = 0; i < 10; ++i)
        store.writeString("FindHistory", QString("string%1").arg(i),
                          i == 3 ? QString() : QString("t%1").arg(i));
    view = std::make_unique<CMarlockUtilView>(doc);
    view->setNotFoundPresenter([this](const QString& text) { boxes << text; });
    openTen({3});
    const QStringList stored = {"t0", "t1", "t2", "t4", "t5", "t6", "t7", "t8", "t9"};
    EXPECT_EQ(view->findDialog().history(), stored);
    answer(QString(), FindButton::Cancel);
    view->find();
    EXPECT_EQ(shown, "t0") << "the most recent text is shown first";
    EXPECT_EQ(shownHistory, stored);
    EXPECT_EQ(view->findDialog().history(), stored) << "Cancel changes nothing";

    view.reset();
    EXPECT_EQ(store.readString("FindHistory", "string8"), "t9");
    EXPECT_FALSE(store.readBinary("FindHistory", "string9")) << "the shorter list stays short";

    view = std::make_unique<CMarlockUtilView>(doc);
    view->setNotFoundPresenter([this](const QString& text) { boxes << text; });
    for (const char* text : {"a", "b", "t5", "c"}) {
        answer(text, FindButton::FindNext);
        view->find();
    }
    EXPECT_EQ(view->findDialog().history(),
              (QStringList{"c", "t5", "b", "a", "t0", "t1", "t2", "t4", "t6", "t7"}));
    EXPECT_EQ(view->findDialog().findText(), "c");
}

TEST_F(FindTest, FindThisTextOpensTheDialogWithTheCellText) {
    openTen({3});
    paint();
    select({"03.bin"});
    const QRect cell = view->detailsView()->visualRect(view->model().index(3, 2));
    QMenu* popup = view->contextMenu().build(cell.center(), Qt::NoModifier);
    answer(QString(), FindButton::FindNext);
    for (QAction* action : popup->actions()) {
        if (action->text() == "Find this Text")
            action->trigger();
    }
    EXPECT_EQ(shown, "Setup Wizard");
    EXPECT_EQ(foundRow(), 3);
}

TEST_F(FindTest, F3WithoutTextOpensTheDialog) {
    openTen({7});
    answer("setup", FindButton::FindNext);
    view->findNext(false);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(foundRow(), 7);
}

TEST_F(FindTest, SelectCheckedAndInvertSelection) {
    openTen({});
    CFileListModel& model = view->model();
    for (int row : {1, 2, 5})
        model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
    view->selectChecked();
    EXPECT_EQ(selectedRows(), (std::vector<int>{1, 2, 5}));
    view->invertSelection();
    EXPECT_EQ(selectedRows(), (std::vector<int>{0, 3, 4, 6, 7, 8, 9}));
    view->invertSelection();
    EXPECT_EQ(selectedRows(), (std::vector<int>{1, 2, 5}));

    // Hidden boxes keep their state and come back with it.
    view->checkBoxesAction()->trigger();
    EXPECT_FALSE(model.flags(model.index(1, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::CheckStateRole).isValid());
    view->checkBoxesAction()->trigger();
    EXPECT_EQ(model.data(model.index(1, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
}

// Check marks stay with their names through the folder refresh and a rescan; another
// folder starts unchecked.
TEST_F(FindTest, CheckMarksSurviveARefresh) {
    openTen({});
    CFileListModel& model = view->model();
    for (int row : {1, 8})
        model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
    auto checkedNames = [&] {
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.checkState(row) == Qt::Checked)
                names << model.name(row);
        }
        return names;
    };
    const QStringList checked = {"01.bin", "08.bin"};
    folder.write("ten/000.bin", "new");
    view->refreshChanges();
    ASSERT_EQ(model.rowCount(), 11);
    EXPECT_EQ(checkedNames(), checked);
    view->rescan();
    EXPECT_EQ(checkedNames(), checked);
    view->toggleScanAll();
    EXPECT_EQ(checkedNames(), checked);
    folder.write("other/01.bin", "");
    open(folder.file("other"));
    EXPECT_TRUE(checkedNames().isEmpty());
}

} // namespace
} // namespace tressel::test
