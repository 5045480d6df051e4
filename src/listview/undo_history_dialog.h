#pragma once

// "Undo History": the commands the undo journals record for the open folder, newest
// first, whether this window, an earlier run or the command-line tool made them: when
// each started, which command, how many files it moved and where it stands. Undo takes
// back the newest command still applied; Redo does the one undone last again. The view
// replays them and fills the list again.

#include "operations/undo_journal.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace tressel {

class CUndoHistoryDialog : public QDialog {
    Q_OBJECT
public:
    enum Column : int { When = 0, Command, Files, State };

    explicit CUndoHistoryDialog(QWidget* parent = nullptr);

    // The journals, newest first, and the rows Undo and Redo act on (-1: none, the
    // button is disabled). The row Undo acts on becomes the current one.
    void showJournals(const std::vector<JournalSummary>& journals, int undoRow, int redoRow);

    QTreeWidget* list() const { return m_list; }
    QPushButton* undoButton() const { return m_undo; }
    QPushButton* redoButton() const { return m_redo; }

signals:
    void undoRequested();
    void redoRequested();

private:
    QTreeWidget* m_list = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_redo = nullptr;
};

// When a journal's command started ("2026-12-03 14:02:00 UTC") in local time, short
// ("3 Dec, 14:02"); the text as written when it cannot be read.
QString JournalStartText(const std::string& started);
// Where a journal's command stands: applied, partly undone, undone, interrupted,
// running or damaged.
QString JournalStateText(const JournalSummary& journal);

} // namespace tressel
