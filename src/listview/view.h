#pragma once

// The file list: the open folder as rows of a name column and nine information
// columns, shown in Details mode (a table) or List mode (names only, flowing in
// columns). Both modes share one model and one selection.

#include "catalogue/document.h"
#include "escape_check.h"
#include "foreground_window.h"
#include "operations/undo.h"
#include "sort_order.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QAbstractItemView;
class QAction;
class QContextMenuEvent;
class QListView;
class QMenu;
class QStackedWidget;
class QTableView;
class QTimer;

namespace tressel {

class CFileListModel;
class CPersistentFlag;
class CPropertiesDialog;
class CPersistentHistory;
class IOperationReport;

class CMarlockUtilView : public QWidget, public IDocumentView {
    Q_OBJECT
public:
    static constexpr int kRefreshDelayMs = 1000;
    static constexpr int kDefaultMaxColumnWidth = 255;

    explicit CMarlockUtilView(CMarlockUtilDoc& doc, QWidget* parent = nullptr);
    ~CMarlockUtilView() override;

    // Applies the stored column order, sort mode, display mode and column width once,
    // then repopulates; later calls only repopulate.
    void initialUpdate();
    void repopulate();
    void removeRecordRow(int record) override;
    void addRecordRows(int firstRecord) override;

    // Folder commands.
    void openFolder(const QString& path);
    void goUp();
    void rescan();
    // Double click or Enter: Alt shows the properties of every selected entry; a first
    // selected folder opens in the list unless Ctrl is held; otherwise the first five
    // entries open with their default application, and a single .exe starts the title
    // watch.
    void openSelection(Qt::KeyboardModifiers modifiers);
    void selectAll();

    // Display mode and filters.
    bool isListMode() const;
    void setListMode(bool list);
    bool numberedOnly() const;
    void toggleNumberedOnly();
    bool scanAll() const { return m_doc.scanAll(); }
    void toggleScanAll();
    void validOnly();

    // The "MaxCol width:" box's text read into the view; answers what the box shows.
    QString setMaxColumnWidthText(const QString& text);
    int maxColumnWidth() const { return m_maxColumnWidth; }

    int sortMode() const { return m_sorter.sortMode(); }
    const CListSorter& sorter() const { return m_sorter; }
    // The fixed orders (SortMode 0 to 4) and the column sort of a header click.
    void sortFixed(int mode);
    void sortByColumn(int column);

    // In-place renaming of the selection-mark row.
    void editName();
    // The end of a name edit: renames the row's file to the typed name.
    void renameRow(int row, const QString& typed);

    // The context menu for a click at pos (viewport coordinates; the keyboard's menu
    // uses the origin), built as the modifiers held now ask: the View menu when nothing
    // is selected, our own short menu after the name submenu with Ctrl. The menu stays
    // the view's (or the frame's); its actions dispatch their command identifiers.
    QMenu* buildContextMenu(QPoint pos, Qt::KeyboardModifiers modifiers);
    void dispatchCommand(int id);
    // The menu shown on a right click with nothing selected.
    void setViewMenu(QMenu* menu) { m_viewMenu = menu; }
    bool appendFlag() const { return m_append; }
    // The cell under the last menu's click: its row (-1 when none) and column.
    std::pair<int, int> hitCell() const;
    // Renames the selected files to the texts of an information column.
    void renameToColumn(int column);

    // Our properties window for these records; the last one shown stays reachable.
    void showProperties(const std::vector<int>& records);
    CPropertiesDialog* propertiesDialog() const;

    // The title watch (timer 104 samples the foreground title, timer 105 ends it).
    static constexpr int kTitleCheckMs = 500;
    static constexpr int kWatchMs = 10000;
    static constexpr int kWatchAfterFocusMs = 3000;
    void setForegroundWindow(std::unique_ptr<IForegroundWindow> source);
    void startTitleWatch(int record);
    void checkWindowTitle();
    void stopTitleWatch();
    bool titleWatchRunning() const;
    QTimer* titleTimer() const { return m_titleTimer; }
    QTimer* watchEndTimer() const { return m_watchEndTimer; }

    // The undo history of the moves made from this list.
    CUndoHistory& undoHistory() { return m_undo; }
    bool canUndo() const { return m_undo.canUndo(); }
    bool canRedo() const { return m_undo.canRedo(); }
    void undo();
    void redo();
    // A new undo group for one command on the open folder, journalled; it refuses every
    // move when its journal cannot be written.
    std::unique_ptr<CUndoGroup> newUndoGroup(const std::string& command) const;
    // Pushes a group that holds a move and tells the window the history changed.
    void pushUndoGroup(std::unique_ptr<CUndoGroup> group);

    std::vector<int> selectedRecords() const;
    std::vector<std::string> selectedItemIds() const;
    void updateStatus();
    // Starts the folder refresh unless it is already pending.
    void scheduleRefresh(int delayMs = kRefreshDelayMs);
    void refreshChanges();

    void setReport(IOperationReport* report) { m_report = report; }
    void setProgress(IProgress* progress) { m_progress = progress; }
    // Failures inside handlers go here; the default shows a "RunTime Error" box.
    void setErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presentError = std::move(presenter);
    }
    CEscapeCheck& escapeCheck() { return m_escape; }
    bool cancelFlag() const { return m_cancel; }

    CFileListModel& model() { return *m_model; }
    CMarlockUtilDoc& document() { return m_doc; }
    QTableView* detailsView() const { return m_details; }
    QListView* listView() const { return m_list; }
    QAbstractItemView* currentView() const;
    CPersistentHistory& moveToHistory() { return *m_moveTo; }
    bool confirmDelete() const;

signals:
    void statusText(int pane, const QString& text);
    void previewRequested(const QString& path);
    void listModeChanged(bool list);
    void undoStateChanged();
    void optionsChanged();
    // The open folder was deleted, renamed or unmounted.
    void folderLost(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildViews();
    void applyColumnOrder();
    void saveColumnOrder();
    void applyMaxColumnWidth();
    void guard(const std::function<void()>& handler);
    void showError(const QString& text);
    bool handleKey(int key);
    bool isEditing(QObject* view) const;
    bool showListTooltip(QObject* viewport, QEvent* event);
    bool handleDrop(QEvent* event);
    void showContextMenu(QWidget* target, QContextMenuEvent* event);
    void addNameSubmenu(QMenu* popup, const std::vector<int>& records, bool append);
    void addCommandItems(QMenu* popup, QPoint pos);
    void addCtrlItems(QMenu* popup);
    QAction* addCommand(QMenu* menu, const QString& text, int id, bool enabled = true);
    std::vector<int> displayOrder() const;
    void recordHitCell(QPoint pos);
    QString hitCellText();
    void copyToClipboard(const QString& text);
    // Opens paths with their default application; a refusal is an error.
    void launch(const QString& path);
    void launchRecords(const std::vector<int>& records);
    void onListFocus(bool in);
    void onSelectionChanged();
    void previewSelection();
    int selectionMarkRow() const;
    void focusList();
    void applyMarkers(const std::vector<HeaderMarkerChange>& changes);
    void report(const std::string& subject, int errors);
    // The window's progress bar, or nothing when the view stands alone.
    IProgress& progress();
    void removeVanishedRows();

    CMarlockUtilDoc& m_doc;
    std::unique_ptr<CPersistentFlag> m_confirmDelete;
    std::unique_ptr<CPersistentHistory> m_moveTo;
    std::unique_ptr<CPersistentFlag> m_listMode;
    std::unique_ptr<CPersistentFlag> m_numberedOnly;
    CFileListModel* m_model = nullptr;
    QStackedWidget* m_stack = nullptr;
    QTableView* m_details = nullptr;
    QListView* m_list = nullptr;
    QTimer* m_refreshTimer = nullptr;
    QTimer* m_statusTimer = nullptr;
    QTimer* m_previewTimer = nullptr;
    CEscapeCheck m_escape;
    CUndoHistory m_undo;
    IOperationReport* m_report = nullptr;
    IProgress* m_progress = nullptr;
    std::function<void(const QString&)> m_presentError;
    CListSorter m_sorter{CMarlockUtilDoc::kColumnCount};
    int m_maxColumnWidth = kDefaultMaxColumnWidth;
    int m_findPosition = -1;
    bool m_cancel = false;
    // Context menu state: rebuilt at every opening.
    QMenu* m_popup = nullptr;
    QMenu* m_viewMenu = nullptr;
    bool m_append = false;
    int m_hitRecord = -1;
    int m_hitColumn = 0;
    QPointer<CPropertiesDialog> m_properties;
    // Title watch.
    std::unique_ptr<IForegroundWindow> m_foreground;
    QTimer* m_titleTimer = nullptr;
    QTimer* m_watchEndTimer = nullptr;
    int m_watchedRecord = -1;
    bool m_initialised = false;
    // Rows of vanished records, removed together once the document has compared.
    bool m_refreshing = false;
    std::vector<int> m_vanished;
};

} // namespace tressel
