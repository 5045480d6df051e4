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

// The rename command's view of the list: selected rows, their cells and names.
class CViewRenameRows : public IRenameRows {
public:
    CViewRenameRows(CFileListModel& model, QItemSelectionModel& selection, std::vector<int> rows)
        : m_model(model), m_selection(selection), m_rows(std::move(rows)) {}

    std::vector<int> selectedRows() override { return m_rows; }
    int record(int row) override { return m_model.recordOfRow(row); }
    std::string cellText(int row, int column) override {
        if (column == 0)
            return m_model.nameBytes(row);
        return m_model.cellText(row, column).toStdString();
    }
    void deselect(int row) override {
        m_selection.select(m_model.index(row, 0),
                           QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    void setName(int row, const std::string& name) override { m_model.setName(row, name); }

private:
    CFileListModel& m_model;
    QItemSelectionModel& m_selection;
    std::vector<int> m_rows;
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
    guard([&] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        renamed = m_doc.RenameItem(record, parts.dir + name, group.get());
        if (renamed)
            pushUndoGroup(std::move(group));
    });
    if (!renamed) {
        report("Setting name", 1);
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
        emit statusText(PaneReport, "Press Esc to cancel");
        std::vector<int> rows;
        for (int record : selectedRecords())
            rows.push_back(m_model->rowOfRecord(record));
        CViewRenameRows list(*m_model, *m_details->selectionModel(), rows);
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
