#pragma once

// The list's keyboard and mouse: keys, the context-menu request, List-mode tooltips,
// dropped files and the focus, caught on both item views and their viewports and
// turned into the view's commands.

#include <QObject>

class QAbstractItemView;
class QEvent;

namespace tressel {

class CMarlockUtilView;

class CListInput : public QObject {
    Q_OBJECT
public:
    explicit CListInput(CMarlockUtilView& view);
    // Starts listening to an item view and its viewport.
    void watch(QAbstractItemView* itemView);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isItemView(QObject* watched) const;
    bool isViewport(QObject* watched) const;
    bool handleKeyPress(QObject* watched, QEvent* event);
    bool handleKey(int key);
    bool showListTooltip(QObject* viewport, QEvent* event);
    bool handleDrop(QEvent* event);

    CMarlockUtilView& m_view;
};

} // namespace tressel
