// Undo and Redo beyond this run: the commands the undo journals record for the open
// folder, replayed with the same checks and report as the window's own history.

#include "operations/journal_history.h"
#include "undo_history_dialog.h"
#include "view.h"

#include <QMessageBox>

namespace tressel {

namespace {

enum class Route { None, History, Journal };

// How a journaled command is replayed: through the history that holds it (and only as
// its next step, so that its order holds), else from its journal.
Route RouteOf(const CUndoHistory& history, const JournalSummary* target, bool back) {
    if (!target)
        return Route::None;
    const CUndoGroup* held = history.groupWithJournal(target->path);
    if (!held)
        return Route::Journal;
    return held == (back ? history.nextUndo() : history.nextRedo()) ? Route::History : Route::None;
}

// The journal's own reason, without the journal's path in front: the report names it.
std::string ReasonOnly(const std::string& error, const std::string& path) {
    const std::string prefix = path + ": ";
    return error.starts_with(prefix) ? error.substr(prefix.size()) : error;
}

} // namespace

std::vector<JournalSummary> CMarlockUtilView::folderJournals() const {
    const std::string folder = m_doc.GetCurrentFolderPath();
    if (folder.empty())
        return {};
    std::vector<JournalSummary> journals = ListJournals(folder);
    for (JournalSummary& journal : journals) {
        if (m_undo.groupWithJournal(journal.path))
            journal.running = false; // locked by this history, which records its replays
    }
    return journals;
}

void CMarlockUtilView::updateUndoActions() {
    const bool historyUndo = m_undo.canUndo();
    const bool historyRedo = m_undo.canRedo();
    const bool historyShown = m_undoHistory && m_undoHistory->isVisible();
    // The journals are read once, and only when the history cannot answer alone.
    std::vector<JournalSummary> journals;
    if (!historyUndo || !historyRedo || historyShown)
        journals = folderJournals();
    const bool journalUndo = RouteOf(m_undo, NewestToUndo(journals), true) == Route::Journal;
    const bool journalRedo = RouteOf(m_undo, NextToRedo(journals), false) == Route::Journal;
    m_undoAction->setEnabled(historyUndo || journalUndo);
    m_redoAction->setEnabled(historyRedo || journalRedo);
    m_undoHistoryAction->setEnabled(!m_doc.GetCurrentFolderPath().empty());
    if (historyShown)
        showJournalsInHistory(journals);
}

void CMarlockUtilView::undoJournaled() {
    const std::vector<JournalSummary> journals = folderJournals();
    const JournalSummary* target = NewestToUndo(journals);
    if (RouteOf(m_undo, target, true) != Route::Journal)
        return updateUndoActions();
    const JournalContents& command = target->contents;
    const QString name = QString::fromStdString(command.command);
    const QString when = JournalStartText(command.started);
    const size_t files = command.moveCount();
    const QString question =
        files == 1 ? tr("Undo '%1' of 1 file from %2?").arg(name, when)
                   : tr("Undo '%1' of %2 files from %3?").arg(name, QString::number(files), when);
    const bool yes = m_askJournalUndo
                         ? m_askJournalUndo(question)
                         : QMessageBox::question(this, tr("Undo"), question) == QMessageBox::Yes;
    if (yes)
        replayJournal(target->path, true);
}

bool CMarlockUtilView::redoJournaled() {
    const std::vector<JournalSummary> journals = folderJournals();
    const JournalSummary* target = NextToRedo(journals);
    if (RouteOf(m_undo, target, false) != Route::Journal)
        return false;
    replayJournal(target->path, false);
    return true;
}

void CMarlockUtilView::replayJournal(const std::string& path, bool back) {
    guard([&] {
        CLongCommand command(m_escape);
        JournalReplay replay = ReplayJournal(path, back, &progress());
        if (!replay.error.empty()) {
            replay.subject = back ? UI_TEXT("Undo", "Undo") : UI_TEXT("Undo", "Redo");
            replay.failures.add(path, ReasonOnly(replay.error, path));
        }
        reportFailures(replay.subject, replay.failures);
    });
    updateUndoActions();
}

void CMarlockUtilView::replayFolderCommand(bool back) {
    const std::vector<JournalSummary> journals = folderJournals();
    const JournalSummary* target = back ? NewestToUndo(journals) : NextToRedo(journals);
    switch (RouteOf(m_undo, target, back)) {
    case Route::History:
        back ? undo() : redo();
        break;
    case Route::Journal:
        replayJournal(target->path, back);
        break;
    case Route::None:
        updateUndoActions();
        break;
    }
}

void CMarlockUtilView::showUndoHistory() {
    if (!m_undoHistory) {
        m_undoHistory = new CUndoHistoryDialog(this);
        connect(m_undoHistory, &CUndoHistoryDialog::undoRequested, this,
                [this] { replayFolderCommand(true); });
        connect(m_undoHistory, &CUndoHistoryDialog::redoRequested, this,
                [this] { replayFolderCommand(false); });
    }
    m_undoHistory->show();
    m_undoHistory->raise();
    m_undoHistory->activateWindow();
    refreshUndoHistory();
}

CUndoHistoryDialog* CMarlockUtilView::undoHistoryDialog() const {
    return m_undoHistory;
}

void CMarlockUtilView::refreshUndoHistory() {
    if (m_undoHistory && m_undoHistory->isVisible())
        showJournalsInHistory(folderJournals());
}

void CMarlockUtilView::showJournalsInHistory(const std::vector<JournalSummary>& journals) {
    auto rowOf = [&](const JournalSummary* target, bool back) {
        return RouteOf(m_undo, target, back) == Route::None
                   ? -1
                   : static_cast<int>(target - journals.data());
    };
    m_undoHistory->showJournals(journals, rowOf(NewestToUndo(journals), true),
                                rowOf(NextToRedo(journals), false));
}

} // namespace tressel
