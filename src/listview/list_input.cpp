#include "list_input.h"

#include "file_list_model.h"
#include "file_name_text.h"
#include "list_context_menu.h"
#include "platform/paths.h"
#include "view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QTableView>
#include <QToolTip>
#include <QUrl>

namespace tressel {

namespace {

// Keys the name editor passes on (Enter, Esc) are the editor's, not the list's.
bool IsEditing(QObject* view) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus != view && static_cast<QWidget*>(view)->isAncestorOf(focus);
}

bool IsMenuKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Menu ||
           (key.key() == Qt::Key_F10 && key.modifiers() & Qt::ShiftModifier);
}

} // namespace

CListInput::CListInput(CMarlockUtilView& view) : QObject(&view), m_view(view) {}

void CListInput::watch(QAbstractItemView* itemView) {
    itemView->installEventFilter(this);
    itemView->viewport()->installEventFilter(this);
    itemView->viewport()->setAcceptDrops(true);
    itemView->setAcceptDrops(true);
    itemView->setDragEnabled(true);
    itemView->setDefaultDropAction(Qt::CopyAction);
    connect(itemView, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_view.guard([this] { m_view.openSelection(QApplication::keyboardModifiers()); });
    });
}

bool CListInput::isItemView(QObject* watched) const {
    return watched == m_view.detailsView() || watched == m_view.listView();
}

bool CListInput::isViewport(QObject* watched) const {
    return watched == m_view.detailsView()->viewport() || watched == m_view.listView()->viewport();
}

bool CListInput::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (isItemView(watched))
            return handleKeyPress(watched, event);
        break;
    case QEvent::ToolTip:
        if (watched == m_view.listView()->viewport())
            return showListTooltip(watched, event);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (isViewport(watched))
            return handleDrop(event);
        break;
    case QEvent::ContextMenu:
        if (isItemView(watched) || isViewport(watched)) {
            m_view.guard([&] {
                m_view.contextMenu().popup(static_cast<QWidget*>(watched),
                                           static_cast<QContextMenuEvent*>(event));
            });
            return true;
        }
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (isItemView(watched))
            m_view.listFocusChanged(event->type() == QEvent::FocusIn);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool CListInput::handleKeyPress(QObject* watched, QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !IsEditing(watched)) {
        m_view.guard([this, key] { m_view.openSelection(key->modifiers()); });
        return true;
    }
    if (IsMenuKey(*key) && !IsEditing(watched)) {
        // Shift+F10 is the desktop's plain menu key; Shift with the Menu key appends.
        const Qt::KeyboardModifiers modifiers =
            key->key() == Qt::Key_F10 ? key->modifiers() & ~Qt::ShiftModifier : key->modifiers();
        m_view.guard([this, modifiers] { m_view.contextMenu().popupFromKeyboard(modifiers); });
        key->accept();
        return true;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier) || IsEditing(watched))
        return false;
    return handleKey(key->key());
}

bool CListInput::handleKey(int key) {
    switch (key) {
    case Qt::Key_Backspace:
        m_view.goUp();
        return true;
    case Qt::Key_Escape:
        m_view.setCancelFlag();
        return true;
    case Qt::Key_Delete:
        m_view.guard([this] {
            m_view.deleteSelection(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
        });
        return true;
    case Qt::Key_F2:
        m_view.guard([this] { m_view.editName(); });
        return true;
    case Qt::Key_F5:
        m_view.rescan();
        return true;
    default:
        return false;
    }
}

bool CListInput::showListTooltip(QObject* viewport, QEvent* event) {
    auto* help = static_cast<QHelpEvent*>(event);
    QListView* list = m_view.listView();
    const QModelIndex index = list->indexAt(help->pos());
    QString text;
    m_view.guard([&] {
        if (index.isValid())
            text = m_view.model().firstInformation(index.row());
    });
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, qobject_cast<QWidget*>(viewport),
                       list->visualRect(index));
    return true;
}

// Dropped files open the folder of the first dropped item. The drop is taken as a
// copy or a link, never as a move: a source that honours a move would delete its own.
bool CListInput::handleDrop(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls())
        return false;
    if (isItemView(drop->source())) { // our own rows, dragged back: nothing to open
        drop->ignore();
        return true;
    }
    const Qt::DropAction action = (drop->possibleActions() & Qt::CopyAction)   ? Qt::CopyAction
                                  : (drop->possibleActions() & Qt::LinkAction) ? Qt::LinkAction
                                                                               : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(action);
    if (event->type() != QEvent::Drop) {
        drop->accept();
        return true;
    }
    const QList<QUrl> urls = drop->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return false;
    // The folder that holds the first item, be it a file or a folder.
    std::string path = EncodeName(urls.front().toLocalFile());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    m_view.openFolder(DecodeName(SplitPath(path).dir));
    drop->accept();
    return true;
}

} // namespace tressel
