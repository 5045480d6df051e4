#pragma once

// The list's right-click menu: built afresh at every opening from the selection and
// the cell under the click. Each item carries its handler; its command identifier
// stays on the action as the documented numbering (context_menu.h).

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
    // Builds and pops up the menu for a right click or the menu key on target.
    void popup(QWidget* target, QContextMenuEvent* event);
    // The menu shown on a right click with nothing selected.
    void setViewMenu(QMenu* menu) { m_viewMenu = menu; }

    // Shift was held when the menu was built: the rename command appends.
    bool appendFlag() const { return m_append; }
    void clearAppendFlag() { m_append = false; }
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

    CMarlockUtilView& m_view;
    QMenu* m_popup = nullptr;
    QMenu* m_viewMenu = nullptr;
    bool m_append = false;
    int m_hitRecord = -1;
    int m_hitColumn = 0;
};

} // namespace tressel
