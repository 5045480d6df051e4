// Find and selection: the Find command and F3 search every cell of every row, reading
// unread rows as they go; Invert Selection and Select Checked.

#include "file_list_model.h"
#include "find_dialog.h"
#include "operations/feedback.h"
#include "view.h"

#include <QItemSelectionModel>
#include <QLocale>
#include <QMessageBox>
#include <QTableView>

#include <algorithm>

namespace tressel {

namespace {

// Rows in ascending order as one selection, adjacent rows merged into ranges: a
// selection made row by row is slow to make and slower to count.
QItemSelection RowRanges(const QAbstractItemModel& model, const std::vector<int>& rows) {
    QItemSelection selection;
    const int last = model.columnCount() - 1;
    for (size_t first = 0; first < rows.size();) {
        size_t end = first + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        selection.select(model.index(rows[first], 0), model.index(rows[end - 1], last));
        first = end;
    }
    return selection;
}

// The first column, in column order, whose text lowered holds lowered; -1 for none.
int MatchingColumn(CFileListModel& model, int row, const QString& lowered, const QLocale& locale) {
    for (int column = 0; column < model.columnCount(); ++column) {
        if (locale.toLower(model.cellText(row, column)).contains(lowered))
            return column;
    }
    return -1;
}

} // namespace

void CMarlockUtilView::find() {
    guard([this] {
        const FindButton button = m_findDialog->ask();
        if (button == FindButton::Cancel)
            return;
        const QString text = m_findDialog->findText();
        if (button == FindButton::FindNext) {
            search(text, m_findPosition, 1, m_findDialog->down());
            return;
        }
        const FindOutcome outcome = search(text, -1, 0, true);
        // A search stopped half-way has not selected every match.
        if (button == FindButton::GroupAll && !outcome.cancelled && m_groupAll)
            m_groupAll(text);
    });
}

void CMarlockUtilView::findText(const QString& text) {
    m_findDialog->setFindText(text);
    find();
}

void CMarlockUtilView::findNext(bool up) {
    if (m_findDialog->findText().isEmpty()) {
        find();
        return;
    }
    guard([this, up] {
        search(m_findDialog->findText(), m_findPosition >= 0 ? selectionMarkRow() : -1, 1, !up);
    });
}

// The rows from row on in the search's direction are read by the worker threads, a
// batch at a time, so that the search never waits for a file on this thread; false
// when Esc stopped the wait. A small batch keeps Find Next from waiting long for rows
// past its match.
bool CMarlockUtilView::readAhead(int row, int step) {
    if (m_model->isRead(row))
        return true;
    std::vector<int> records;
    for (int next = row; next >= 0 && next < m_model->rowCount() &&
                         records.size() < static_cast<size_t>(kFindReadAhead);
         next += step)
        records.push_back(m_model->recordOfRow(next));
    return m_model->readRecords(records, &m_escape, nullptr);
}

// Rows are visited one at a time with the Esc check after each; the matches are
// selected together when the search ends, stopped or not.
CMarlockUtilView::FindOutcome CMarlockUtilView::search(const QString& text, int start, int count,
                                                       bool down) {
    const QLocale locale;
    const QString lowered = locale.toLower(text);
    const int rows = m_model->rowCount();
    if (start >= rows)
        start = -1;
    const int first = start < 0 ? (down ? 0 : rows - 1) : (down ? start + 1 : start - 1);
    const int step = down ? 1 : -1;

    m_details->selectionModel()->clearSelection();
    m_cancel = false;
    CLongCommand command(m_escape);
    IProgress& bar = progress();
    bar.start(static_cast<uint64_t>(rows));
    for (int behind = down ? first : rows - 1 - first; behind > 0; --behind)
        bar.step();
    emit statusText(PaneReport, tr("Press Esc to cancel"));

    FindOutcome outcome;
    std::vector<int> matches;
    for (int row = first; row >= 0 && row < std::min(rows, m_model->rowCount()); row += step) {
        if (!readAhead(row, step)) {
            outcome.cancelled = m_cancel = true;
            break;
        }
        bar.step();
        const int column = MatchingColumn(*m_model, row, lowered, locale);
        if (column >= 0) {
            matches.push_back(row);
            if (outcome.firstRow < 0)
                outcome = {row, column, false};
            if (count > 0 && static_cast<int>(matches.size()) == count)
                break;
        }
        if (m_escape.cancelRequested()) {
            outcome.cancelled = m_cancel = true;
            break;
        }
    }
    if (!down)
        std::reverse(matches.begin(), matches.end());
    m_details->selectionModel()->select(RowRanges(*m_model, matches),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    showSearchOutcome(lowered, count, outcome);
    return outcome;
}

void CMarlockUtilView::showSearchOutcome(const QString& lowered, int count,
                                         const FindOutcome& outcome) {
    if (outcome.cancelled) {
        emit statusText(PaneReport, tr("Find Cancelled"));
        return;
    }
    QString status = tr("Find Complete '") + lowered + "'";
    if (count == 1 && outcome.firstRow >= 0)
        status += tr(",Col: ") + QString::number(outcome.column);
    emit statusText(PaneReport, status);

    QItemSelectionModel* selection = m_details->selectionModel();
    if (outcome.firstRow < 0) {
        if (count == 1) {
            const QString text = "'" + lowered + tr("' :Not found");
            if (m_presentNotFound)
                m_presentNotFound(text);
            else
                QMessageBox::information(this, QString(), text);
        }
        if (m_model->rowCount() > 0)
            selection->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
        m_findPosition = -1;
        return;
    }
    const QModelIndex found = m_model->index(outcome.firstRow, 0);
    currentView()->scrollTo(found);
    selection->setCurrentIndex(found, QItemSelectionModel::NoUpdate);
    m_findPosition = outcome.firstRow;
}

void CMarlockUtilView::invertSelection() {
    const int rows = m_model->rowCount();
    std::vector<bool> selected(static_cast<size_t>(rows), false);
    for (const QModelIndex& index : m_details->selectionModel()->selectedRows(0))
        selected[static_cast<size_t>(index.row())] = true;
    std::vector<int> flipped;
    for (int row = 0; row < rows; ++row) {
        if (!selected[static_cast<size_t>(row)])
            flipped.push_back(row);
    }
    m_details->selectionModel()->select(RowRanges(*m_model, flipped),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
}

void CMarlockUtilView::selectChecked() {
    std::vector<int> checked;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->checkState(row) == Qt::Checked)
            checked.push_back(row);
    }
    m_details->selectionModel()->select(RowRanges(*m_model, checked),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
    focusList();
}

} // namespace tressel
