// Renaming from the list: one file in place (F2, "Rena&me") and the rename command of
// the name submenu, which renames every selected file after an information column.

#include "catalogue/rename_command.h"
#include "file_list_model.h"
#include "file_name_text.h"
#include "list_context_menu.h"
#include "operations/feedback.h"
#include "platform/paths.h"
#include "view.h"

#include <QItemSelectionModel>
#include <QScopeGuard>
#include <QTableView>

namespace tressel {

namespace {

// The rename command's view of the list. Its rows are named by record number: the
// list may change while the command runs (the Esc check lets the window paint), and a
// record keeps naming the same file whatever row shows it.
class CViewRenameRows : public IRenameRows {
public:
    CViewRenameRows(CFileListModel& model, QItemSelectionModel& selection, std::vector<int> records)
        : m_model(model), m_selection(selection), m_records(std::move(records)) {}

    std::vector<int> selectedRows() override { return m_records; }
    int record(int record) override { return record; }
    std::string cellText(int record, int column) override {
        const int row = m_model.rowOfRecord(record);
        if (column == 0)
            return m_model.nameBytes(row);
        return m_model.cellText(row, column).toStdString();
    }
    void deselect(int record) override {
        const int row = m_model.rowOfRecord(record);
        if (row >= 0)
            m_selection.select(m_model.index(row, 0),
                               QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    void setName(int record, const std::string& name) override {
        m_model.setName(m_model.rowOfRecord(record), name);
    }

private:
    CFileListModel& m_model;
    QItemSelectionModel& m_selection;
    std::vector<int> m_records;
};

} // namespace

int CMarlockUtilView::selectionMarkRow() const {
    const QModelIndex current = m_details->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CMarlockUtilView::editName() {
    const int row = selectionMarkRow();
    if (row < 0)
        return;
    QAbstractItemView* view = currentView();
    view->setFocus();
    view->scrollTo(m_model->index(row, 0));
    view->edit(m_model->index(row, 0));
}

void CMarlockUtilView::renameRow(int row, const QString& typed) {
    const int record = m_model->recordOfRow(row);
    if (record < 0 || typed.isEmpty())
        return;
    const std::string name = EncodeName(typed);
    if (name == m_model->nameBytes(row))
        return; // an edit that changed nothing is not a rename
    const PathParts parts = SplitPath(m_doc.GetItemName(record, NameMode::Parsing));
    bool renamed = false;
    std::string lastJournalError;
    guard([&] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        renamed = m_doc.RenameItem(record, parts.dir + name, group.get());
        lastJournalError = group->journalError();
        if (renamed)
            pushUndoGroup(std::move(group));
    });
    if (!renamed) {
        report("Setting name", 1);
        if (!lastJournalError.empty())
            emit statusText(2, QString::fromStdString(ReportText("Setting name", 1) + ". " +
                                                      JournalStopText(lastJournalError)));
        return;
    }
    m_model->forgetInformation(row);
    // The name the move produced (cleaned, numbered); a file moved out of the folder
    // keeps its row until the folder refresh removes it.
    m_model->setName(row, m_doc.GetItemName(record, NameMode::InFolder));
}

void CMarlockUtilView::renameToColumn(int column) {
    const auto clearAppend = qScopeGuard([this] { m_contextMenu->clearAppendFlag(); });
    guard([this, column] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        m_cancel = false;
        CLongCommand command(m_escape);
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        CViewRenameRows list(*m_model, *m_details->selectionModel(), selectedRecords());
        RenameOptions options;
        options.column = column;
        options.append = m_contextMenu->appendFlag();
        options.progress = &progress();
        options.cancel = &m_escape;
        const RenameResult result = RunRenameCommand(m_doc, list, *group, options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        emit statusText(PaneReport, QString::fromStdString(result.status));
    });
}

} // namespace tressel
