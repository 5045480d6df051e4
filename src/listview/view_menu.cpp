// The list's context menu: building it, dispatching its commands, and the rename
// command it runs.

#include "context_menu.h"
#include "file_list_model.h"
#include "operations/feedback.h"
#include "platform/paths.h"
#include "settings/settings_store.h"
#include "view.h"

#include "catalogue/rename_command.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>

#include <algorithm>

namespace tressel {

namespace {

QString Decode(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Texts from files are shown as they are: '&' is no mnemonic.
QString MenuText(const QString& text) {
    return QString(text).replace('&', "&&");
}

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

std::vector<int> CMarlockUtilView::displayOrder() const {
    const QHeaderView* header = m_details->horizontalHeader();
    std::vector<int> order;
    for (int visual = 0; visual < m_model->columnCount(); ++visual)
        order.push_back(header->logicalIndex(visual));
    return order;
}

void CMarlockUtilView::showContextMenu(QWidget* target, QContextMenuEvent* event) {
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    QWidget* viewport = currentView()->viewport();
    const QPoint pos = keyboard ? QPoint(0, 0) : viewport->mapFrom(target, event->pos());
    QMenu* menu = buildContextMenu(pos, QApplication::keyboardModifiers());
    if (menu)
        menu->popup(viewport->mapToGlobal(pos));
}

QMenu* CMarlockUtilView::buildContextMenu(QPoint pos, Qt::KeyboardModifiers modifiers) {
    if (m_popup)
        m_popup->deleteLater();
    m_popup = nullptr;
    m_hitRecord = -1;
    m_hitColumn = 0;
    const std::vector<int> records = selectedRecords();
    if (records.empty())
        return m_viewMenu;

    m_popup = new QMenu(this);
    m_popup->setObjectName("contextMenu");
    m_append = modifiers & Qt::ShiftModifier;
    addNameSubmenu(m_popup, records, m_append);
    if (modifiers & Qt::ControlModifier)
        addCtrlItems(m_popup);
    else
        addCommandItems(m_popup, pos);
    return m_popup;
}

QAction* CMarlockUtilView::addCommand(QMenu* menu, const QString& text, int id, bool enabled) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, id] { dispatchCommand(id); });
    return action;
}

void CMarlockUtilView::addNameSubmenu(QMenu* popup, const std::vector<int>& records, bool append) {
    const auto firstFile = std::find_if(records.begin(), records.end(), [this](int record) {
        return !(m_doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER);
    });
    if (firstFile == records.end())
        return;
    std::vector<NameMenuItem> items;
    if (records.size() == 1) {
        const int row = m_model->rowOfRecord(records.front());
        // A file nothing recognised by its extension is read once more with Scan All.
        if (m_model->firstInformation(row).isEmpty() && !m_doc.scanAll()) {
            m_doc.setScanAll(true);
            m_model->forgetInformation(row);
            m_model->cellText(row, 1);
            m_doc.setScanAll(false);
        }
        std::vector<std::string> cells{m_model->nameBytes(row)};
        for (int column = 1; column < m_model->columnCount(); ++column)
            cells.push_back(m_model->cellText(row, column).toStdString());
        items = SingleRowNameItems(cells, displayOrder());
    } else {
        std::vector<int> rows;
        for (int record : records)
            rows.push_back(m_model->rowOfRecord(record));
        items = MultiRowNameItems(
            [&](int column) {
                return std::any_of(rows.begin(), rows.end(), [&](int row) {
                    return !m_model->cellText(row, column).isEmpty();
                });
            },
            m_doc.ColumnNames(), displayOrder());
    }
    if (items.empty())
        return;
    auto* names = new QMenu(append ? "Append To Name" : "Rename To", popup);
    names->setObjectName("nameMenu");
    for (const NameMenuItem& item : items)
        addCommand(names, MenuText(QString::fromStdString(item.text)), item.column);
    popup->addMenu(names);
}

// The file commands of Move To, Copy To and Delete, and find, arrive with later work:
// their items are shown, disabled.
void CMarlockUtilView::addCommandItems(QMenu* popup, QPoint pos) {
    if (!popup->isEmpty())
        popup->addSeparator();
    const QStringList& history = m_moveTo->entries();
    auto addFolderMenu = [&](const QString& title, const char* name, int chooseId,
                             int firstHistoryId) {
        QMenu* menu = popup->addMenu(title);
        menu->setObjectName(name);
        addCommand(menu, "&Choose...", chooseId, false);
        if (!history.isEmpty())
            menu->addSeparator();
        for (int i = 0; i < history.size() && i < menu::kHistorySize; ++i) {
            const std::string path = QFile::encodeName(history[i]).toStdString();
            addCommand(menu, MenuText(Decode(HistoryItemText(path))), firstHistoryId + i, false);
        }
    };
    addFolderMenu("&Move To", "moveToMenu", menu::MoveToChoose, menu::MoveToHistory);
    addFolderMenu("&Copy To", "copyToMenu", menu::CopyToChoose, menu::CopyToHistory);

    recordHitCell(pos);
    if (m_hitRecord >= 0) {
        popup->addSeparator();
        addCommand(popup, "Find this Text", menu::FindText, false);
        addCommand(popup, "Copy this Text", menu::CopyText);
        if (m_hitColumn != 0)
            addCommand(popup, "Clear this Text", menu::ClearText);
    }
    popup->addSeparator();
    addCommand(popup, "&Delete", menu::Delete, false);
    addCommand(popup, "Rena&me", menu::Rename);
    popup->addSeparator();
    addCommand(popup, "P&roperties...", menu::Properties);
}

void CMarlockUtilView::addCtrlItems(QMenu* popup) {
    addCommand(popup, "&Open", menu::CtrlOpen);
    addCommand(popup, "Open &Containing Folder", menu::CtrlOpenContainingFolder);
    addCommand(popup, "Copy &Path", menu::CtrlCopyPath);
    addCommand(popup, "P&roperties", menu::CtrlProperties);
}

// Remembers the cell under pos when it holds text.
void CMarlockUtilView::recordHitCell(QPoint pos) {
    const QModelIndex index = currentView()->indexAt(pos);
    if (!index.isValid())
        return;
    const int column = isListMode() ? 0 : index.column();
    if (m_model->cellText(index.row(), column).isEmpty())
        return;
    m_hitRecord = m_model->recordOfRow(index.row());
    m_hitColumn = column;
}

std::pair<int, int> CMarlockUtilView::hitCell() const {
    return {m_hitRecord < 0 ? -1 : m_model->rowOfRecord(m_hitRecord), m_hitColumn};
}

QString CMarlockUtilView::hitCellText() {
    const auto [row, column] = hitCell();
    return row < 0 ? QString() : m_model->cellText(row, column);
}

void CMarlockUtilView::copyToClipboard(const QString& text) {
    QApplication::clipboard()->setText(text);
}

void CMarlockUtilView::dispatchCommand(int id) {
    guard([this, id] {
        if (menu::IsColumn(id)) {
            renameToColumn(id);
            return;
        }
        switch (id) {
        case menu::CopyText:
            if (hitCell().first >= 0)
                copyToClipboard(hitCellText());
            break;
        case menu::ClearText:
            if (hitCell().first >= 0 && m_hitColumn > 0)
                m_model->setInformation(hitCell().first, m_hitColumn, QString());
            break;
        case menu::Rename:
            editName();
            break;
        case menu::Properties:
        case menu::CtrlProperties:
            showProperties(selectedRecords());
            break;
        case menu::CtrlOpen:
            launchRecords(selectedRecords());
            break;
        case menu::CtrlOpenContainingFolder:
            launch(Decode(m_doc.GetCurrentFolderPath()));
            break;
        case menu::CtrlCopyPath: {
            QStringList paths;
            for (int record : selectedRecords())
                paths << Decode(m_doc.GetItemName(record, NameMode::Parsing));
            copyToClipboard(paths.join('\n'));
            break;
        }
        default: // the file commands and find of later work
            break;
        }
    });
}

void CMarlockUtilView::renameToColumn(int column) {
    const auto clearAppend = qScopeGuard([this] { m_append = false; });
    guard([this, column] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        m_cancel = false;
        CLongCommand command(m_escape);
        emit statusText(2, "Press Esc to cancel");
        std::vector<int> rows;
        for (int record : selectedRecords())
            rows.push_back(m_model->rowOfRecord(record));
        CViewRenameRows list(*m_model, *m_details->selectionModel(), rows);
        RenameOptions options;
        options.column = column;
        options.append = m_append;
        options.progress = &progress();
        options.cancel = &m_escape;
        const RenameResult result = RunRenameCommand(m_doc, list, *group, options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        emit statusText(2, QString::fromStdString(result.status));
    });
}

} // namespace tressel
