#pragma once

// The list's right-click menu: built afresh at every opening from the selection and
// the cell under the click. Each item carries its handler; its command identifier
// stays on the action as the documented numbering (context_menu.h).

#include "context_menu.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <utility>
#include <vector>

class QAction;
class QContextMenuEvent;
class QMenu;
class QWidget;

namespace tressel {

class CMarlockUtilView;

class CListContextMenu : public QObject {
    Q_OBJECT
public:
    explicit CListContextMenu(CMarlockUtilView& view);

    // The menu for a click at pos (viewport coordinates; the keyboard's menu uses the
    // origin), as the modifiers held now ask: the View menu when nothing is selected,
    // our own short menu after the name submenu with Ctrl.
    QMenu* build(QPoint pos, Qt::KeyboardModifiers modifiers);
    // Builds and pops up the menu for a right click or the menu key on target, with
    // the modifiers the event carries (never the ones held by the time it arrives).
    void popup(QWidget* target, QContextMenuEvent* event);
    // The menu for a key: at the current row's focused cell, which is the hit cell.
    void popupFromKeyboard(Qt::KeyboardModifiers modifiers);
    // The list's own menu built last; none when nothing was selected.
    QMenu* lastMenu() const { return m_popup; }
    // The menu shown on a right click with nothing selected.
    void setViewMenu(QMenu* menu) { m_viewMenu = menu; }

    // Shift was held when the menu was built: the rename command appends.
    bool appendFlag() const { return m_append; }
    void clearAppendFlag() { m_append = false; }
    // The name submenu's items for these records (in the order the list shows them):
    // one file's own texts with their labels, or the columns several files fill.
    std::vector<NameMenuItem> nameItems(const std::vector<int>& records);
    // The cell under the last menu's click: its row (-1 when none) and column.
    std::pair<int, int> hitCell() const;
    void copyHitText();
    void clearHitText();

private:
    void addNameSubmenu(QMenu* popup, const std::vector<int>& records);
    void addCommandItems(QMenu* popup, QPoint pos);
    void addCtrlItems(QMenu* popup);
    // A command without a handler is one this build does not have: shown, disabled.
    QAction* addCommand(QMenu* menu, const QString& text, int id,
                        std::function<void()> handler = {});
    void recordHitCell(QPoint pos);
    QPoint focusedCellPoint() const;
    void showAt(QPoint pos, Qt::KeyboardModifiers modifiers);

    CMarlockUtilView& m_view;
    QMenu* m_popup = nullptr;
    QMenu* m_viewMenu = nullptr;
    bool m_append = false;
    int m_hitRecord = -1;
    int m_hitColumn = 0;
};

} // namespace tressel
