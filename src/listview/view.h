#pragma once

// The file list: the open folder as rows of a name column and nine information
// columns, shown in Details mode (a table) or List mode (names only, flowing in
// columns). Both modes share one model and one selection. The view holds the list's
// state and commands; its right-click menu (CListContextMenu), its keyboard and mouse
// (CListInput) and the title watch (CTitleWatch) are parts of their own.

#include "catalogue/document.h"
#include "catalogue/rename_command.h"
#include "escape_check.h"
#include "file_questions.h"
#include "operations/group_files.h"
#include "operations/undo.h"
#include "operations/undo_journal.h"
#include "sort_order.h"
#include "translated_text.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

class QAbstractItemView;
class QAction;
class QActionGroup;
class QListView;
class QStackedWidget;
class QTableView;
class QTimer;

namespace tressel {

class CFailureList;
class CFileListModel;
class CFindDialog;
class CListContextMenu;
class CListInput;
class CPersistentFlag;
class CPropertiesDialog;
class CPersistentHistory;
class CTitleWatch;
class CUndoHistoryDialog;
class IOperationReport;

// The status bar's panes: the object counts and menu help, the selected bytes, and
// the command reports.
enum StatusPane : int { PaneCounts = 0, PaneBytes = 1, PaneReport = 2 };

class CMarlockUtilView : public QWidget, public IDocumentView {
    Q_OBJECT
public:
    static constexpr int kRefreshDelayMs = 1000;

    explicit CMarlockUtilView(CMarlockUtilDoc& doc, QWidget* parent = nullptr);
    ~CMarlockUtilView() override;

    // Applies the stored column order, sort mode, display mode and column width once,
    // then repopulates; later calls only repopulate.
    void initialUpdate();
    void repopulate();
    void removeRecordRow(int record) override;
    void addRecordRows(int firstRecord) override;

    // Folder commands. openFolder answers whether the folder could be opened.
    bool openFolder(const QString& path);
    void goUp();
    void rescan();
    // Double click or Enter: Alt shows the properties of every selected entry; a first
    // selected folder opens in the list unless Ctrl is held; otherwise the first five
    // entries open with their default application, and a single .exe starts the title
    // watch.
    void openSelection(Qt::KeyboardModifiers modifiers);
    // Opens paths with their default application; a refusal is an error.
    void launch(const QString& path);
    void launchRecords(const std::vector<int>& records);
    void selectAll();
    void invertSelection();
    // Selects the checked rows and only those.
    void selectChecked();
    // Makes the row of the entry named name (in the open folder) the only selected and
    // the current one; false when no row shows it.
    bool selectName(const QString& name);

    // The Find command: the "Find String" dialog, then the search its button asks for.
    // Find Next selects the next match after the last one found; Select All and Group
    // All select every match, and Group All groups them into a folder named after the
    // text.
    void find();
    // Makes text the find text and opens the dialog with it ("Find this Text").
    void findText(const QString& text);
    // F3 (up false) and Shift+F3 (up true): the next match from the selection mark on,
    // or the dialog while there is no text to find.
    void findNext(bool up);
    CFindDialog& findDialog() { return *m_findDialog; }
    // The row of the last match, or -1.
    int findPosition() const { return m_findPosition; }
    // Where Group All sends its text once the matches are selected: groupInto, unless a
    // test watches.
    void setGroupAllHandler(std::function<void(const QString&)> handler) {
        m_groupAll = std::move(handler);
    }
    // The box of a Find Next that found nothing; tests answer it.
    void setNotFoundPresenter(std::function<void(const QString&)> presenter) {
        m_presentNotFound = std::move(presenter);
    }

    // Display mode and filters. Each option is a checkable action that menus and the
    // dialog bar's switches share.
    bool isListMode() const;
    void setListMode(bool list);
    bool numberedOnly() const;
    void toggleNumberedOnly();
    bool scanAll() const { return m_doc.scanAll(); }
    void toggleScanAll();
    void validOnly();
    QAction* listAction() const { return m_listAction; }
    QAction* detailsAction() const { return m_detailsAction; }
    QAction* numberedOnlyAction() const { return m_numberedOnlyAction; }
    QAction* scanAllAction() const { return m_scanAllAction; }
    // Shown when the list is made; the choice is not stored.
    QAction* checkBoxesAction() const { return m_checkBoxesAction; }

    // The "MaxCol width:" box's text read into the view; answers what the box shows.
    QString setMaxColumnWidthText(const QString& text);
    int maxColumnWidth() const { return m_maxColumnWidth; }

    int sortMode() const { return m_sorter.sortMode(); }
    const CListSorter& sorter() const { return m_sorter; }
    // The fixed orders (SortMode 0 to 4) and the column sort of a header click.
    void sortFixed(int mode);
    void sortByColumn(int column);
    // The columns as the header shows them, left to right.
    std::vector<int> columnDisplayOrder() const;

    // In-place renaming of the selection-mark row.
    void editName();
    // The end of a name edit: renames the row's file to the typed name.
    void renameRow(int row, const QString& typed);
    // Renames the selected files to the texts of an information column.
    void renameToColumn(int column);
    // "Preview Rename...": reads the selected rows, shows the names the rename command
    // would give (choices of column, append and Fix Extensions) and renames the files
    // left ticked to exactly those names, as one undo group.
    void previewRename(bool append);
    // Gives the selected files the extension their content should carry, after the user
    // looked over the planned changes; one undo group.
    void fixExtensionsFromContent();
    // "Fix Extensions when Renaming": the rename command fixes extensions too.
    QAction* fixExtensionsAction() const { return m_fixExtensionsAction; }
    // Moves every copy of a file but the one shown first into the folder's
    // "Duplicates/" sub-folder, undoably.
    void removeDuplicates();
    // Moves the files of the list into sub-folders named after their registered type
    // (mode 0), their extension (1) or the text of list column mode - 2 (2 to 11), when
    // two or more share one or the folder exists; undoably.
    void group(int mode);
    // "Group All": moves the selected files into the sub-folder named after text, when
    // two or more rows are selected or that folder exists; undoably.
    void groupInto(const QString& text);
    // Asks for an extension and its replacement and renames every file of the list
    // that has it; undoably.
    void setExtensions();

    // The file commands on the selection. Delete sends it to the trash after asking;
    // permanent (Shift held) deletes it for good, asking only while "Confirm
    // ShiftDelete" is on. copyOrMove takes the folder from the browser (index -1) or
    // the recent target folders.
    void deleteSelection(bool permanent);
    void copyOrMove(bool move, int index);
    void deleteEmptyDirectories();
    QAction* confirmShiftDeleteAction() const { return m_confirmShiftDeleteAction; }
    // The dialogs of the file commands; tests answer them.
    void setFileQuestions(FileQuestions questions) { m_questions = std::move(questions); }

    CListContextMenu& contextMenu() { return *m_contextMenu; }
    CTitleWatch& titleWatch() { return *m_titleWatch; }

    // Our properties window for these records; the last one shown stays reachable.
    void showProperties(const std::vector<int>& records);
    CPropertiesDialog* propertiesDialog() const;

    // The undo history of the moves made from this list; the actions are enabled
    // while there is something to undo or redo.
    CUndoHistory& undoHistory() { return m_undo; }
    bool canUndo() const { return m_undo.canUndo(); }
    bool canRedo() const { return m_undo.canRedo(); }
    // Undo takes back from this history first. When it has nothing to undo, Undo offers
    // the newest applied command the undo journals record for the open folder (an
    // earlier run's, or the tool's), after a question naming it. Redo does a journaled
    // command undone last again before this history's.
    void undo();
    void redo();
    QAction* undoAction() const { return m_undoAction; }
    QAction* redoAction() const { return m_redoAction; }
    // The question before a journaled undo; tests answer it.
    void setJournalUndoQuestion(std::function<bool(const QString&)> ask) {
        m_askJournalUndo = std::move(ask);
    }

    // The commands the undo journals record for the open folder, newest first; those
    // this history holds count as not running.
    std::vector<JournalSummary> folderJournals() const;
    // The "Undo History" dialog; its buttons replay the newest command of the folder
    // that can go back (forth), through this history when it holds it.
    void showUndoHistory();
    CUndoHistoryDialog* undoHistoryDialog() const;
    QAction* undoHistoryAction() const { return m_undoHistoryAction; }
    // A new undo group for one command on the open folder, journalled; it refuses every
    // move when its journal cannot be written.
    std::unique_ptr<CUndoGroup> newUndoGroup(const std::string& command) const;
    // Pushes a group that holds a move.
    void pushUndoGroup(std::unique_ptr<CUndoGroup> group);

    std::vector<int> selectedRecords() const;
    std::vector<std::string> selectedItemIds() const;
    void updateStatus();
    // Starts the folder refresh unless it is already pending.
    void scheduleRefresh(int delayMs = kRefreshDelayMs);
    void refreshChanges();
    // The list gained or lost the keyboard focus.
    void listFocusChanged(bool in);

    void setReport(IOperationReport* report) { m_report = report; }
    void setProgress(IProgress* progress) { m_progress = progress; }
    // Failures inside handlers go here; the default shows a "RunTime Error" box.
    void setErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presentError = std::move(presenter);
    }
    // Runs a handler, showing what it throws as a "RunTime Error".
    void guard(const std::function<void()>& handler);
    CEscapeCheck& escapeCheck() { return m_escape; }
    // Has the worker threads read whichever of these rows are unread, with the progress
    // bar, so that what follows asks no file on this thread; false when Esc stopped it.
    bool readRowsFirst(const std::vector<int>& records);
    // Find reads the rows ahead of it this many at a time.
    static constexpr int kFindReadAhead = 16;
    bool cancelFlag() const { return m_cancel; }
    void setCancelFlag() { m_cancel = true; }

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
    // Delete is about to run: no preview may keep a file open.
    void previewHideRequested();
    // The open folder was deleted, renamed or unmounted.
    void folderLost(const QString& path);

private:
    struct FindOutcome {
        int firstRow = -1;
        int column = -1;
        bool cancelled = false;
    };

    void buildViews();
    void buildActions();
    QAction* addOption(const char* name, const QString& text, const QString& help, bool checked);
    void applyListMode(bool list);
    void applyNumberedOnly(bool on);
    void applyScanAll(bool on);
    void updateUndoActions();
    // A journaled command of the open folder taken back (back) or done again, with the
    // report of any other undo.
    void replayJournal(const std::string& path, bool back);
    void replayFolderCommand(bool back);
    // Undo and Redo from the folder's journals when this history has nothing to replay
    // first; false when there is nothing of the kind.
    void undoJournaled();
    bool redoJournaled();
    void refreshUndoHistory();
    void showJournalsInHistory(const std::vector<JournalSummary>& journals);
    void applyColumnOrder();
    void saveColumnOrder();
    bool applyColumnWidths();
    void saveColumnWidths();
    void fitNameColumnOnce();
    void capColumn(int column);
    void showError(const QString& text);
    void onSelectionChanged();
    void previewSelection();
    int selectionMarkRow() const;
    void focusList();
    void applyMarkers(const std::vector<HeaderMarkerChange>& changes);
    void report(const UiText& subject, int errors);
    void reportGroupResult(const UiText& subject, int errors, const CFailureList& failures,
                           const std::string& stopped);
    std::vector<GroupItem> groupItems(int mode);
    std::vector<PlannedChange> planRenames(const std::vector<int>& records,
                                           const RenamePreviewSettings& settings);
    RenameResult renameRecords(const std::string& command, std::vector<int> records,
                               RenameOptions options);
    void applyPlannedRenames(const std::vector<int>& records,
                             const std::vector<PlannedChange>& ticked);
    void reportFailures(const UiText& subject, const CFailureList& failures);
    std::vector<std::string> selectedPaths() const;
    QString targetFolder(bool move, int index);
    // The window's progress bar, or nothing when the view stands alone.
    IProgress& progress();
    void removeVanishedRows();
    void refreshWhenIdle();
    // Selects the rows from start on (start itself excluded; -1 starts at the first or
    // the last row) whose cells hold text, up to count of them (0: no limit).
    FindOutcome search(const QString& text, int start, int count, bool down);
    bool readAhead(int row, int step);
    void showSearchOutcome(const QString& lowered, int count, const FindOutcome& outcome);

    CMarlockUtilDoc& m_doc;
    std::unique_ptr<CPersistentFlag> m_confirmDelete;
    std::unique_ptr<CPersistentHistory> m_moveTo;
    std::unique_ptr<CPersistentFlag> m_listMode;
    // Stored under the key "Numberd only" (sic): existing settings use that spelling.
    std::unique_ptr<CPersistentFlag> m_numberedOnly;
    CFileListModel* m_model = nullptr;
    QStackedWidget* m_stack = nullptr;
    // "Open a folder..." over each empty item view while no folder is open.
    std::vector<QWidget*> m_emptyHints;
    QTableView* m_details = nullptr;
    QListView* m_list = nullptr;
    CListContextMenu* m_contextMenu = nullptr;
    CListInput* m_input = nullptr;
    CTitleWatch* m_titleWatch = nullptr;
    QAction* m_listAction = nullptr;
    QAction* m_detailsAction = nullptr;
    QAction* m_numberedOnlyAction = nullptr;
    QAction* m_scanAllAction = nullptr;
    QAction* m_checkBoxesAction = nullptr;
    QAction* m_fixExtensionsAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_confirmShiftDeleteAction = nullptr;
    QAction* m_redoAction = nullptr;
    QAction* m_undoHistoryAction = nullptr;
    QPointer<CUndoHistoryDialog> m_undoHistory;
    std::function<bool(const QString&)> m_askJournalUndo;
    QTimer* m_refreshTimer = nullptr;
    QTimer* m_statusTimer = nullptr;
    QTimer* m_previewTimer = nullptr;
    CEscapeCheck m_escape;
    CUndoHistory m_undo;
    IOperationReport* m_report = nullptr;
    IProgress* m_progress = nullptr;
    std::function<void(const QString&)> m_presentError;
    std::function<void(const QString&)> m_presentNotFound;
    std::function<void(const QString&)> m_groupAll;
    CFindDialog* m_findDialog = nullptr;
    FileQuestions m_questions;
    // The folder last chosen in the browser, where the browser opens next time.
    QString m_lastBrowsed;
    CListSorter m_sorter{CMarlockUtilDoc::kColumnCount};
    int m_maxColumnWidth;
    int m_findPosition = -1;
    bool m_cancel = false;
    QPointer<CPropertiesDialog> m_properties;
    bool m_initialised = false;
    bool m_fitNameColumn = false;
    // Rows of vanished records, removed together once the document has compared.
    bool m_refreshing = false;
    // The refresh fell due while a long command ran; it runs when the command ends.
    bool m_refreshWaiting = false;
    std::vector<int> m_vanished;
};

} // namespace tressel
