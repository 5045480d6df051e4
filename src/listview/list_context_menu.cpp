#include "list_context_menu.h"

#include "context_menu.h"
#include "file_list_model.h"
#include "file_name_text.h"
#include "settings/settings_store.h"
#include "translated_text.h"
#include "view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

#include <algorithm>

namespace tressel {

namespace {

// Texts from files are shown as they are: '&' is no mnemonic.
QString MenuText(const QString& text) {
    return QString(text).replace('&', "&&");
}

} // namespace

CListContextMenu::CListContextMenu(CMarlockUtilView& view) : QObject(&view), m_view(view) {}

void CListContextMenu::popup(QWidget* target, QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        popupFromKeyboard(event->modifiers());
        return;
    }
    QWidget* viewport = m_view.currentView()->viewport();
    showAt(viewport->mapFrom(target, event->pos()), event->modifiers());
}

void CListContextMenu::popupFromKeyboard(Qt::KeyboardModifiers modifiers) {
    showAt(focusedCellPoint(), modifiers);
}

// The keyboard's menu belongs to the focused cell of the current row, as in every
// list; without a current row it opens at the list's corner.
QPoint CListContextMenu::focusedCellPoint() const {
    QAbstractItemView* view = m_view.currentView();
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return {0, 0};
    view->scrollTo(current);
    return view->visualRect(current).center();
}

void CListContextMenu::showAt(QPoint pos, Qt::KeyboardModifiers modifiers) {
    if (QMenu* menu = build(pos, modifiers))
        menu->popup(m_view.currentView()->viewport()->mapToGlobal(pos));
}

QMenu* CListContextMenu::build(QPoint pos, Qt::KeyboardModifiers modifiers) {
    if (m_popup)
        m_popup->deleteLater();
    m_popup = nullptr;
    m_hitRecord = -1;
    m_hitColumn = 0;
    const std::vector<int> records = m_view.selectedRecords();
    if (records.empty())
        return m_viewMenu;

    m_popup = new QMenu(&m_view);
    m_popup->setObjectName("contextMenu");
    m_append = modifiers & Qt::ShiftModifier;
    addNameSubmenu(m_popup, records);
    if (modifiers & Qt::ControlModifier)
        addCtrlItems(m_popup);
    else
        addCommandItems(m_popup, pos);
    return m_popup;
}

QAction* CListContextMenu::addCommand(QMenu* menu, const QString& text, int id,
                                      std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setEnabled(static_cast<bool>(handler));
    if (handler)
        connect(action, &QAction::triggered, this,
                [this, handler = std::move(handler)] { m_view.guard(handler); });
    return action;
}

std::vector<NameMenuItem> CListContextMenu::nameItems(const std::vector<int>& records) {
    CMarlockUtilDoc& doc = m_view.document();
    CFileListModel& model = m_view.model();
    const auto firstFile = std::find_if(records.begin(), records.end(), [&doc](int record) {
        return !(doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER);
    });
    if (firstFile == records.end())
        return {};
    // Unread rows are read on the workers, not here one by one; Esc gives no items.
    if (!m_view.readRowsFirst(records))
        return {};
    if (records.size() == 1) {
        const int row = model.rowOfRecord(records.front());
        // A file nothing recognised by its extension is read once more with Scan All.
        if (model.firstInformation(row).isEmpty() && !doc.scanAll()) {
            doc.setScanAll(true);
            model.forgetInformation(row);
            model.cellText(row, 1);
            doc.setScanAll(false);
        }
        std::vector<std::string> cells{model.nameBytes(row)};
        std::vector<std::string> labels{std::string()};
        for (int column = 1; column < model.columnCount(); ++column) {
            cells.push_back(model.cellText(row, column).toStdString());
            labels.push_back(model.cellLabel(row, column).toStdString());
        }
        return SingleRowNameItems(cells, m_view.columnDisplayOrder(), labels);
    }
    return MultiRowNameItems(
        [&](int column) {
            return std::any_of(records.begin(), records.end(), [&](int record) {
                return !model.cellText(model.rowOfRecord(record), column).isEmpty();
            });
        },
        TranslatedColumnNames(doc.ColumnNames()), m_view.columnDisplayOrder());
}

void CListContextMenu::addNameSubmenu(QMenu* popup, const std::vector<int>& records) {
    const std::vector<NameMenuItem> items = nameItems(records);
    if (items.empty())
        return;
    auto* names = new QMenu(m_append ? tr("Append To Name") : tr("Rename To"), popup);
    names->setObjectName("nameMenu");
    for (const NameMenuItem& item : items)
        addCommand(names, MenuText(QString::fromStdString(NameItemText(item))), item.column,
                   [this, column = item.column] { m_view.renameToColumn(column); });
    popup->addMenu(names);
}

void CListContextMenu::addCommandItems(QMenu* popup, QPoint pos) {
    if (!popup->isEmpty()) {
        // Beside the name submenu it previews.
        addCommand(popup, tr("Pre&view Rename..."), menu::PreviewRename,
                   [this, append = m_append] { m_view.previewRename(append); });
        popup->addSeparator();
    }
    const QStringList& history = m_view.moveToHistory().entries();
    auto addFolderMenu = [&](const QString& title, const char* name, bool move, int chooseId,
                             int firstHistoryId) {
        QMenu* menu = popup->addMenu(title);
        menu->setObjectName(name);
        addCommand(menu, tr("&Choose..."), chooseId, [this, move] { m_view.copyOrMove(move, -1); });
        if (!history.isEmpty())
            menu->addSeparator();
        for (int i = 0; i < history.size() && i < menu::kHistorySize; ++i)
            addCommand(menu, MenuText(DecodeName(HistoryItemText(EncodeName(history[i])))),
                       firstHistoryId + i, [this, move, i] { m_view.copyOrMove(move, i); });
    };
    addFolderMenu(tr("&Move To"), "moveToMenu", true, menu::MoveToChoose, menu::MoveToHistory);
    addFolderMenu(tr("&Copy To"), "copyToMenu", false, menu::CopyToChoose, menu::CopyToHistory);

    recordHitCell(pos);
    if (m_hitRecord >= 0) {
        popup->addSeparator();
        addCommand(popup, tr("Find this Text"), menu::FindText, [this] {
            const auto [row, column] = hitCell();
            if (row >= 0)
                m_view.findText(m_view.model().cellText(row, column));
        });
        addCommand(popup, tr("Copy this Text"), menu::CopyText, [this] { copyHitText(); });
        if (m_hitColumn != 0)
            addCommand(popup, tr("Clear this Text"), menu::ClearText, [this] { clearHitText(); });
    }
    popup->addSeparator();
    addCommand(popup, tr("&Delete"), menu::Delete, [this] {
        m_view.deleteSelection(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    });
    addCommand(popup, tr("Rena&me"), menu::Rename, [this] { m_view.editName(); });
    popup->addSeparator();
    addCommand(popup, tr("P&roperties..."), menu::Properties,
               [this] { m_view.showProperties(m_view.selectedRecords()); });
}

void CListContextMenu::addCtrlItems(QMenu* popup) {
    addCommand(popup, tr("&Open"), menu::CtrlOpen,
               [this] { m_view.launchRecords(m_view.selectedRecords()); });
    addCommand(popup, tr("Open &Containing Folder"), menu::CtrlOpenContainingFolder,
               [this] { m_view.launch(DecodeName(m_view.document().GetCurrentFolderPath())); });
    addCommand(popup, tr("Copy &Path"), menu::CtrlCopyPath, [this] {
        QStringList paths;
        for (int record : m_view.selectedRecords())
            paths << DecodeName(m_view.document().GetItemName(record, NameMode::Parsing));
        QApplication::clipboard()->setText(paths.join('\n'));
    });
    addCommand(popup, tr("P&roperties"), menu::CtrlProperties,
               [this] { m_view.showProperties(m_view.selectedRecords()); });
}

// Remembers the cell under pos when it holds text.
void CListContextMenu::recordHitCell(QPoint pos) {
    const QModelIndex index = m_view.currentView()->indexAt(pos);
    if (!index.isValid())
        return;
    const int column = m_view.isListMode() ? 0 : index.column();
    if (m_view.model().cellText(index.row(), column).isEmpty())
        return;
    m_hitRecord = m_view.model().recordOfRow(index.row());
    m_hitColumn = column;
}

std::pair<int, int> CListContextMenu::hitCell() const {
    return {m_hitRecord < 0 ? -1 : m_view.model().rowOfRecord(m_hitRecord), m_hitColumn};
}

void CListContextMenu::copyHitText() {
    const auto [row, column] = hitCell();
    if (row >= 0)
        QApplication::clipboard()->setText(m_view.model().cellText(row, column));
}

// The value no longer serves for renaming; the file is not touched.
void CListContextMenu::clearHitText() {
    const auto [row, column] = hitCell();
    if (row >= 0 && column > 0)
        m_view.model().setInformation(row, column, QString());
}

} // namespace tressel
